#include "client/test_copy_summary.h"

#include <gtest/gtest.h>

namespace client {
namespace {

RipLogTrack Tested(long number, std::optional<uint32_t> test, uint32_t copy, bool ripped) {
  RipLogTrack track;
  track.number = number;
  track.testCrc = test;
  track.copyCrc = copy;
  track.ripped = ripped;
  return track;
}

TEST(TestAndCopySummary, AllMatchingIsOneBriefAndALinePerTrack) {
  RipLog log;
  log.tracks = {Tested(1, 0x0A1B2C3D, 0x0A1B2C3D, true), Tested(2, 0xFFFFFFFF, 0xFFFFFFFF, true)};
  const TestAndCopySummary s = SummariseTestAndCopy(log);
  EXPECT_EQ(s.brief, "test and copy CRCs match for 2 tracks");
  EXPECT_EQ(s.lines, (std::vector<std::string>{"Track 1: test CRC 0A1B2C3D, copy CRC 0A1B2C3D",
                                                "Track 2: test CRC FFFFFFFF, copy CRC FFFFFFFF"}));
  log.tracks.pop_back();
  EXPECT_EQ(SummariseTestAndCopy(log).brief, "test and copy CRCs match for 1 track");
}

// A differing pair is named with both CRCs; a track without a test read or
// whose copy was never read has no pair; without test and copy, nothing.
TEST(TestAndCopySummary, DifferingPairsAreNamedAndTracksWithoutAPairLeftOut) {
  RipLog log;
  log.tracks = {Tested(1, 0x11111111, 0x11111111, true), Tested(2, 0x12345678, 0x9ABCDEF0, false),
                Tested(3, std::nullopt, 0x33333333, false), Tested(4, 0x44444444, 0, false),
                Tested(5, 0x00000001, 0x00000002, false)};
  const TestAndCopySummary s = SummariseTestAndCopy(log);
  EXPECT_EQ(s.brief,
            "test and copy CRCs differ for track 2 (test 12345678, copy 9ABCDEF0), track 5 (test 00000001, copy "
            "00000002)");
  ASSERT_EQ(s.lines.size(), 3u);
  EXPECT_EQ(s.lines[1], "Track 2: test CRC 12345678, copy CRC 9ABCDEF0 (they differ)");

  RipLog plain;
  plain.tracks = {Tested(1, std::nullopt, 0x11111111, true)};
  EXPECT_TRUE(SummariseTestAndCopy(plain).brief.empty());
  EXPECT_TRUE(SummariseTestAndCopy(plain).lines.empty());
}

}  // namespace
}  // namespace client
