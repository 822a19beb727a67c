// AudioCDRipper2: DriverOpen and DriverClose, the outside components, and
// the life of the timer thread.
#include "components/tonemeter2.h"
#include "components/wavesmith2.h"
#include "engine/com/audio_cd_ripper.h"
#include "engine/com/player_event_sink.h"
#include "engine/device/drive_commands.h"
#include "engine/device/drive_list.h"
#include "platform/sync/win32_time.h"

namespace engine {

namespace {
constexpr uint32_t kTimerSleepMs = 5;
constexpr uint32_t kHighestSpeedKBps = 255 * 176 + 5;  // 44885
}  // namespace

HRESULT STDMETHODCALLTYPE AudioCDRipper2::DriverOpen() {
  // Opening twice would otherwise lose the transport, the handle and the
  // timer thread of the first opening: close that one first.
  if (driverOpen_) DriverClose();
  // A rip started without an opening (a WAV rip needs no codec) ends first.
  endRips();
  std::unique_lock drive(driveLock_);  // no timer thread yet: taken at once

  log().line("AudioCDRipper2 Constructor");
  log().line("Get Heap pointer...");

  log().line("Set internal variables");
  driveIndex_ = 0;
  driveCount_ = 0;
  trackIndex_ = 0;
  trackCount_ = 0;
  trackFrames_.clear();
  readSpeed_ = 32;
  if (cdHandle_.load() != 0) releaseDriveHandle();
  if (scsiManagerLoaded_.load() != 0) unloadTransport();
  useExternalAspi_ = 0;
  driveReadType_ = CDRT_ANY;
  lockTray_ = 1;
  mediaCheckDisabled_.store(0);

  log().line("Load SCSI Manager, external ASPI = FALSE");
  loadTransport();

  log().line("Get Drive list");
  driveList_ = device::DriveList{};
  device::BuildDriveList(driveList_);
  drive.unlock();
  driveCount_ = driveList_.count;
  log().value("Found Drives: ", driveCount_);
  if (driveCount_ == 0) {
    lastError_.store(INIT_FAILED);  // reported by the value alone: no event
  } else {
    lastError_.store(NO_ERRORS);
    log().line("Set curent Drive num in 1");
    put_driveNum(1);
  }

  log().line("Set CDDB default parameters");
  setCddbDefaults();

  mediaChanged_.store(0);
  log().line("Set default rip Mode Preset in BURST COPY");
  log().line("BURST");
  framesPerRead_ = 26;
  overlapFrames_ = 0;
  rewindFrames_ = 0;
  readAlgorithm_ = 0;
  ripOnErrorRetries_ = 20;
  spinUpMs_ = 1000;
  readSpeed_ = 32;
  ripOnErrorAction_.store(CUT);
  ripModePreset_ = BURST;
  lastRipPreset_.fill(BURST);
  playerConnected_ = 0;

  createOutsideComponents();

  log().line("Set internal check media timer");
  cdHandle_.store(0);
  startTimer();

  formatUnset_ = {1, 1, 1, 1};
  if (lameEncoder_) {
    lameEncoder_->put_EncoderQuality(8);
    if (audioFile_) audioFile_->SetLameEncoder(lameEncoder_.get());
  }
  driverOpen_ = true;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::DriverClose() {
  // A running rip is stopped and ends before its drive and codec go, and a
  // playback is stopped; their events' handlers may start another, so this
  // goes on until the engine is found idle and marked closing.
  BusyClaim closing;
  for (;;) {
    endRips();
    endCddbLookups();  // a look-up running is stopped: closing does not wait for its server
    if (playing()) StopPlay();
    closing = BusyClaim(busy_, Busy::kClosing);
    if (closing) break;
    // A Refresh or a DriverClose that an event's handler interrupted: the
    // outer call finishes its own work.
    if (closing.found() == Busy::kRefreshing || closing.found() == Busy::kClosing) return S_OK;
  }
  timerEnabled_.store(0);
  log().line("AudioCDRipper2 Destructor");
  log().line("Free internal check media timer");
  stopTimer();
  releaseOutsideComponents();

  {
    std::lock_guard drive(driveLock_);
    log().line("Restore CD Speed (Set Max Read Speed)...");
    checkTransport();
    if (mediaState_.load() != kNoMedia) device::SendSetSpeed(cdHandle_.load(), kHighestSpeedKBps);
    if (lockTray_ != 0) {
      log().line("Restore Drive UnLock State...");
      device::SendPreventAllow(cdHandle_.load(), 0);
    }
    releaseDriveHandle();
    unloadTransport();
  }
  driverOpen_ = false;
  return S_OK;  // the claim ends: idle again
}

void AudioCDRipper2::createOutsideComponents() {
  // The player first: its events reach the engine through a sink of ours.
  HRESULT hr = CoCreateInstance(CLSID_AudioPlayer2, nullptr, CLSCTX_ALL, IID_IAudioPlayer2, player_.putVoid());
  if (SUCCEEDED(hr) && player_) {
    com::ComPtr<IConnectionPointContainer> container;
    com::ComPtr<IConnectionPoint> point;
    playerSink_ = com::make<PlayerEventSink>(this);
    if (SUCCEEDED(player_.as(&container)) &&
        SUCCEEDED(container->FindConnectionPoint(DIID_IAudioPlayer2Events, point.put())) &&
        SUCCEEDED(point->Advise(playerSink_->identity(), &playerCookie_))) {
      playerConnected_ = 1;
    }
  }

  hr = CoCreateInstance(CLSID_AudioFile2, nullptr, CLSCTX_ALL, IID_IAudioFile2, audioFile_.putVoid());
  if (FAILED(hr) || !audioFile_) {
    log().line("AudioFile create instance error!");
    codecStatus_ = FAILED(hr) ? hr : E_NOINTERFACE;
    return;
  }
  hr = CoCreateInstance(CLSID_AudioFile2LameEnc, nullptr, CLSCTX_ALL, IID_IAudioFile2LameEnc,
                        lameEncoder_.putVoid());
  if (FAILED(hr) || !lameEncoder_) {
    log().line("AudioFileLameMp3Encoder create instance error!");
    codecStatus_ = FAILED(hr) ? hr : E_NOINTERFACE;
    return;
  }
  codecStatus_ = S_OK;
}

void AudioCDRipper2::releaseOutsideComponents() {
  if (player_ && playerConnected_ != 0) {
    com::ComPtr<IConnectionPointContainer> container;
    com::ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(player_.as(&container)) &&
        SUCCEEDED(container->FindConnectionPoint(DIID_IAudioPlayer2Events, point.put()))) {
      point->Unadvise(playerCookie_);
    }
  }
  playerConnected_ = 0;
  playerCookie_ = 0;
  if (playerSink_) playerSink_->detach();
  playerSink_.reset();
  player_.reset();
  if (audioFile_ || lameEncoder_) {
    log().line("Unload AudioFile");
    audioFile_.reset();
    lameEncoder_.reset();
    log().line("Unload AudioFile");
  }
}

void AudioCDRipper2::startTimer() {
  IStream* stream = nullptr;
  if (FAILED(CoMarshalInterThreadInterfaceInStream(IID_IAudioCDRipper2, static_cast<IAudioCDRipper2*>(this),
                                                   &stream))) {
    stream = nullptr;  // the thread then runs without a way to raise events
  }
  timerEnabled_.store(0);
  timerPeriodMs_ = 20;
  timerRunning_.store(1);
  timerThread_ = com::ComThread([this, stream] { timerLoop(stream); });
  timerEnabled_.store(1);
}

// The thread is asked to stop and joined while this thread runs incoming
// calls, so that a tick in the middle of raising an event through _OnEvent
// finishes before the engine goes on.
void AudioCDRipper2::stopTimer() {
  timerEnabled_.store(0);
  timerRunning_.store(0);
  if (timerThread_.joinable()) timerThread_.join();
  timerThread_ = com::ComThread();
}

void AudioCDRipper2::timerLoop(IStream* ownStream) {
  IAudioCDRipper2* own = nullptr;
  if (ownStream != nullptr &&
      FAILED(CoGetInterfaceAndReleaseStream(ownStream, IID_IAudioCDRipper2, reinterpret_cast<void**>(&own)))) {
    own = nullptr;
  }
  while (timerRunning_.load() == 1) {
    const uint32_t started = GetTickCount();
    while (timerRunning_.load() == 1 && GetTickCount() - started < timerPeriodMs_) Sleep(kTimerSleepMs);
    if (timerRunning_.load() == 1 && timerEnabled_.load() == 1) timerTick(own);
  }
  if (own != nullptr) own->Release();
}

// One tick: the encoder pump during an encoded rip, disc-change polling
// otherwise. A tick does nothing while the timer is disabled (before
// DriverOpen is done, from DriverClose on); whether the monitor may poll is
// for busy_ and driveLock_ to say.
void AudioCDRipper2::timerTick(IAudioCDRipper2* own) {
  if (timerEnabled_.load() != 1) return;
  // During an encoded rip the tick pumps PCM into the codec instead of
  // polling the disc.
  if (converting_.load() != 0) {
    // pumpBusy_ is raised before converting_ is looked at again, so the rip
    // thread, which clears converting_ and then waits for pumpBusy_ to
    // fall, never frees the PCM buffer under a running pump.
    pumpBusy_.store(1);
    if (converting_.load() != 0) pumpEncoder();
    pumpBusy_.store(0);
    return;
  }
  monitorTick(own);  // disc-change polling (audio_cd_ripper_monitor.cpp)
}

void AudioCDRipper2::setCddbDefaults() {
  cddbServer_ = "gnudb.gnudb.org";
  cddbScript_ = "/~cddb/cddb.cgi";
  cddbPort_ = 80;
  cddbAgent_ = "Trackmill 2.2";
  cddbUserEmail_ = "support@ripmarrow.example";
  cddbTimeOutMs_ = 4000;
  cddbWriteBack_ = 1;
  pushCddbOptions();
}

}  // namespace engine
