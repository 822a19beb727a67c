// The rip batch's verification outcome in words, for each answer of the
// AccurateRip database.
#include "frontend/batch_proof.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using engine::verify::LookupStatus;
using engine::verify::VerdictKind;
using Lines = std::vector<std::string>;

ripmarrow::RipLogTrack track(long number, VerdictKind kind, uint32_t confidence, bool ripped = true) {
  ripmarrow::RipLogTrack t;
  t.number = number;
  t.ripped = ripped;
  t.verdict.kind = kind;
  t.verdict.confidence = confidence;
  return t;
}

engine::verify::AccurateRipLookup answer(LookupStatus status, std::string detail = "") {
  engine::verify::AccurateRipLookup lookup;
  lookup.status = status;
  lookup.detail = std::move(detail);
  return lookup;
}

TEST(VerificationOutcomeTest, EveryTrackAccurateNamesTheConfidenceOrItsRange) {
  ripmarrow::RipLog log;
  log.tracks = {track(3, VerdictKind::kAccurate, 12)};
  EXPECT_EQ(quavern::verificationOutcome(log, answer(LookupStatus::kFound)),
            Lines{"Track 3 accurately ripped (AccurateRip, confidence 12)."});
  log.tracks = {track(1, VerdictKind::kAccurate, 5), track(2, VerdictKind::kAccurate, 12),
                track(4, VerdictKind::kAccurate, 7)};
  EXPECT_EQ(quavern::verificationOutcome(log, answer(LookupStatus::kFound)),
            Lines{"All 3 tracks accurately ripped (AccurateRip, confidence 5 to 12)."});
}

TEST(VerificationOutcomeTest, TracksNotAccurateAreNamedAndFailedTracksLeftOut) {
  ripmarrow::RipLog log;
  log.tracks = {track(1, VerdictKind::kNotAccurate, 9), track(2, VerdictKind::kNoAnswer, 0, false),
                track(3, VerdictKind::kNotAccurate, 0)};
  EXPECT_EQ(quavern::verificationOutcome(log, answer(LookupStatus::kFound)),
            (Lines{"Track 1 not accurate (AccurateRip, best confidence 9).",
                   "Track 3 not accurate (AccurateRip, best confidence 0)."}));
  log.tracks = {track(2, VerdictKind::kNoAnswer, 0, false)};
  EXPECT_EQ(quavern::verificationOutcome(log, answer(LookupStatus::kFound)), Lines{});
}

TEST(VerificationOutcomeTest, TheDatabasesOtherAnswers) {
  ripmarrow::RipLog log;
  log.tracks = {track(1, VerdictKind::kNoAnswer, 0)};
  EXPECT_EQ(quavern::verificationOutcome(log, answer(LookupStatus::kNotInDatabase)),
            Lines{"Disc not in the AccurateRip database."});
  EXPECT_EQ(quavern::verificationOutcome(log, answer(LookupStatus::kNoAnswer, "timed out")),
            Lines{"AccurateRip could not be reached."});
  EXPECT_EQ(quavern::verificationOutcome(log, answer(LookupStatus::kBadAnswer, "truncated")),
            Lines{"AccurateRip's answer could not be read."});
  EXPECT_EQ(quavern::verificationOutcome(log, quavern::notAsked()),
            Lines{"AccurateRip was not asked (no server is set)."});
  EXPECT_FALSE(quavern::wasAsked(quavern::notAsked()));
  EXPECT_TRUE(quavern::wasAsked(answer(LookupStatus::kNoAnswer, "timed out")));
}

}  // namespace
