#include "client/musicbrainz_answer.h"

#include <gtest/gtest.h>

#include "client/musicbrainz_match.h"
#include "client/testing/musicbrainz_answers.h"

namespace client {
namespace {

using testing::ReleaseSpec;

const std::vector<uint32_t> kTrackMs = {200000, 200000, 200000};

ReleaseSpec Ours(const std::string& id) {
  ReleaseSpec r;
  r.id = id;
  r.discIds = {"DISC"};
  r.trackMs = kTrackMs;
  return r;
}

MusicBrainzAnswer Parse(const std::string& json) {
  std::string error;
  auto answer = ParseMusicBrainzAnswer(json, error);
  EXPECT_TRUE(answer.has_value()) << error;
  return answer.value_or(MusicBrainzAnswer{});
}

TEST(MusicBrainzAnswer, ReadsAnExactAnswer) {
  const auto answer = Parse(testing::ExactAnswer("DISC", {testing::ReleaseJson(Ours("r1"))}));
  EXPECT_EQ(answer.discId, "DISC");
  ASSERT_EQ(answer.releases.size(), 1u);
  const MusicBrainzRelease& r = answer.releases[0];
  EXPECT_EQ(r.id, "r1");
  EXPECT_EQ(r.artist.name, "Artist");
  EXPECT_EQ(r.artist.artistIds, std::vector<std::string>{"a1"});
  EXPECT_EQ(r.releaseGroupId, "rg1");
  EXPECT_TRUE(r.coverArtFront);
  ASSERT_EQ(r.labels.size(), 2u);
  EXPECT_EQ(r.labels[1].name, "Label Two");
  EXPECT_EQ(r.labels[1].catalogNumber, "CAT 2");
  ASSERT_EQ(r.media.size(), 1u);
  EXPECT_EQ(r.media[0].discIds, std::vector<std::string>{"DISC"});
  ASSERT_EQ(r.media[0].tracks.size(), 3u);
  const MusicBrainzTrack& t = r.media[0].tracks[1];
  EXPECT_EQ(t.title, "Song 2");
  EXPECT_EQ(t.artist.name, "Guest 2 & Artist");
  EXPECT_EQ(t.artist.artistIds.size(), 2u);
  EXPECT_EQ(t.recordingId, "rec2");
  EXPECT_EQ(t.lengthMs, 200000u);
  EXPECT_EQ(t.isrcs, std::vector<std::string>{"GBAAA010002"});
}

TEST(MusicBrainzAnswer, ReadsAFuzzyAnswerAndAPregapTrack) {
  const std::string json =
      R"({"release-count":1,"releases":[{"id":"r","title":"T","media":[{"position":1,"format":"CD",)"
      R"("pregap":{"id":"p","position":0,"number":"0","title":"Hidden","length":30000},)"
      R"("tracks":[{"position":1,"title":"One","length":null}]}]}]})";
  const auto answer = Parse(json);
  EXPECT_TRUE(answer.discId.empty());
  const MusicBrainzMedium& m = answer.releases.at(0).media.at(0);
  ASSERT_TRUE(m.pregap.has_value());
  EXPECT_EQ(m.pregap->title, "Hidden");
  ASSERT_EQ(m.tracks.size(), 1u);
  EXPECT_FALSE(m.tracks[0].lengthMs.has_value());
}

TEST(MusicBrainzAnswer, WrongTypesReadAsAbsentAndBrokenTextIsRefused) {
  const auto answer = Parse(
      R"({"id":5,"releases":[{"id":["x"],"title":7,"artist-credit":"no","label-info":[3,{"label":[]}],)"
      R"("cover-art-archive":{"front":"yes"},"media":[{"position":"1","tracks":[{"position":-4},)"
      R"({"position":1,"length":-5,"recording":[]},7]},"x"]}, 1]})");
  EXPECT_TRUE(answer.discId.empty());
  ASSERT_EQ(answer.releases.size(), 1u);
  EXPECT_TRUE(answer.releases[0].id.empty());
  EXPECT_FALSE(answer.releases[0].coverArtFront);
  ASSERT_EQ(answer.releases[0].media.size(), 1u);
  ASSERT_EQ(answer.releases[0].media[0].tracks.size(), 1u);
  EXPECT_FALSE(answer.releases[0].media[0].tracks[0].lengthMs.has_value());

  std::string error;
  for (const char* bad : {"", "{", R"({"releases":[{"id":"r")", "[1,2]", "\"text\"", "<html>"}) {
    EXPECT_FALSE(ParseMusicBrainzAnswer(bad, error).has_value()) << bad;
    EXPECT_FALSE(error.empty());
  }
}

TEST(MusicBrainzMatch, RanksByDiscIdThenCountStatusFormatCountryAndDate) {
  ReleaseSpec listed = Ours("listed");
  listed.status = "Bootleg";
  listed.date = "2010";
  ReleaseSpec promo = Ours("promo");
  promo.discIds = {};
  promo.status = "Promotion";
  ReleaseSpec vinyl = Ours("vinyl");
  vinyl.discIds = {};
  vinyl.format = "Vinyl";
  ReleaseSpec late = Ours("late");
  late.discIds = {};
  late.date = "2005";
  ReleaseSpec early = Ours("early");
  early.discIds = {};
  early.date = "1999-02";
  ReleaseSpec home = Ours("home");
  home.discIds = {};
  home.date = "2020";
  home.country = "DE";
  ReleaseSpec shorter = Ours("shorter");
  shorter.discIds = {};
  shorter.trackMs = {200000, 200000};
  const auto answer = Parse(testing::FuzzyAnswer(
      {testing::ReleaseJson(shorter), testing::ReleaseJson(promo), testing::ReleaseJson(vinyl),
       testing::ReleaseJson(late), testing::ReleaseJson(early), testing::ReleaseJson(home),
       testing::ReleaseJson(listed)}));
  const auto ranked = RankMusicBrainzReleases(answer, "DISC", kTrackMs, "DE");
  std::vector<std::string> order;
  for (const auto& c : ranked) order.push_back(answer.releases[c.release].id);
  EXPECT_EQ(order, (std::vector<std::string>{"listed", "home", "early", "late", "vinyl", "promo", "shorter"}));
  EXPECT_TRUE(ranked[0].discIdMatch);
  EXPECT_FALSE(ranked[0].byLength);
  EXPECT_TRUE(ranked[1].byLength);
}

TEST(MusicBrainzMatch, PicksTheMediumOfATwoDiscRelease) {
  ReleaseSpec two = Ours("two");
  two.mediumCount = 2;
  const auto answer = Parse(testing::ExactAnswer("DISC", {testing::ReleaseJson(two)}));
  auto ranked = RankMusicBrainzReleases(answer, "DISC", kTrackMs, "");
  ASSERT_EQ(ranked.size(), 1u);
  EXPECT_EQ(ranked[0].medium, 1u);
  // By length alone (a fuzzy answer), the medium of three tracks.
  ranked = RankMusicBrainzReleases(answer, "OTHER", kTrackMs, "");
  EXPECT_EQ(ranked[0].medium, 1u);
  EXPECT_TRUE(ranked[0].byLength);
}

TEST(MusicBrainzMatch, CandidatesDifferAndAreChosenByNumberOrId) {
  ReleaseSpec a = Ours("aaaa1111-0000");
  ReleaseSpec b = Ours("bbbb2222-0000");
  auto answer = Parse(testing::ExactAnswer("DISC", {testing::ReleaseJson(a), testing::ReleaseJson(b)}));
  auto ranked = RankMusicBrainzReleases(answer, "DISC", kTrackMs, "");
  EXPECT_FALSE(MusicBrainzCandidatesDiffer(answer, ranked));
  EXPECT_EQ(FindMusicBrainzCandidate(answer, ranked, "2"), 1);
  EXPECT_EQ(FindMusicBrainzCandidate(answer, ranked, "bbbb"), 1);
  EXPECT_EQ(FindMusicBrainzCandidate(answer, ranked, "3"), -1);
  EXPECT_EQ(FindMusicBrainzCandidate(answer, ranked, "0"), -1);
  EXPECT_EQ(FindMusicBrainzCandidate(answer, ranked, "cccc"), -1);
  b.artist = "Someone Else";
  answer = Parse(testing::ExactAnswer("DISC", {testing::ReleaseJson(a), testing::ReleaseJson(b)}));
  ranked = RankMusicBrainzReleases(answer, "DISC", kTrackMs, "");
  EXPECT_TRUE(MusicBrainzCandidatesDiffer(answer, ranked));
}

}  // namespace
}  // namespace client
