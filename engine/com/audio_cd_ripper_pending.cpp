// AudioCDRipper2: members whose work comes with the rip pipeline, the output
// formats and playback. Until then each keeps the checks
// that come before its work and then fails cleanly through Error
// (OPERATION_FAILED), or does nothing where the operation reports nothing.
#include "engine/com/audio_cd_ripper.h"

namespace engine {

HRESULT STDMETHODCALLTYPE AudioCDRipper2::GetAudioPlayer2Interface(IUnknown** ppAudioPlayer2) {
  if (ppAudioPlayer2 == nullptr) return E_POINTER;
  *ppAudioPlayer2 = nullptr;
  if (player_) player_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(ppAudioPlayer2));
  return S_OK;
}

// ---- playback ----------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE AudioCDRipper2::PlayTrack(SHORT trackNum) {
  log().value("PlayTrack Method. Parameter: ", trackNum);
  if (mediaChangedGuard()) return S_OK;
  if (ripInProgress_.load() != 0 || playing_.load() != 0) {
    raiseError(OPERATION_FAILED);
    return S_OK;
  }
  if (trackNum > trackCount_ || trackCount_ == 0) {
    log().line("Track Num exceeds track count");
    raiseError(OPERATION_FAILED);
    return S_OK;
  }
  put_trackNum(trackNum);
  samplesPlayed_.store(0);
  levelLeft_.store(0);
  levelRight_.store(0);
  // Opening the playback reports its failures by not playing.
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::PauseTrack() {
  if (playing_.load() == 0) raiseError(OPERATION_FAILED);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::SeekTrack(LONG) {
  if (playing_.load() == 0) raiseError(OPERATION_FAILED);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::StopPlay() { return S_OK; }

}  // namespace engine
