// AudioCDRipper2: the SCSI transport and the drive handle, the drive
// properties, Eject and the readiness test.
#include <algorithm>
#include <cstring>

#include "engine/com/audio_cd_ripper.h"
#include "engine/device/drive_commands.h"
#include "engine/device/handles.h"
#include "engine/device/transport.h"
#include "platform/sync/win32_time.h"

namespace engine {

namespace {
// Drives on which polling with TEST UNIT READY disturbs the drive.
constexpr const char* kNoPollingDrives[] = {
    "HP      , CD-Writer+ 8100  v1.0g (1:0:0)",
    "HP      , CD-Writer+ 7500  v1.0a (1:1:0)",
};
}  // namespace

// ---- the work under way ----------------------------------------------------

bool AudioCDRipper2::ripBusy() const {
  const Busy busy = busy_.load();
  return busy == Busy::kRipStarting || busy == Busy::kRipping;
}

bool AudioCDRipper2::driveBusy() const { return ripBusy() || busy_.load() == Busy::kPlaying; }

// ---- transport and handle --------------------------------------------------

ErrcodeConstants AudioCDRipper2::takeDrive(uint32_t settleMs, const std::function<void()>& onTransportLoaded) {
  unloadTransport();
  Sleep(settleMs);
  loadTransport();
  if (scsiManagerLoaded_.load() == 0) return ASPI_DRIVER;
  if (onTransportLoaded) onTransportLoaded();
  releaseDriveHandle();  // the record of the handle made before the reload
  createDriveHandle();
  return cdHandle_.load() == 0 ? DRIVE_BUSY : NO_ERRORS;
}

void AudioCDRipper2::releaseDrive(bool unlockTray) {
  constexpr int kReadyChecks = 20;
  constexpr uint32_t kReadyCheckGapMs = 200;
  if (unlockTray) device::SendPreventAllow(cdHandle_.load(), 0);
  for (int i = 0; i < kReadyChecks && !testDriveReady(); ++i) Sleep(kReadyCheckGapMs);
  mediaState_.store(kMediaIn);
}

void AudioCDRipper2::loadTransport() {
  log().line("Load SCSI Manager");
  if (scsiManagerLoaded_.load() != 0) return;
  scsiManagerLoaded_.store(device::LoadTransport(useExternalAspi_ != 0));
}

void AudioCDRipper2::unloadTransport() {
  log().line("UnloadSCSI Manager");
  if (scsiManagerLoaded_.load() == 0) return;
  device::UnloadTransport(useExternalAspi_ != 0);
  scsiManagerLoaded_.store(0);
}

void AudioCDRipper2::createDriveHandle() {
  log().line("Create CD Handle");
  if (scsiManagerLoaded_.load() == 0) return;
  device::OpenRequest request;
  const device::DriveEntry& drive = driveList_.drives[std::clamp(driveIndex_, 0, device::kMaxListedDrives - 1)];
  request.adapter = drive.adapter;
  request.target = drive.target;
  request.lun = drive.lun;
  request.readType = static_cast<uint8_t>(driveReadType_ & 0xFF);
  request.overlapFrames = overlapFrames_;
  request.rewindFrames = rewindFrames_;
  cdHandle_.store(device::OpenDevice(&request));
}

void AudioCDRipper2::releaseDriveHandle() {
  log().line("Release CD Handle");
  if (const int32_t handle = cdHandle_.load(); handle != 0) device::CloseDevice(handle);
  cdHandle_.store(0);
}

void AudioCDRipper2::checkTransport() {
  if (device::TransportUsable()) return;
  log().line("Pointers error! ReLoad Manager.");
  reloadTransport();
}

void AudioCDRipper2::reloadTransport() {
  if (lockTray_ == 0) device::SendPreventAllow(cdHandle_.load(), 1);
  releaseDriveHandle();
  unloadTransport();
  Sleep(drivePaced_ ? 500 : 0);  // a drive that answers at once has nothing to settle
  loadTransport();
  createDriveHandle();
  if (cdHandle_.load() == 0) {
    log().line("Reload Manager Failed!");
  } else if (lockTray_ == 0) {
    device::SendPreventAllow(cdHandle_.load(), 0);
  }
}

bool AudioCDRipper2::testDriveReady() {
  log().line("Test Drive Ready");
  checkTransport();
  const int32_t handle = cdHandle_.load();
  if (handle == 0) return false;
  if (mediaCheckDisabled_.load() != 0) return true;
  return device::SendTestUnitReady(handle) == device::kResultOk;
}

// ---- Eject -----------------------------------------------------------------

HRESULT STDMETHODCALLTYPE AudioCDRipper2::Eject() {
  log().line("Eject Disk");
  // A rip holds the transport and a handle from its acceptance on, also
  // while its thread is still taking them afresh: busy, whatever the
  // transport's state at this moment.
  const bool busy = driveBusy();
  if (!busy && scsiManagerLoaded_.load() == 0) {
    raiseError(ASPI_DRIVER);
  } else if (!busy && cdHandle_.load() == 0) {
    raiseError(OPERATION_FAILED);
  } else if (busy) {
    raiseError(DRIVE_BUSY);
  } else if (!mediaChangedGuard()) {
    lastError_.store(NO_ERRORS);
    std::lock_guard drive(driveLock_);
    device::SendPreventAllow(cdHandle_.load(), 0);
    device::SendStartStop(cdHandle_.load(), 1, 0);
    log().flush();
  }
  return S_OK;
}

// ---- drive properties ------------------------------------------------------

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_driveNum(LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetDriveNum Property");
  if (!mediaChangedGuard()) *pVal = driveIndex_ + 1;
  log().line("GetDriveNum Property end.");
  log().line("");
  return S_OK;
}

void AudioCDRipper2::selectDrive(LONG driveNum) {
  LONG value = std::min<LONG>(driveNum, driveCount_);
  value = std::max<LONG>(value, 1);
  driveIndex_ = value - 1;
  log().value("Drive Num Set in:", driveIndex_);
  currentDriveName_ = driveList_.drives[driveIndex_].name;
  mediaCheckDisabled_.store(0);
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::put_driveNum(LONG newVal) {
  log().value("PutDriveNum Property. Parameter: ", newVal);
  if (mediaChangedGuard() || !idle()) return S_OK;
  selectDrive(newVal);
  log().line("PutDriveNum Property End.");
  log().line("");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_driveCount(LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetDriveCount Property");
  if (!mediaChangedGuard()) *pVal = driveCount_;
  log().line("GetDrivecount Property End");
  log().line("");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_driveLetter(BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetDriveLetter Property");
  if (!mediaChangedGuard()) {
    // This system is NT-class: the drive list holds each drive's root path
    // ("E:\") where the inquiry's vendor-specific bytes were.
    const char* root = driveList_.drives[driveIndex_].vendorSpecific;
    const std::string letter(root, strnlen(root, sizeof driveList_.drives[0].vendorSpecific));
    log().pair("Letter:", letter);
    *pVal = newBstr(letter);
  }
  log().line("GetDriveLetter Property End.");
  log().line("");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_driveName(BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetDriveName Property");
  if (!mediaChangedGuard()) {
    *pVal = newBstr(currentDriveName_);
    log().pair("Drive:", currentDriveName_);
    const bool noPolling = std::any_of(std::begin(kNoPollingDrives), std::end(kNoPollingDrives),
                                       [&](const char* name) { return currentDriveName_ == name; });
    mediaCheckDisabled_.store(noPolling ? 1 : 0);
    if (noPolling) log().line("No automatical check for media change on this drive!");
  }
  log().line("GetDriveName Property End");
  log().line("");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_driveReadType(ReadTypeConstants* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetDriveReadType Property");
  if (!mediaChangedGuard()) *pVal = static_cast<ReadTypeConstants>(driveReadType_);
  log().line("GetDriveReadType Property End");
  log().line("");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::put_driveReadType(ReadTypeConstants newVal) {
  log().value("PutDriveReadType Property. Parameter: ", newVal);
  if (mediaChangedGuard() || !idle()) return S_OK;
  std::lock_guard drive(driveLock_);
  releaseDriveHandle();
  driveReadType_ = newVal;  // unchecked: OpenDevice takes values outside 1..8 as auto-detection
  log().value("New Read Type: ", driveReadType_);
  createDriveHandle();
  log().line("PutDriveReadType Property end.");
  log().line("");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_driveSpeed(LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetDriveSpeed Property");
  if (!mediaChangedGuard()) *pVal = readSpeed_;
  log().line("GetDriveSpeed Property end");
  log().line("");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_driveSpeedMax(VARIANT_BOOL* pVal) {
  if (pVal == nullptr) return E_POINTER;
  if (!mediaChangedGuard()) *pVal = speedMax_ != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::put_driveSpeedMax(VARIANT_BOOL newVal) {
  log().value("PutDriveSpeedMax Property. Parameter: ", newVal);
  if (!idle() || mediaChangedGuard()) return S_OK;
  speedMax_ = newVal != VARIANT_FALSE ? 1 : 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::put_driveSpeed(LONG newVal) {
  log().value("PutDriveSpeed Property. Parameter: ", newVal);
  if (!idle() || mediaChangedGuard()) return S_OK;
  if (newVal > 64) {
    readSpeed_ = 64;  // stored without the closing lines
    return S_OK;
  }
  if (newVal <= 1) {
    readSpeed_ = 1;
  } else if (newVal <= 4) {
    readSpeed_ = newVal & ~1;  // 2, 2, 4
  } else {
    readSpeed_ = newVal & ~3;  // 4, 8, ..., 64
  }
  log().value("New drive speed is: ", readSpeed_);
  log().line("PutDriveSpeed Property end.");
  log().line("");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_driveSpinUpTime(LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetDriveSpinUpTime Property");
  if (!mediaChangedGuard()) *pVal = spinUpMs_;
  log().line("GetDriveSpinUpTime Property end.");
  log().line("");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::put_driveSpinUpTime(LONG newVal) {
  log().value("PutDriveSpinUpTime Property. Parameter: ", newVal);
  if (mediaChangedGuard() || !idle()) return S_OK;
  spinUpMs_ = std::clamp<LONG>(newVal, 0, 600000);
  log().value("New drive spin up time set in: ", spinUpMs_);
  log().line("PutDriveSpinUpTime Property end.");
  log().line("");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_driveLockCDTrayDuringRip(VARIANT_BOOL* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetDriveLockCDTrayDuringRip Property.");
  if (!mediaChangedGuard()) *pVal = lockTray_ == 1 ? VARIANT_TRUE : VARIANT_FALSE;
  log().line("GetDriveLockCDTrayDuringRip Property end.");
  log().line("");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::put_driveLockCDTrayDuringRip(VARIANT_BOOL newVal) {
  log().value("PutDriveLockCDTrayDuringRip Property. Parameter: ", static_cast<SHORT>(newVal));
  if (mediaChangedGuard() || !idle()) return S_OK;
  lockTray_ = static_cast<SHORT>(newVal) == -1 ? 1 : 0;
  log().line("PutDriveLockCDTrayDuringRip Property end.");
  log().line("");
  return S_OK;
}

}  // namespace engine
