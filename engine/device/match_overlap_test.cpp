#include "engine/device/match_overlap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/device/device_types.h"

namespace engine::device {
namespace {

// Audio that never repeats within a disc: one 32-bit sample frame per index.
uint32_t Sample(uint64_t index) {
  return uint32_t(index * 2654435761u) ^ uint32_t(index >> 7);
}

// Fills `frames` frames starting at disc byte `discByte` (may be off a frame boundary).
void FillFromDisc(TrackBuffer& b, uint64_t discByte, uint32_t frames) {
  for (uint32_t i = 0; i < frames * kFrameBytes; ++i) {
    const uint64_t at = discByte + i;
    const uint32_t s = Sample(at / 4);
    b.data()[i] = uint8_t(s >> (8 * (at % 4)));
  }
  b.frameCount = frames;
  b.validBytes = frames * kFrameBytes;
  b.dataOffset = 0;
}

void SaveTail(TrackBuffer& o, uint32_t startFrame, uint32_t frames) {
  FillFromDisc(o, uint64_t{startFrame} * kFrameBytes, frames);
  o.startFrame = startFrame;
}

TEST(MatchOverlap, FindsTheTailWhereverTheDriveStarted) {
  auto b = AllocateTrackBuffer(26);
  auto o = AllocateTrackBuffer(3);
  SaveTail(*o, 997, 3);  // frames 997..999 were read last
  // Asked for 997 (1000 - J), the drive started 40 sample frames early.
  FillFromDisc(*b, 997ull * kFrameBytes - 160, 26);
  ASSERT_TRUE(MatchOverlap(*b, *o, 3));
  EXPECT_EQ(b->startFrame, 1000u);
  EXPECT_EQ(b->dataOffset, int32_t(3 * kFrameBytes + 160));
  EXPECT_EQ(b->validBytes % kFrameBytes, 0u);
  EXPECT_EQ(b->frameCount, b->validBytes / kFrameBytes);
  uint32_t first;
  std::memcpy(&first, b->data() + b->dataOffset, 4);
  EXPECT_EQ(first, Sample(1000ull * kFrameBytes / 4));
}

TEST(MatchOverlap, NeverMatchesInsideASampleFrame) {
  auto b = AllocateTrackBuffer(26);
  auto o = AllocateTrackBuffer(1);
  SaveTail(*o, 500, 1);
  // The tail appears only two bytes off a sample boundary: it must not count.
  std::memset(b->data(), 0x11, b->capacity);
  std::memcpy(b->data() + 4002, o->data(), kFrameBytes);
  b->frameCount = 26;
  b->validBytes = 26 * kFrameBytes;
  EXPECT_FALSE(MatchOverlap(*b, *o, 1));
  EXPECT_EQ(b->dataOffset, 0);
  EXPECT_EQ(b->frameCount, 26u);
  // On a boundary it does, and the offset stays a multiple of 4.
  std::memcpy(b->data() + 4000, o->data(), kFrameBytes);
  ASSERT_TRUE(MatchOverlap(*b, *o, 1));
  EXPECT_EQ(b->dataOffset, int32_t(4000 + kFrameBytes));
  EXPECT_EQ(b->dataOffset % 4, 0);
}

TEST(MatchOverlap, EmptyOrSilentTailSucceedsWithoutAligning) {
  auto b = AllocateTrackBuffer(4);
  auto o = AllocateTrackBuffer(1);
  FillFromDisc(*b, 0, 4);
  b->startFrame = 7;
  EXPECT_TRUE(MatchOverlap(*b, *o, 1));  // nothing saved yet
  o->validBytes = kFrameBytes;           // saved, but all zero
  EXPECT_TRUE(MatchOverlap(*b, *o, 1));
  EXPECT_EQ(b->startFrame, 7u);
  EXPECT_EQ(b->dataOffset, 0);
}

TEST(MatchOverlap, ShortOrInconsistentBuffersFailSafely) {
  auto b = AllocateTrackBuffer(2);
  auto o = AllocateTrackBuffer(3);
  SaveTail(*o, 0, 3);
  FillFromDisc(*b, 0, 2);
  // The block is shorter than the tail: no position exists.
  EXPECT_FALSE(MatchOverlap(*b, *o, 3));
  // O holds fewer bytes than N frames.
  o->validBytes = kFrameBytes;
  FillFromDisc(*b, 0, 2);
  EXPECT_FALSE(MatchOverlap(*b, *o, 3));
  // A header pointing outside its data area is not searched.
  FillFromDisc(*b, 0, 2);
  b->validBytes = 50 * kFrameBytes;
  EXPECT_FALSE(MatchOverlap(*b, *o, 1));
}

TEST(MatchOverlap, RepetitiveDataTakesTheFirstPosition) {
  auto b = AllocateTrackBuffer(26);
  auto o = AllocateTrackBuffer(1);
  // Near-silence: a short pattern repeated everywhere.
  for (uint32_t i = 0; i < b->capacity; ++i) b->data()[i] = uint8_t((i / 4) % 3);
  std::memcpy(o->data(), b->data(), kFrameBytes);
  o->validBytes = kFrameBytes;
  o->frameCount = 1;
  o->startFrame = 10;
  b->frameCount = 26;
  b->validBytes = 26 * kFrameBytes;
  ASSERT_TRUE(MatchOverlap(*b, *o, 1));
  EXPECT_EQ(b->dataOffset, int32_t(kFrameBytes));
  EXPECT_EQ(b->startFrame, 11u);
  EXPECT_EQ(b->frameCount, 25u);
}

}  // namespace
}  // namespace engine::device
