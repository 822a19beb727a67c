// AudioCDRipper2: the events, and how worker threads raise them.
#include "engine/com/audio_cd_ripper.h"

namespace engine {

void AudioCDRipper2::fire(DISPID id, std::initializer_list<VARIANT> args) {
  if (com::ConnectionPoint* point = points_.get(DIID__IAudioCDRipper2Events)) point->fire(id, args);
}

void AudioCDRipper2::raiseError(ErrcodeConstants code) {
  lastError_.store(code);
  fire(DISPID_AudioCDRipper2_Error, {com::variantI4(code)});
}

bool AudioCDRipper2::mediaChangedGuard() {
  if (mediaChanged_.load() == 0) return false;
  raiseError(MEDIA_CHANGED);
  return true;
}

// A worker's event: the values are already stored; the call runs _OnEvent
// on the client's thread and returns once the handlers have run, so the one
// pendingEvent_ slot is free again for the next event.
void AudioCDRipper2::raiseFromWorker(IAudioCDRipper2* own, int32_t eventCode) {
  pendingEvent_.store(eventCode);
  if (own != nullptr) own->_OnEvent();
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::_OnEvent() {
  switch (pendingEvent_.load()) {
    case kEventError:
      fire(DISPID_AudioCDRipper2_Error, {com::variantI4(lastError_.load())});
      break;
    case kEventRipProgress:
      if (ripDone_.load() == 1) {
        fire(DISPID_AudioCDRipper2_RipProgress, {com::variantI4(100)});
      } else if (const int16_t percent = ripPercent_.load(); percent < 100) {
        fire(DISPID_AudioCDRipper2_RipProgress, {com::variantI4(percent)});
      }
      break;
    case kEventRipRetry:
      fire(DISPID_AudioCDRipper2_RipRetry, {com::variantI4(retryCount_.load())});
      break;
    case kEventMediaChange:
      fire(DISPID_AudioCDRipper2_MediaChange);
      break;
    case kEventTimer:
      fire(DISPID_AudioCDRipper2_Timer, {com::variantI4(samplesPlayed_.load()), com::variantI4(levelLeft_.load()),
                                         com::variantI4(levelRight_.load())});
      break;
    case kEventEndTrackPlay:
      fire(DISPID_AudioCDRipper2_EndTrackPlay);
      break;
    default:
      break;
  }
  return S_OK;
}

}  // namespace engine
