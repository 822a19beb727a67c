// RipSession: the rip thread's steps. Its common start (a fresh transport and
// drive handle, tray lock, speed, spin-up), the block loop with the edge
// block sizes, cache-defeating reads, the on-error actions and the pacing,
// and the end sequence that always ends with RipProgress(100).
//
// The whole track is read: the loop runs to the track's last frame and its
// last block is cut to what is left, so a rip of an undamaged track equals
// the track on the disc byte for byte. With a read offset the loop reads the
// frames the offset shifts the track to, and the offset's window hands on
// the track's own audio (offset_window.h); the checksums are taken of what
// it hands on, as the output gets it.
#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/com/audio_cd_ripper.h"
#include "engine/com/toc_entries.h"
#include "engine/device/c2_reads.h"
#include "engine/device/drive_commands.h"
#include "engine/device/reads.h"
#include "engine/device/transport.h"
#include "engine/rip/block_pacer.h"
#include "engine/rip/rip_session.h"
#include "proof/ctdb_crc.h"
#include "proof/track_checksums.h"
#include "platform/sync/win32_time.h"

namespace engine {

namespace {

constexpr uint32_t kFrameBytes = 2352;
constexpr uint32_t kPcmSpareBytes = 100 * kFrameBytes;
constexpr uint32_t kTakeDriveSettleMs = 100;
constexpr uint32_t kPcmWaitMs = 2;  // a full ring is looked at again after this long
// A drive whose handle was set up for another preset than its last rip's
// settles this much longer before its new handle is made.
constexpr uint32_t kPresetSettleMs = 300;

}  // namespace

// An output opened by the entry sequence is finished and closed when the
// rip cannot start, so no half-written file stays open; the rip then ends
// as every accepted rip ends, with RipProgress(100) after its Error.
void RipSession::finishOutputAfterFailedStart() {
  if (job_.encoded) {
    std::lock_guard codec(engine_.codecLock_);
    if (engine_.audioFile_) engine_.audioFile_->CloseFile();
  } else {
    job_.wav.closeData();
    job_.wav.closeRiff();
    job_.wav.closeFile();
  }
  job_.freeBuffers();
}

// The frames of the rip (the current track, or a range rip's frames), the
// audio the reads may reach around them, and the read offset's window: the
// block loop reads startLba .. endLba, the window hands on the track's own
// audio, and the checksums see exactly what the output gets.
void RipSession::placeRip() {
  uint32_t start = 0;
  uint32_t end = 0;
  if (job_.range) {
    start = job_.rangeFirst;
    end = start + job_.rangeFrames;
    job_.trackFrames = static_cast<int32_t>(job_.rangeFrames);
  } else {
    // The audio track with ordinal engine_.trackIndex_, data tracks skipped.
    start = tocAudioTrackStart(engine_.tocEntries_, engine_.trackIndex_);
    job_.trackFrames = engine_.trackIndex_ < static_cast<int32_t>(engine_.trackFrames_.size())
                           ? engine_.trackFrames_[engine_.trackIndex_]
                           : 0;
    end = start + static_cast<uint32_t>(std::max(job_.trackFrames, 0));
  }
  job_.leadOutLba = tocLeadOut(engine_.tocEntries_);
  if (job_.trackFrames <= 0) job_.trackFrames = 1;  // progress divides by it

  // Reads reach a little into the audio around the frames (exact reads
  // overlap, the read offset shifts): into the neighbouring audio tracks
  // where they adjoin, never into a data track or past the lead-out. Before
  // the disc's first track, when it is audio, lies readable audio from LBA 0
  // on (its pregap).
  uint32_t lower = start;
  uint32_t upper = end;
  const int32_t audioTracks = static_cast<int32_t>(engine_.trackFrames_.size());
  auto trackEnd = [&](int32_t k) {
    return tocAudioTrackStart(engine_.tocEntries_, k) +
           static_cast<uint32_t>(std::max(engine_.trackFrames_[k], 0));
  };
  for (int32_t k = 0; k < audioTracks; ++k) {
    const uint32_t kStart = tocAudioTrackStart(engine_.tocEntries_, k);
    if (trackEnd(k) == start && kStart < start) lower = std::min(lower, kStart);
    if (kStart == end && engine_.trackFrames_[k] > 0) upper = std::max(upper, trackEnd(k));
  }
  if (tocTrackDescriptors(engine_.tocEntries_) > 0 && tocIsAudio(engine_.tocEntries_, 0) &&
      start == tocAddress(engine_.tocEntries_, 0))
    lower = 0;
  if (job_.leadOutLba > 0) upper = std::min(upper, std::max(job_.leadOutLba, end));

  const int32_t offset = std::clamp<int32_t>(engine_.readOffsetSamples_.load(),
                                             -kMaxReadOffsetSamples, kMaxReadOffsetSamples);
  if (offset != 0) engine_.log().value("Read offset (samples): ", offset);
  job_.window = OffsetWindow(start, end, offset, lower, upper);
  job_.startLba = job_.window.readFirst();
  job_.endLba = job_.window.readEnd();
  job_.readableFirst = lower;
  job_.readableEnd = upper;

  // The AccurateRip skips belong to the disc's first and last audio tracks.
  proof::TrackPlace place;
  if (!job_.range)
    place = proof::TrackPlaceOf(static_cast<size_t>(engine_.trackIndex_),
                                 static_cast<size_t>(audioTracks));
  job_.checksums.emplace(uint64_t{end - start} * proof::kSamplesPerFrame, place);
  // The CUETools database's CRC of a track: the disc's audio tracks from
  // track 1's start to the audio lead-out set the last track's skip.
  job_.ctdb.reset();
  if (!job_.range) {
    uint64_t discFrames = 0;
    for (const int32_t frames : engine_.trackFrames_) discFrames += static_cast<uint64_t>(std::max(frames, 0));
    const proof::CtdbSkips skips =
        proof::CtdbTrackSkips(place.firstAudioTrack, place.lastAudioTrack, discFrames * proof::kSamplesPerFrame);
    job_.ctdb.emplace(uint64_t{end - start} * proof::kSamplesPerFrame, skips.first, skips.last);
  }
  job_.loudness.reset();
  if (engine_.replayGainSetting_.load() != 0) job_.loudness = std::make_shared<TrackLoudness>();
}

bool RipSession::commonStart() {
  engine_.ripPercent_.store(0);
  engine_.retryCount_.store(0);
  engine_.ripDone_.store(0);
  engine_.ripCounts_.reset();  // the last rip's report is kept until now

  // The settling pause of a changed preset is taken here, on this thread,
  // before the rip's first read, and only once per change and drive.
  int32_t& lastPreset = engine_.lastRipPreset_[static_cast<size_t>(
      std::clamp(engine_.driveIndex_, 0, device::kMaxListedDrives - 1))];
  const bool presetChanged = lastPreset != settings_.preset;
  if (presetChanged) engine_.settlePauses_.fetch_add(1);
  const uint32_t settleMs = kTakeDriveSettleMs + (presetChanged ? kPresetSettleMs : 0);
  if (const ErrcodeConstants missing = engine_.takeDrive(settleMs); missing != NO_ERRORS) {
    raiseRipError(missing);  // ASPI_DRIVER: no transport; DRIVE_BUSY: no handle
    return false;
  }
  lastPreset = settings_.preset;
  if (settings_.lockTray) device::SendPreventAllow(engine_.cdHandle_.load(), 1);
  // Pacing spares real drives; a drive that says it reads as fast as it is
  // asked (a disc image) is read as fast as it answers, without spin-up or
  // settling pauses.
  job_.unpaced =
      device::ReadCurrentSpeedKBps(engine_.cdHandle_.load()) == device::kUnlimitedSpeedKBps;
  engine_.drivePaced_ = !job_.unpaced;

  placeRip();
  chooseC2();

  const uint32_t framesPerRead = settings_.framesPerRead;
  // An exact read holds its rewind and one frame after the block too.
  const uint32_t readFrames =
      settings_.exact ? framesPerRead + exactRewindFrames() + 1 : framesPerRead;
  job_.readBuffer = device::AllocateTrackBuffer(readFrames);
  job_.spareBuffer = device::AllocateTrackBuffer(framesPerRead);
  job_.jitterBuffer = device::AllocateTrackBuffer(framesPerRead);
  job_.scratchBuffer = device::AllocateTrackBuffer(framesPerRead);
  claim_.moveTo(Busy::kRipping);
  auto bufInit = [&](device::TrackBuffer& b, uint32_t frames) {
    engine_.log().value("BufInit Method. Num frames:", frames);
    b.startFrame = 0;
    b.frameCount = frames;
    b.capacity = frames * kFrameBytes;
    b.validBytes = 0;
    b.status = 0;
    b.dataOffset = 0;
    engine_.log().line("BufInit Method End.");
    engine_.log().line("");
  };
  // The block buffers are tested like the PCM buffer: no memory, no rip.
  if (!job_.readBuffer || !job_.spareBuffer || !job_.jitterBuffer || !job_.scratchBuffer) {
    raiseRipError(OUT_OF_MEMORY);
    job_.pumpStarted = false;     // the end sequence still closes the output
    job_.endLba = job_.startLba;  // nothing to read
  } else {
    bufInit(*job_.readBuffer, readFrames);
    if (settings_.exact) bufInit(*job_.jitterBuffer, framesPerRead);
    if (settings_.preset == PARANOID) bufInit(*job_.scratchBuffer, framesPerRead);
  }

  const int32_t speed = std::max(settings_.readSpeed, 1);
  // At the highest speed (0xFFFF asks the drive for it) nothing is paced.
  device::SendSetSpeed(engine_.cdHandle_.load(), settings_.speedMax
                                                     ? device::kUnlimitedSpeedKBps
                                                     : static_cast<uint32_t>(speed * 176 + 5));
  job_.blockMs =
      job_.unpaced || settings_.speedMax
          ? 0
          : static_cast<uint32_t>(static_cast<double>(framesPerRead) / (speed * 75.0) * 1000.0);

  if (settings_.spinUpMs > 0 && !job_.unpaced && job_.readBuffer && job_.endLba > job_.startLba) {
    const uint32_t began = GetTickCount();
    BlockPacer pacer(job_.blockMs);
    while (GetTickCount() - began <= static_cast<uint32_t>(settings_.spinUpMs) &&
           engine_.stopRequested_.load() == 0) {
      pacer.startIteration();
      device::TrackBuffer& b = *job_.readBuffer;
      b.startFrame = job_.startLba;
      b.frameCount = std::min(framesPerRead, job_.endLba - job_.startLba);
      engine_.checkTransport();
      device::ReadCDAudioLBA(engine_.cdHandle_.load(), b);
      pacer.finishIteration();
    }
  }

  if (job_.encoded) {
    job_.progressBytes.store(0);
    job_.bytesPerPercent = static_cast<int64_t>(job_.endLba - job_.startLba) * kFrameBytes / 100;
    const size_t pcmBytes =
        static_cast<size_t>(job_.endLba - job_.startLba) * kFrameBytes + kPcmSpareBytes;
    if (!job_.pcm.allocate(pcmBytes)) {
      raiseRipError(OUT_OF_MEMORY);
      return true;  // the end sequence runs; the pump never started
    }
    job_.ripOver.reset();
    job_.convertOver.reset();
    engine_.pumpJob_.store(&job_);
    engine_.converting_.store(1);  // the timer thread now pumps
    job_.pumpStarted = true;
  }
  return true;
}

// Hands audio to the encoder's ring. When the ring is full the encoder is
// behind: the rip thread, and with it the drive, waits until the pump has
// taken some. A stop request ends the wait (the rest is not wanted), and so
// does a failed encoder, whose file is reported as failed anyway.
void RipSession::appendPcm(std::span<const uint8_t> audio) {
  const uint8_t* at = audio.data();
  size_t left = audio.size();
  while (left > 0) {
    const size_t n = job_.pcm.appendSome(at, left);
    at += n;
    left -= n;
    if (n > 0) continue;
    if (engine_.stopRequested_.load() != 0 || job_.encoderFailed.load() != 0) return;
    encodedProgress();
    Sleep(kPcmWaitMs);
  }
}

// Whether this rip reads with C2 error pointers: SECURE and PARANOID on a
// drive that says it has them (or when the client says so), never when the
// client says not to. The drive's answer is kept for the report.
void RipSession::chooseC2() {
  job_.c2 = false;
  job_.c2Bits.clear();
  const int32_t setting = engine_.c2Setting_.load();
  const bool reports = device::DriveReportsC2(engine_.cdHandle_.load());
  engine_.driveReportsC2_.store(reports ? 1 : 0);
  if (!settings_.exact || (settings_.preset != SECURE && settings_.preset != PARANOID)) return;
  job_.c2 = setting == kC2On || (setting == kC2Auto && reports);
  engine_.ripCounts_.c2Used.store(job_.c2 ? 1 : 0);
  engine_.log().value("C2 error pointers: ", job_.c2 ? 1 : 0);
}

void RipSession::encodedProgress() {
  if (job_.progressBytes.load() < job_.bytesPerPercent) return;
  const int32_t encodedFrames = static_cast<int32_t>(job_.pcm.readOffset() / kFrameBytes);
  // 100 belongs to the end sequence alone: a client takes it for the rip's
  // end, and the whole track is encoded before the end sequence runs.
  raiseRipProgress(std::min(MulDiv(encodedFrames, 100, job_.trackFrames), 99));
  job_.progressBytes.store(0);
}

bool RipSession::blockLoop() {
  if (!job_.readBuffer) return false;  // no memory: nothing is read
  const uint32_t framesPerRead = settings_.framesPerRead;
  const uint32_t start = job_.startLba;
  const uint32_t end = job_.endLba;
  const uint32_t stepFrames = (end - start) / 100;
  uint32_t framesSinceProgress = 0;
  uint32_t blockCounter = 0;
  // The track's audio as the window hands it on: to the checksums, then to
  // the output. False when the WAV file could not take it.
  auto deliver = [this](std::span<const uint8_t> audio) {
    job_.checksums->add(audio);
    if (job_.ctdb) job_.ctdb->add(audio);
    if (job_.loudness) job_.loudness->add(audio.data(), audio.size());
    if (!job_.encoded) return job_.wav.append(audio.data(), audio.size());
    appendPcm(audio);
    return true;
  };
  if (!job_.window.start(deliver)) {
    raiseRipError(FILE_ACCESS);
    return false;
  }

  uint32_t cur = start;
  BlockPacer pacer(job_.blockMs);
  while (cur < end) {
    if (job_.encoded && engine_.stopRequested_.load() != 0) break;
    // Read once per block: a put during the rip applies from the next block.
    const int32_t action = engine_.ripOnErrorAction_.load();
    pacer.startIteration();
    engine_.log().value("dwCurrent=", cur);
    engine_.log().value("dwEnd=", end);
    if (job_.encoded) {
      engine_.log().value("b_counter = ", blockCounter);
      engine_.log().value("block_duration = ", job_.blockMs);
    }
    ++blockCounter;

    if (!job_.encoded) {
      if (framesSinceProgress >= stepFrames) {
        const int32_t percent = MulDiv(static_cast<int32_t>(cur - start), 100, job_.trackFrames);
        engine_.log().value("Rip Progress = ", percent);
        raiseRipProgress(percent);
        if (engine_.stopRequested_.load() != 0) break;
        framesSinceProgress = 0;
      }
    } else {
      encodedProgress();
    }

    if (settings_.preset == PARANOID) {
      device::TrackBuffer& s = *job_.scratchBuffer;
      s.startFrame = job_.cacheDefeatAddress(cur, RipJob::kCacheDefeatFrames);
      s.frameCount = RipJob::kCacheDefeatFrames;
      device::ReadCDAudioLBA(engine_.cdHandle_.load(), s);
      engine_.ripCounts_.framesRead.fetch_add(static_cast<int32_t>(s.frameCount));
    }

    uint32_t n = framesPerRead;
    if (settings_.preset != PLAY) {
      if (cur - start < 10 || end - cur < 10) {
        n = 1;
      } else if (cur - start < 50 || end - cur < 50) {
        n = 5;
      }
    }
    // A read with C2 pointers holds the rewind and a frame after the block too.
    if (job_.c2) n = std::min(n, device::kMaxC2FramesPerRead - exactRewindFrames() - 1);
    n = std::min(n, end - cur);  // the last block holds what is left of the track

    const BlockRead result = settings_.exact ? readExactBlock(cur, n) : readBlock(cur, n);
    if (result == BlockRead::kAbandoned) break;
    if (result == BlockRead::kRead) {
      device::TrackBuffer& b = *job_.readBuffer;
      const uint8_t* audio = b.data() + b.dataOffset;
      // Never past the track's end, whatever a drive hands back.
      const uint32_t frames = std::min<uint32_t>(b.frameCount, end - cur);
      const uint32_t bytes = std::min<uint32_t>(b.validBytes, frames * kFrameBytes);
      if (!job_.window.pass(audio, bytes, deliver)) {
        engine_.log().value("WAV write failed, errno ", job_.wav.lastErrno());
        raiseRipError(FILE_ACCESS);
        break;
      }
      job_.window.skip(int64_t{frames} * kFrameBytes - bytes);  // what a short answer lacks
      if (settings_.exact)
        engine_.ripCounts_.framesConfirmed.fetch_add(static_cast<int32_t>(frames));
      cur += frames;
      framesSinceProgress += frames;
    } else {
      if (action != SILENCE && action != CORRECT && action != CUT) {
        raiseRipError(OPERATION_FAILED);
        break;
      }
      // Silence and skips cover a whole block, but never reach past the
      // track's end.
      const uint32_t covered = std::min(framesPerRead, end - cur);
      engine_.ripCounts_.blocksGivenUp.fetch_add(1);
      engine_.ripCounts_.framesUnconfirmed.fetch_add(static_cast<int32_t>(covered));
      if (action == CUT) {
        job_.window.skip(int64_t{covered} * kFrameBytes);
      } else if (!job_.window.pass(nullptr, int64_t{covered} * kFrameBytes, deliver)) {
        raiseRipError(FILE_ACCESS);
        break;
      }
      cur += covered;
      framesSinceProgress += covered;
      if (job_.encoded) job_.progressBytes.fetch_add(static_cast<int64_t>(covered) * kFrameBytes);
      // The tail no longer joins the next block: it is an anchor.
      job_.tail.clear();
    }

    pacer.finishIteration();
  }
  if (cur < end) return false;
  // What the drive could not read past the disc's end, and the checksums of
  // the whole track, before the end sequence's RipProgress(100).
  if (!job_.window.finish(deliver)) {
    raiseRipError(FILE_ACCESS);
    return false;
  }
  const proof::TrackChecksumValues sums = job_.checksums->values();
  engine_.ripCounts_.copyCrc.store(sums.copyCrc);
  engine_.ripCounts_.copyCrcSkipZero.store(sums.copyCrcSkipZero);
  engine_.ripCounts_.accurateRipV1.store(sums.accurateRipV1);
  engine_.ripCounts_.accurateRipV2.store(sums.accurateRipV2);
  engine_.ripCounts_.accurateRipFrame450.store(sums.accurateRipFrame450);
  if (job_.ctdb) engine_.ripCounts_.ctdbCrc.store(job_.ctdb->value());
  storeLoudness();
  return true;
}

// The track's ReplayGain for the report, and its meter for the disc's
// album value (a track rip's only).
void RipSession::storeLoudness() {
  if (!job_.loudness) return;
  double loudness = 0;
  double peak = 0;
  if (job_.loudness->measure(loudness, peak)) {
    engine_.ripCounts_.trackGainDb.store(kReplayGainReferenceLufs - loudness);
    engine_.ripCounts_.trackPeak.store(peak);
    engine_.log().value("ReplayGain loudness (cLUFS): ", static_cast<int32_t>(loudness * 100));
  }
  if (job_.range) return;
  std::lock_guard guard(engine_.loudnessLock_);
  if (engine_.loudnessToc_ != engine_.tocEntries_) {
    engine_.discLoudness_.clear();
    engine_.loudnessToc_ = engine_.tocEntries_;
  }
  engine_.discLoudness_[engine_.trackIndex_ + 1] = std::move(job_.loudness);
}

void RipSession::endSequence() {
  if (job_.encoded) {
    if (job_.pumpStarted) {
      job_.ripOver.set();
      while (!job_.convertOver.wait(10)) {
        engine_.log().value("Wait for ConvertOverEvent ",
                            static_cast<int64_t>(job_.pcm.readOffset()));
        engine_.log().value("  written ", static_cast<int64_t>(job_.pcm.writeOffset()));
        encodedProgress();
      }
      engine_.converting_.store(0);
      while (engine_.pumpBusy_.load() != 0) Sleep(1);  // a pump tick in flight ends first
    }
    {
      std::lock_guard codec(engine_.codecLock_);
      if (job_.pumpStarted && engine_.stopRequested_.load() == 0) {
        // The ring may hold what is left in two pieces, at its end and its start.
        for (size_t rest = job_.pcm.pendingBytes(); rest > 0; rest = job_.pcm.pendingBytes()) {
          if (!engine_.writeToCodec(job_.pcm.readPointer(), rest)) job_.encoderFailed.store(1);
          job_.pcm.advanceRead(rest);
        }
      }
      if (engine_.audioFile_ && FAILED(engine_.audioFile_->CloseFile()))
        job_.encoderFailed.store(1);
    }
    // The codec could not write the file (a full disk, a folder that went
    // away): reported once, as a failed WAV write is, so the client does
    // not take the file for whole.
    if (job_.encoderFailed.load() != 0) raiseRipError(FILE_ACCESS);
  } else {
    if (!job_.wav.closeData()) raiseRipError(FILE_ACCESS);
    if (!job_.wav.closeRiff()) raiseRipError(FILE_ACCESS);
    if (!job_.wav.closeFile()) raiseRipError(FILE_ACCESS);
  }
  job_.freeBuffers();
  engine_.releaseDrive(settings_.lockTray);
  engine_.drivePaced_ = true;
  engine_.log().flush();
}

}  // namespace engine
