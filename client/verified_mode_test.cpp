// The verified mode's decisions: which answers make a burst rip proven.
#include "client/verified_mode.h"

#include <gtest/gtest.h>

namespace client {
namespace {

ProofLookups accurateRip(uint32_t crc, uint8_t confidence) {
  ProofLookups found;
  found.accurateRip.status = proof::LookupStatus::kFound;
  proof::AccurateRipRecord record;
  record.tracks.push_back({confidence, crc, 0});
  found.accurateRip.records.push_back(record);
  return found;
}

RipLogTrack ripped(uint32_t v1, uint32_t v2, uint32_t ctdbCrc) {
  RipLogTrack track;
  track.number = 1;
  track.ripped = true;
  track.accurateRipV1 = v1;
  track.accurateRipV2 = v2;
  track.ctdbCrc = ctdbCrc;
  return track;
}

// AccurateRip v2 with confidence 2 proves a track; v1 alone, confidence 1,
// or a track not ripped whole never does.
TEST(VerifiedModeTest, OnlyAVersionTwoMatchOfConfidenceTwoProvesAccurateRip) {
  EXPECT_TRUE(TrackConfirmed(accurateRip(0x22, 2), ripped(0x11, 0x22, 0)));
  EXPECT_FALSE(TrackConfirmed(accurateRip(0x22, 1), ripped(0x11, 0x22, 0)));
  EXPECT_FALSE(TrackConfirmed(accurateRip(0x11, 9), ripped(0x11, 0x22, 0)));
  RipLogTrack failed = ripped(0x11, 0x22, 0);
  failed.ripped = false;
  EXPECT_FALSE(TrackConfirmed(accurateRip(0x22, 9), failed));
  EXPECT_TRUE(DatabasesKnowDisc(accurateRip(0x22, 1)));
  EXPECT_EQ(VerifiedModeText(accurateRip(0x22, 1)), "AccurateRip knows the disc, CTDB does not");
}

// The CUETools database proves a track with confidence 2 or more, alone.
TEST(VerifiedModeTest, CtdbProvesATrackWithConfidenceTwo) {
  ProofLookups found;
  found.accurateRip.status = proof::LookupStatus::kNotInDatabase;
  found.ctdb = CtdbLookup{};
  found.ctdb->status = CtdbStatus::kFound;
  CtdbEntry entry;
  entry.confidence = 2;
  entry.trackCrcs = {0x33};
  found.ctdb->entries.push_back(entry);
  EXPECT_TRUE(TrackConfirmed(found, ripped(0, 0, 0x33)));
  EXPECT_FALSE(TrackConfirmed(found, ripped(0, 0, 0x34)));
  found.ctdb->entries[0].confidence = 1;
  EXPECT_FALSE(TrackConfirmed(found, ripped(0, 0, 0x33)));
  EXPECT_EQ(VerifiedModeText(found), "CTDB knows the disc, AccurateRip does not");
  found.ctdb->status = CtdbStatus::kNotInDatabase;
  EXPECT_FALSE(DatabasesKnowDisc(found));
  EXPECT_EQ(VerifiedModeText(found), "neither database knows the disc: secure from the start");
}

}  // namespace
}  // namespace client
