#include "engine/device/reads.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/device/device_fixture.h"

namespace engine::device::testing {
namespace {

using Reads = DeviceTest;

constexpr uint32_t kBlockFrames = 26;

// Reads frames [first, end) in whole blocks and returns them.
std::vector<uint8_t> Rip(int32_t handle, uint32_t first, uint32_t end) {
  std::vector<uint8_t> out;
  auto b = AllocateTrackBuffer(kBlockFrames);
  uint32_t pos = first;
  while (pos < end) {
    b->startFrame = pos;
    b->frameCount = kBlockFrames;  // past the disc's end the drive gives silence
    b->validBytes = 0;
    b->dataOffset = 0;
    const int32_t r = ReadCDAudioLBA(handle, *b);
    if (r != kResultOk) {
      ADD_FAILURE() << "read failed at " << pos << " error " << LastDeviceError();
      return out;
    }
    if (b->startFrame != pos) {
      ADD_FAILURE() << "block starts at " << b->startFrame << ", expected " << pos;
      return out;
    }
    const uint32_t take = std::min(b->frameCount, end - pos);
    if (take == 0) {
      ADD_FAILURE() << "no progress at " << pos;
      return out;
    }
    const uint8_t* data = b->data() + b->dataOffset;
    out.insert(out.end(), data, data + size_t{take} * kFrameBytes);
    pos += take;
  }
  return out;
}

std::vector<uint8_t> Image(const TestDrive& drive, uint32_t first, uint32_t end) {
  return {drive.image.begin() + ptrdiff_t{first} * kFrameBytes,
          drive.image.begin() + ptrdiff_t{end} * kFrameBytes};
}

struct Model {
  uint8_t readType;
  bool readCd, read10, d8, d4;
};

TEST_F(Reads, EveryReadTypeRipsTheDiscExactly) {
  const std::vector<Model> models = {
      {CDRT_ATAPI1, true, false, false, false},   {CDRT_ATAPI2, true, false, false, false},
      {CDRT_READ6, false, true, false, false},    {CDRT_READ10, false, true, false, false},
      {CDRT_READ10_2, false, true, false, false}, {CDRT_READ_D8, false, false, true, false},
      {CDRT_READ_D4, false, false, false, true},  {CDRT_READ_D4_1, false, false, false, true},
      {CDRT_ANY, false, false, false, true},
  };
  auto drive = AddDrive('E', {300, 217});
  ASSERT_EQ(LoadTransport(false), 1);
  for (const Model& m : models) {
    SCOPED_TRACE(int(m.readType));
    drive->acceptReadCd = m.readCd;
    drive->acceptRead10 = m.read10;
    drive->acceptD8 = m.d8;
    drive->acceptD4 = m.d4;
    const int32_t h = Open(1, m.readType);
    ASSERT_NE(h, 0);
    EXPECT_EQ(Rip(h, 0, 517), Image(*drive, 0, 517));
    EXPECT_EQ(Rip(h, 300, 517), Image(*drive, 300, 517));
    if (m.read10 || m.readType == CDRT_ANY)
      EXPECT_EQ(CloseDevice(h), 1);
    else
      CloseDevice(h);
  }
}

TEST_F(Reads, AutoDetectionKeepsTheFirstWorkingType) {
  auto drive = AddDrive('E', {100});
  ASSERT_EQ(LoadTransport(false), 1);
  const int32_t h = Open(1, CDRT_ANY);
  auto b = AllocateTrackBuffer(4);
  b->frameCount = 4;
  ASSERT_EQ(ReadCDAudioLBA(h, *b), kResultOk);
  EXPECT_EQ(FindOpenHandle(h)->readType, CDRT_ATAPI2);
  EXPECT_EQ(FindOpenHandle(h)->readRoutine, &ReadCDAudioLBA_ATAPI);
  EXPECT_EQ(std::memcmp(b->data(), drive->image.data(), 4 * kFrameBytes), 0);
}

TEST_F(Reads, DetectionRejectsReadsThatDeliverNothing) {
  auto drive = AddDrive('E', {100});
  drive->silentReads = true;  // success claimed, buffer untouched
  ASSERT_EQ(LoadTransport(false), 1);
  const int32_t h = Open(1, CDRT_ANY);
  auto b = AllocateTrackBuffer(2);
  b->frameCount = 2;
  drive->cdbs.clear();
  EXPECT_EQ(ReadCDAudioLBA(h, *b), kResultFail);
  EXPECT_EQ(FindOpenHandle(h)->readType, CDRT_ANY);
  EXPECT_EQ(FindOpenHandle(h)->readRoutine, &ReadCDAudioLBA_ANY);
  size_t reads = 0;
  for (const auto& cdb : drive->cdbs) {
    if (cdb[0] == 0xBE || cdb[0] == 0x28 || cdb[0] == 0xD8 || cdb[0] == 0xD4) ++reads;
  }
  EXPECT_EQ(reads, 21u);
}

TEST_F(Reads, EdgeCasesOfTheReadCommand) {
  auto drive = AddDrive('E', {100});
  ASSERT_EQ(LoadTransport(false), 1);
  const int32_t h = Open(1, CDRT_READ6);
  auto b = AllocateTrackBuffer(2);
  // READ6 reads with READ(10), after the 2352-byte block setup.
  b->frameCount = 2;
  ASSERT_EQ(ReadCDAudioLBA(h, *b), kResultOk);
  EXPECT_EQ(drive->cdbs[drive->cdbs.size() - 2][0], 0x15);
  EXPECT_EQ(drive->cdbs.back()[0], 0x28);
  // Zero frames: a command with transfer length 0 and nothing valid.
  b->frameCount = 0;
  ASSERT_EQ(ReadCDAudioLBA(h, *b), kResultOk);
  EXPECT_EQ(drive->cdbs.back()[8], 0);
  EXPECT_EQ(b->validBytes, 0u);
  // More frames than the buffer holds: nothing sent.
  const size_t sent = drive->cdbs.size();
  b->frameCount = 3;
  EXPECT_EQ(ReadCDAudioLBA(h, *b), kResultFail);
  EXPECT_EQ(LastDeviceError(), DEVERR_BUFFER_TOO_SMALL);
  EXPECT_EQ(drive->cdbs.size(), sent);
  // More frames than one command can name (255) are refused, not half read.
  auto big = AllocateTrackBuffer(256);
  big->frameCount = 256;
  EXPECT_EQ(ReadCDAudioLBA(h, *big), kResultFail);
  EXPECT_EQ(LastDeviceError(), DEVERR_BAD_REQUEST);
  EXPECT_EQ(drive->cdbs.size(), sent);
  // A start of 2^24 or more is sent without its top byte.
  b->frameCount = 1;
  b->startFrame = (1u << 24) + 5;
  ASSERT_EQ(ReadCDAudioLBA(h, *b), kResultOk);
  EXPECT_EQ(drive->cdbs.back()[3], 0);
  EXPECT_EQ(drive->cdbs.back()[5], 5);
  // Closing restores 2048-byte blocks.
  EXPECT_EQ(CloseDevice(h), 1);
  EXPECT_EQ(drive->cdbs.back()[0], 0x15);
  EXPECT_EQ(drive->blockBytes, 2048u);
  EXPECT_EQ(ReadCDAudioLBA(h, *b), kResultFail);
  EXPECT_EQ(LastDeviceError(), DEVERR_BAD_HANDLE);
}

}  // namespace
}  // namespace engine::device::testing
