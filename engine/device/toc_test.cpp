#include "engine/device/toc.h"

#include <gtest/gtest.h>

#include "engine/device/device_fixture.h"
#include "engine/device/disc_id.h"
#include "engine/device/toc_parser.h"

namespace engine::device::testing {
namespace {

using Toc = DeviceTest;

TEST_F(Toc, ReadsClassifiesAndIdentifiesTheDisc) {
  // 2 tracks: 00:02:00 and 03:00:00, lead-out 05:00:00.
  auto drive = AddDrive('E', {13350, 9000});
  ASSERT_EQ(LoadTransport(false), 1);
  const int32_t h = Open(1, CDRT_ATAPI2);
  uint8_t toc[kTocBufferBytes] = {};
  ASSERT_EQ(SetDeviceParameter(h, PARAM_MSF, 0), 1);
  ASSERT_EQ(ReadToc(h, toc), kResultOk);
  const auto tracks = AudioTracksFromToc(toc);
  ASSERT_EQ(tracks.size(), 2u);
  EXPECT_EQ(tracks[1].lengthFrames, 9000u);
  EXPECT_EQ(ClassifyDisc(h, 2), 1);

  DiscIdRecord record;
  ComputeDiscId(h, record);
  EXPECT_EQ(record.values[0], 0x0B012A02);
  EXPECT_EQ(FindOpenHandle(h)->msfAddressing, 1);  // stays set
  SetDeviceParameter(h, PARAM_MSF, 0);
  EXPECT_EQ(ComputeDiscIdChecked(h, record), kResultOk);
  EXPECT_EQ(record.values[0], 0x0B012A02);
  EXPECT_EQ(FindOpenHandle(h)->msfAddressing, 0);  // restored
  EXPECT_EQ(ComputeDiscIdChecked(7, record), kResultFail);
  EXPECT_EQ(LastDeviceError(), DEVERR_BAD_HANDLE);

  drive->rejectTrackInfo = true;
  EXPECT_EQ(ClassifyDisc(h, 2), 3);
  EXPECT_EQ(ClassifyDisc(h, 0), 0);
  EXPECT_EQ(ClassifyDisc(9, 2), 0);
}

TEST_F(Toc, GarbageTocStaysBounded) {
  auto drive = AddDrive('E', {1000});
  // A data length far beyond the buffer, last track 255, 2000 bytes sent.
  drive->tocOverride.assign(2000, 0x7F);
  drive->tocOverride[2] = 1;
  drive->tocOverride[3] = 255;
  ASSERT_EQ(LoadTransport(false), 1);
  const int32_t h = Open(1, CDRT_ATAPI2);
  uint8_t toc[kTocBufferBytes + 16] = {};
  ASSERT_EQ(ReadToc(h, toc), kResultOk);
  for (size_t i = kTocBufferBytes; i < sizeof(toc); ++i) ASSERT_EQ(toc[i], 0);  // nothing past 804
  EXPECT_LE(AudioTracksFromToc({toc, kTocBufferBytes}).size(), 99u);
  DiscIdRecord record;
  ComputeDiscId(h, record);
  EXPECT_EQ(record.values[1], 99);

  // No disc: a failed read in the engine's form leaves a zero buffer.
  drive->tocOverride.clear();
  drive->discPresent = true;
  uint8_t empty[kTocBufferBytes] = {};
  DiscIdRecord zero;
  EXPECT_EQ(DiscIdFromToc(empty, zero), 1);
}

}  // namespace
}  // namespace engine::device::testing
