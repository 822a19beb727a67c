// RipReport: IAudioCDRipperReport, the report of the last rip and of the
// disc, as a part of the AudioCDRipper2 object. It has no identity or
// lifetime of its own: QueryInterface, AddRef and Release are the engine
// object's, so a client reaches it and leaves it as any other interface of
// that object. Its calls arrive on the client's thread, as the object's do:
// it reads the counts and checksums the rip thread keeps (atomics), and the
// disc as the last Refresh read it (rip_report.cpp, with the engine's own
// guards).
#pragma once

#include "components/trackmill2.h"
#include "engine/rip/rip_counts.h"
#include "platform/com/com.h"

namespace proof {
struct AccurateRipDiscId;
}

namespace engine {

class AudioCDRipper2;

// The read offsets a drive may have, in samples either way.
inline constexpr LONG kMaxReadOffsetSamples = 2000;

class RipReport final : public IAudioCDRipperReport {
 public:
  // `outer` and `counts` outlive this part (both belong to the engine object).
  RipReport(IUnknown* outer, const RipCounts& counts, AudioCDRipper2& engine)
      : outer_(outer), counts_(counts), engine_(engine) {}

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
  HRESULT STDMETHODCALLTYPE get_trackCopyCRC(LONG* pVal) override { return get(counts_.copyCrc, pVal); }
  HRESULT STDMETHODCALLTYPE get_trackCopyCRCSkipZero(LONG* pVal) override {
    return get(counts_.copyCrcSkipZero, pVal);
  }
  HRESULT STDMETHODCALLTYPE get_trackAccurateRipV1(LONG* pVal) override { return get(counts_.accurateRipV1, pVal); }
  HRESULT STDMETHODCALLTYPE get_trackAccurateRipV2(LONG* pVal) override { return get(counts_.accurateRipV2, pVal); }
  HRESULT STDMETHODCALLTYPE get_trackAccurateRipFrame450(LONG* pVal) override {
    return get(counts_.accurateRipFrame450, pVal);
  }
  HRESULT STDMETHODCALLTYPE get_accurateRipId1(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_accurateRipId2(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_musicBrainzDiscId(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_trackStartLba(LONG track, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_leadOutLba(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_readOffsetSamples(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_readOffsetSamples(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_discCatalog(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_trackIsrc(LONG track, BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_trackPregapFrames(LONG track, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_trackPreEmphasis(LONG track, VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE get_trackCtdbCRC(LONG* pVal) override { return get(counts_.ctdbCrc, pVal); }
  HRESULT STDMETHODCALLTYPE get_c2Mode(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_c2Mode(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_driveC2(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE get_c2ErrorFrames(LONG* pVal) override { return get(counts_.c2ErrorFrames, pVal); }
  HRESULT STDMETHODCALLTYPE get_framesReadTwice(LONG* pVal) override { return get(counts_.framesReadTwice, pVal); }
  HRESULT STDMETHODCALLTYPE get_c2Used(VARIANT_BOOL* pVal) override {
    if (pVal == nullptr) return E_POINTER;
    *pVal = counts_.c2Used.load() != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_cdTextTitle(LONG track, BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_cdTextPerformer(LONG track, BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_cdTextSongwriter(LONG track, BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_cdTextComposer(LONG track, BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_cdTextCode(LONG track, BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_replayGain(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE put_replayGain(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE get_trackGainDb(double* pVal) override {
    if (pVal == nullptr) return E_POINTER;
    *pVal = counts_.trackGainDb.load();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_trackPeak(double* pVal) override {
    if (pVal == nullptr) return E_POINTER;
    *pVal = counts_.trackPeak.load();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_albumGainDb(BSTR tracks, double* pVal) override { return getAlbum(tracks, pVal, true); }
  HRESULT STDMETHODCALLTYPE get_albumPeak(BSTR tracks, double* pVal) override { return getAlbum(tracks, pVal, false); }
  HRESULT STDMETHODCALLTYPE StoreDiscTitles(BSTR artist, BSTR album, BSTR trackTitles, VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE get_framesRetried(LONG* pVal) override { return get(counts_.framesRetried, pVal); }

 private:
  HRESULT cdTextField(LONG track, int field, BSTR* pVal);
  static HRESULT get(const std::atomic<int32_t>& count, LONG* pVal) {
    if (pVal == nullptr) return E_POINTER;
    *pVal = count.load();
    return S_OK;
  }
  static HRESULT get(const std::atomic<uint32_t>& value, LONG* pVal) {
    if (pVal == nullptr) return E_POINTER;
    *pVal = static_cast<LONG>(value.load());
    return S_OK;
  }

  // The guard of the members that take a track: false, with MEDIA_CHANGED
  // or INVALID_PARAM raised, when the call does nothing more.
  bool trackAsked(LONG track);
  // The album's gain (or peak) over the tracks `tracks` names.
  HRESULT getAlbum(BSTR tracks, double* pVal, bool gain);
  // One of the disc's AccurateRip identifiers, from the table of contents.
  HRESULT getAccurateRipId(uint32_t proof::AccurateRipDiscId::*id, LONG* pVal);

  IUnknown* outer_;
  const RipCounts& counts_;
  AudioCDRipper2& engine_;
};

}  // namespace engine
