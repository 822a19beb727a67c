// AudioCDRipper2: the disc-change monitor. Each tick of the timer thread
// that finds the drive idle asks it TEST UNIT READY; a change of readiness
// marks the media as changed and runs the media-change handler, which rules
// out false alarms (a bus reset makes a drive briefly not ready) by reading
// the table of contents again, and waits for an arriving disc to become
// readable before it reports it. MediaChange carries no argument: the client
// learns the new state from Refresh.
//
// Everything here runs on the timer thread. The monitor never polls while a
// rip or a playback holds the drive (ripInProgress_), while a Refresh runs or
// a WAV rip runs (the timer gate is clear then, and no tick comes), or while
// the handler itself runs (it runs inside the tick). The handler's events
// travel through _OnEvent to the client's thread; the thread waits for them.
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
  // Busy first, then the ripInProgress_ test: a client taking the drive sets
  // ripInProgress_ first and then waits for busy to clear (waitMonitorIdle).
  monitorBusy_.store(1);
  log().line("Check Media In Progress");
  if (mediaCheckDisabled_.load() == 0 && ripInProgress_.load() == 0 && scsiManagerLoaded_.load() != 0 &&
      cdHandle_.load() != 0) {
    if (!testDriveReady()) {
      if (mediaState_.load() == kMediaIn) {
        mediaState_.store(kNoMedia);
        mediaChanged_.store(1);
        mediaChangeHandler(own, 1);
      } else {
        mediaState_.store(kNoMedia);
      }
    } else if (mediaState_.load() == kNoMedia) {
      mediaState_.store(kMediaIn);
      mediaChanged_.store(1);
      mediaChangeHandler(own, 0);
    } else {
      mediaState_.store(kMediaIn);
    }
  }
  monitorBusy_.store(0);
  monitorTicks_.fetch_add(1);
}

void AudioCDRipper2::mediaChangeHandler(IAudioCDRipper2* own, int32_t gone) {
  log().value("Media Change! Parameter:", gone);
  std::array<uint8_t, 804> toc{};
  if (gone == 1) {
    Sleep(kSettleMs);
    reloadTransport();
    if (cdHandle_.load() == 0) monitorRaise(own, "Send Event: NoMedia");

    log().line("Read CD TOC Structure");
    for (int attempt = 0; attempt < kFalseAlarmReads; ++attempt) {
      if (monitorReadToc(toc)) {
        // The same disc is back: a bus reset or a drive that was briefly
        // busy. Another disc put in meanwhile is a change like any other.
        if (toc == tocEntries_) {
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

// The handler's waits end when the timer is stopped (DriverClose) or its
// work is gated off (Refresh, which then reads the disc itself).
bool AudioCDRipper2::monitorMayWait() const {
  return timerRunning_.load() == 1 && timerEnabled_.load() == 1;
}

// One READ TOC in LBA form into `toc`. Nothing is sent once a rip or a
// playback has taken the drive (a client may start one from the handler of
// an event raised here).
bool AudioCDRipper2::monitorReadToc(std::array<uint8_t, 804>& toc) {
  if (ripInProgress_.load() != 0) return false;
  checkTransport();
  const int32_t handle = cdHandle_.load();
  toc.fill(0);
  device::SetDeviceParameter(handle, device::PARAM_MSF, 0);
  return device::ReadToc(handle, toc.data()) == device::kResultOk;
}

// Raises MediaChange on the client's thread and waits for its handlers. The
// drive is left alone meanwhile, so a handler may take it.
void AudioCDRipper2::monitorRaise(IAudioCDRipper2* own, const char* logLine) {
  lastError_.store(NO_ERRORS);
  log().line(logLine);
  monitorBusy_.store(0);
  raiseFromWorker(own, kEventMediaChange);
  monitorBusy_.store(1);
}

}  // namespace engine
