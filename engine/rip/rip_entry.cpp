// AudioCDRipper2: the RipTrackTo operations (the entry sequence on the
// client's thread, opening the output), StopRip, and the joins of the rip
// sessions' threads.
#include <algorithm>

#include "engine/com/audio_cd_ripper.h"
#include "engine/com/toc_entries.h"
#include "engine/rip/rip_session.h"

namespace engine {

HRESULT STDMETHODCALLTYPE AudioCDRipper2::RipTrackToWav(BSTR fileName) {
  ripEntry(fileName, RipOutput::kWav, "Rip Track To Wav");
  return S_OK;
}
HRESULT STDMETHODCALLTYPE AudioCDRipper2::RipTrackToMP3(BSTR fileName) {
  ripEntry(fileName, RipOutput::kMp3, "Rip Track To MP3");
  return S_OK;
}
HRESULT STDMETHODCALLTYPE AudioCDRipper2::RipTrackToMP2(BSTR fileName) {
  ripEntry(fileName, RipOutput::kMp2, "Rip Track To MP2");
  return S_OK;
}
HRESULT STDMETHODCALLTYPE AudioCDRipper2::RipTrackToOGG(BSTR fileName) {
  ripEntry(fileName, RipOutput::kOgg, "Rip Track To OGG");
  return S_OK;
}
HRESULT STDMETHODCALLTYPE AudioCDRipper2::RipTrackToWMA(BSTR fileName) {
  ripEntry(fileName, RipOutput::kWma, "Rip Track To WMA");
  return S_OK;
}
HRESULT STDMETHODCALLTYPE AudioCDRipper2::RipTrackToAudioFile2Format(BSTR fileName) {
  ripEntry(fileName, RipOutput::kComponent, "Rip Track To AudioFile2 Format");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::RipRangeToAudioFile2Format(LONG firstLba, LONG frames, BSTR fileName) {
  log().value("Rip Range To AudioFile2 Format. First LBA: ", firstLba);
  log().value("Frames: ", frames);
  // The range lies on the disc the last Refresh read, before its lead-out.
  const int64_t leadOut = trackCount_ > 0 ? tocLeadOut(tocEntries_) : 0;
  if (firstLba < 0 || frames <= 0 || int64_t{firstLba} + frames > leadOut) {
    if (!mediaChangedGuard()) raiseError(INVALID_PARAM);
    return S_OK;
  }
  const RipRange range{static_cast<uint32_t>(firstLba), static_cast<uint32_t>(frames)};
  ripEntry(fileName, RipOutput::kComponent, "Rip Range To AudioFile2 Format", &range);
  return S_OK;
}

void AudioCDRipper2::ripEntry(BSTR fileName, RipOutput output, const char* logLine, const RipRange* range) {
  if (playing()) return;
  const bool encoded = output != RipOutput::kWav;
  // Without DriverOpen there is no codec either.
  if (encoded && (codecStatus_ != S_OK || !audioFile_)) {
    raiseError(FORMAT_NOT_SUPPORT);
    return;
  }
  log().line(logLine);
  if (mediaChangedGuard()) return;
  // Accepted only when the engine is idle; a rip whose thread has not yet
  // reached its reading counts as running, so two rips never start together.
  BusyClaim claim(busy_, Busy::kRipStarting);
  if (!claim) {
    // A Refresh or a DriverClose that an event's handler interrupted holds
    // the drive as a rip would.
    raiseError(DRIVE_BUSY);
    return;
  }
  joinFinishedRips();
  // The session takes the claim: from here it ends with the session (a
  // failed opening) or with the rip thread.
  auto session = std::make_unique<RipSession>(*this, std::move(claim), ripSettings());
  RipJob& job = session->job();
  job.resetForRip(encoded);
  job.range = range != nullptr;
  if (range != nullptr) {
    job.rangeFirst = range->firstLba;
    job.rangeFrames = range->frames;
  }
  if (!openOutput(job, output, fileName)) return;

  stopRequested_.store(0);
  lastError_.store(NO_ERRORS);
  // Each rip thread gets its own marshalled pointer.
  IStream* stream = nullptr;
  if (FAILED(CoMarshalInterThreadInterfaceInStream(IID_IAudioCDRipper2, static_cast<IAudioCDRipper2*>(this),
                                                   &stream))) {
    stream = nullptr;
  }
  session->start(stream);
  rips_.push_back(std::move(session));
}

RipSettings AudioCDRipper2::ripSettings() const {
  RipSettings r;
  r.framesPerRead = static_cast<uint32_t>(std::max<int16_t>(framesPerRead_, 1));
  r.overlapFrames = overlapFrames_;
  r.rewindFrames = rewindFrames_;
  r.exact = readAlgorithm_ == 1;
  r.preset = ripModePreset_;
  r.retries = ripOnErrorRetries_;
  r.lockTray = lockTray_ != 0;
  r.spinUpMs = spinUpMs_;
  r.readSpeed = readSpeed_;
  r.speedMax = speedMax_ != 0;
  return r;
}

// Runs while busy_ is kRipStarting and the rip thread is not yet started:
// no pump and no rip can use the codec, so its calls here need no lock.
bool AudioCDRipper2::openOutput(RipJob& job, RipOutput output, BSTR fileName) {
  if (output == RipOutput::kWav) {
    const std::string path = fromBstr(fileName);
    if (!job.wav.open(path)) {
      log().value("Cannot create the WAV file, errno ", job.wav.lastErrno());
      raiseError(FILE_ACCESS);
      return false;
    }
    return true;
  }
  BSTR name = fileName != nullptr ? fileName : SysAllocString(u"");
  LONG status = -1;
  auto create = [&] {
    audioFile_->CreateOutputFile(name, 0);
    status = -1;
    audioFile_->get_FileStatus(&status);
  };
  switch (output) {
    case RipOutput::kMp3:
    case RipOutput::kMp2:
    case RipOutput::kOgg:
      if (output == RipOutput::kMp3 && formatUnset_[2] != 0) audioFile_->SetFormatMP3(44100, 128, 2);
      if (output == RipOutput::kMp2 && formatUnset_[3] != 0) audioFile_->SetFormatMP2(44100, 128, 2);
      if (output == RipOutput::kOgg && formatUnset_[1] != 0) audioFile_->SetFormatOGG(44100, 2, 128, 0, 0, -1);
      create();
      if (status == 0) audioFile_->SetInputFormat(44100, 2);
      break;
    case RipOutput::kWma:
      audioFile_->SetInputFormat(44100, 2);
      if (formatUnset_[0] != 0) SetFormatWMA(39);
      audioFile_->SetInputFormat(44100, 2);
      create();
      if (status == 0) audioFile_->SetInputFormat(44100, 2);
      break;
    default:
      audioFile_->SetInputFormat(44100, 2);
      create();
      break;
  }
  if (name != fileName) SysFreeString(name);
  if (status != 0) {
    raiseError(FORMAT_NOT_SUPPORT);
    return false;
  }
  return true;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::StopRip() {
  log().line("Stop Rip!");
  // From the moment the rip was accepted: a stop asked while its thread
  // still takes the drive or spins up is kept, and the rip ends at its
  // first progress point.
  if (!ripBusy()) return S_OK;
  if (mediaChangedGuard()) return S_OK;
  stopRequested_.exchange(1);
  return S_OK;
}

void AudioCDRipper2::joinFinishedRips() {
  std::erase_if(rips_, [](const std::unique_ptr<RipSession>& rip) { return rip->finished(); });
}

void AudioCDRipper2::endRips() {
  if (ripBusy()) {
    stopRequested_.exchange(1);
    while (ripBusy()) CoPumpCalls(10);
  }
  // Every session is past its claim now, delivering its end or done. Inside
  // a worker's event the thread that raised it waits for this thread; a
  // session that has not finished may be that one and is left to a later
  // join. The sessions are taken out first: the waits run calls, and those
  // may start another rip.
  std::vector<std::unique_ptr<RipSession>> ending;
  for (auto it = rips_.begin(); it != rips_.end();) {
    if (workerEventDepth_ == 0 || (*it)->finished()) {
      ending.push_back(std::move(*it));
      it = rips_.erase(it);
    } else {
      ++it;
    }
  }
  for (const std::unique_ptr<RipSession>& rip : ending) rip->join();
}

}  // namespace engine
