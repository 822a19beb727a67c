// AudioCDRipper2: learning the disc (Refresh) and reporting its class and
// CDDB identifier.
#include <algorithm>
#include <string>

#include "engine/com/audio_cd_ripper.h"
#include "engine/com/toc_entries.h"
#include "engine/device/disc_id.h"
#include "engine/device/handles.h"
#include "engine/device/toc.h"
#include "platform/sync/win32_time.h"

namespace engine {

namespace {

const std::string kRule(64, '_');
constexpr int32_t kShortestMciLengthFrames = 375;  // 5 seconds
// Between the audio session of a CD-Extra disc and its data session: the
// first session's lead-out, the second's lead-in and pregap.
constexpr int32_t kSessionGapFrames = 11400;

}  // namespace

HRESULT STDMETHODCALLTYPE AudioCDRipper2::Refresh() {
  log().flush();
  log().line(kRule);
  log().line("Method RefreshCD:");
  log().line("");
  // Nothing happens while a rip or a playback holds the drive (nor in a
  // Refresh or DriverClose that an event's handler interrupted).
  BusyClaim refreshing(busy_, Busy::kRefreshing);
  if (!refreshing) return S_OK;
  ErrcodeConstants error = NO_ERRORS;
  {
    std::lock_guard drive(driveLock_);
    error = refreshHoldingDrive();
  }
  refreshing.release();
  // Raised once the drive is free again: a handler may use it.
  if (error != NO_ERRORS) raiseError(error);
  log().flush();
  return S_OK;
}

// Refresh's work, with driveLock_ held and busy_ kRefreshing. Answers the
// error to raise.
ErrcodeConstants AudioCDRipper2::refreshHoldingDrive() {
  const int32_t remembered = cdHandle_.load();
  lastError_.store(NO_ERRORS);
  subchannelLayout_.reset();  // the next question reads the disc's sub-channel again
  subchannelLayoutRead_ = false;
  cdText_.reset();  // and its CD-TEXT
  cdTextRead_ = false;
  const ErrcodeConstants taken = takeDrive(500, [this] {
    mediaChanged_.store(0);
    log().line("Refresh CD Handle");
  });
  if (taken == ASPI_DRIVER) {
    log().line("No SCSI Manager Activated (ASPI or NTSPTI)!");
    return ASPI_DRIVER;
  }
  if (taken != NO_ERRORS) {
    // The remembered number names a released handle: later commands on it
    // fail as a bad handle, as they would on no handle.
    cdHandle_.store(remembered);
    cddbInfoValid_ = false;
    mediaState_.store(kNoMedia);
    log().line("Error! Null CD Handle -- probably no disk. Current State: NOMEDIA.");
    return MEDIA_CHANGED;
  }

  log().line("Read CD TOC Structure");
  tocEntries_.fill(0);
  device::SetDeviceParameter(cdHandle_.load(), device::PARAM_MSF, 0);
  checkTransport();
  if (device::ReadToc(cdHandle_.load(), tocEntries_.data()) != device::kResultOk) {
    log().line("Try Read TOC once again");
    Sleep(120);
    checkTransport();
    if (device::ReadToc(cdHandle_.load(), tocEntries_.data()) != device::kResultOk) {
      releaseDriveHandle();
      trackIndex_ = 0;
      trackCount_ = 0;
      trackFrames_.clear();
      cddbInfoValid_ = false;
      mediaState_.store(kNoMedia);
      unloadTransport();
      Sleep(500);
      loadTransport();
      log().line("Error! Can't read TOC -- probably no disk. Current State: NOMEDIA.");
      return NO_ERRORS;
    }
  }

  trackIndex_ = 0;
  // A drive's answer names at most 99 tracks; more would read past the buffer.
  const int32_t tocTracks = tocTrackDescriptors(tocEntries_);
  log().value("Read TOC Successfull. Track Count:", tocEntries_[3]);
  if (tocTracks != 0) mediaState_.store(kMediaIn);
  discClass_ = device::ClassifyDisc(cdHandle_.load(), tocTracks);

  log().line("Check for data tracks interleaved with audio tracks");
  trackFrames_.clear();
  int32_t lastAudioDescriptor = -1;
  for (int32_t i = 0; i < tocTracks; ++i) {
    if (!tocIsAudio(tocEntries_, i)) continue;
    trackFrames_.push_back(static_cast<int32_t>(tocAddress(tocEntries_, i + 1) - tocAddress(tocEntries_, i)));
    lastAudioDescriptor = i;
  }
  trackCount_ = static_cast<int32_t>(trackFrames_.size());
  log().value("Result Track Count:", trackCount_);

  if (trackCount_ != 0) {
    const int32_t tocLength = trackFrames_.back();
    log().value("Last Track Byte:", tocLength);
    log().line("Check for last track size, if there No or wrong Lead-out.");
    // The table gives the distance to the next start, which for the last
    // audio track before a data session includes the gap between sessions;
    // the CD audio device knows the track's own length. It numbers tracks as
    // the disc does, so the track is asked for by its own number.
    log().line("Load MCI");
    if (cdAudio_->open(driveList_.drives[driveIndex_])) {
      const int trackNumber = tocEntries_[4 + 8 * lastAudioDescriptor + 2];
      const std::array<uint8_t, 3> msf = cdAudio_->trackLengthMsf(trackNumber);
      trackFrames_.back() = (msf[0] * 60 + msf[1]) * 75 + msf[2];
    }
    log().line("Unload MCI");
    cdAudio_->close();
    log().value("Last Track Byte(MCI):", trackFrames_.back());
    if (trackFrames_.back() < kShortestMciLengthFrames) {
      log().line("Return to real last Track Byte");
      trackFrames_.back() = tocLength;
      // Before a data session the distance holds the gap between the
      // sessions too, which no drive can read: the track ends before it.
      if (lastAudioDescriptor + 1 < tocTracks && tocLength > kSessionGapFrames) {
        trackFrames_.back() = tocLength - kSessionGapFrames;
      }
    }
  }

  device::DiscIdRecord record;
  device::ComputeDiscId(cdHandle_.load(), record);
  storedDiscId_ = record.values[0];
  checkTransport();

  log().line("");
  log().line("\tMethod RefreshCD complete. Current State: MEDIA IN");
  log().line(kRule);
  return NO_ERRORS;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_cdType(CDDiskTypeConstants* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetCDType Property");
  if (mediaChangedGuard()) return S_OK;
  if (mediaState_.load() == kNoMedia) {
    *pVal = UNRECOGNIZED;
    log().line("No Media! GetCDType Property end.");
    log().line("");
    return S_OK;
  }
  const bool none = trackCount_ == 0;
  CDDiskTypeConstants type = UNRECOGNIZED;
  switch (discClass_) {
    case 0: type = none ? YELLOWBOOK : UNRECOGNIZED; break;
    case 1: type = (none || trackCount_ <= 50) ? REDBOOK : BLUEBOOK; break;
    case 2: type = none ? YELLOWBOOK : BLUEBOOK; break;
    case 3: type = none ? ORANGEBOOK : BLUEBOOK; break;
    case 4: type = GREENBOOK; break;
    case 5: type = none ? ORANGEBOOK : BLUEBOOK; break;
    default: type = UNRECOGNIZED; break;
  }
  *pVal = type;
  static constexpr const char* kNames[] = {"UNRECOGNIZED", "REDBOOK", "YELLOWBOOK",
                                           "ORANGEBOOK",   "GREENBOOK", "BLUEBOOK"};
  const bool known = discClass_ >= 0 && discClass_ <= 5;
  log().line(known ? kNames[type] : "UNRECOGNIZED <default>");
  log().line("GetCDType Property end.");
  log().line("");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_cdID(LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetCDID Property");
  if (mediaChangedGuard()) return S_OK;
  *pVal = 0;
  if (scsiManagerLoaded_.load() == 0) {
    log().line("No SCSI Manager! Exit Property.");
    raiseError(ASPI_DRIVER);
    return S_OK;
  }
  if (cdHandle_.load() == 0) {
    log().line("CD Handle is NULL!. Exit Property.");
    return S_OK;
  }
  if (trackCount_ == 0) return S_OK;
  log().line("Alloc memory");
  device::DiscIdRecord record;
  if (ripBusy()) {
    // The rip's thread holds the drive, and the disc is the one the last
    // Refresh read: its identifier is known.
    record.values[0] = storedDiscId_;
  } else {
    std::lock_guard drive(driveLock_);
    device::ComputeDiscId(cdHandle_.load(), record);
  }
  *pVal = record.values[0];
  log().value("Disk Identifer is ", record.values[0]);
  log().line("Free memory");
  log().line("GetCDID Property end.");
  log().line("");
  return S_OK;
}

}  // namespace engine
