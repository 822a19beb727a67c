// The main window's pure rules: default titles, the Time column, the CDDB
// port check and the genre table.
#include "frontend/disc_controller.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "frontend/genre_names.h"

namespace {

TEST(DiscRulesTest, DefaultTitlesHaveTwoDigits) {
  EXPECT_EQ(quavern::defaultTrackTitle(1), "Track01");
  EXPECT_EQ(quavern::defaultTrackTitle(12), "Track12");
  EXPECT_EQ(quavern::defaultTrackTitle(99), "Track99");
}

TEST(DiscRulesTest, TimesAreMinutesAndSecondsOrHoursForLongTracks) {
  EXPECT_EQ(quavern::trackTimeText(0), "00:00");
  EXPECT_EQ(quavern::trackTimeText(32999), "00:32");
  EXPECT_EQ(quavern::trackTimeText(59 * 60000 + 59000), "59:59");
  EXPECT_EQ(quavern::trackTimeText(3600000), "1:00:00");
  EXPECT_EQ(quavern::trackTimeText(3665000), "1:01:05");
  EXPECT_EQ(quavern::trackTimeText(-5), "00:00");
}

TEST(DiscRulesTest, ThePortIsANumberFromOneTo65535) {
  EXPECT_EQ(quavern::parseCddbPort("80"), 80);
  EXPECT_EQ(quavern::parseCddbPort(" 8880 "), 8880);
  EXPECT_EQ(quavern::parseCddbPort("65535"), 65535);
  for (const char* bad : {"", " ", "0", "65536", "-80", "80a", "eighty", "8 0", "99999999999999999999"})
    EXPECT_EQ(quavern::parseCddbPort(bad), 0) << bad;
}

TEST(GenreNamesTest, TheTableHoldsTheSpelledNamesOnce) {
  using quavern::GenreNames;
  EXPECT_STREQ(GenreNames[0], "Blues");
  EXPECT_STREQ(GenreNames[12], "Other");
  EXPECT_STREQ(GenreNames[17], "Rock");
  EXPECT_STREQ(GenreNames[40], "Alternative Rock");
  EXPECT_STREQ(GenreNames[64], "Native US");
  EXPECT_STREQ(GenreNames[67], "Psychedelic");
  EXPECT_STREQ(GenreNames[79], "Hard Rock");
  EXPECT_STREQ(GenreNames[80], "Folk");
  EXPECT_STREQ(GenreNames[85], "Bebop");
  EXPECT_STREQ(GenreNames[90], "Avant-garde");
  EXPECT_STREQ(GenreNames[100], "Humor");
  EXPECT_STREQ(GenreNames[123], "A capella");
  EXPECT_STREQ(GenreNames[132], "Britpop");
  EXPECT_STREQ(GenreNames[136], "Christian Gangsta");
  EXPECT_STREQ(GenreNames[140], "Contemporary C");
  EXPECT_STREQ(GenreNames[147], "SynthPop");
  std::set<std::string> names(GenreNames.begin(), GenreNames.end());
  EXPECT_EQ(names.size(), size_t(quavern::kGenreCount));
}

TEST(GenreNamesTest, LookupIsExactAndFallsBackToOther) {
  EXPECT_EQ(quavern::genreIndexOf("Rock"), 17);
  EXPECT_EQ(quavern::genreIndexOf("rock"), 12);
  EXPECT_EQ(quavern::genreIndexOf(""), 12);
  EXPECT_EQ(quavern::genreIndexOf("SynthPop"), 147);
}

}  // namespace
