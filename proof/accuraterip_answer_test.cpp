#include "proof/accuraterip_answer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "proof/accuraterip_verdict.h"

namespace proof {
namespace {

const AccurateRipDiscId kDisc{3, 0x0001a2b3u, 0x00c4d5e6u, 0x2a0b5e03u};

void Put32(std::string& out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out += char(uint8_t(v >> shift));
}

struct Entry {
  uint8_t confidence;
  uint32_t crc, frame450;
};

std::string Record(const AccurateRipDiscId& disc, const std::vector<Entry>& entries) {
  std::string out(1, char(uint8_t(entries.size())));
  Put32(out, disc.id1);
  Put32(out, disc.id2);
  Put32(out, disc.cddbId);
  for (const Entry& e : entries) {
    out += char(e.confidence);
    Put32(out, e.crc);
    Put32(out, e.frame450);
  }
  return out;
}

AccurateRipAnswer Parse(const std::string& bytes) {
  return ParseAccurateRipAnswer({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, kDisc);
}

// A v1 record and a v2 record of one pressing.
const std::string kAnswer = Record(kDisc, {{12, 0x11111111, 0xA1}, {12, 0x22222222, 0xA2}, {11, 0x33333333, 0xA3}}) +
                            Record(kDisc, {{30, 0x44444444, 0xA1}, {29, 0x55555555, 0xA2}, {30, 0x66666666, 0xA3}});

TEST(AccurateRipAnswer, ReadsRecordsLittleEndian) {
  const AccurateRipAnswer answer = Parse(kAnswer);
  ASSERT_EQ(answer.status, AnswerStatus::kOk);
  ASSERT_EQ(answer.records.size(), 2u);
  EXPECT_EQ(answer.records[0].disc, kDisc);
  EXPECT_EQ(answer.records[1].tracks[1].confidence, 29);
  EXPECT_EQ(answer.records[1].tracks[1].crc, 0x55555555u);
  EXPECT_EQ(answer.records[0].tracks[2].frame450Crc, 0xA3u);
  EXPECT_TRUE(Parse("").records.empty());
  EXPECT_EQ(Parse("").status, AnswerStatus::kOk);
}

TEST(AccurateRipAnswer, RefusesWhatIsNotWholeRecordsForTheDisc) {
  // Every cut inside a record is truncated; a cut between records is fine.
  const size_t recordBytes = 13 + 3 * 9;
  for (size_t cut = 1; cut < kAnswer.size(); ++cut) {
    EXPECT_EQ(Parse(kAnswer.substr(0, cut)).status, cut == recordBytes ? AnswerStatus::kOk : AnswerStatus::kTruncated)
        << cut;
  }
  EXPECT_EQ(Parse(kAnswer + Record(kDisc, {})).status, AnswerStatus::kEmptyRecord);
  AccurateRipDiscId other = kDisc;
  other.id2 ^= 1;
  EXPECT_EQ(Parse(kAnswer + Record(other, {{1, 1, 1}, {1, 2, 2}, {1, 3, 3}})).status, AnswerStatus::kForeignDisc);
  EXPECT_EQ(Parse(std::string(kMaxAnswerBytes + 1, '\x01')).status, AnswerStatus::kOversized);
  EXPECT_TRUE(Parse(std::string(kMaxAnswerBytes + 1, '\x01')).records.empty());

  // Seeded garbage never passes as records of the disc.
  std::mt19937 rng(5);
  for (int round = 0; round < 200; ++round) {
    std::string garbage(1 + rng() % 2000, '\0');
    for (char& c : garbage) c = char(rng());
    EXPECT_NE(Parse(garbage).status, AnswerStatus::kOk);
  }
}

AccurateRipLookup Found() {
  AccurateRipLookup lookup;
  lookup.status = LookupStatus::kFound;
  lookup.records = Parse(kAnswer).records;
  return lookup;
}

TEST(AccurateRipVerdict, PerTrack) {
  const AccurateRipLookup found = Found();
  TrackVerdict v = AccurateRipVerdict(found, 1, 0x22222222, 0x55555555);
  EXPECT_EQ(v.kind, VerdictKind::kAccurate);
  EXPECT_EQ(v.version, 2);
  EXPECT_EQ(v.confidence, 29u);

  v = AccurateRipVerdict(found, 2, 0x33333333, 0x12345678);
  EXPECT_EQ(v.kind, VerdictKind::kAccurate);
  EXPECT_EQ(v.version, 1);
  EXPECT_EQ(v.confidence, 11u);

  v = AccurateRipVerdict(found, 0, 0xDEAD, 0xBEEF);
  EXPECT_EQ(v.kind, VerdictKind::kNotAccurate);
  EXPECT_EQ(v.confidence, 30u);  // the best pressing's

  EXPECT_EQ(AccurateRipVerdict(found, 7, 0x11111111, 0).kind, VerdictKind::kNotAccurate);

  AccurateRipLookup none;
  none.status = LookupStatus::kNotInDatabase;
  EXPECT_EQ(AccurateRipVerdict(none, 0, 1, 2).kind, VerdictKind::kNotInDatabase);
  none.status = LookupStatus::kBadAnswer;
  EXPECT_EQ(AccurateRipVerdict(none, 0, 1, 2).kind, VerdictKind::kNoAnswer);
}

}  // namespace
}  // namespace proof
