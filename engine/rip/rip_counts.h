// What the last rip read and confirmed, as the rip report shows it. The rip
// thread counts while it reads; clients read the counts at any time, and
// after the rip's RipProgress(100) they stay as they are until the next rip
// starts.
#pragma once

#include <atomic>
#include <cstdint>

namespace engine {

struct RipCounts {
  std::atomic<int32_t> framesRead{0};         // frames the drive was asked for, cache-defeating reads included
  std::atomic<int32_t> framesReread{0};       // frames of the track read again after a block's first read
  std::atomic<int32_t> framesConfirmed{0};    // frames written that the mode's rule confirmed
  std::atomic<int32_t> framesUnconfirmed{0};  // frames of blocks given up (the on-error action's frames)
  std::atomic<int32_t> retries{0};            // reads beyond what a block needs at best (each a RipRetry)
  std::atomic<int32_t> blocksGivenUp{0};      // blocks the on-error action was applied to
  std::atomic<int32_t> c2ErrorFrames{0};      // frames of the track the drive's C2 pointers flagged on some read
  std::atomic<int32_t> framesReadTwice{0};    // frames of the track read more than once
  std::atomic<int32_t> c2Used{0};             // 1: the rip read with C2 error pointers
  // Frames of the track read again because a read of them failed, disagreed
  // with the others or was flagged by the C2 pointers: the frames a block
  // still lacked when the reads its mode needs at best were done, counted
  // once per block as its first such read begins. 0 on a clean disc in
  // every mode, so a client can show it while the rip runs.
  std::atomic<int32_t> framesRetried{0};

  // The checksums of the audio the rip delivered, stored when it reached
  // the end of its track (0 until then, and for a rip that did not).
  std::atomic<uint32_t> copyCrc{0};
  std::atomic<uint32_t> copyCrcSkipZero{0};
  std::atomic<uint32_t> accurateRipV1{0};
  std::atomic<uint32_t> accurateRipV2{0};
  std::atomic<uint32_t> accurateRipFrame450{0};
  std::atomic<uint32_t> ctdbCrc{0};  // the CUETools database's CRC of the track, at the drive's offset
  // ReplayGain of the audio handed on, when the rip measured it and reached
  // the end of its track: the gain in dB and the linear true peak (-1: not
  // measured).
  std::atomic<double> trackGainDb{0};
  std::atomic<double> trackPeak{-1};

  void reset() {
    for (auto* c : {&framesRead, &framesReread, &framesConfirmed, &framesUnconfirmed, &retries, &blocksGivenUp,
                    &c2ErrorFrames, &framesReadTwice, &c2Used, &framesRetried})
      c->store(0);
    for (auto* c : {&copyCrc, &copyCrcSkipZero, &accurateRipV1, &accurateRipV2, &accurateRipFrame450, &ctdbCrc}) c->store(0);
    trackGainDb.store(0);
    trackPeak.store(-1);
  }
};

}  // namespace engine
