// Test and copy at the end of a run, in words: each track's two CRCs and
// whether they agree, for a summary box, a tool tip or a status line. The
// log keeps the same CRCs; this says them to the person who ripped.
#pragma once

#include <string>
#include <vector>

#include "client/rip_log.h"

namespace client {

struct TestAndCopySummary {
  // "test and copy CRCs match for 3 tracks", or the tracks whose CRCs differ
  // with both of them: "test and copy CRCs differ for track 2 (test
  // 0A1B2C3D, copy 4E5F6071)". "" when no track had both reads.
  std::string brief;
  // One line per track with both reads: "Track 2: test CRC 0A1B2C3D, copy
  // CRC 4E5F6071 (they differ)".
  std::vector<std::string> lines;
};

// Over the tracks of `log` that had a test read and a copy: a track whose
// test read failed, or whose copy was not read (stopped, refused), has no
// pair to tell; its failure says why.
TestAndCopySummary SummariseTestAndCopy(const RipLog& log);

}  // namespace client
