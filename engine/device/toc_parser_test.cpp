#include "engine/device/toc_parser.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace engine::device {
namespace {

// An LBA-form READ TOC answer: tracks given as (control, lba), then the lead-out.
std::array<uint8_t, kTocBufferBytes> LbaToc(uint8_t first,
                                            std::vector<std::pair<uint8_t, uint32_t>> tracks,
                                            uint32_t leadOut) {
  std::array<uint8_t, kTocBufferBytes> toc{};
  const size_t length = 2 + (tracks.size() + 1) * 8;
  toc[0] = uint8_t(length >> 8);
  toc[1] = uint8_t(length);
  toc[2] = first;
  toc[3] = uint8_t(first + tracks.size() - 1);
  tracks.push_back({0x00, leadOut});
  for (size_t i = 0; i < tracks.size(); ++i) {
    uint8_t* d = toc.data() + 4 + 8 * i;
    d[1] = uint8_t(0x10 | tracks[i].first);
    d[2] = i + 1 == tracks.size() ? 0xAA : uint8_t(first + i);
    for (int b = 0; b < 4; ++b) d[4 + b] = uint8_t(tracks[i].second >> (24 - 8 * b));
  }
  return toc;
}

TEST(TocParser, BigEndianAddress) {
  const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04};
  EXPECT_EQ(ReadBigEndian32(bytes), 0x01020304u);
  const uint8_t top[] = {0xFF, 0xFF, 0xFF, 0x6A};
  EXPECT_EQ(ReadBigEndian32(top), 0xFFFFFF6Au);
}

TEST(TocParser, AudioTracksSkipDataTracksWhereverTheyStand) {
  // Mixed mode: data first, then two audio tracks; then a data track of a second session.
  const auto toc = LbaToc(1, {{4, 0}, {0, 10000}, {0, 25000}, {4, 40000}}, 60000);
  const auto tracks = AudioTracksFromToc(toc);
  ASSERT_EQ(tracks.size(), 2u);
  EXPECT_EQ(tracks[0].trackNumber, 2);
  EXPECT_EQ(tracks[0].lengthFrames, 15000u);
  EXPECT_EQ(tracks[1].trackNumber, 3);
  EXPECT_EQ(tracks[1].lengthFrames, 15000u);  // reaches the data track's start
}

TEST(TocParser, GarbageAnswersGiveBoundedResults) {
  // Last track 255 with a data length larger than the buffer: only the
  // descriptors inside the buffer count, the lead-out taken from the last one.
  std::array<uint8_t, kTocBufferBytes> huge{};
  huge[0] = 0xFF;
  huge[1] = 0xFF;
  huge[2] = 1;
  huge[3] = 255;
  EXPECT_EQ(TocDescriptorCount(huge), 100u);
  EXPECT_EQ(AudioTracksFromToc(huge).size(), 99u);

  // A header claiming more tracks than its data length carries.
  auto shortAnswer = LbaToc(1, {{0, 0}, {0, 100}}, 200);
  shortAnswer[3] = 40;
  EXPECT_EQ(AudioTracksFromToc(shortAnswer).size(), 2u);

  // First track above the last, and no tracks at all.
  auto inverted = LbaToc(1, {{0, 0}}, 100);
  inverted[2] = 9;
  inverted[3] = 0;
  EXPECT_TRUE(AudioTracksFromToc(inverted).empty());
  std::array<uint8_t, kTocBufferBytes> empty{};
  EXPECT_TRUE(AudioTracksFromToc(empty).empty());
  EXPECT_TRUE(AudioTracksFromToc(std::span<const uint8_t>(empty.data(), 3)).empty());

  // Addresses past 2^24 or running backwards give empty tracks, not huge ones.
  const auto far = LbaToc(1, {{0, 0}, {0, 1u << 24}, {0, 5000}}, 0xFFFFFF6A);
  const auto tracks = AudioTracksFromToc(far);
  ASSERT_EQ(tracks.size(), 3u);
  EXPECT_EQ(tracks[0].lengthFrames, 0u);
  EXPECT_EQ(tracks[1].lengthFrames, 0u);
  EXPECT_EQ(tracks[2].lengthFrames, 0u);

  // A buffer shorter than one descriptor reads as zeros.
  EXPECT_EQ(TocDescriptorAt(std::span<const uint8_t>(huge.data(), 10), 0).track, 0);
}

TEST(TocParser, TrackInformation) {
  const uint8_t answer[28] = {0, 26, 5, 2, 0, 0x14, 0x21};
  const TrackClassEntry e = ParseTrackInfo(answer);
  EXPECT_EQ(e.session, 2);
  EXPECT_EQ(e.trackMode, 4);
  EXPECT_EQ(e.dataMode, 1);
  const TrackClassEntry shortOne = ParseTrackInfo(std::span<const uint8_t>(answer, 4));
  EXPECT_EQ(shortOne.session, 2);
  EXPECT_EQ(shortOne.trackMode, 0);
}

TEST(TocParser, DiscClasses) {
  using E = TrackClassEntry;
  const std::vector<E> audioCd = {{1, 0, 15}, {1, 2, 15}};
  EXPECT_EQ(ClassifyEntries(audioCd), 1);
  const std::vector<E> mixedMode = {{1, 4, 1}, {1, 0, 15}};
  EXPECT_EQ(ClassifyEntries(mixedMode), 2);
  const std::vector<E> unknownData = {{1, 4, 15}, {1, 0, 15}};
  EXPECT_EQ(ClassifyEntries(unknownData), 0);
  const std::vector<E> enhanced = {{1, 0, 15}, {2, 4, 2}};
  EXPECT_EQ(ClassifyEntries(enhanced), 3);
  const std::vector<E> audioWithMode = {{1, 0, 1}, {2, 4, 2}};
  EXPECT_EQ(ClassifyEntries(audioWithMode), 5);
  // A drive that answers no READ TRACK INFORMATION: all entries zero.
  const std::vector<E> unanswered(3);
  EXPECT_EQ(ClassifyEntries(unanswered), 3);
  EXPECT_EQ(ClassifyEntries({}), 0);
}

}  // namespace
}  // namespace engine::device
