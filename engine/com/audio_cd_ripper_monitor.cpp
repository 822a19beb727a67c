// AudioCDRipper2: the disc-change monitor. Each tick of the timer thread
// that finds the drive idle asks it TEST UNIT READY; a change of readiness
// marks the media as changed and runs the media-change handler, which rules
// out false alarms (a bus reset makes a drive briefly not ready) by reading
// the table of contents again, and waits for an arriving disc to become
// readable before it reports it. MediaChange carries no argument: the client
// learns the new state from Refresh.
//
// Everything here runs on the timer thread. It uses the drive only with
// driveLock_ held, takes that lock only by trying (a rip thread holds it for
// the whole rip and waits for this thread's pump at its end), and sends
// nothing unless busy_ is kIdle once it holds it: no poll during a rip, a
// playback, a Refresh or DriverClose. It holds the lock for one command
// sequence at a time, never across a wait or an event, so the client's
// thread never waits long for it and a handler of MediaChange may take the
// drive. The handler's events travel through _OnEvent to the client's
// thread; this thread waits for them.
#include "engine/com/audio_cd_ripper.h"
#include "engine/device/handles.h"
#include "engine/device/toc.h"
#include "platform/sync/win32_time.h"

namespace engine {

namespace {
constexpr int kFalseAlarmReads = 20;
constexpr uint32_t kFalseAlarmWaitMs = 120;
constexpr int kArrivalReads = 500;        // with the wait below, up to 110 s for a disc to become readable
constexpr uint32_t kArrivalWaitMs = 220;
constexpr uint32_t kSettleMs = 120;
}  // namespace

void AudioCDRipper2::monitorTick(IAudioCDRipper2* own) {
  int32_t gone = -1;  // the handler's argument once readiness changed
  {
    std::unique_lock drive(driveLock_, std::try_to_lock);
    if (!drive.owns_lock() || busy_.load() != Busy::kIdle) return;  // the drive is someone else's
    log().line("Check Media In Progress");
    if (mediaCheckDisabled_.load() == 0 && scsiManagerLoaded_.load() != 0 && cdHandle_.load() != 0) {
      if (!testDriveReady()) {
        if (mediaState_.load() == kMediaIn) gone = 1;
        mediaState_.store(kNoMedia);
      } else {
        if (mediaState_.load() == kNoMedia) gone = 0;
        mediaState_.store(kMediaIn);
      }
      if (gone >= 0) mediaChanged_.store(1);
    }
  }
  if (gone >= 0) mediaChangeHandler(own, gone);
  monitorTicks_.fetch_add(1);  // a check done, with its handling
}

void AudioCDRipper2::mediaChangeHandler(IAudioCDRipper2* own, int32_t gone) {
  log().value("Media Change! Parameter:", gone);
  std::array<uint8_t, 804> toc{};
  if (gone == 1) {
    Sleep(kSettleMs);
    bool handle = false;
    {
      std::unique_lock drive(driveLock_, std::try_to_lock);
      if (drive.owns_lock() && busy_.load() == Busy::kIdle) {
        reloadTransport();
        handle = cdHandle_.load() != 0;
      }
    }
    if (!handle) monitorRaise(own, "Send Event: NoMedia");

    log().line("Read CD TOC Structure");
    for (int attempt = 0; attempt < kFalseAlarmReads; ++attempt) {
      bool sameDisc = false;
      if (monitorReadToc(toc, &sameDisc)) {
        // The same disc is back: a bus reset or a drive that was briefly
        // busy. Another disc put in meanwhile is a change like any other.
        if (sameDisc) {
          mediaChanged_.store(0);
          mediaState_.store(kMediaIn);
          log().line("No Event: ReRead or Bus Reset!");
          return;
        }
        mediaState_.store(kMediaIn);
        lastError_.store(NO_ERRORS);
        monitorRaise(own, "Send Event: Media In");
        return;
      }
      if (!monitorMayWait()) break;
      Sleep(kFalseAlarmWaitMs);
    }
    monitorRaise(own, "Send Event: NoMedia");
  } else {
    for (int attempt = 0; attempt < kArrivalReads; ++attempt) {
      if (monitorReadToc(toc)) {
        log().line("Read TOC Success!");
        break;
      }
      // DriverClose and Refresh do not wait out a disc that never becomes
      // readable.
      if (!monitorMayWait()) break;
      Sleep(kArrivalWaitMs);
    }
  }
  monitorRaise(own, "Send Event: Media In");
}

// The handler's waits end when the timer is stopped (DriverClose) or the
// client has taken the drive (a Refresh, which then reads the disc itself,
// or a rip or playback started from a handler).
bool AudioCDRipper2::monitorMayWait() const {
  return timerRunning_.load() == 1 && timerEnabled_.load() == 1 && busy_.load() == Busy::kIdle;
}

// One READ TOC in LBA form into `toc`, and whether it equals the table the
// last Refresh read. Nothing is sent while the drive is not free (a client
// may start a rip or a playback from the handler of an event raised here).
bool AudioCDRipper2::monitorReadToc(std::array<uint8_t, 804>& toc, bool* sameDisc) {
  std::unique_lock drive(driveLock_, std::try_to_lock);
  if (!drive.owns_lock() || busy_.load() != Busy::kIdle) return false;
  checkTransport();
  const int32_t handle = cdHandle_.load();
  toc.fill(0);
  device::SetDeviceParameter(handle, device::PARAM_MSF, 0);
  const bool read = device::ReadToc(handle, toc.data()) == device::kResultOk;
  if (sameDisc != nullptr) *sameDisc = read && toc == tocEntries_;
  return read;
}

// Raises MediaChange on the client's thread and waits for its handlers. The
// drive is not held meanwhile, so a handler may take it.
void AudioCDRipper2::monitorRaise(IAudioCDRipper2* own, const char* logLine) {
  lastError_.store(NO_ERRORS);
  log().line(logLine);
  raiseFromWorker(own, kEventMediaChange);
}

}  // namespace engine
