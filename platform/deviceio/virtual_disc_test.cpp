// A generated disc in a virtual drive configured by vdrives.ini, read through
// the pass-through as the engine reads it, compared with the image.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/deviceio/drive_table.h"
#include "platform/deviceio/win_device.h"
#include "platform/vdrive/disc_description.h"

namespace platform::deviceio {
namespace {

TEST(VirtualDiscTest, EveryAudioSectorThroughThePassThroughMatchesTheImage) {
  char pattern[] = "/tmp/deviceio_disc.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::filesystem::path folder = pattern;
  std::ofstream(folder / "disc.txt") << "disc title=\"T\" seed=3\n"
                                        "track kind=tone length=2s freq=440\n"
                                        "track kind=noise length=157f pregap=10f\n";
  std::ofstream(folder / "vdrives.ini") << "[E]\nimage=disc.txt\naddress=1:0:2:0\n";
  DriveTable::Options options;
  options.deviceDirectory = (folder / "dev").string();
  options.configurationPath = (folder / "vdrives.ini").string();
  DriveTable::instance().configure(options);
  ASSERT_TRUE(DriveTable::instance().configurationErrors().empty())
      << DriveTable::instance().configurationErrors().front();
  ASSERT_EQ(GetDriveTypeA("E:\\"), DRIVE_CDROM);

  HANDLE device = CreateFileA("\\\\.\\E:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  SCSI_ADDRESS address{};
  ASSERT_TRUE(DeviceIoControl(device, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address, sizeof address, nullptr, nullptr));
  EXPECT_EQ(address.PortNumber, 1);
  EXPECT_EQ(address.TargetId, 2);

  const vdrive::Disc disc = vdrive::loadDescription((folder / "disc.txt").string());
  constexpr uint32_t kFramesPerRead = 26;
  std::vector<uint8_t> block(kFramesPerRead * 2352);
  std::vector<uint8_t> expected(2352);
  struct {
    SCSI_PASS_THROUGH_DIRECT sptd;
    UCHAR sense[24];
  } request{};
  // A drive just powered on answers its first command with a unit attention.
  for (int attempt = 0; attempt < 3; ++attempt) {
    request = {};
    request.sptd.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
    request.sptd.CdbLength = 6;  // TEST UNIT READY
    request.sptd.DataIn = SCSI_IOCTL_DATA_UNSPECIFIED;
    request.sptd.TimeOutValue = 2;
    DeviceIoControl(device, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request, &request, sizeof request,
                    nullptr, nullptr);
    if (request.sptd.ScsiStatus == 0) break;
  }
  int sectors = 0;
  for (const vdrive::Track& track : disc.tracks()) {
    for (int32_t lba = track.start; lba < track.end;) {
      const uint32_t frames = std::min<uint32_t>(kFramesPerRead, static_cast<uint32_t>(track.end - lba));
      request = {};
      request.sptd.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
      request.sptd.CdbLength = 12;
      request.sptd.SenseInfoLength = 24;
      request.sptd.DataIn = SCSI_IOCTL_DATA_IN;
      request.sptd.DataTransferLength = frames * 2352;
      request.sptd.TimeOutValue = 5;
      request.sptd.DataBuffer = block.data();
      request.sptd.SenseInfoOffset = sizeof(SCSI_PASS_THROUGH_DIRECT);
      const UCHAR cdb[12] = {0xBE, 0, static_cast<UCHAR>(lba >> 24), static_cast<UCHAR>(lba >> 16),
                             static_cast<UCHAR>(lba >> 8), static_cast<UCHAR>(lba), 0, 0,
                             static_cast<UCHAR>(frames), 0x10, 0, 0};
      std::memcpy(request.sptd.Cdb, cdb, sizeof cdb);
      ASSERT_TRUE(DeviceIoControl(device, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request, &request,
                                  sizeof request, nullptr, nullptr));
      ASSERT_EQ(request.sptd.ScsiStatus, 0) << "LBA " << lba << " sense key " << int(request.sense[2] & 0x0F);
      ASSERT_EQ(request.sptd.DataTransferLength, frames * 2352);
      for (uint32_t i = 0; i < frames; ++i, ++sectors) {
        ASSERT_TRUE(disc.readSector(lba + static_cast<int32_t>(i), std::span<uint8_t, 2352>(expected.data(), 2352)));
        ASSERT_EQ(std::memcmp(block.data() + i * 2352, expected.data(), 2352), 0) << "LBA " << lba + i;
      }
      lba += static_cast<int32_t>(frames);
    }
  }
  EXPECT_EQ(sectors, 150 + 157);
  CloseHandle(device);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace platform::deviceio
