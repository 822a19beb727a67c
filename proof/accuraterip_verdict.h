// What the AccurateRip database says of one ripped track: accurately ripped
// with confidence N (by its v1 or its v2 CRC), not accurate (with the best
// confidence any pressing of the disc has for the track), the disc not in
// the database, or no answer from the database.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "proof/accuraterip_answer.h"

namespace proof {

enum class LookupStatus {
  kNotAsked,       // no server is set: nobody was asked
  kFound,          // records for the disc
  kNotInDatabase,  // 404, or an answer without records
  kNoAnswer,       // the server could not be reached or did not answer in time
  kBadAnswer,      // the server answered something that is not the disc's records
};

// The database's answer about one disc, as a client's look-up got it.
struct AccurateRipLookup {
  LookupStatus status = LookupStatus::kNoAnswer;
  std::vector<AccurateRipRecord> records;  // only with kFound
  std::string detail;                      // what went wrong, for the log
};

enum class VerdictKind { kAccurate, kNotAccurate, kNotInDatabase, kNoAnswer };

struct TrackVerdict {
  VerdictKind kind = VerdictKind::kNoAnswer;
  int version = 0;          // 2 or 1 when accurate (v2 preferred when both match)
  uint32_t confidence = 0;  // accurate: the matching entry's; not accurate: the best seen
};

// `audioIndex` counts the disc's audio tracks from 0. A track the records do
// not reach is not accurate with confidence 0.
TrackVerdict AccurateRipVerdict(const AccurateRipLookup& lookup, size_t audioIndex, uint32_t v1, uint32_t v2);

}  // namespace proof
