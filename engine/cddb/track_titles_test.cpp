#include "engine/cddb/track_titles.h"

#include <gtest/gtest.h>

#include <vector>

namespace engine::cddb {
namespace {

TEST(TrackTitles, SplitTitlesJoinAndIndicesHaveOneOrTwoDigits) {
  TrackTitles titles;
  std::vector<std::pair<int, std::string>> logged;
  titles.addEntry(
      "# comment\r\nDTITLE=A / B\r\nTTITLE3=First half, \r\nTTITLE3=second half\r\nTTITLE12=Twelve\r\n"
      "TTITLE5=Five=still five\r\nTTITLE123=Too far\r\nTTITLE=None\r\nTTITLEx=Letter\r\nTTITLE99=Beyond\r\n"
      "EXTD=\r\n.\r\n",
      [&](int index, const std::string& title) { logged.emplace_back(index, title); });
  EXPECT_EQ(titles.title(3), "First half, second half");
  EXPECT_EQ(titles.title(12), "Twelve");
  EXPECT_EQ(titles.title(5), "Five=still five");
  EXPECT_EQ(titles.title(1), "");
  EXPECT_EQ(titles.title(99), "");
  EXPECT_EQ(titles.title(-1), "");
  EXPECT_EQ(logged.size(), 12u);  // one per line
  EXPECT_EQ(logged[3], std::make_pair(3, std::string("First half, second half")));
  EXPECT_EQ(logged.back().first, 5);

  titles.clear();
  EXPECT_EQ(titles.title(3), "");
}

TEST(TrackTitles, ATitleStopsGrowingAt254Bytes) {
  TrackTitles titles;
  std::string entry;
  for (int i = 0; i < 5; ++i) entry += "TTITLE0=" + std::string(100, 'a') + "\r\n";
  titles.addEntry(entry);
  EXPECT_EQ(titles.title(0).size(), 254u);
}

TEST(CleanFileTitle, RemovesTheNineCharacters) {
  EXPECT_EQ(CleanFileTitle("A:B?C"), "ABC");
  EXPECT_EQ(CleanFileTitle("*?|:\"/\\<>Mr. Blue"), "Mr. Blue");
  EXPECT_EQ(CleanFileTitle("Bj\xC3\xB6rk"), "Bj\xC3\xB6rk");
}

}  // namespace
}  // namespace engine::cddb
