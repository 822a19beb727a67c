// The AccurateRip database's answer for one disc: zero or more records, each
//   track count (1 byte), id1, id2, CDDB id (4 bytes each, little-endian),
//   then per track: confidence (1 byte), CRC, frame-450 CRC (4 bytes each,
//   little-endian).
// The v1 and the v2 CRCs of a pressing stand in separate records. The bytes
// come from the network: anything that is not a whole sequence of records
// for the disc asked about is refused with a reason, never read past.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "proof/accuraterip_id.h"

namespace proof {

struct AccurateRipTrackEntry {
  uint8_t confidence = 0;
  uint32_t crc = 0;
  uint32_t frame450Crc = 0;
};

struct AccurateRipRecord {
  AccurateRipDiscId disc;  // as the record states it
  std::vector<AccurateRipTrackEntry> tracks;
};

enum class AnswerStatus {
  kOk,          // records (none: the disc is not in the database)
  kTruncated,   // the bytes end inside a record
  kOversized,   // more than kMaxAnswerBytes
  kEmptyRecord, // a record of 0 tracks
  kForeignDisc, // a record for another disc than the one asked about
};

// Far beyond any real answer (a 99-track disc's record is 904 bytes, and a
// disc seldom has more than a few dozen), far below harm.
inline constexpr size_t kMaxAnswerBytes = 256 * 1024;

struct AccurateRipAnswer {
  AnswerStatus status = AnswerStatus::kOk;
  std::vector<AccurateRipRecord> records;  // empty unless kOk
};

// Reads the records. With `expected`, a record whose track count or ids
// differ from it makes the whole answer kForeignDisc.
AccurateRipAnswer ParseAccurateRipAnswer(std::span<const uint8_t> bytes);
AccurateRipAnswer ParseAccurateRipAnswer(std::span<const uint8_t> bytes, const AccurateRipDiscId& expected);

const char* AnswerStatusText(AnswerStatus status);

}  // namespace proof
