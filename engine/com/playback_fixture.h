// What the playback and disc-change tests share: a temporary RIPMARROW_HOME
// with the player component registered (it plays into the silent sink), a
// virtual drive behind a gate that records the reads and lets a test change
// the disc between two commands, and the engine object driven through its
// interface with a sink that records each event and the thread it came on.
// Waits pump the test thread's calls, as a client's message loop would, and
// end at a generous limit: no test depends on how long anything takes.
#pragma once

#include <gtest/gtest.h>
#include <pthread.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/com/audio_cd_ripper.h"
#include "platform/vdrive/virtual_drive.h"
#include "tests/support/scratch_home.h"

namespace engine {

struct AudioCDRipper2Probe {
  static uint32_t monitorTicks(AudioCDRipper2& e) { return e.monitorTicks_.load(); }
  static int32_t ripInProgress(AudioCDRipper2& e) { return e.driveBusy() ? 1 : 0; }
  static int32_t playing(AudioCDRipper2& e) { return e.playing() ? 1 : 0; }
  static int32_t mediaChanged(AudioCDRipper2& e) { return e.mediaChanged_.load(); }
  static int32_t cdHandle(AudioCDRipper2& e) { return e.cdHandle_.load(); }
  static uint32_t playStartLba(AudioCDRipper2& e) { return e.playStartLba_; }
  static uint32_t playCurLba(AudioCDRipper2& e) { return e.playCurLba_; }
  // Puts another player in the engine's place; gives back the one it held.
  static com::ComPtr<IAudioPlayer2> swapPlayer(AudioCDRipper2& e, com::ComPtr<IAudioPlayer2> p) {
    std::swap(e.player_, p);
    return p;
  }
};

namespace testing_support {

// A drive whose commands pass one at a time through a gate the test can hold.
class GatedDrive final : public platform::scsi::Target {
 public:
  explicit GatedDrive(std::shared_ptr<platform::vdrive::VirtualDrive> drive) : drive_(std::move(drive)) {}
  platform::scsi::Result execute(const platform::scsi::Command& command) override;
  void cancelPending() override { drive_->cancelPending(); }
  platform::scsi::Address address() const override { return drive_->address(); }

  std::mutex& gate() { return gate_; }
  std::vector<uint32_t> readLbas();  // the start of every audio read so far
  void clearReads();

 private:
  std::shared_ptr<platform::vdrive::VirtualDrive> drive_;
  std::mutex gate_;         // held around every command
  std::mutex readsLock_;    // guards reads_
  std::vector<uint32_t> reads_;
};

struct Event {
  DISPID id;
  std::vector<LONG> args;
  pthread_t thread;
};

class EventRecorder final : public com::EventSink<EventRecorder, DIID__IAudioCDRipper2Events> {
 public:
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override;
  std::vector<Event> events;  // test thread only: events come on it
  size_t count(DISPID id) const;
};

class PlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A virtual drive at E: holding a generated disc of this description.
  std::shared_ptr<platform::vdrive::VirtualDrive> addDrive(const std::string& description,
                                                           platform::vdrive::FaultPlan faults = {});
  void open();  // creates the engine, connects the recorder, DriverOpen
  void setLog(const char* level);
  std::string logText() const;
  // Pumps until `done` or the limit; false at the limit.
  bool waitFor(const std::function<bool()>& done, int limitMs = 30000);
  // Pumps until the monitor has checked the disc `ticks` more times.
  bool waitTicks(uint32_t ticks);
  bool allEventsOnThisThread() const;

  IAudioCDRipper2* engine() { return engine_.get(); }
  AudioCDRipper2& object() { return *engine_.get(); }

  std::string home_;
  std::optional<::testing_support::ScratchHome> scratch_;
  pthread_t testThread_{};
  std::shared_ptr<GatedDrive> gated_;
  com::ComPtr<AudioCDRipper2> engine_;
  com::ComPtr<EventRecorder> recorder_;
  com::ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

}  // namespace testing_support
}  // namespace engine
