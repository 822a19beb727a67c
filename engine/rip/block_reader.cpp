// AudioCDRipper2: reading one block with retries. Each retry is preceded by
// a cache-defeating read and reported by RipRetry with the attempt's place
// in the current reset cycle; the drive is reset (ReloadTransport) before
// the second attempt and after every ninth attempt after that.
//
// readBlock is the plain read of PLAY and BURST; readExactBlock the located
// and confirmed read of the overlapped modes (exact_read.h).
#include <algorithm>
#include <cstring>

#include "engine/com/audio_cd_ripper.h"
#include "engine/device/reads.h"
#include "engine/rip/exact_read.h"
#include "engine/rip/rip_job.h"
#include "platform/sync/win32_time.h"

namespace engine {

namespace {
constexpr uint32_t kRetryPauseMs = 5;
constexpr int32_t kResetCycle = 10;
constexpr uint32_t kFrameBytes = 2352;
constexpr uint32_t kFramesAfter = 1;  // read past the block, for drives that start early
}  // namespace

uint32_t AudioCDRipper2::exactRewindFrames() const {
  const uint32_t overlap = std::max<uint32_t>(overlapFrames_, 1);
  return std::max<uint32_t>(rewindFrames_, overlap + 1);
}

void AudioCDRipper2::defeatCache(RipJob& job, uint32_t cur, uint32_t frames) {
  device::TrackBuffer& s = *job.scratchBuffer;
  s.startFrame = readAlgorithm_ == 0 ? 0 : job.cacheDefeatAddress(cur, frames);
  s.frameCount = frames;
  device::ReadCDAudioLBA(cdHandle_.load(), s);
  ripCounts_.framesRead.fetch_add(static_cast<int32_t>(frames));
}

AudioCDRipper2::BlockRead AudioCDRipper2::readBlock(IAudioCDRipper2* own, RipJob& job, uint32_t cur,
                                                    uint32_t frames) {
  device::TrackBuffer& b = *job.readBuffer;
  const int32_t retries = ripOnErrorRetries_;
  int32_t i = retries + 1;
  int32_t k = 1;
  uint32_t status = 0;
  while (status != device::kResultOk && i > 0) {
    if (i < retries + 1) {
      defeatCache(job, cur, frames);
      Sleep(job.unpaced ? 0 : kRetryPauseMs);
      retryCount_.store(static_cast<int16_t>(k));
      ripCounts_.retries.fetch_add(1);
      raiseFromWorker(own, kEventRipRetry);
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
    b.startFrame = cur;
    b.frameCount = frames;
    b.validBytes = 0;
    b.dataOffset = 0;
    b.status = 0;
    if (i < retries + 1) ripCounts_.framesReread.fetch_add(static_cast<int32_t>(frames));
    ripCounts_.framesRead.fetch_add(static_cast<int32_t>(frames));
    status = static_cast<uint32_t>(device::ReadCDAudioLBA(cdHandle_.load(), b));
    --i;
  }
  return status == device::kResultOk ? BlockRead::kRead : BlockRead::kFailed;
}

AudioCDRipper2::BlockRead AudioCDRipper2::readExactBlock(IAudioCDRipper2* own, RipJob& job, uint32_t cur,
                                                         uint32_t frames) {
  device::TrackBuffer& b = *job.readBuffer;
  const uint32_t overlap = std::max<uint32_t>(overlapFrames_, 1);
  const uint32_t rewind = exactRewindFrames();
  // An anchor has no tail to find: its reads start at the block.
  const uint32_t first = job.tail.empty() ? cur : cur - std::min(rewind, cur - std::min(cur, job.readableFirst));
  const uint32_t fullLast = std::min(cur + frames + kFramesAfter, std::max(job.readableEnd, cur + frames));
  const size_t rewindBytes = size_t{cur - first} * kFrameBytes;
  const size_t blockBytes = size_t{frames} * kFrameBytes;
  const bool confirmByTwo = ripModePreset_ == SECURE || ripModePreset_ == PARANOID;

  bool plural = job.tail.empty();  // an anchor, or a block its tail cannot locate
  ReadTally tally;
  std::string synchBlock;
  const std::string* accepted = nullptr;
  const int32_t retries = ripOnErrorRetries_;
  int32_t retriesDone = 0;
  int32_t k = 1;
  int32_t failedReads = 0;
  for (int32_t attempt = 0;; ++attempt) {
    // After a failed read every other attempt leaves out the frame after
    // the block: an unreadable frame there belongs to the next block.
    const uint32_t last = failedReads % 2 == 1 ? cur + frames : fullLast;
    const int32_t need = plural ? 3 : confirmByTwo ? 2 : 1;
    if (attempt >= need + retries) break;
    if (attempt > 0) defeatCache(job, cur, frames);  // every read of a block after its first is fresh
    if (attempt >= need) {
      // A retry, in the drive-reset cycle of every mode.
      ++retriesDone;
      retryCount_.store(static_cast<int16_t>(k));
      ripCounts_.retries.fetch_add(1);
      raiseFromWorker(own, kEventRipRetry);
      Sleep(job.unpaced ? 0 : kRetryPauseMs);
    }
    if (stopRequested_.load() != 0) return BlockRead::kAbandoned;
    if (attempt >= need) {
      log().value("RetryNum = ", k);
      ++k;
      if (k == kResetCycle || retriesDone == 1) {
        reloadTransport();
        if (cdHandle_.load() == 0) return BlockRead::kFailed;
        k = 1;
      }
    }
    checkTransport();
    if (cdHandle_.load() == 0) return BlockRead::kFailed;

    b.startFrame = first;
    b.frameCount = last - first;
    b.validBytes = 0;
    b.dataOffset = 0;
    b.status = 0;
    if (attempt > 0) ripCounts_.framesReread.fetch_add(static_cast<int32_t>(frames));
    ripCounts_.framesRead.fetch_add(static_cast<int32_t>(last - first));
    if (device::ReadCDAudioLBA(cdHandle_.load(), b) != device::kResultOk) {
      ++failedReads;
      continue;
    }
    const std::string_view read(reinterpret_cast<const char*>(b.data()), b.validBytes);
    if (read.size() < rewindBytes + blockBytes) continue;

    if (!plural) {
      size_t at = 0;
      const TailFit fit = LocateTail(read, job.tail, blockBytes, &at);
      if (fit == TailFit::kNowhere) continue;
      if (fit == TailFit::kOnce) {
        const std::string_view located = read.substr(at + job.tail.size(), blockBytes);
        if (!confirmByTwo) {
          // SYNCH: a located read confirms its block.
          synchBlock.assign(located);
          accepted = &synchBlock;
          break;
        }
        tally.add(located);
        if ((accepted = tally.pair()) != nullptr) break;
        continue;
      }
      // The tail repeats in the read: fix the block as an anchor is.
      plural = true;
      tally.clear();
    }
    // The whole read is the key: reads that start at different places give
    // the same content only when all of it is one repeating pattern, and
    // then the block is that pattern too.
    tally.add(read);
    if ((accepted = tally.plurality()) != nullptr) break;
  }
  if (accepted == nullptr) return BlockRead::kFailed;

  // The audio known from here on: the accepted block and what precedes it.
  std::string known;
  if (plural) {
    known.assign(*accepted, 0, rewindBytes + blockBytes);  // the window up to the block's end, as the disc holds it
  } else {
    known = job.tail + *accepted;
  }
  const size_t tailBytes = std::min<size_t>(size_t{overlap} * kFrameBytes, known.size());
  std::memcpy(b.data(), known.data() + known.size() - blockBytes, blockBytes);
  job.tail.assign(known, known.size() - tailBytes, tailBytes);
  b.startFrame = cur;
  b.frameCount = frames;
  b.validBytes = static_cast<uint32_t>(blockBytes);
  b.dataOffset = 0;
  b.status = 1;
  return BlockRead::kRead;
}

}  // namespace engine
