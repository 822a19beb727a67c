#include "client/test_copy_summary.h"

#include <cstdio>

namespace client {
namespace {

std::string hex8(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

}  // namespace

TestAndCopySummary SummariseTestAndCopy(const RipLog& log) {
  TestAndCopySummary summary;
  long matching = 0;
  std::string differing;
  for (const RipLogTrack& track : log.tracks) {
    // A copy that was read has its CRC; one that was not (and its track
    // failed for that) has 0 and nothing to compare.
    if (!track.testCrc || (!track.ripped && track.copyCrc == 0)) continue;
    const bool same = *track.testCrc == track.copyCrc;
    const std::string test = hex8(*track.testCrc), copy = hex8(track.copyCrc);
    summary.lines.push_back("Track " + std::to_string(track.number) + ": test CRC " + test + ", copy CRC " + copy +
                            (same ? "" : " (they differ)"));
    if (same) {
      ++matching;
    } else {
      differing += (differing.empty() ? "" : ", ") + std::string("track ") + std::to_string(track.number) +
                   " (test " + test + ", copy " + copy + ")";
    }
  }
  if (!differing.empty()) {
    summary.brief = "test and copy CRCs differ for " + differing;
  } else if (matching > 0) {
    summary.brief = "test and copy CRCs match for " + std::to_string(matching) + (matching == 1 ? " track" : " tracks");
  }
  return summary;
}

}  // namespace client
