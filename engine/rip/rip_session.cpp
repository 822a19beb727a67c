// RipSession: the rip thread's frame. The steps in between (the common
// start, the block loop, the end sequence) are the engine object's
// (rip_thread.cpp, block_reader.cpp).
#include "engine/rip/rip_session.h"

#include <mutex>
#include <utility>

#include "engine/com/audio_cd_ripper.h"

namespace engine {

RipSession::RipSession(AudioCDRipper2& engine, BusyClaim claim) : engine_(engine), claim_(std::move(claim)) {}

RipSession::~RipSession() { thread_.join(); }

void RipSession::start(IStream* ownStream) {
  thread_ = com::ComThread([this, ownStream] { threadMain(ownStream); });
}

void RipSession::threadMain(IStream* ownStream) {
  AudioCDRipper2& e = engine_;
  IAudioCDRipper2* own = nullptr;
  if (ownStream != nullptr &&
      FAILED(CoGetInterfaceAndReleaseStream(ownStream, IID_IAudioCDRipper2, reinterpret_cast<void**>(&own)))) {
    own = nullptr;
  }
  {
    // The drive is this thread's from here to the end of the rip: the
    // monitor polls only when it can take driveLock_, and every entry point
    // of the client's thread sees busy_ and leaves it alone.
    std::lock_guard drive(e.driveLock_);
    if (e.ripCommonStart(own, *this)) {
      if (!job_.encoded || job_.pumpStarted) (void)e.ripBlockLoop(own, job_);
      e.ripEndSequence(own, job_);
    } else {
      e.finishOutputAfterFailedStart(job_);
    }
  }
  e.ripPercent_.store(100);
  e.ripDone_.store(1);
  // The rip's end takes its place among the events before the engine is
  // idle, so a disc change the monitor finds from then on is reported after
  // it. The next rip may start from this event's handler (a client ripping
  // its tracks one after another).
  const uint64_t end = e.queueWorkerEvent(own, kEventRipProgress);
  claim_.release();
  e.deliverWorkerEvent(own, end);
  // Posted to the client's thread, which runs it when it next pumps: the
  // object's final release, when this is it, runs there and joins this
  // thread.
  if (own != nullptr) own->Release();
}

}  // namespace engine
