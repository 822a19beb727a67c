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

namespace {
constexpr int32_t kRipDoneValue = -1;  // a queued RipProgress of the rip's end
}  // namespace

// A worker's event: the values are already stored and travel with the code,
// so that the timer thread and a rip thread raising at the same time each
// get their own event fired. The call runs _OnEvent on the client's thread
// and returns once it has fired the oldest queued event.
void AudioCDRipper2::raiseFromWorker(IAudioCDRipper2* own, int32_t eventCode) {
  deliverWorkerEvent(own, queueWorkerEvent(own, eventCode));
}

uint64_t AudioCDRipper2::queueWorkerEvent(IAudioCDRipper2* own, int32_t eventCode, std::optional<int32_t> given) {
  int32_t value = given.value_or(0);
  if (!given) {
    switch (eventCode) {
      case kEventError: value = lastError_.load(); break;
      case kEventRipProgress: value = ripDone_.load() == 1 ? kRipDoneValue : ripPercent_.load(); break;
      case kEventRipRetry: value = retryCount_.load(); break;
      default: break;
    }
    // A look-up's events carry their own values and are never what a
    // client's own _OnEvent call repeats.
    pendingEvent_.store(eventCode);
  }
  if (own == nullptr) return 0;  // a worker without a way to the client's thread
  std::lock_guard lock(workerEventsLock_);
  const uint64_t serial = ++workerEventSerial_;
  workerEvents_.push_back({eventCode, value, serial});
  return serial;
}

void AudioCDRipper2::deliverWorkerEvent(IAudioCDRipper2* own, uint64_t serial) {
  if (own == nullptr || serial == 0) return;
  if (FAILED(own->_OnEvent())) {
    // The client's apartment is gone: the event is dropped, not left for a
    // later call to fire in another's place.
    std::lock_guard lock(workerEventsLock_);
    std::erase_if(workerEvents_, [serial](const WorkerEvent& e) { return e.serial == serial; });
  }
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::_OnEvent() {
  // A client calling _OnEvent itself (no worker's event queued) gets the
  // event of the last code with the values as they are stored now.
  WorkerEvent event{pendingEvent_.load(), 0, 0};
  bool queued = false;
  {
    std::lock_guard lock(workerEventsLock_);
    if (!workerEvents_.empty()) {
      event = workerEvents_.front();
      workerEvents_.pop_front();
      queued = true;
    }
  }
  if (!queued) {
    switch (event.code) {
      case kEventError: event.value = lastError_.load(); break;
      case kEventRipProgress: event.value = ripDone_.load() == 1 ? kRipDoneValue : ripPercent_.load(); break;
      case kEventRipRetry: event.value = retryCount_.load(); break;
      default: break;
    }
  }
  // A worker's event: its thread waits for the handlers that run now, so
  // joins from inside them take only finished threads (endRips).
  if (queued) ++workerEventDepth_;
  fireWorkerEvent(event.code, event.value);
  if (queued) --workerEventDepth_;
  return S_OK;
}

void AudioCDRipper2::fireWorkerEvent(int32_t code, int32_t value) {
  switch (code) {
    case kEventError:
      fire(DISPID_AudioCDRipper2_Error, {com::variantI4(value)});
      break;
    case kEventRipProgress:
      if (value == kRipDoneValue) {
        fire(DISPID_AudioCDRipper2_RipProgress, {com::variantI4(100)});
      } else if (value < 100) {
        fire(DISPID_AudioCDRipper2_RipProgress, {com::variantI4(value)});
      }
      break;
    case kEventRipRetry:
      fire(DISPID_AudioCDRipper2_RipRetry, {com::variantI4(value)});
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
    case kEventCddbStatus:
      fire(DISPID_AudioCDRipper2_CDDBQueryStatus, {com::variantI4(value)});
      break;
    case kEventCddbEnd:
      fireCddbEnd(value);
      break;
    default:
      break;
  }
}

}  // namespace engine
