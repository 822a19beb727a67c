#include "engine/device/disc_id.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "engine/device/toc_parser.h"

namespace engine::device {
namespace {

// An MSF-form TOC from track starts given in frames (two-second offset included).
std::array<uint8_t, kTocBufferBytes> MsfToc(uint8_t first, std::vector<uint32_t> starts,
                                            uint32_t leadOut) {
  std::array<uint8_t, kTocBufferBytes> toc{};
  const size_t length = 2 + (starts.size() + 1) * 8;
  toc[0] = uint8_t(length >> 8);
  toc[1] = uint8_t(length);
  toc[2] = first;
  toc[3] = uint8_t(first + starts.size() - 1);
  starts.push_back(leadOut);
  for (size_t i = 0; i < starts.size(); ++i) {
    uint8_t* d = toc.data() + 4 + 8 * i;
    d[2] = uint8_t(first + i);
    d[5] = uint8_t(starts[i] / 75 / 60);
    d[6] = uint8_t(starts[i] / 75 % 60);
    d[7] = uint8_t(starts[i] % 75);
  }
  return toc;
}

TEST(DiscId, TwoTrackExample) {
  // 00:02:00, 03:00:00, lead-out 05:00:00.
  DiscIdRecord r;
  EXPECT_EQ(DiscIdFromToc(MsfToc(1, {150, 13500}, 22500), r), 0x0B012A02);
  EXPECT_EQ(r.values[1], 2);
  EXPECT_EQ(r.values[2], 150);
  EXPECT_EQ(r.values[3], 13500);
  EXPECT_EQ(r.values[4], 298);
}

TEST(DiscId, AgreesWithIndependentCalculation) {
  // Expected values computed separately with the published freedb algorithm.
  DiscIdRecord r;
  EXPECT_EQ(uint32_t(DiscIdFromToc(MsfToc(1, {150, 15150, 33483}, 50150), r)), 0x14029a03u);
  const std::vector<uint32_t> starts = {0,      18272,  36542,  57400,  80000,  99999,
                                        123456, 150000, 171234, 190001, 210000, 230500};
  std::vector<uint32_t> msf;
  for (uint32_t lba : starts) msf.push_back(lba + 150);
  EXPECT_EQ(uint32_t(DiscIdFromToc(MsfToc(1, msf, 260150), r)), 0xa30d8a0cu);
  EXPECT_EQ(r.values[1], 12);
  EXPECT_EQ(r.values[14], 3466);
}

TEST(DiscId, EmptyBufferGivesOnePseudoTrack) {
  std::array<uint8_t, kTocBufferBytes> zero{};
  DiscIdRecord r;
  EXPECT_EQ(DiscIdFromToc(zero, r), 0x00000001);
  EXPECT_EQ(r.values[1], 1);
}

TEST(DiscId, GarbageHeadersStayInsideTheRecord) {
  DiscIdRecord r;
  auto toc = MsfToc(1, {150, 13500}, 22500);
  toc[2] = 5;  // first above last
  toc[3] = 2;
  DiscIdFromToc(toc, r);
  EXPECT_EQ(r.values[1], 0);
  EXPECT_EQ(r.values[0] & 0xFF, 0);

  toc[2] = 1;  // 255 tracks claimed: bounded by the buffer's 100 descriptors
  toc[3] = 255;
  DiscIdFromToc(toc, r);
  EXPECT_EQ(r.values[1], 99);

  // An answer cut off before its first descriptor ends.
  EXPECT_EQ(DiscIdFromToc(std::span<const uint8_t>(toc.data(), 10), r), 0);

  // A lead-out before the first track: playing time 0, not a negative number
  // spilling into the top byte.
  const auto backwards = MsfToc(1, {22500}, 150);
  EXPECT_EQ(DiscIdFromToc(backwards, r), (3 << 24) | 1);
}

}  // namespace
}  // namespace engine::device
