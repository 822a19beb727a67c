#include "engine/device/cdb.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "engine/device/device_types.h"

namespace engine::device {
namespace {

using ::testing::ElementsAre;

std::vector<uint8_t> Bytes(const Cdb& c) {
  return {c.view().begin(), c.view().end()};
}

TEST(Cdb, ReadCommandsOfEveryReadType) {
  const uint32_t lba = 0x012345, n = 26;
  EXPECT_THAT(Bytes(ReadAudioCdb(CDRT_ATAPI1, lba, n, 0)),
              ElementsAre(0xBE, 0, 0, 0x01, 0x23, 0x45, 0, 0, 26, 0x10, 0, 0));
  EXPECT_THAT(Bytes(ReadAudioCdb(CDRT_ATAPI2, lba, n, 0)),
              ElementsAre(0xBE, 0, 0, 0x01, 0x23, 0x45, 0, 0, 26, 0xF0, 0, 0));
  // CDRT_READ6 reads with READ(10), like both READ(10) types; the LUN goes in byte 1.
  for (uint8_t t : {CDRT_READ6, CDRT_READ10, CDRT_READ10_2}) {
    EXPECT_THAT(Bytes(ReadAudioCdb(t, lba, n, 2)),
                ElementsAre(0x28, 0x40, 0, 0x01, 0x23, 0x45, 0, 0, 26, 0));
  }
  EXPECT_THAT(Bytes(ReadAudioCdb(CDRT_READ_D8, lba, n, 0)),
              ElementsAre(0xD8, 0, 0, 0x01, 0x23, 0x45, 0, 0, 0, 26, 0, 0));
  for (uint8_t t : {CDRT_READ_D4, CDRT_READ_D4_1}) {
    EXPECT_THAT(Bytes(ReadAudioCdb(t, lba, n, 0)),
                ElementsAre(0xD4, 0, 0, 0x01, 0x23, 0x45, 0, 0, 26, 0));
  }
}

TEST(Cdb, AddressesAbove24BitsAndCountsAbove255AreCut) {
  EXPECT_THAT(Bytes(ReadAudioCdb(CDRT_ATAPI2, 0x01000005, 0x101, 0)),
              ElementsAre(0xBE, 0, 0, 0, 0, 5, 0, 0, 1, 0xF0, 0, 0));
  EXPECT_THAT(Bytes(ReadAudioCdb(CDRT_ATAPI2, 7, 0, 0)),
              ElementsAre(0xBE, 0, 0, 0, 0, 7, 0, 0, 0, 0xF0, 0, 0));
}

TEST(Cdb, DriveCommands) {
  EXPECT_THAT(Bytes(ReadTocCdb(false)), ElementsAre(0x43, 0, 0, 0, 0, 0, 0, 3, 0x24, 0));
  EXPECT_THAT(Bytes(ReadTocCdb(true)), ElementsAre(0x43, 2, 0, 0, 0, 0, 0, 3, 0x24, 0));
  EXPECT_THAT(Bytes(ReadTrackInfoCdb(0x0102, CDRT_ATAPI1)),
              ElementsAre(0x52, 1, 0, 0, 1, 2, 0, 0, 0x1C, 0x10));
  EXPECT_THAT(Bytes(SetSpeedCdb(44885)),
              ElementsAre(0xBB, 0, 0xAF, 0x55, 0xAF, 0x55, 0, 0, 0, 0, 0, 0));
  EXPECT_THAT(Bytes(PreventAllowCdb(true, CDRT_ANY)), ElementsAre(0x1E, 0, 0, 0, 1, 0xF0));
  EXPECT_THAT(Bytes(StartStopCdb(true, false, CDRT_ATAPI1)),
              ElementsAre(0x1B, 1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0x10));
  EXPECT_EQ(TestUnitReadyCdb12().length, 12);
  EXPECT_EQ(TestUnitReadyCdb12().bytes[5], 0x10);
  EXPECT_EQ(TestUnitReadyCdb10().length, 10);
  EXPECT_EQ(TestUnitReadyCdb10().bytes[9], 0x10);
  EXPECT_THAT(Bytes(InquiryCdb()), ElementsAre(0x12, 0, 0, 0, 0x64, 0));
  EXPECT_THAT(Bytes(ModeSelect6Cdb(true, 20)), ElementsAre(0x15, 0x10, 0, 0, 20, 0));
}

}  // namespace
}  // namespace engine::device
