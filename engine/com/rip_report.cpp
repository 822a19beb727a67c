#include "engine/com/rip_report.h"

namespace engine {

const com::DispatchTable& RipReport::dispatchTable() {
  using I = IAudioCDRipperReport;
  // Members are appended after the last row, each with the next dispid.
  static const com::DispatchTable table(IID_IAudioCDRipperReport, {
      com::propget<&I::get_framesRead>("framesRead", 0x1),
      com::propget<&I::get_framesReread>("framesReread", 0x2),
      com::propget<&I::get_framesConfirmed>("framesConfirmed", 0x3),
      com::propget<&I::get_framesUnconfirmed>("framesUnconfirmed", 0x4),
      com::propget<&I::get_retries>("retries", 0x5),
      com::propget<&I::get_blocksGivenUp>("blocksGivenUp", 0x6),
  });
  return table;
}

HRESULT STDMETHODCALLTYPE RipReport::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (riid == IID_IAudioCDRipperReport) {
    *ppv = static_cast<IAudioCDRipperReport*>(this);
    AddRef();
    return S_OK;
  }
  return outer_->QueryInterface(riid, ppv);  // IUnknown and IDispatch are the object's own
}

HRESULT STDMETHODCALLTYPE RipReport::GetTypeInfoCount(UINT* pctinfo) {
  if (pctinfo == nullptr) return E_POINTER;
  *pctinfo = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RipReport::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
  if (ppTInfo != nullptr) *ppTInfo = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE RipReport::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!(riid == IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return dispatchTable().getIDsOfNames(names, count, ids);
}

HRESULT STDMETHODCALLTYPE RipReport::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                            VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
  if (!(riid == IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return dispatchTable().invoke(static_cast<IAudioCDRipperReport*>(this), id, flags, params, result, excepInfo,
                                argErr);
}

}  // namespace engine
