// The rip pipeline through the engine object, against virtual drives made
// in the test: exact WAV rips of whole tracks, the on-error actions with
// the retry cycle, StopRip, a second rip while one runs, outputs that cannot
// be written, and jitter corrected by the overlapped reads.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "engine/com/audio_cd_ripper.h"
#include "platform/deviceio/drive_table.h"
#include "platform/sys/sys.h"
#include "platform/vdrive/disc_description.h"
#include "platform/vdrive/virtual_drive.h"
#include "tests/support/rip_event_sink.h"
#include "tests/support/scratch_home.h"

namespace engine {
namespace {

using platform::vdrive::VirtualDrive;

using EventSink = ::testing_support::RipEventSink;

class RipPipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_.emplace("rm_rip_test");
    home_ = scratch_->path();
  }
  void TearDown() override {
    if (engine_) {
      engine_->DriverClose();
      point_->Unadvise(cookie_);
    }
    point_.reset();
    engine_.reset();
    scratch_.reset();
  }

  void openWith(const std::string& description, const platform::vdrive::FaultPlan& faults = {}) {
    disc_ = std::make_shared<platform::vdrive::Disc>(platform::vdrive::generateDisc(description, "test"));
    drive_ = std::make_shared<VirtualDrive>(disc_);
    drive_->setAddress({1, 0, 0, 0});
    drive_->setFaults(faults);
    platform::deviceio::registerDrive('E', drive_);
    engine_ = com::make<AudioCDRipper2>();
    sink_ = com::make<EventSink>();
    ASSERT_EQ(engine_->FindConnectionPoint(DIID__IAudioCDRipper2Events, point_.put()), S_OK);
    ASSERT_EQ(point_->Advise(sink_->identity(), &cookie_), S_OK);
    ASSERT_EQ(engine_->DriverOpen(), S_OK);
    ASSERT_EQ(engine_->Refresh(), S_OK);
    engine_->put_driveSpinUpTime(0);
    engine_->put_driveSpeed(200);  // paced, but briefly
  }
  void preset(RipModePresetConstants p) {
    engine_->put_ripModePreset(p);
    engine_->put_driveSpinUpTime(0);
    engine_->put_driveSpeed(200);
  }
  bool ripWav(const std::string& name, LONG track = 1) {
    engine_->put_trackNum(track);
    sink_->progress.clear();
    const std::u16string wide(name.begin(), name.end());
    BSTR file = SysAllocString(wide.c_str());
    engine_->RipTrackToWav(file);
    SysFreeString(file);
    return waitForEnd();
  }
  bool waitForEnd() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (!sink_->finished() && std::chrono::steady_clock::now() < deadline) CoPumpCalls(10);
    // The rip thread's last calls (its pointer's release) run here too.
    CoPumpCalls(50);
    return sink_->finished();
  }
  std::string fileText(const std::string& name) {
    std::ifstream in(home_ + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // The audio of track `index` (0-based) as it is on the disc.
  std::string trackAudio(size_t index) {
    const auto& t = disc_->tracks()[index];
    std::string audio;
    std::array<uint8_t, 2352> sector{};
    for (platform::vdrive::Lba lba = t.start; lba < t.end; ++lba) {
      disc_->readSector(lba, sector);
      audio.append(reinterpret_cast<const char*>(sector.data()), sector.size());
    }
    return audio;
  }

  std::string home_;
  std::optional<::testing_support::ScratchHome> scratch_;
  std::shared_ptr<platform::vdrive::Disc> disc_;
  std::shared_ptr<VirtualDrive> drive_;
  com::ComPtr<AudioCDRipper2> engine_;
  com::ComPtr<EventSink> sink_;
  com::ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

uint32_t le32(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 |
         static_cast<uint8_t>(s[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}

constexpr const char* kDisc =
    "disc seed=7\n"
    "track kind=noise length=250f\n"
    "track kind=tone length=20f freq=440\n"
    "track kind=noise length=3s\n";

// The whole track, its last short block included, for every preset; a
// track shorter than one block is ripped whole too.
TEST_F(RipPipelineTest, WavRipsEqualTheDiscForEveryPreset) {
  openWith(kDisc);
  const std::string want1 = trackAudio(0), want2 = trackAudio(1);
  for (auto p : {PLAY, BURST, SYNCH, SECURE, PARANOID}) {
    preset(p);
    ASSERT_TRUE(ripWav("t1.wav", 1)) << p;
    const std::string f = fileText("t1.wav");
    ASSERT_EQ(f.size(), 46 + want1.size()) << p;
    EXPECT_EQ(le32(f, 4), f.size() - 8);
    EXPECT_EQ(le32(f, 42), want1.size());
    EXPECT_TRUE(f.substr(46) == want1) << p;
    ASSERT_TRUE(ripWav("t2.wav", 2)) << p;
    EXPECT_TRUE(fileText("t2.wav").substr(46) == want2) << p;
  }
  EXPECT_TRUE(sink_->errors.empty());
  EXPECT_TRUE(sink_->retries.empty());
}

TEST_F(RipPipelineTest, UnreadableSectorsFollowTheOnErrorActionAndTheRetryCycle) {
  platform::vdrive::FaultPlan faults;
  faults.unreadable.push_back({100, 100, 0});
  openWith(kDisc, faults);
  const std::string want = trackAudio(0);
  engine_->put_ripOnErrorRetries(11);

  engine_->put_ripOnErrorAction(CUT);
  ASSERT_TRUE(ripWav("cut.wav"));
  // 2, a reset, then 1 to 9 and 1 again: the place in the reset cycle.
  EXPECT_EQ(sink_->retries, (std::vector<LONG>{2, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1}));
  const std::string cut = fileText("cut.wav");
  EXPECT_EQ(cut.size(), 46 + want.size() - 26 * 2352);  // the failed block's 26 frames are skipped
  EXPECT_EQ(le32(cut, 42), cut.size() - 46);

  engine_->put_ripOnErrorRetries(0);
  sink_->retries.clear();
  engine_->put_ripOnErrorAction(SILENCE);
  ASSERT_TRUE(ripWav("silence.wav"));
  EXPECT_TRUE(sink_->retries.empty());  // retries 0: one read, no RipRetry
  const std::string silent = fileText("silence.wav").substr(46);
  ASSERT_EQ(silent.size(), want.size());
  const size_t blockAt = silent.find(std::string(26 * 2352, '\0'));
  ASSERT_NE(blockAt, std::string::npos);
  EXPECT_TRUE(silent.substr(0, blockAt) == want.substr(0, blockAt));

  engine_->put_ripOnErrorAction(StopRip);
  sink_->errors.clear();
  ASSERT_TRUE(ripWav("stop.wav"));
  EXPECT_EQ(sink_->errors, std::vector<LONG>{OPERATION_FAILED});
  const std::string stopped = fileText("stop.wav");
  EXPECT_EQ(le32(stopped, 42), stopped.size() - 46);
  EXPECT_LT(stopped.size(), 46 + 100 * 2352u + 1);
}

TEST_F(RipPipelineTest, AllFailedCutRipLeavesA46ByteFile) {
  platform::vdrive::FaultPlan faults;
  faults.unreadable.push_back({250, 269, 0});  // the whole second track
  openWith(kDisc, faults);
  engine_->put_ripOnErrorRetries(1);
  engine_->put_ripOnErrorAction(CUT);
  ASSERT_TRUE(ripWav("none.wav", 2));
  EXPECT_EQ(sink_->retries, std::vector<LONG>{2});  // one failed block covers the 20-frame track
  const std::string f = fileText("none.wav");
  ASSERT_EQ(f.size(), 46u);
  EXPECT_EQ(le32(f, 4), 38u);
  EXPECT_EQ(le32(f, 42), 0u);
}

TEST_F(RipPipelineTest, StopRipEndsTheRipWithAFinishedFileAndASecondRipIsRefused) {
  openWith(kDisc);
  engine_->put_driveSpeed(8);  // slow enough to act mid-way
  engine_->put_trackNum(3);
  sink_->onProgress = [&](LONG percent) {
    if (percent >= 30 && percent < 100) {
      BSTR other = SysAllocString(u"other.wav");
      engine_->RipTrackToWav(other);  // while one runs
      SysFreeString(other);
      engine_->StopRip();
    }
  };
  BSTR file = SysAllocString(u"stopped.wav");
  engine_->RipTrackToWav(file);
  SysFreeString(file);
  ASSERT_TRUE(waitForEnd());
  EXPECT_EQ(sink_->errors, std::vector<LONG>{DRIVE_BUSY});
  const std::string f = fileText("stopped.wav");
  EXPECT_GT(f.size(), 46u);
  EXPECT_LT(f.size(), 46 + trackAudio(2).size());
  EXPECT_EQ(le32(f, 42), f.size() - 46);
  EXPECT_TRUE(f.substr(46) == trackAudio(2).substr(0, f.size() - 46));
  EXPECT_FALSE(std::filesystem::exists(home_ + "/other.wav"));
  // The engine is ready for the next rip.
  sink_->onProgress = nullptr;
  sink_->errors.clear();
  engine_->put_driveSpeed(200);
  ASSERT_TRUE(ripWav("again.wav", 2));
  EXPECT_TRUE(sink_->errors.empty());
}

TEST_F(RipPipelineTest, AnOutputThatCannotBeCreatedStartsNoRip) {
  openWith(kDisc);
  BSTR file = SysAllocString(u"/nonexistent-folder-of-ripmarrow/x.wav");
  engine_->RipTrackToWav(file);
  SysFreeString(file);
  EXPECT_EQ(sink_->errors, std::vector<LONG>{FILE_ACCESS});
  CoPumpCalls(50);
  EXPECT_TRUE(sink_->progress.empty());
  // No codec registered here: every encoded rip is refused at once.
  sink_->errors.clear();
  file = SysAllocString(u"x.mp3");
  engine_->RipTrackToMP3(file);
  SysFreeString(file);
  EXPECT_EQ(sink_->errors, std::vector<LONG>{FORMAT_NOT_SUPPORT});
}

// A disk that fills up: the partial file is closed with consistent headers,
// FILE_ACCESS is raised, and the engine rips again afterwards.
std::atomic<size_t> gRoomBytes{0};
ssize_t fullDiskPwrite(int fd, const void* buf, size_t bytes, off_t at) {
  const size_t room = gRoomBytes.load();
  if (static_cast<size_t>(at) + bytes <= room) return ::pwrite(fd, buf, bytes, at);
  if (static_cast<size_t>(at) >= room) {
    errno = ENOSPC;
    return -1;
  }
  return ::pwrite(fd, buf, room - static_cast<size_t>(at), at);
}

TEST_F(RipPipelineTest, AFullDiskIsReportedAndThePartialFileIsConsistent) {
  openWith(kDisc);
  gRoomBytes = 46 + 150 * 2352 + 100;
  {
    platform::sys::ScopedSysCall hook(&platform::sys::SysCalls::pwrite, &fullDiskPwrite);
    ASSERT_TRUE(ripWav("full.wav", 3));
  }
  EXPECT_EQ(sink_->errors, std::vector<LONG>{FILE_ACCESS});
  const std::string f = fileText("full.wav");
  EXPECT_EQ(f.size(), gRoomBytes.load());
  EXPECT_EQ(le32(f, 4), f.size() - 8);
  EXPECT_EQ(le32(f, 42), f.size() - 46);
  sink_->errors.clear();
  ASSERT_TRUE(ripWav("after.wav", 2));
  EXPECT_TRUE(sink_->errors.empty());
}

// The folder of the file is removed while the rip writes into it: the
// audio went nowhere, so the rip says FILE_ACCESS rather than success, and
// the engine rips again afterwards.
TEST_F(RipPipelineTest, AFolderThatVanishesDuringTheRipIsReported) {
  openWith(kDisc);
  engine_->put_driveSpeed(16);
  std::filesystem::create_directory(home_ + "/album");
  sink_->onProgress = [&](LONG percent) {
    if (percent >= 30 && percent < 100) std::filesystem::remove_all(home_ + "/album");
  };
  ASSERT_TRUE(ripWav("album/t.wav", 3));
  EXPECT_EQ(sink_->errors, std::vector<LONG>{FILE_ACCESS});
  EXPECT_FALSE(std::filesystem::exists(home_ + "/album"));
  sink_->onProgress = nullptr;
  sink_->errors.clear();
  ASSERT_TRUE(ripWav("after.wav", 2));
  EXPECT_TRUE(sink_->errors.empty());
}

// Jitter injected where the overlapped reads run, in the middle of the
// track (its first and last 50 frames are read in small plain blocks with
// nothing before them to align on), within each preset's tolerance: SYNCH
// (N 1, J 3) takes starts up to two frames late, SECURE and PARANOID (N = J)
// early ones. The rip equals the disc, without a retry. BURST reads plainly
// and keeps every jump the drive made.
platform::vdrive::FaultPlan middleJitter(const platform::vdrive::Track& t, int lateMax) {
  platform::vdrive::FaultPlan faults;
  faults.seed = 11;
  faults.jitterMaxSamples = 200;
  faults.jitterLateMaxSamples = lateMax;
  faults.jitterFirstLba = t.start + 47;  // the first overlapped read starts 3 frames before frame 50
  faults.jitterLastLba = t.end - 50;
  return faults;
}

TEST_F(RipPipelineTest, JitterWithinAPresetsToleranceLeavesTheRipExact) {
  openWith(kDisc);
  const std::string want = trackAudio(2);
  const std::pair<RipModePresetConstants, int> presets[] = {{SYNCH, 200}, {SECURE, 0}, {PARANOID, 0}};
  for (const auto& [p, lateMax] : presets) {
    preset(p);
    drive_->setFaults(middleJitter(disc_->tracks()[2], lateMax));
    ASSERT_TRUE(ripWav("j.wav", 3)) << p;
    EXPECT_TRUE(fileText("j.wav").substr(46) == want) << p;
  }
  EXPECT_TRUE(sink_->retries.empty());
  preset(BURST);
  drive_->setFaults(middleJitter(disc_->tracks()[2], 200));
  ASSERT_TRUE(ripWav("j.wav", 3));
  const std::string burst = fileText("j.wav").substr(46);
  EXPECT_EQ(burst.size(), want.size());
  EXPECT_FALSE(burst == want);
  EXPECT_TRUE(burst.substr(0, 50 * 2352) == want.substr(0, 50 * 2352));
}

// The same jitter both ways with SECURE: its rewind reaches a frame past
// its overlap, so a block read from a late start still holds the whole
// tail and is located without a retry; the rip is exact.
TEST_F(RipPipelineTest, SecureAlignsLateStartsWithoutRetries) {
  openWith(kDisc);
  preset(SECURE);
  drive_->setFaults(middleJitter(disc_->tracks()[2], 200));
  ASSERT_TRUE(ripWav("late.wav", 3));
  EXPECT_TRUE(fileText("late.wav").substr(46) == trackAudio(2));
  EXPECT_TRUE(sink_->retries.empty());
  EXPECT_TRUE(sink_->errors.empty());
}

// A drive whose cache hands out again what it read before: the frames an
// overlapped read rewinds over come from the cache, the tail matches there
// and the fresh frames after it carry the drive's new jitter. SECURE reads
// every block a second time after emptying the cache with a read far away
// and finds the two disagree; PARANOID empties it before every block, also
// on the disc's last track, where 2000 frames ahead lies past the lead-out.
TEST_F(RipPipelineTest, ParanoidDefeatsAStaleCacheOnTheLastTrack) {
  openWith("disc seed=5\n"
           "track kind=noise length=40s\n"
           "track kind=noise length=2s\n");
  const std::string want = trackAudio(1);
  auto faults = middleJitter(disc_->tracks()[1], 0);
  faults.staleCacheSectors = 50;
  preset(SECURE);
  drive_->setFaults(faults);
  ASSERT_TRUE(ripWav("secure.wav", 2));
  EXPECT_TRUE(fileText("secure.wav").substr(46) == want);
  preset(PARANOID);
  drive_->setFaults(faults);
  ASSERT_TRUE(ripWav("paranoid.wav", 2));
  EXPECT_TRUE(fileText("paranoid.wav").substr(46) == want);
}

// A bus reset in the middle of a rip: the next read fails with the drive's
// unit attention, the retry after a drive reset reads the block, and the
// file still equals the disc.
TEST_F(RipPipelineTest, ABusResetDuringARipCostsARetryAndNoAudio) {
  openWith(kDisc);
  preset(BURST);
  engine_->put_driveSpeed(16);
  bool reset = false;
  sink_->onProgress = [&](LONG percent) {
    if (percent >= 40 && !reset) {
      reset = true;
      drive_->busReset(2);
    }
  };
  ASSERT_TRUE(ripWav("reset.wav", 3));
  EXPECT_TRUE(reset);
  EXPECT_TRUE(sink_->errors.empty());
  EXPECT_FALSE(sink_->retries.empty());
  EXPECT_TRUE(fileText("reset.wav").substr(46) == trackAudio(2));
}

}  // namespace
}  // namespace engine
