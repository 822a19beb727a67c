// AudioCDRipper2: reading one block with retries. Each retry is preceded by
// a cache-defeating read and reported by RipRetry with the attempt's place
// in the current reset cycle; the drive is reset (ReloadTransport) before
// the second attempt and after every ninth attempt after that.
#include "engine/com/audio_cd_ripper.h"
#include "engine/device/overlap.h"
#include "engine/device/reads.h"
#include "engine/rip/rip_job.h"
#include "platform/sync/win32_time.h"

namespace engine {

namespace {
constexpr uint32_t kRetryPauseMs = 5;
constexpr int32_t kResetCycle = 10;
}  // namespace

AudioCDRipper2::BlockRead AudioCDRipper2::readBlock(IAudioCDRipper2* own, RipJob& job, uint32_t cur,
                                                    uint32_t frames) {
  device::TrackBuffer& b = *job.readBuffer;
  const int32_t retries = ripOnErrorRetries_;
  int32_t i = retries + 1;
  int32_t k = 1;
  uint32_t status = 0;
  const bool overlapped =
      readAlgorithm_ == 1 && cur - job.startLba >= 50 && job.endLba - cur >= 50;
  while (status != device::kResultOk && i > 0) {
    if (i < retries + 1) {
      device::TrackBuffer& s = *job.scratchBuffer;
      s.startFrame = readAlgorithm_ == 0 ? 0 : job.cacheDefeatAddress(cur, frames);
      s.frameCount = frames;
      device::ReadCDAudioLBA(cdHandle_.load(), s);
      if (readAlgorithm_ == 1) {
        retryCount_.store(static_cast<int16_t>(k));
        raiseFromWorker(own, kEventRipRetry);
        Sleep(kRetryPauseMs);
      } else {
        Sleep(kRetryPauseMs);
        retryCount_.store(static_cast<int16_t>(k));
        raiseFromWorker(own, kEventRipRetry);
      }
    }
    if (stopRequested_.load() != 0) return BlockRead::kAbandoned;
    log().value("RetryNum = ", job.encoded ? k : i);
    ++k;
    if (k == kResetCycle || i == retries) {
      reloadTransport();
      if (cdHandle_.load() == 0) return BlockRead::kFailed;
      k = 1;
    }
    checkTransport();
    if (cdHandle_.load() == 0) return BlockRead::kFailed;
    // Every attempt asks for the block afresh: an overlapped read that
    // failed has already moved the buffer's start back.
    b.startFrame = cur;
    b.frameCount = frames;
    b.validBytes = 0;
    b.dataOffset = 0;
    b.status = 0;
    status = static_cast<uint32_t>(overlapped ? device::OverlapRead(cdHandle_.load(), b, *job.jitterBuffer)
                                              : device::ReadCDAudioLBA(cdHandle_.load(), b));
    --i;
  }
  if (status != device::kResultOk) return BlockRead::kFailed;
  // The plain reads of the track's first frames leave their tail as the
  // reference, so the first overlapped read aligns on the audio already
  // ripped instead of starting wherever the drive happens to land.
  if (readAlgorithm_ == 1 && !overlapped) device::SaveOverlapTail(b, *job.jitterBuffer, overlapFrames_);
  return BlockRead::kRead;
}

}  // namespace engine
