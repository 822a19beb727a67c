// AudioCDRipper2: members whose work comes with the rip pipeline, the output
// formats. Until then each keeps the checks
// that come before its work and then fails cleanly through Error
// (OPERATION_FAILED), or does nothing where the operation reports nothing.
#include "engine/com/audio_cd_ripper.h"

namespace engine {

namespace {
bool isEncoded(const char* what) { return std::string_view(what) != "Rip Track To Wav"; }
}  // namespace

// ---- rips ----------------------------------------------------------------------

#define RIP_ENTRY(name, logLine)                                         \
  HRESULT STDMETHODCALLTYPE AudioCDRipper2::name(BSTR fileName) {        \
    (void)fileName;                                                      \
    if (playing_.load() != 0) return S_OK;                               \
    if (isEncoded(logLine) && codecStatus_ != S_OK) {                    \
      raiseError(FORMAT_NOT_SUPPORT);                                    \
      return S_OK;                                                       \
    }                                                                    \
    log().line(logLine);                                                 \
    if (mediaChangedGuard()) return S_OK;                                \
    if (ripInProgress_.load() != 0) {                                    \
      raiseError(DRIVE_BUSY);                                            \
      return S_OK;                                                       \
    }                                                                    \
    raiseError(OPERATION_FAILED);                                        \
    return S_OK;                                                         \
  }

RIP_ENTRY(RipTrackToWav, "Rip Track To Wav")
RIP_ENTRY(RipTrackToMP3, "Rip Track To MP3")
RIP_ENTRY(RipTrackToWMA, "Rip Track To WMA")
RIP_ENTRY(RipTrackToOGG, "Rip Track To OGG")
RIP_ENTRY(RipTrackToMP2, "Rip Track To MP2")
RIP_ENTRY(RipTrackToAudioFile2Format, "Rip Track To AudioFile2 Format")

#undef RIP_ENTRY

HRESULT STDMETHODCALLTYPE AudioCDRipper2::StopRip() {
  log().line("Stop Rip!");
  if (ripInProgress_.load() == 0) return S_OK;
  if (mediaChangedGuard()) return S_OK;
  stopRequested_.exchange(1);
  return S_OK;
}

// ---- output formats --------------------------------------------------------------

HRESULT STDMETHODCALLTYPE AudioCDRipper2::IsAvailableFormatOGG(RipFrequencyConstants, RipChannelsConstants,
                                                               RipBitrateConstants, RipBitrateConstants,
                                                               RipBitrateConstants, LONG,
                                                               VARIANT_BOOL* pOGGFormatAvailable) {
  if (pOGGFormatAvailable == nullptr) return E_POINTER;
  raiseError(OPERATION_FAILED);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::IsAvailableFormatMP3(RipFrequencyConstants, RipBitrateConstants,
                                                               RipChannelsConstants,
                                                               VARIANT_BOOL* pMP3FormatAvailable) {
  if (pMP3FormatAvailable == nullptr) return E_POINTER;
  raiseError(OPERATION_FAILED);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::SetFormatMP3(RipFrequencyConstants, RipBitrateConstants,
                                                       RipChannelsConstants) {
  raiseError(OPERATION_FAILED);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::SetFormatMP3Ex(IAudioCDRipperLameMP3Encoder2* LameFormat) {
  raiseError(LameFormat == nullptr ? INVALID_PARAM : OPERATION_FAILED);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::SetFormatWMA(LONG) {
  raiseError(OPERATION_FAILED);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::SetFormatOGG(RipFrequencyConstants, RipChannelsConstants,
                                                       RipBitrateConstants, RipBitrateConstants,
                                                       RipBitrateConstants, LONG) {
  raiseError(OPERATION_FAILED);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::SetFormatMP2(RipFrequencyConstants, RipBitrateConstants,
                                                       RipChannelsConstants) {
  raiseError(OPERATION_FAILED);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_trackFormatString(BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  raiseError(OPERATION_FAILED);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::GetAudioFile2Interface(IUnknown** ppAudioFile2) {
  if (ppAudioFile2 == nullptr) return E_POINTER;
  *ppAudioFile2 = nullptr;
  if (audioFile_) audioFile_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(ppAudioFile2));
  return S_OK;
}

}  // namespace engine
