// RipReport: IAudioCDRipperReport, the report of the last rip, as a part of
// the AudioCDRipper2 object. It has no identity or lifetime of its own:
// QueryInterface, AddRef and Release are the engine object's, so a client
// reaches it and leaves it as any other interface of that object. It reads
// the counts the rip thread keeps (atomics) on any thread.
#pragma once

#include "components/trackmill2.h"
#include "engine/rip/rip_counts.h"
#include "platform/com/com.h"

namespace engine {

class RipReport final : public IAudioCDRipperReport {
 public:
  // `outer` and `counts` outlive this part (both belong to the engine object).
  RipReport(IUnknown* outer, const RipCounts& counts) : outer_(outer), counts_(counts) {}

  static const com::DispatchTable& dispatchTable();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return outer_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return outer_->Release(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excepInfo, UINT* argErr) override;

  HRESULT STDMETHODCALLTYPE get_framesRead(LONG* pVal) override { return get(counts_.framesRead, pVal); }
  HRESULT STDMETHODCALLTYPE get_framesReread(LONG* pVal) override { return get(counts_.framesReread, pVal); }
  HRESULT STDMETHODCALLTYPE get_framesConfirmed(LONG* pVal) override { return get(counts_.framesConfirmed, pVal); }
  HRESULT STDMETHODCALLTYPE get_framesUnconfirmed(LONG* pVal) override {
    return get(counts_.framesUnconfirmed, pVal);
  }
  HRESULT STDMETHODCALLTYPE get_retries(LONG* pVal) override { return get(counts_.retries, pVal); }
  HRESULT STDMETHODCALLTYPE get_blocksGivenUp(LONG* pVal) override { return get(counts_.blocksGivenUp, pVal); }

 private:
  static HRESULT get(const std::atomic<int32_t>& count, LONG* pVal) {
    if (pVal == nullptr) return E_POINTER;
    *pVal = count.load();
    return S_OK;
  }

  IUnknown* outer_;
  const RipCounts& counts_;
};

}  // namespace engine
