// RipSession: the rip thread's frame and its events. The steps in between
// are in rip_thread.cpp (the common start, the block loop, the end
// sequence) and block_reader.cpp (one block).
#include "engine/rip/rip_session.h"

#include <mutex>
#include <utility>

#include "engine/com/audio_cd_ripper.h"

namespace engine {

RipSession::RipSession(AudioCDRipper2& engine, BusyClaim claim, const RipSettings& settings)
    : engine_(engine), settings_(settings), claim_(std::move(claim)) {}

RipSession::~RipSession() {
  thread_.join();
}

void RipSession::start(IStream* ownStream) {
  thread_ = com::ComThread([this, ownStream] { threadMain(ownStream); });
}

void RipSession::threadMain(IStream* ownStream) {
  AudioCDRipper2& e = engine_;
  if (ownStream != nullptr &&
      FAILED(CoGetInterfaceAndReleaseStream(ownStream, IID_IAudioCDRipper2,
                                            reinterpret_cast<void**>(&own_)))) {
    own_ = nullptr;
  }
  {
    // The drive is this thread's from here to the end of the rip: the
    // monitor polls only when it can take driveLock_, and every entry point
    // of the client's thread sees busy_ and leaves it alone.
    std::lock_guard drive(e.driveLock_);
    if (commonStart()) {
      if (!job_.encoded || job_.pumpStarted) (void)blockLoop();
      endSequence();
    } else {
      finishOutputAfterFailedStart();
    }
  }
  e.ripPercent_.store(100);
  e.ripDone_.store(1);
  // The rip's end takes its place among the events before the engine is
  // idle, so a disc change the monitor finds from then on is reported after
  // it. The next rip may start from this event's handler (a client ripping
  // its tracks one after another).
  const uint64_t end = e.queueWorkerEvent(own_, kEventRipProgress);
  claim_.release();
  e.deliverWorkerEvent(own_, end);
  // Posted to the client's thread, which runs it when it next pumps: the
  // object's final release, when this is it, runs there and joins this
  // thread.
  if (own_ != nullptr) own_->Release();
}

void RipSession::raiseRipError(ErrcodeConstants code) {
  engine_.lastError_.store(code);
  engine_.raiseFromWorker(own_, kEventError);
}

void RipSession::raiseRipProgress(int32_t percent) {
  engine_.ripPercent_.store(static_cast<int16_t>(percent));
  engine_.raiseFromWorker(own_, kEventRipProgress);
}

}  // namespace engine
