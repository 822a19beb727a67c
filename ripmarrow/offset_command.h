// `ripmarrow [--vdrive [IMAGE]] [--drive N] offset show|set N|find [--save]
// [--accuraterip-server HOST[:PORT]]`: the drive's read offset as drives.ini
// keeps it. `find` works it out from a disc the AccurateRip database knows:
// a middle track is ripped with the frames around it at offset 0, and the
// track's AccurateRip CRC at every candidate offset (the common ones first,
// then every one from -2000 to +2000) is matched against the database's.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "client/http_get.h"
#include "proof/track_checksums.h"

namespace ripmarrow {

class OffsetCommand {
 public:
  enum class Action { kShow, kSet, kFind };
  struct Options {
    long driveNum = 0;
    char preferredLetter = 0;
    Action action = Action::kShow;
    long offset = 0;  // kSet
    bool save = false;
    std::optional<client::HttpServer> server;
  };
  // Runs as the program: in a COM apartment of its own, on stdout and
  // stderr; the process's exit status.
  static int main(const Options& options);
  static int run(const Options& options, std::ostream& out, std::ostream& err);

  // Offsets most drives have, tried first.
  static const std::vector<long>& commonOffsets();

  // The read offsets whose corrected track has an AccurateRip CRC (v1, or
  // v2 for the common offsets) among `crcs`: the common offsets that match
  // first, then the others from -2000 up. `padded` holds the track's samples
  // as words L | R << 16 read at offset 0, from 2000 samples before its
  // start to 2000 after its end (zero beyond the disc's ends).
  static std::vector<long> matchingOffsets(const std::vector<uint32_t>& padded, uint64_t trackSamples,
                                           proof::TrackPlace place, const std::set<uint32_t>& crcs);
};

}  // namespace ripmarrow
