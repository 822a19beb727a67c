// A drive holding a stack of discs (images=...): each eject loads the next,
// the last leaves the drive empty.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/vdrive/drive_settings.h"
#include "platform/vdrive/test_support.h"
#include "platform/vdrive/virtual_drive.h"

namespace platform::vdrive {
namespace {

using testing::exec;

const std::vector<uint8_t> kTur = {0, 0, 0, 0, 0, 0};
const std::vector<uint8_t> kEject = {0x1B, 0, 0, 0, 0x02, 0};

size_t trackCount(const VirtualDrive& drive) { return drive.disc() ? drive.disc()->tracks().size() : 0; }

TEST(DiscStack, EachEjectLoadsTheNextDiscAndTheLastLeavesTheDriveEmpty) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "rm_disc_stack_test";
  std::filesystem::create_directories(folder);
  for (int n = 1; n <= 3; ++n) {  // disc n has n tracks
    std::ofstream file(folder / ("d" + std::to_string(n) + ".disc"));
    for (int t = 0; t < n; ++t) file << "track kind=tone length=20f freq=440\n";
  }
  auto clock = std::make_shared<ManualClock>();
  auto drive = makeVirtualDrive({{"images", "d1.disc, d2.disc,d3.disc"}}, folder.string(), clock);
  EXPECT_EQ(trackCount(*drive), 1u);
  exec(*drive, kTur);  // the power-on attention
  for (size_t next = 2; next <= 3; ++next) {
    EXPECT_EQ(exec(*drive, kEject).result.status, scsi::kStatusGood);
    EXPECT_EQ(trackCount(*drive), next);
    EXPECT_FALSE(drive->trayOpen());
    // The new disc is announced once, then the drive is ready.
    EXPECT_EQ(scsi::senseAsc(exec(*drive, kTur).result), 0x28);
    EXPECT_EQ(exec(*drive, kTur).result.status, scsi::kStatusGood);
  }
  // A locked tray keeps the disc.
  exec(*drive, {0x1E, 0, 0, 0, 1, 0});
  EXPECT_NE(exec(*drive, kEject).result.status, scsi::kStatusGood);
  EXPECT_EQ(trackCount(*drive), 3u);
  exec(*drive, {0x1E, 0, 0, 0, 0, 0});
  EXPECT_EQ(exec(*drive, kEject).result.status, scsi::kStatusGood);
  EXPECT_FALSE(drive->disc());
  EXPECT_EQ(scsi::senseAsc(exec(*drive, kTur).result), 0x3A);  // no medium

  EXPECT_THROW(makeVirtualDrive({{"images", "d1.disc,,d2.disc"}}, folder.string(), clock), DriveSettingsError);
  EXPECT_THROW(makeVirtualDrive({{"images", "d1.disc"}, {"image", "d2.disc"}}, folder.string(), clock),
               DriveSettingsError);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace platform::vdrive
