// AudioCDRipper2: the rip thread. Its common start (a fresh transport and
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
#include "engine/device/drive_commands.h"
#include "engine/device/reads.h"
#include "engine/device/transport.h"
#include "engine/rip/block_pacer.h"
#include "engine/rip/rip_job.h"
#include "engine/rip/rip_session.h"
#include "engine/verify/track_checksums.h"
#include "platform/sync/win32_time.h"

namespace engine {

namespace {

constexpr uint32_t kFrameBytes = 2352;
constexpr uint32_t kPcmSpareBytes = 100 * kFrameBytes;
constexpr uint32_t kTakeDriveSettleMs = 100;
// A drive whose handle was set up for another preset than its last rip's
// settles this much longer before its new handle is made.
constexpr uint32_t kPresetSettleMs = 300;

}  // namespace

void AudioCDRipper2::raiseRipError(IAudioCDRipper2* own, ErrcodeConstants code) {
  lastError_.store(code);
  raiseFromWorker(own, kEventError);
}

void AudioCDRipper2::raiseRipProgress(IAudioCDRipper2* own, int32_t percent) {
  ripPercent_.store(static_cast<int16_t>(percent));
  raiseFromWorker(own, kEventRipProgress);
}

// An output opened by the entry sequence is finished and closed when the
// rip cannot start, so no half-written file stays open; the rip then ends
// as every accepted rip ends, with RipProgress(100) after its Error.
void AudioCDRipper2::finishOutputAfterFailedStart(RipJob& job) {
  if (job.encoded) {
    std::lock_guard codec(codecLock_);
    if (audioFile_) audioFile_->CloseFile();
  } else {
    job.wav.closeData();
    job.wav.closeRiff();
    job.wav.closeFile();
  }
  job.freeBuffers();
}

// The frames of the rip (the current track, or a range rip's frames), the
// audio the reads may reach around them, and the read offset's window: the
// block loop reads startLba .. endLba, the window hands on the track's own
// audio, and the checksums see exactly what the output gets.
void AudioCDRipper2::placeRip(RipJob& job) {
  uint32_t start = 0;
  uint32_t end = 0;
  if (job.range) {
    start = job.rangeFirst;
    end = start + job.rangeFrames;
    job.trackFrames = static_cast<int32_t>(job.rangeFrames);
  } else {
    // The audio track with ordinal trackIndex_, data tracks skipped.
    start = tocAudioTrackStart(tocEntries_, trackIndex_);
    job.trackFrames = trackIndex_ < static_cast<int32_t>(trackFrames_.size()) ? trackFrames_[trackIndex_] : 0;
    end = start + static_cast<uint32_t>(std::max(job.trackFrames, 0));
  }
  job.leadOutLba = tocLeadOut(tocEntries_);
  if (job.trackFrames <= 0) job.trackFrames = 1;  // progress divides by it

  // Reads reach a little into the audio around the frames (exact reads
  // overlap, the read offset shifts): into the neighbouring audio tracks
  // where they adjoin, never into a data track or past the lead-out. Before
  // the disc's first track, when it is audio, lies readable audio from LBA 0
  // on (its pregap).
  uint32_t lower = start;
  uint32_t upper = end;
  const int32_t audioTracks = static_cast<int32_t>(trackFrames_.size());
  auto trackEnd = [&](int32_t k) {
    return tocAudioTrackStart(tocEntries_, k) + static_cast<uint32_t>(std::max(trackFrames_[k], 0));
  };
  for (int32_t k = 0; k < audioTracks; ++k) {
    const uint32_t kStart = tocAudioTrackStart(tocEntries_, k);
    if (trackEnd(k) == start && kStart < start) lower = std::min(lower, kStart);
    if (kStart == end && trackFrames_[k] > 0) upper = std::max(upper, trackEnd(k));
  }
  if (tocTrackDescriptors(tocEntries_) > 0 && tocIsAudio(tocEntries_, 0) && start == tocAddress(tocEntries_, 0))
    lower = 0;
  if (job.leadOutLba > 0) upper = std::min(upper, std::max(job.leadOutLba, end));

  const int32_t offset = std::clamp<int32_t>(readOffsetSamples_.load(), -kMaxReadOffsetSamples, kMaxReadOffsetSamples);
  if (offset != 0) log().value("Read offset (samples): ", offset);
  job.window = OffsetWindow(start, end, offset, lower, upper);
  job.startLba = job.window.readFirst();
  job.endLba = job.window.readEnd();
  job.readableFirst = lower;
  job.readableEnd = upper;

  // The AccurateRip skips belong to the disc's first and last audio tracks.
  verify::TrackPlace place;
  if (!job.range) place = verify::TrackPlaceOf(static_cast<size_t>(trackIndex_), static_cast<size_t>(audioTracks));
  job.checksums.emplace(uint64_t{end - start} * verify::kSamplesPerFrame, place);
}

bool AudioCDRipper2::ripCommonStart(IAudioCDRipper2* own, RipSession& rip) {
  RipJob& job = rip.job();
  ripPercent_.store(0);
  retryCount_.store(0);
  ripDone_.store(0);
  ripCounts_.reset();  // the last rip's report is kept until now

  // The settling pause of a changed preset is taken here, on this thread,
  // before the rip's first read, and only once per change and drive.
  int32_t& lastPreset = lastRipPreset_[static_cast<size_t>(std::clamp(driveIndex_, 0, device::kMaxListedDrives - 1))];
  const bool presetChanged = lastPreset != ripModePreset_;
  if (presetChanged) settlePauses_.fetch_add(1);
  const uint32_t settleMs = kTakeDriveSettleMs + (presetChanged ? kPresetSettleMs : 0);
  if (const ErrcodeConstants missing = takeDrive(settleMs); missing != NO_ERRORS) {
    raiseRipError(own, missing);  // ASPI_DRIVER: no transport; DRIVE_BUSY: no handle
    return false;
  }
  lastPreset = ripModePreset_;
  if (lockTray_ != 0) device::SendPreventAllow(cdHandle_.load(), 1);
  // Pacing spares real drives; a drive that says it reads as fast as it is
  // asked (a disc image) is read as fast as it answers, without spin-up or
  // settling pauses.
  job.unpaced = device::ReadCurrentSpeedKBps(cdHandle_.load()) == device::kUnlimitedSpeedKBps;
  drivePaced_ = !job.unpaced;

  placeRip(job);

  const uint32_t framesPerRead = static_cast<uint32_t>(std::max<int16_t>(framesPerRead_, 1));
  // An exact read holds its rewind and one frame after the block too.
  const uint32_t readFrames = readAlgorithm_ == 1 ? framesPerRead + exactRewindFrames() + 1 : framesPerRead;
  job.readBuffer = device::AllocateTrackBuffer(readFrames);
  job.spareBuffer = device::AllocateTrackBuffer(framesPerRead);
  job.jitterBuffer = device::AllocateTrackBuffer(framesPerRead);
  job.scratchBuffer = device::AllocateTrackBuffer(framesPerRead);
  rip.nowRipping();
  auto bufInit = [&](device::TrackBuffer& b, uint32_t frames) {
    log().value("BufInit Method. Num frames:", frames);
    b.startFrame = 0;
    b.frameCount = frames;
    b.capacity = frames * kFrameBytes;
    b.validBytes = 0;
    b.status = 0;
    b.dataOffset = 0;
    log().line("BufInit Method End.");
    log().line("");
  };
  // The block buffers are tested like the PCM buffer: no memory, no rip.
  if (!job.readBuffer || !job.spareBuffer || !job.jitterBuffer || !job.scratchBuffer) {
    raiseRipError(own, OUT_OF_MEMORY);
    job.pumpStarted = false;    // the end sequence still closes the output
    job.endLba = job.startLba;  // nothing to read
  } else {
    bufInit(*job.readBuffer, readFrames);
    if (readAlgorithm_ == 1) bufInit(*job.jitterBuffer, framesPerRead);
    if (ripModePreset_ == PARANOID) bufInit(*job.scratchBuffer, framesPerRead);
  }

  const int32_t speed = std::max(readSpeed_, 1);
  // At the highest speed (0xFFFF asks the drive for it) nothing is paced.
  device::SendSetSpeed(cdHandle_.load(), speedMax_ != 0 ? device::kUnlimitedSpeedKBps
                                                        : static_cast<uint32_t>(speed * 176 + 5));
  job.blockMs = job.unpaced || speedMax_ != 0 ? 0 : static_cast<uint32_t>(static_cast<double>(framesPerRead) / (speed * 75.0) * 1000.0);

  if (spinUpMs_ > 0 && !job.unpaced && job.readBuffer && job.endLba > job.startLba) {
    const uint32_t began = GetTickCount();
    BlockPacer pacer(job.blockMs);
    while (GetTickCount() - began <= static_cast<uint32_t>(spinUpMs_) && stopRequested_.load() == 0) {
      pacer.startIteration();
      device::TrackBuffer& b = *job.readBuffer;
      b.startFrame = job.startLba;
      b.frameCount = std::min(framesPerRead, job.endLba - job.startLba);
      checkTransport();
      device::ReadCDAudioLBA(cdHandle_.load(), b);
      pacer.finishIteration();
    }
  }

  if (job.encoded) {
    job.progressBytes.store(0);
    job.bytesPerPercent = static_cast<int64_t>(job.endLba - job.startLba) * kFrameBytes / 100;
    const size_t pcmBytes = static_cast<size_t>(job.endLba - job.startLba) * kFrameBytes + kPcmSpareBytes;
    if (!job.pcm.allocate(pcmBytes)) {
      raiseRipError(own, OUT_OF_MEMORY);
      return true;  // the end sequence runs; the pump never started
    }
    job.ripOver.reset();
    job.convertOver.reset();
    pumpJob_.store(&job);
    converting_.store(1);  // the timer thread now pumps
    job.pumpStarted = true;
  }
  return true;
}

void AudioCDRipper2::encodedProgress(IAudioCDRipper2* own, RipJob& job) {
  if (job.progressBytes.load() < job.bytesPerPercent) return;
  const int32_t encodedFrames = static_cast<int32_t>(job.pcm.readOffset() / kFrameBytes);
  // 100 belongs to the end sequence alone: a client takes it for the rip's
  // end, and the whole track is encoded before the end sequence runs.
  raiseRipProgress(own, std::min(MulDiv(encodedFrames, 100, job.trackFrames), 99));
  job.progressBytes.store(0);
}

bool AudioCDRipper2::ripBlockLoop(IAudioCDRipper2* own, RipJob& job) {
  if (!job.readBuffer) return false;  // no memory: nothing is read
  const uint32_t framesPerRead = static_cast<uint32_t>(std::max<int16_t>(framesPerRead_, 1));
  const uint32_t start = job.startLba;
  const uint32_t end = job.endLba;
  const uint32_t stepFrames = (end - start) / 100;
  uint32_t framesSinceProgress = 0;
  uint32_t blockCounter = 0;
  job.previousBlockFrames = framesPerRead;
  // The track's audio as the window hands it on: to the checksums, then to
  // the output. False when the WAV file could not take it.
  auto deliver = [&job](std::span<const uint8_t> audio) {
    job.checksums->add(audio);
    if (!job.encoded) return job.wav.append(audio.data(), audio.size());
    (void)job.pcm.append(audio.data(), audio.size());  // sized for the whole track and more
    return true;
  };
  if (!job.window.start(deliver)) {
    raiseRipError(own, FILE_ACCESS);
    return false;
  }

  uint32_t cur = start;
  BlockPacer pacer(job.blockMs);
  while (cur < end) {
    if (job.encoded && stopRequested_.load() != 0) break;
    // Read once per block: a put during the rip applies from the next block.
    const int32_t action = ripOnErrorAction_.load();
    pacer.startIteration();
    log().value("dwCurrent=", cur);
    log().value("dwEnd=", end);
    if (job.encoded) {
      log().value("b_counter = ", blockCounter);
      log().value("block_duration = ", job.blockMs);
    }
    ++blockCounter;

    if (!job.encoded) {
      if (framesSinceProgress >= stepFrames) {
        const int32_t percent = MulDiv(static_cast<int32_t>(cur - start), 100, job.trackFrames);
        log().value("Rip Progress = ", percent);
        raiseRipProgress(own, percent);
        if (stopRequested_.load() != 0) break;
        framesSinceProgress = 0;
      }
    } else {
      encodedProgress(own, job);
    }

    if (ripModePreset_ == PARANOID) {
      device::TrackBuffer& s = *job.scratchBuffer;
      s.startFrame = job.cacheDefeatAddress(cur, job.previousBlockFrames);
      s.frameCount = job.previousBlockFrames;
      device::ReadCDAudioLBA(cdHandle_.load(), s);
      ripCounts_.framesRead.fetch_add(static_cast<int32_t>(s.frameCount));
    }

    uint32_t n = framesPerRead;
    if (ripModePreset_ != PLAY) {
      if (cur - start < 10 || end - cur < 10) {
        n = 1;
      } else if (cur - start < 50 || end - cur < 50) {
        n = 5;
      }
    }
    n = std::min(n, end - cur);  // the last block holds what is left of the track
    job.previousBlockFrames = n;

    const BlockRead result = readAlgorithm_ == 1 ? readExactBlock(own, job, cur, n) : readBlock(own, job, cur, n);
    if (result == BlockRead::kAbandoned) break;
    if (result == BlockRead::kRead) {
      device::TrackBuffer& b = *job.readBuffer;
      const uint8_t* audio = b.data() + b.dataOffset;
      // Never past the track's end, whatever a drive hands back.
      const uint32_t frames = std::min<uint32_t>(b.frameCount, end - cur);
      const uint32_t bytes = std::min<uint32_t>(b.validBytes, frames * kFrameBytes);
      if (!job.window.pass(audio, bytes, deliver)) {
        log().value("WAV write failed, errno ", job.wav.lastErrno());
        raiseRipError(own, FILE_ACCESS);
        break;
      }
      job.window.skip(int64_t{frames} * kFrameBytes - bytes);  // what a short answer lacks
      if (readAlgorithm_ == 1) ripCounts_.framesConfirmed.fetch_add(static_cast<int32_t>(frames));
      cur += frames;
      framesSinceProgress += frames;
    } else {
      if (action != SILENCE && action != CORRECT && action != CUT) {
        raiseRipError(own, OPERATION_FAILED);
        break;
      }
      // Silence and skips cover a whole block, but never reach past the
      // track's end.
      const uint32_t covered = std::min(framesPerRead, end - cur);
      ripCounts_.blocksGivenUp.fetch_add(1);
      ripCounts_.framesUnconfirmed.fetch_add(static_cast<int32_t>(covered));
      if (action == CUT) {
        job.window.skip(int64_t{covered} * kFrameBytes);
      } else if (!job.window.pass(nullptr, int64_t{covered} * kFrameBytes, deliver)) {
        raiseRipError(own, FILE_ACCESS);
        break;
      }
      cur += covered;
      framesSinceProgress += covered;
      if (job.encoded) job.progressBytes.fetch_add(static_cast<int64_t>(covered) * kFrameBytes);
      // The tail no longer joins the next block: it is an anchor.
      job.tail.clear();
    }

    pacer.finishIteration();
  }
  if (cur < end) return false;
  // What the drive could not read past the disc's end, and the checksums of
  // the whole track, before the end sequence's RipProgress(100).
  if (!job.window.finish(deliver)) {
    raiseRipError(own, FILE_ACCESS);
    return false;
  }
  const verify::TrackChecksumValues sums = job.checksums->values();
  ripCounts_.copyCrc.store(sums.copyCrc);
  ripCounts_.copyCrcSkipZero.store(sums.copyCrcSkipZero);
  ripCounts_.accurateRipV1.store(sums.accurateRipV1);
  ripCounts_.accurateRipV2.store(sums.accurateRipV2);
  ripCounts_.accurateRipFrame450.store(sums.accurateRipFrame450);
  return true;
}

void AudioCDRipper2::ripEndSequence(IAudioCDRipper2* own, RipJob& job) {
  if (job.encoded) {
    if (job.pumpStarted) {
      job.ripOver.set();
      while (!job.convertOver.wait(10)) {
        log().value("Wait for ConvertOverEvent ", static_cast<int64_t>(job.pcm.readOffset()));
        log().value("  written ", static_cast<int64_t>(job.pcm.writeOffset()));
        encodedProgress(own, job);
      }
      converting_.store(0);
      while (pumpBusy_.load() != 0) Sleep(1);  // a pump tick in flight ends first
    }
    {
      std::lock_guard codec(codecLock_);
      if (job.pumpStarted && stopRequested_.load() == 0) {
        const size_t rest = job.pcm.pendingBytes();
        if (rest > 0 && !writeToCodec(job.pcm.readPointer(), rest)) job.encoderFailed.store(1);
        job.pcm.advanceRead(rest);
      }
      if (audioFile_ && FAILED(audioFile_->CloseFile())) job.encoderFailed.store(1);
    }
    // The codec could not write the file (a full disk, a folder that went
    // away): reported once, as a failed WAV write is, so the client does
    // not take the file for whole.
    if (job.encoderFailed.load() != 0) raiseRipError(own, FILE_ACCESS);
  } else {
    if (!job.wav.closeData()) raiseRipError(own, FILE_ACCESS);
    if (!job.wav.closeRiff()) raiseRipError(own, FILE_ACCESS);
    if (!job.wav.closeFile()) raiseRipError(own, FILE_ACCESS);
  }
  job.freeBuffers();
  releaseDrive(lockTray_ != 0);
  drivePaced_ = true;
  log().flush();
}

}  // namespace engine
