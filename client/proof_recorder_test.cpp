// The verification's outcome in words, for each answer of the AccurateRip
// database, and the rows both programs log for the same choices.
#include "client/proof_recorder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using proof::LookupStatus;
using proof::VerdictKind;
using Lines = std::vector<std::string>;

client::RipLogTrack track(long number, VerdictKind kind, uint32_t confidence, bool ripped = true) {
  client::RipLogTrack t;
  t.number = number;
  t.ripped = ripped;
  t.verdict.kind = kind;
  t.verdict.confidence = confidence;
  return t;
}

proof::AccurateRipLookup answer(LookupStatus status, std::string detail = "") {
  proof::AccurateRipLookup lookup;
  lookup.status = status;
  lookup.detail = std::move(detail);
  return lookup;
}

TEST(VerificationOutcomeTest, EveryTrackAccurateNamesTheConfidenceOrItsRange) {
  client::RipLog log;
  log.tracks = {track(3, VerdictKind::kAccurate, 12)};
  EXPECT_EQ(client::VerificationOutcome(log, answer(LookupStatus::kFound)),
            Lines{"Track 3 accurately ripped (AccurateRip, confidence 12)."});
  log.tracks = {track(1, VerdictKind::kAccurate, 5), track(2, VerdictKind::kAccurate, 12),
                track(4, VerdictKind::kAccurate, 7)};
  EXPECT_EQ(client::VerificationOutcome(log, answer(LookupStatus::kFound)),
            Lines{"All 3 tracks accurately ripped (AccurateRip, confidence 5 to 12)."});
}

TEST(VerificationOutcomeTest, TracksNotAccurateAreNamedAndFailedTracksLeftOut) {
  client::RipLog log;
  log.tracks = {track(1, VerdictKind::kNotAccurate, 9), track(2, VerdictKind::kNoAnswer, 0, false),
                track(3, VerdictKind::kNotAccurate, 0)};
  EXPECT_EQ(client::VerificationOutcome(log, answer(LookupStatus::kFound)),
            (Lines{"Track 1 not accurate (AccurateRip, best confidence 9).",
                   "Track 3 not accurate (AccurateRip, best confidence 0)."}));
  log.tracks = {track(2, VerdictKind::kNoAnswer, 0, false)};
  EXPECT_EQ(client::VerificationOutcome(log, answer(LookupStatus::kFound)), Lines{});
}

TEST(VerificationOutcomeTest, TheDatabasesOtherAnswers) {
  client::RipLog log;
  log.tracks = {track(1, VerdictKind::kNoAnswer, 0)};
  EXPECT_EQ(client::VerificationOutcome(log, answer(LookupStatus::kNotInDatabase)),
            Lines{"Disc not in the AccurateRip database."});
  EXPECT_EQ(client::VerificationOutcome(log, answer(LookupStatus::kNoAnswer, "timed out")),
            Lines{"AccurateRip could not be reached."});
  EXPECT_EQ(client::VerificationOutcome(log, answer(LookupStatus::kBadAnswer, "truncated")),
            Lines{"AccurateRip's answer could not be read."});
  EXPECT_EQ(client::VerificationOutcome(log, client::NotAsked()),
            Lines{"AccurateRip was not asked (no server is set)."});
  EXPECT_EQ(client::LookupText(client::NotAsked()), "no answer (not asked)");
}

TEST(SettingsRowsTest, EveryChoiceHasItsRowAndTheModesDefaultsAreSaid) {
  client::RunSettings run;
  run.modePreset = SECURE;
  run.format = "flac";
  run.flacLevel = 8;
  run.retries = 5;
  run.onErrorAction = CORRECT;
  run.speed = 32;
  run.accurateRipServer = "127.0.0.1:8080";
  using Rows = std::vector<std::pair<std::string, std::string>>;
  EXPECT_STREQ(client::ModeName(run.modePreset), "secure");
  EXPECT_EQ(client::SettingsRows(run),
            (Rows{{"format", "flac"}, {"flac level", "8"}, {"retries", "5"}, {"on error", "correct"},
                  {"speed", "32x"}, {"test and copy", "no"}, {"de-emphasis", "no"},
                  {"AccurateRip server", "127.0.0.1:8080"}}));
  client::RunSettings defaults;
  defaults.format = "mp3";
  defaults.speedMax = true;
  EXPECT_EQ(client::SettingsRows(defaults),
            (Rows{{"format", "mp3"}, {"retries", "the mode's"}, {"on error", "the mode's"}, {"speed", "max"},
                  {"test and copy", "no"}, {"de-emphasis", "no"}, {"AccurateRip server", "none"}}));
}

}  // namespace
