#include "engine/rip/exact_read.h"

#include <gtest/gtest.h>

#include <string>

namespace engine {
namespace {

std::string Samples(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.append({char(v), char(v >> 8), char(v + 1), char(v >> 8)});
  return s;
}

TEST(LocateTail, FindsATailOnceOnSampleFramesWithRoomForTheBlock) {
  const std::string read = Samples({1, 2, 3, 4, 5, 6, 7, 8});
  size_t at = 99;
  EXPECT_EQ(LocateTail(read, Samples({3, 4}), 8, &at), TailFit::kOnce);
  EXPECT_EQ(at, 8u);
  // No room for two samples after the tail at its place.
  EXPECT_EQ(LocateTail(read, Samples({6, 7}), 8, &at), TailFit::kNowhere);
  EXPECT_EQ(LocateTail(read, Samples({9}), 0, &at), TailFit::kNowhere);
  // Bytes that match only across a sample boundary do not count.
  const std::string shifted = read.substr(1, 8);
  EXPECT_EQ(LocateTail(read, shifted, 0, &at), TailFit::kNowhere);
}

TEST(LocateTail, ATailThatRepeatsCannotLocateTheRead) {
  size_t at = 0;
  EXPECT_EQ(LocateTail(std::string(64, '\0'), std::string(8, '\0'), 8, &at), TailFit::kRepeated);
  EXPECT_EQ(LocateTail(Samples({1, 2, 1, 2, 1, 2, 9}), Samples({1, 2}), 4, &at), TailFit::kRepeated);
}

TEST(ReadTally, APluralityNeedsThreeReadsAndTwiceAnyOther) {
  ReadTally t;
  t.add("a");
  t.add("a");
  EXPECT_EQ(t.plurality(), nullptr);
  ASSERT_NE(t.pair(), nullptr);
  EXPECT_EQ(*t.pair(), "a");
  t.add("b");
  t.add("b");
  t.add("a");
  EXPECT_EQ(t.plurality(), nullptr);  // 3 against 2
  t.add("a");
  ASSERT_NE(t.plurality(), nullptr);  // 4 against 2
  EXPECT_EQ(*t.plurality(), "a");
  t.clear();
  for (int i = 0; i < 3; ++i) t.add("c");
  t.add("d");
  EXPECT_EQ(*t.plurality(), "c");
}

}  // namespace
}  // namespace engine
