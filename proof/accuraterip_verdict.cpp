#include "proof/accuraterip_verdict.h"

#include <algorithm>

namespace proof {

TrackVerdict AccurateRipVerdict(const AccurateRipLookup& lookup, size_t audioIndex, uint32_t v1, uint32_t v2) {
  TrackVerdict verdict;
  switch (lookup.status) {
    case LookupStatus::kFound:
      break;
    case LookupStatus::kNotInDatabase:
      verdict.kind = VerdictKind::kNotInDatabase;
      return verdict;
    case LookupStatus::kNotAsked:
    case LookupStatus::kNoAnswer:
    case LookupStatus::kBadAnswer:
      verdict.kind = VerdictKind::kNoAnswer;
      return verdict;
  }
  // A record holds either v1 or v2 CRCs; which one is not stated, so a CRC
  // matches by either.
  uint32_t v1Match = 0, v2Match = 0, best = 0;
  bool v1Seen = false, v2Seen = false;
  for (const AccurateRipRecord& record : lookup.records) {
    if (audioIndex >= record.tracks.size()) continue;
    const AccurateRipTrackEntry& entry = record.tracks[audioIndex];
    best = std::max<uint32_t>(best, entry.confidence);
    if (entry.crc == v2) {
      v2Seen = true;
      v2Match = std::max<uint32_t>(v2Match, entry.confidence);
    }
    if (entry.crc == v1) {
      v1Seen = true;
      v1Match = std::max<uint32_t>(v1Match, entry.confidence);
    }
  }
  if (v2Seen) return TrackVerdict{VerdictKind::kAccurate, 2, v2Match};
  if (v1Seen) return TrackVerdict{VerdictKind::kAccurate, 1, v1Match};
  return TrackVerdict{VerdictKind::kNotAccurate, 0, best};
}

}  // namespace proof
