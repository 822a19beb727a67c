// RipSession: reading one block with retries. Each retry is preceded by
// a cache-defeating read and reported by RipRetry with the attempt's place
// in the current reset cycle; the drive is reset (ReloadTransport) before
// the second attempt and after every ninth attempt after that.
//
// readBlock is the plain read of PLAY and BURST; readExactBlock the located
// and confirmed read of the overlapped modes (exact_read.h).
#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/com/audio_cd_ripper.h"
#include "engine/device/c2_reads.h"
#include "engine/device/reads.h"
#include "engine/rip/exact_read.h"
#include "engine/rip/rip_job.h"
#include "engine/rip/rip_session.h"
#include "platform/sync/win32_time.h"

namespace engine {

namespace {
constexpr uint32_t kRetryPauseMs = 5;
constexpr int32_t kResetCycle = 10;
constexpr uint32_t kFrameBytes = 2352;
constexpr uint32_t kFramesAfter = 1;  // read past the block, for drives that start early
}  // namespace

uint32_t RipSession::exactRewindFrames() const {
  const uint32_t overlap = std::max<uint32_t>(settings_.overlapFrames, 1);
  return std::max<uint32_t>(settings_.rewindFrames, overlap + 1);
}

// The head goes far away and back: a drive empties its read-ahead cache when
// a read lands far from the last one, so one frame there defeats it as well
// as a block's worth would, at a fraction of the reading.
void RipSession::defeatCache(uint32_t cur, uint32_t frames) {
  device::TrackBuffer& s = *job_.scratchBuffer;
  s.startFrame = settings_.exact ? job_.cacheDefeatAddress(cur, RipJob::kCacheDefeatFrames) : 0;
  s.frameCount = settings_.exact ? RipJob::kCacheDefeatFrames : frames;
  device::ReadCDAudioLBA(engine_.cdHandle_.load(), s);
  engine_.ripCounts_.framesRead.fetch_add(static_cast<int32_t>(s.frameCount));
}

RipSession::BlockRead RipSession::readBlock(uint32_t cur, uint32_t frames) {
  device::TrackBuffer& b = *job_.readBuffer;
  const int32_t retries = settings_.retries;
  int32_t i = retries + 1;
  int32_t k = 1;
  uint32_t status = 0;
  while (status != device::kResultOk && i > 0) {
    if (i < retries + 1) {
      // The block's read failed: all of it is read again.
      if (i == retries) engine_.ripCounts_.framesRetried.fetch_add(static_cast<int32_t>(frames));
      defeatCache(cur, frames);
      Sleep(job_.unpaced ? 0 : kRetryPauseMs);
      engine_.retryCount_.store(static_cast<int16_t>(k));
      engine_.ripCounts_.retries.fetch_add(1);
      engine_.raiseFromWorker(own_, kEventRipRetry);
    }
    if (engine_.stopRequested_.load() != 0) return BlockRead::kAbandoned;
    engine_.log().value("RetryNum = ", job_.encoded ? k : i);
    ++k;
    if (k == kResetCycle || i == retries) {
      engine_.reloadTransport();
      if (engine_.cdHandle_.load() == 0) return BlockRead::kFailed;
      k = 1;
    }
    engine_.checkTransport();
    if (engine_.cdHandle_.load() == 0) return BlockRead::kFailed;
    b.startFrame = cur;
    b.frameCount = frames;
    b.validBytes = 0;
    b.dataOffset = 0;
    b.status = 0;
    if (i < retries + 1) engine_.ripCounts_.framesReread.fetch_add(static_cast<int32_t>(frames));
    engine_.ripCounts_.framesRead.fetch_add(static_cast<int32_t>(frames));
    status = static_cast<uint32_t>(device::ReadCDAudioLBA(engine_.cdHandle_.load(), b));
    --i;
  }
  return status == device::kResultOk ? BlockRead::kRead : BlockRead::kFailed;
}

RipSession::BlockRead RipSession::readExactBlock(uint32_t cur, uint32_t frames) {
  device::TrackBuffer& b = *job_.readBuffer;
  const uint32_t overlap = std::max<uint32_t>(settings_.overlapFrames, 1);
  const uint32_t rewind = exactRewindFrames();
  // An anchor has no tail to find: its reads start at the block.
  const uint32_t first =
      job_.tail.empty() ? cur : cur - std::min(rewind, cur - std::min(cur, job_.readableFirst));
  const uint32_t fullLast =
      std::min(cur + frames + kFramesAfter, std::max(job_.readableEnd, cur + frames));
  const size_t rewindBytes = size_t{cur - first} * kFrameBytes;
  const size_t blockBytes = size_t{frames} * kFrameBytes;
  const bool confirmByTwo = settings_.preset == SECURE || settings_.preset == PARANOID;

  bool plural = job_.tail.empty();  // an anchor, or a block its tail cannot locate
  ReadTally tally;
  // SECURE and PARANOID confirm a located block frame by frame: a frame is
  // confirmed when two located reads agree on it, and the block when all its
  // frames are. A scratch that reads wrong on some reads then costs reads
  // for its own frames, not for the chance that all of a block's scratched
  // frames read right at once.
  std::vector<ReadTally> frameTallies;
  std::vector<bool> frameAgreed;
  size_t framesAgreed = 0;
  std::string agreedBlock;
  // With C2 error pointers a frame the drive flags on a read is never taken
  // from that read. SECURE takes a frame from one read whose pointers are
  // clean (PARANOID still wants two that agree), so a clean block is read
  // once and only a flagged one again.
  const bool c2 = job_.c2;
  const bool c2Secure = c2 && settings_.preset == SECURE;
  std::vector<bool> frameFlagged(frames, false);
  bool sawFlags = false;
  int32_t reads = 0;
  const auto flagged = [&](size_t from) { return device::C2Flagged(job_.c2Bits, from, kFrameBytes); };
  const auto countBlock = [&] {
    if (c2) {
      engine_.ripCounts_.c2ErrorFrames.fetch_add(
          static_cast<int32_t>(std::count(frameFlagged.begin(), frameFlagged.end(), true)));
    }
    if (reads > 1) engine_.ripCounts_.framesReadTwice.fetch_add(static_cast<int32_t>(frames));
  };
  std::string synchBlock;
  const std::string* accepted = nullptr;
  const int32_t retries = settings_.retries;
  int32_t retriesDone = 0;
  int32_t k = 1;
  int32_t failedReads = 0;
  bool retried = false;  // the block's frames in doubt are counted (framesRetried)
  for (int32_t attempt = 0;; ++attempt) {
    // After a failed read every other attempt leaves out the frame after
    // the block: an unreadable frame there belongs to the next block.
    const uint32_t last = failedReads % 2 == 1 ? cur + frames : fullLast;
    // A flagged block's second read is what the block needs, not a retry.
    const int32_t need = plural ? 3 : c2Secure ? (sawFlags ? 2 : 1) : confirmByTwo ? 2 : 1;
    if (attempt >= need + retries) break;
    if (attempt > 0) defeatCache(cur, frames);  // every read of a block after its first is fresh
    // A read beyond what the block needs at best, or a flagged block's
    // second read: its frames not yet confirmed are read again for doubt.
    if (!retried && (attempt >= need || (c2Secure && sawFlags))) {
      retried = true;
      const size_t doubtful = plural || frameTallies.empty() ? frames : frames - framesAgreed;
      engine_.ripCounts_.framesRetried.fetch_add(static_cast<int32_t>(doubtful));
    }
    if (attempt >= need) {
      // A retry, in the drive-reset cycle of every mode.
      ++retriesDone;
      engine_.retryCount_.store(static_cast<int16_t>(k));
      engine_.ripCounts_.retries.fetch_add(1);
      engine_.raiseFromWorker(own_, kEventRipRetry);
      Sleep(job_.unpaced ? 0 : kRetryPauseMs);
    }
    if (engine_.stopRequested_.load() != 0) return BlockRead::kAbandoned;
    if (attempt >= need) {
      engine_.log().value("RetryNum = ", k);
      ++k;
      if (k == kResetCycle || retriesDone == 1) {
        engine_.reloadTransport();
        if (engine_.cdHandle_.load() == 0) return BlockRead::kFailed;
        k = 1;
      }
    }
    engine_.checkTransport();
    if (engine_.cdHandle_.load() == 0) return BlockRead::kFailed;

    b.startFrame = first;
    b.frameCount = last - first;
    b.validBytes = 0;
    b.dataOffset = 0;
    b.status = 0;
    if (attempt > 0) engine_.ripCounts_.framesReread.fetch_add(static_cast<int32_t>(frames));
    engine_.ripCounts_.framesRead.fetch_add(static_cast<int32_t>(last - first));
    ++reads;
    const int32_t status = c2 ? device::ReadCDAudioWithC2(engine_.cdHandle_.load(), b, job_.c2Bits)
                              : device::ReadCDAudioLBA(engine_.cdHandle_.load(), b);
    if (status != device::kResultOk) {
      ++failedReads;
      continue;
    }
    const std::string_view read(reinterpret_cast<const char*>(b.data()), b.validBytes);
    if (read.size() < rewindBytes + blockBytes) continue;

    if (!plural) {
      size_t at = 0;
      const TailFit fit = LocateTail(read, job_.tail, blockBytes, &at);
      if (fit == TailFit::kNowhere) continue;
      if (fit == TailFit::kOnce) {
        const size_t blockAt = at + job_.tail.size();
        const std::string_view located = read.substr(blockAt, blockBytes);
        if (!confirmByTwo) {
          // SYNCH: a located read confirms its block.
          synchBlock.assign(located);
          accepted = &synchBlock;
          break;
        }
        if (frameTallies.empty()) {
          frameTallies.resize(frames);
          frameAgreed.assign(frames, false);
          agreedBlock.assign(blockBytes, '\0');
        }
        for (size_t f = 0; f < frames; ++f) {
          if (frameAgreed[f]) continue;
          const std::string_view frame = located.substr(f * kFrameBytes, kFrameBytes);
          if (c2 && flagged(blockAt + f * kFrameBytes)) {
            frameFlagged[f] = true;
            sawFlags = true;
            continue;
          }
          if (!c2Secure && frameTallies[f].add(frame) < 2) continue;
          frameAgreed[f] = true;
          ++framesAgreed;
          agreedBlock.replace(f * kFrameBytes, kFrameBytes, frame);
        }
        if (framesAgreed == frames) {
          accepted = &agreedBlock;
          break;
        }
        continue;
      }
      // The tail repeats in the read: fix the block as an anchor is.
      plural = true;
      tally.clear();
    }
    // An anchor's read with flagged frames in its block is not counted.
    if (c2) {
      bool any = false;
      for (size_t f = 0; f < frames; ++f) {
        if (!flagged(rewindBytes + f * kFrameBytes)) continue;
        frameFlagged[f] = true;
        any = true;
      }
      if (any) continue;
    }
    // The whole read is the key: reads that start at different places give
    // the same content only when all of it is one repeating pattern, and
    // then the block is that pattern too.
    tally.add(read);
    if ((accepted = tally.plurality()) != nullptr) break;
  }
  countBlock();
  if (accepted == nullptr) return BlockRead::kFailed;

  // The audio known from here on: the accepted block and what precedes it.
  std::string known;
  if (plural) {
    known.assign(
        *accepted, 0,
        rewindBytes + blockBytes);  // the window up to the block's end, as the disc holds it
  } else {
    known = job_.tail + *accepted;
  }
  const size_t tailBytes = std::min<size_t>(size_t{overlap} * kFrameBytes, known.size());
  std::memcpy(b.data(), known.data() + known.size() - blockBytes, blockBytes);
  job_.tail.assign(known, known.size() - tailBytes, tailBytes);
  b.startFrame = cur;
  b.frameCount = frames;
  b.validBytes = static_cast<uint32_t>(blockBytes);
  b.dataOffset = 0;
  b.status = 1;
  return BlockRead::kRead;
}

}  // namespace engine
