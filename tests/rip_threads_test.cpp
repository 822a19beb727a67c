// The engine's threads meeting: the client's thread calling in while the rip
// thread takes the drive, spins up, reads or waits on a stuck command, and
// while the disc-change monitor handles a change. Each phase is held open by
// the virtual drive (every command slowed, a command that never completes,
// a bus reset), not by waiting a while, so the calls hit their phase also
// under ThreadSanitizer on a loaded machine. Every case runs several times
// (RIPMARROW_THREAD_REPEATS, default 2).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

#include "engine/com/audio_cd_ripper.h"
#include "platform/deviceio/drive_table.h"
#include "platform/vdrive/disc_description.h"
#include "platform/vdrive/virtual_drive.h"
#include "tests/support/rip_event_sink.h"
#include "tests/support/scratch_home.h"

namespace engine {

struct AudioCDRipper2Probe {
  static uint32_t settlePauses(AudioCDRipper2& e) { return e.settlePauses_.load(); }
};

namespace {

using platform::vdrive::FaultPlan;
using platform::vdrive::VirtualDrive;

constexpr const char* kDisc =
    "disc seed=7\n"
    "track kind=noise length=3s\n"
    "track kind=tone length=2s freq=440\n";
constexpr size_t kTrackOneBytes = 3 * 75 * 2352;

int repeats() {
  const char* text = std::getenv("RIPMARROW_THREAD_REPEATS");
  const int n = text != nullptr ? std::atoi(text) : 0;
  return n > 0 ? n : 2;
}

uint32_t le32(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 |
         static_cast<uint8_t>(s[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}

FaultPlan slowCommands(uint32_t ms) {
  FaultPlan faults;
  faults.slowCommandMs = ms;
  return faults;
}

class RipThreadsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_.emplace("rm_rip_threads_test");
    home_ = scratch_->path();
    auto disc = std::make_shared<platform::vdrive::Disc>(platform::vdrive::generateDisc(kDisc, "test"));
    drive_ = std::make_shared<VirtualDrive>(disc);
    drive_->setAddress({1, 0, 0, 0});
    platform::deviceio::registerDrive('E', drive_);
    engine_ = com::make<AudioCDRipper2>();
    sink_ = com::make<::testing_support::RipEventSink>();
    ASSERT_EQ(engine_->FindConnectionPoint(DIID__IAudioCDRipper2Events, point_.put()), S_OK);
    ASSERT_EQ(point_->Advise(sink_->identity(), &cookie_), S_OK);
    ASSERT_EQ(engine_->DriverOpen(), S_OK);
    ASSERT_EQ(engine_->Refresh(), S_OK);
    engine_->put_driveSpinUpTime(0);
    engine_->put_driveSpeed(64);
  }
  void TearDown() override {
    drive_->setFaults({});
    drive_->cancelPending();
    if (engine_) {
      engine_->DriverClose();
      point_->Unadvise(cookie_);
    }
    CoPumpCalls(50);
    point_.reset();
    engine_.reset();
    platform::deviceio::registerDrive('E', nullptr);
    scratch_.reset();
  }

  void startRip(const std::string& name, LONG track = 1) {
    sink_->progress.clear();
    sink_->errors.clear();
    engine_->put_trackNum(track);
    const std::u16string wide(name.begin(), name.end());
    BSTR file = SysAllocString(wide.c_str());
    engine_->RipTrackToWav(file);
    SysFreeString(file);
  }
  // Pumps until the rip's RipProgress(100), then a little longer: a second
  // one would show here.
  bool waitForEnd(int limitSeconds = 60) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
    while (!sink_->finished() && std::chrono::steady_clock::now() < deadline) CoPumpCalls(10);
    CoPumpCalls(100);
    return sink_->finished();
  }
  size_t hundreds() const { return std::count(sink_->progress.begin(), sink_->progress.end(), 100); }
  std::string fileText(const std::string& name) const {
    std::ifstream in(home_ + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // A closed WAV file: both chunk sizes agree with the file's size.
  void expectClosedWav(const std::string& name) const {
    const std::string f = fileText(name);
    ASSERT_GE(f.size(), 46u) << name;
    EXPECT_EQ(le32(f, 4), f.size() - 8) << name;
    EXPECT_EQ(le32(f, 42), f.size() - 46) << name;
  }
  // Every call of the client that a rip holding the drive must refuse or
  // ignore; their effects are checked once the rip is over.
  void callEverything() {
    engine_->Refresh();
    engine_->PlayTrack(2);
    engine_->Eject();
    engine_->put_ripModePreset(PARANOID);
    engine_->put_ripOnErrorRetries(3);
    engine_->put_ripUseExternalASPI(VARIANT_TRUE);
    engine_->put_trackNum(2);
    engine_->put_driveSpeed(4);
    engine_->put_driveReadType(CDRT_READ10);
    engine_->put_driveSpinUpTime(500);
    engine_->put_driveLockCDTrayDuringRip(VARIANT_FALSE);
    engine_->put_driveNum(1);
    BSTR other = SysAllocString(u"other.wav");
    engine_->RipTrackToWav(other);
    SysFreeString(other);
  }
  void expectNothingChanged() {
    RipModePresetConstants preset{};
    engine_->get_ripModePreset(&preset);
    EXPECT_EQ(preset, BURST);
    LONG value = 0;
    engine_->get_ripOnErrorRetries(&value);
    EXPECT_EQ(value, 20);
    engine_->get_trackNum(&value);
    EXPECT_EQ(value, 1);
    engine_->get_driveSpeed(&value);
    EXPECT_EQ(value, 64);
    engine_->get_driveSpinUpTime(&value);
    EXPECT_EQ(value, 0);
    VARIANT_BOOL flag = VARIANT_FALSE;
    engine_->get_ripUseExternalASPI(&flag);
    EXPECT_EQ(flag, VARIANT_FALSE);
    engine_->get_driveLockCDTrayDuringRip(&flag);
    EXPECT_EQ(flag, VARIANT_TRUE);
    EXPECT_FALSE(std::filesystem::exists(home_ + "/other.wav"));
  }

  std::string home_;
  std::optional<::testing_support::ScratchHome> scratch_;
  std::shared_ptr<VirtualDrive> drive_;
  com::ComPtr<AudioCDRipper2> engine_;
  com::ComPtr<::testing_support::RipEventSink> sink_;
  com::ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

// Ctrl-C in a client at the start of a track: the stop asked while the rip
// thread still takes the drive is kept, and the rip ends at its first
// progress point with a closed, short file and one RipProgress(100).
TEST_F(RipThreadsTest, StopRipInTheStartWindowStopsTheRip) {
  for (int round = 0; round < repeats(); ++round) {
    drive_->setFaults(slowCommands(40));
    startRip("start.wav");
    engine_->StopRip();
    ASSERT_TRUE(waitForEnd()) << round;
    drive_->setFaults({});
    EXPECT_EQ(hundreds(), 1u);
    EXPECT_TRUE(sink_->errors.empty());
    expectClosedWav("start.wav");
    EXPECT_LT(fileText("start.wav").size(), 46 + kTrackOneBytes / 2);
  }
}

// The same from the first progress point, while the first block is read.
TEST_F(RipThreadsTest, StopRipDuringTheFirstReadStopsTheRip) {
  for (int round = 0; round < repeats(); ++round) {
    drive_->setFaults(slowCommands(40));
    sink_->onProgress = [&](LONG percent) {
      if (percent < 100) engine_->StopRip();
    };
    startRip("first.wav");
    ASSERT_TRUE(waitForEnd()) << round;
    sink_->onProgress = nullptr;
    drive_->setFaults({});
    EXPECT_EQ(hundreds(), 1u);
    expectClosedWav("first.wav");
    EXPECT_LT(fileText("first.wav").size(), 46 + kTrackOneBytes / 2);
  }
}

// While the rip takes the drive, reads, or waits on a command that never
// completes, every other call is refused or does nothing: no second rip, no
// playback, no Refresh reloading the transport under the rip, no put that
// changes what the rip reads. The errors are those a running rip gives.
TEST_F(RipThreadsTest, CallsWhileARipHoldsTheDriveAreRefused) {
  const std::vector<LONG> refused{OPERATION_FAILED, DRIVE_BUSY, DRIVE_BUSY};  // PlayTrack, Eject, the second rip
  for (int round = 0; round < repeats(); ++round) {
    // The start, every command slowed.
    drive_->setFaults(slowCommands(40));
    startRip("a.wav");
    callEverything();
    EXPECT_EQ(sink_->errors, refused);
    engine_->StopRip();
    ASSERT_TRUE(waitForEnd()) << round;
    EXPECT_EQ(hundreds(), 1u);
    expectNothingChanged();

    // From a progress handler: the rip is reading.
    bool called = false;
    sink_->onProgress = [&](LONG percent) {
      if (percent < 100 && !called) {
        called = true;
        callEverything();
        engine_->StopRip();
      }
    };
    startRip("b.wav");
    ASSERT_TRUE(waitForEnd()) << round;
    sink_->onProgress = nullptr;
    EXPECT_EQ(sink_->errors, refused);
    EXPECT_EQ(hundreds(), 1u);
    expectNothingChanged();

    // A command of the rip's start that never completes (until its time-out).
    FaultPlan stuck;
    stuck.hangAfterCommands = drive_->commandsExecuted() + 2;
    drive_->setFaults(stuck);
    startRip("c.wav");
    callEverything();
    EXPECT_EQ(sink_->errors, refused);
    engine_->StopRip();
    ASSERT_TRUE(waitForEnd()) << round;
    drive_->setFaults({});
    EXPECT_EQ(hundreds(), 1u);
    expectClosedWav("c.wav");
    expectNothingChanged();
  }
  // And the engine rips whole afterwards.
  startRip("whole.wav");
  ASSERT_TRUE(waitForEnd());
  EXPECT_TRUE(sink_->errors.empty());
  EXPECT_EQ(fileText("whole.wav").size(), 46 + kTrackOneBytes);
}

// A rip accepted by the entry whose thread then finds no drive to take (the
// drive went away: no transport loads over it, ASPI_DRIVER, or no handle
// opens, DRIVE_BUSY) ends as every rip ends: its Error, then its output
// closed, then one RipProgress(100); and the engine takes the next rip.
TEST_F(RipThreadsTest, ARipThatCannotTakeTheDriveEndsWithRipProgress100) {
  for (int round = 0; round < repeats(); ++round) {
    platform::deviceio::registerDrive('E', nullptr);
    startRip("nodrive.wav");
    ASSERT_TRUE(waitForEnd(20)) << round;
    ASSERT_EQ(sink_->errors.size(), 1u);
    EXPECT_TRUE(sink_->errors[0] == ASPI_DRIVER || sink_->errors[0] == DRIVE_BUSY) << sink_->errors[0];
    EXPECT_EQ(sink_->progress, std::vector<LONG>{100});
    expectClosedWav("nodrive.wav");
    EXPECT_EQ(fileText("nodrive.wav").size(), 46u);
    platform::deviceio::registerDrive('E', drive_);
  }
  engine_->Refresh();
  startRip("after.wav", 2);
  ASSERT_TRUE(waitForEnd());
  EXPECT_TRUE(sink_->errors.empty());
  EXPECT_EQ(fileText("after.wav").size(), 46 + 2 * 75 * 2352u);
}

// A bus reset makes the drive briefly not ready: the monitor reloads the
// transport and reads the table again while the client refreshes, starts a
// rip and stops it. The rip ends once, and the engine knows the disc after.
TEST_F(RipThreadsTest, RefreshAndRipsRaceTheMonitorsChangeHandling) {
  for (int round = 0; round < repeats(); ++round) {
    drive_->busReset(3);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < until) {
      engine_->Refresh();
      CoPumpCalls(5);
    }
    drive_->busReset(3);
    startRip("race.wav");
    engine_->StopRip();
    ASSERT_TRUE(waitForEnd()) << round;
    EXPECT_EQ(hundreds(), 1u);
    expectClosedWav("race.wav");
  }
  engine_->Refresh();
  LONG tracks = 0;
  engine_->get_trackCount(&tracks);
  EXPECT_EQ(tracks, 2);
}

// DriverClose while the rip takes the drive, reads, or waits on a stuck
// command: the rip is stopped and ends (file closed, one RipProgress(100))
// before the drive and the codec go; the engine opens again afterwards.
TEST_F(RipThreadsTest, DriverCloseStopsTheRipInEachPhase) {
  for (int round = 0; round < repeats(); ++round) {
    for (int phase = 0; phase < 3; ++phase) {
      const std::string name = "close" + std::to_string(phase) + ".wav";
      if (phase == 2) {
        FaultPlan stuck;
        stuck.hangAfterCommands = drive_->commandsExecuted() + 2;
        drive_->setFaults(stuck);
      } else {
        drive_->setFaults(slowCommands(40));
      }
      startRip(name);
      if (phase == 1) {
        // Reading: its first progress point has passed.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (sink_->progress.empty() && std::chrono::steady_clock::now() < deadline) CoPumpCalls(5);
        ASSERT_FALSE(sink_->progress.empty());
      }
      engine_->DriverClose();
      ASSERT_TRUE(waitForEnd()) << round << " " << phase;
      drive_->setFaults({});
      EXPECT_EQ(hundreds(), 1u) << phase;
      expectClosedWav(name);
      ASSERT_EQ(engine_->DriverOpen(), S_OK);
      engine_->Refresh();
      engine_->put_driveSpinUpTime(0);
      engine_->put_driveSpeed(64);
    }
  }
}

// A changed preset's settling pause is taken by the rip thread before its
// first read, once per change: not by the put (on the client's thread), not
// by a later rip with the same preset, not when the preset came back to the
// one the drive's last rip used.
TEST_F(RipThreadsTest, ARipSettlesTheDriveOnlyAfterItsPresetChanged) {
  auto rip = [&](const std::string& name) {
    startRip(name);
    ASSERT_TRUE(waitForEnd()) << name;
    EXPECT_EQ(hundreds(), 1u) << name;
  };
  const auto pauses = [&] { return AudioCDRipper2Probe::settlePauses(*engine_.get()); };
  rip("first.wav");  // BURST, the preset DriverOpen starts with
  EXPECT_EQ(pauses(), 0u);
  engine_->put_ripModePreset(PLAY);
  EXPECT_EQ(pauses(), 0u);
  rip("changed.wav");
  EXPECT_EQ(pauses(), 1u);
  rip("same.wav");
  EXPECT_EQ(pauses(), 1u);
  engine_->put_ripModePreset(BURST);
  engine_->put_ripModePreset(PLAY);
  rip("back.wav");
  EXPECT_EQ(pauses(), 1u);
  engine_->put_ripModePreset(BURST);
  rip("burst.wav");
  EXPECT_EQ(pauses(), 2u);
  expectClosedWav("burst.wav");
}

}  // namespace
}  // namespace engine
