// The disc-change monitor against a virtual drive: discs taken out, put
// back, swapped and a bus reset, with MediaChange raised on the client's
// thread. Waits count the monitor's checks, never time.
#include "engine/com/playback_fixture.h"

#include <array>
#include <filesystem>
#include <fstream>

#include "platform/vdrive/disc_description.h"

namespace engine::testing_support {
namespace {

constexpr const char* kDisc =
    "disc seed=9\n"
    "track kind=tone length=0:03:00 freq=440\n"
    "track kind=tone length=0:04:00 freq=550\n";
constexpr const char* kOtherDisc =
    "disc seed=10\n"
    "track kind=tone length=0:05:00 freq=660\n";

std::shared_ptr<const platform::vdrive::Disc> disc(const char* description) {
  return std::make_shared<platform::vdrive::Disc>(platform::vdrive::generateDisc(description, "test"));
}

class EngineMonitor : public PlaybackTest {
 protected:
  size_t mediaChanges() const { return recorder_->count(DISPID_AudioCDRipper2_MediaChange); }
};

TEST_F(EngineMonitor, RemovalRaisesTwoEventsAndReinsertionOne) {
  auto drive = addDrive(kDisc);
  open();
  engine()->Refresh();
  ASSERT_TRUE(waitTicks(2));
  drive->removeDisc();
  ASSERT_TRUE(waitFor([&] { return mediaChanges() == 2; }));
  // Until the client refreshes, the disc's properties are refused.
  LONG count = -1;
  engine()->get_trackCount(&count);
  EXPECT_EQ(count, -1);
  EXPECT_EQ(recorder_->events.back().id, DISPID_AudioCDRipper2_Error);

  drive->insertDisc(disc(kDisc));
  ASSERT_TRUE(waitFor([&] { return mediaChanges() == 3; }));
  ASSERT_TRUE(waitTicks(3));
  EXPECT_EQ(mediaChanges(), 3u);
  engine()->Refresh();
  EXPECT_EQ(AudioCDRipper2Probe::mediaChanged(object()), 0);
  EXPECT_TRUE(allEventsOnThisThread());
}

TEST_F(EngineMonitor, ASwapBetweenTwoChecksRaisesNothing) {
  auto drive = addDrive(kDisc);
  open();
  engine()->Refresh();
  ASSERT_TRUE(waitTicks(2));
  {
    std::lock_guard<std::mutex> between(gated_->gate());
    drive->removeDisc();
    drive->insertDisc(disc(kOtherDisc));
  }
  ASSERT_TRUE(waitTicks(5));
  EXPECT_EQ(mediaChanges(), 0u);
}

TEST_F(EngineMonitor, ABusResetThatClearsWithinTheTocReadsRaisesNothing) {
  setLog("Extended");
  auto drive = addDrive(kDisc);
  open();
  engine()->Refresh();
  ASSERT_TRUE(waitTicks(2));
  drive->busReset(12);  // enough "becoming ready" answers to fail a check and a few TOC reads
  ASSERT_TRUE(waitFor([&] { return logText().find("No Event: ReRead or Bus Reset!") != std::string::npos; }));
  ASSERT_TRUE(waitTicks(3));
  EXPECT_EQ(mediaChanges(), 0u);
  EXPECT_EQ(AudioCDRipper2Probe::mediaChanged(object()), 0);
}

TEST_F(EngineMonitor, AnotherDiscReadableAfterTheRemovalIsAChangeNotAFalseAlarm) {
  auto drive = addDrive(kDisc);
  open();
  engine()->Refresh();
  ASSERT_TRUE(waitTicks(2));
  {
    std::lock_guard<std::mutex> between(gated_->gate());
    drive->removeDisc();
    drive->insertDisc(disc(kOtherDisc), 6);  // not ready for a while: the check sees the change
  }
  ASSERT_TRUE(waitFor([&] { return mediaChanges() >= 1; }));
  EXPECT_EQ(AudioCDRipper2Probe::mediaChanged(object()), 1);
}

TEST_F(EngineMonitor, RemovalDuringAPlaybackIsReportedAfterIt) {
  auto drive = addDrive(kDisc);
  open();
  engine()->Refresh();
  engine()->PlayTrack(2);
  ASSERT_EQ(AudioCDRipper2Probe::playing(object()), 1);
  const uint32_t ticks = AudioCDRipper2Probe::monitorTicks(object());
  drive->removeDisc();
  // A second of playback passes without a single check of the disc.
  ASSERT_TRUE(waitFor([&] {
    for (const Event& e : recorder_->events)
      if (e.id == DISPID_AudioCDRipper2_Timer && e.args[0] >= 44100) return true;
    return false;
  }));
  EXPECT_EQ(AudioCDRipper2Probe::monitorTicks(object()), ticks);
  EXPECT_EQ(mediaChanges(), 0u);
  engine()->StopPlay();
  ASSERT_TRUE(waitFor([&] { return mediaChanges() == 2; }));
}

// A disc taken out during a rip: the next block fails through its retry
// and ends the rip (OPERATION_FAILED under the StopRip action) with a
// finished file; the monitor stays silent while the rip runs and reports
// the change after RipProgress(100).
TEST_F(EngineMonitor, RemovalDuringARipEndsItAndIsReportedAfterIt) {
  auto drive = addDrive(kDisc);
  drive->setTiming({.speedX = 64});  // a drive that takes time is paced to the 8x below
  open();
  engine()->Refresh();
  engine()->put_ripModePreset(BURST);
  engine()->put_driveSpeed(8);
  engine()->put_ripOnErrorAction(StopRip);
  engine()->put_ripOnErrorRetries(1);
  BSTR file = SysAllocString(u"removed.wav");
  engine()->RipTrackToWav(file);
  SysFreeString(file);
  ASSERT_TRUE(waitFor([&] { return gated_->readLbas().size() > 20; }));
  const uint32_t ticks = AudioCDRipper2Probe::monitorTicks(object());
  drive->removeDisc();
  auto ripEndedAt = [&]() -> size_t {
    for (size_t i = 0; i < recorder_->events.size(); ++i) {
      const Event& e = recorder_->events[i];
      if (e.id == DISPID_AudioCDRipper2_RipProgress && e.args[0] == 100) return i;
    }
    return 0;
  };
  ASSERT_TRUE(waitFor([&] { return ripEndedAt() != 0; }));
  EXPECT_EQ(AudioCDRipper2Probe::monitorTicks(object()), ticks);
  EXPECT_EQ(mediaChanges(), 0u);
  std::vector<LONG> errors;
  for (const Event& e : recorder_->events)
    if (e.id == DISPID_AudioCDRipper2_Error) errors.push_back(e.args[0]);
  EXPECT_EQ(errors, std::vector<LONG>{OPERATION_FAILED});

  ASSERT_TRUE(waitFor([&] { return mediaChanges() == 2; }));
  for (size_t i = 0; i < ripEndedAt(); ++i) EXPECT_NE(recorder_->events[i].id, DISPID_AudioCDRipper2_MediaChange);
  const auto size = std::filesystem::file_size(home_ + "/removed.wav");
  EXPECT_GT(size, 46u);
  std::ifstream in(home_ + "/removed.wav", std::ios::binary);
  std::array<unsigned char, 46> header{};
  in.read(reinterpret_cast<char*>(header.data()), header.size());
  EXPECT_EQ(header[42] | header[43] << 8 | header[44] << 16 | uint32_t{header[45]} << 24, size - 46);
  EXPECT_TRUE(allEventsOnThisThread());
}

TEST_F(EngineMonitor, NoPollingAfterARefreshThatFoundNoDisc) {
  auto drive = addDrive("");
  open();
  engine()->Refresh();
  EXPECT_EQ(AudioCDRipper2Probe::cdHandle(object()), 0);
  ASSERT_TRUE(waitTicks(2));
  drive->insertDisc(disc(kDisc));
  ASSERT_TRUE(waitTicks(10));
  EXPECT_EQ(mediaChanges(), 0u);
}

TEST_F(EngineMonitor, DrivesWithPollingSwitchedOffAreNotWatched) {
  platform::vdrive::DriveModel model;
  model.vendor = "HP";
  model.product = "CD-Writer+ 8100";
  model.revision = "1.0g";
  auto drive = addDrive(kDisc);
  drive->setModel(model);
  open();
  engine()->Refresh();
  BSTR name = nullptr;
  engine()->get_driveName(&name);  // reading this drive's name switches polling off
  SysFreeString(name);
  ASSERT_TRUE(waitTicks(2));
  gated_->clearReads();
  drive->removeDisc();
  ASSERT_TRUE(waitTicks(10));
  EXPECT_EQ(mediaChanges(), 0u);
}

}  // namespace
}  // namespace engine::testing_support
