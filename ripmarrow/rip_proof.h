// What `ripmarrow rip` does to prove its rip, beside the rip itself: puts the
// drive's read offset on the engine (from drives.ini, or --offset), keeps
// each track's checksums from the rip report, asks AccurateRip about the
// disc once the tracks are ripped, says each track's verdict, and writes the
// rip log into the output folder.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "components/trackmill2.h"
#include "engine/verify/http_get.h"
#include "ripmarrow/rip_log.h"
#include "ripmarrow/rip_report.h"

namespace ripmarrow {

struct RipProofSettings {
  std::optional<long> offset;  // --offset; nothing: drives.ini's, else 0
  std::optional<engine::verify::HttpServer> server;  // nothing: no look-up
  std::string mode;
  std::vector<std::pair<std::string, std::string>> settings;
};

class RipProof {
 public:
  RipProof(IAudioCDRipper2* engine, RipProofSettings settings);

  // After the drive is chosen and the disc read: puts the read offset on the
  // engine and records the disc. False (said on `err`) when the engine
  // refused the offset.
  bool begin(long audioTracks, std::ostream& out, std::ostream& err);

  // The copy CRC of the rip just ended (a test read's).
  std::optional<uint32_t> lastCopyCrc() const;

  // After each track's rip: its outcome and the report's numbers. With
  // `tested` (test and copy) a track without a test CRC, or whose test CRC
  // differs from the copy's, has failed.
  void addTrack(long track, const std::string& path, bool ripped, const std::string& failure, bool tested,
                std::optional<uint32_t> testCrc, long retries);

  // After the last track: the AccurateRip look-up and verdicts (said on
  // `out`) and the log. False when some track is not accurate.
  bool finish(const std::string& folder, std::ostream& out, std::ostream& err);

  const RipLog& log() const { return log_; }

 private:
  IAudioCDRipper2* engine_;
  RipReport report_;
  RipProofSettings settings_;
  RipLog log_;
  long audioTracks_ = 0;
  uint32_t cddbId_ = 0;
};

}  // namespace ripmarrow
