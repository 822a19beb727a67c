#include "outside/tonemeter2/genre_names.h"

#include <gtest/gtest.h>

namespace tonemeter {
namespace {

TEST(GenreNames, TableKeepsTheSharedSpellingsAndLooksUpBothWays) {
  EXPECT_EQ(genreName(0), "Blues");
  EXPECT_EQ(genreName(kGenreOther), "Other");
  EXPECT_EQ(genreName(79), "Hard Rock");
  EXPECT_EQ(genreName(80), "Folk");
  const std::pair<int, const char*> differing[] = {
      {40, "Alternative Rock"}, {64, "Native US"}, {67, "Psychedelic"}, {85, "Bebop"}, {90, "Avant-garde"},
      {100, "Humor"}, {123, "A capella"}, {132, "Britpop"}, {136, "Christian Gangsta"},
      {140, "Contemporary C"}, {147, "SynthPop"}};
  for (const auto& [index, name] : differing) {
    EXPECT_EQ(genreName(index), name);
    EXPECT_EQ(genreIndex(name), index);
  }
  EXPECT_EQ(genreName(-1), "");
  EXPECT_EQ(genreName(kGenreCount), "");
  EXPECT_EQ(genreIndex("rock"), -1);  // exact, with case
  for (int i = 0; i < kGenreCount; ++i) EXPECT_EQ(genreIndex(genreName(i)), i) << i;  // no duplicates
}

}  // namespace
}  // namespace tonemeter
