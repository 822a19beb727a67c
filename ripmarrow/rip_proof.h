// What `ripmarrow rip` says of its proof, beside the rip itself: the read
// offset it applies, each track's verdict once AccurateRip was asked, where
// the log went and the closing judgement. The recording is the client
// library's (client/proof_recorder.h), as the desktop program's is.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "client/http_get.h"
#include "client/proof_recorder.h"
#include "client/verified_mode.h"
#include "components/trackmill2.h"

namespace ripmarrow {

struct RipProofSettings {
  std::optional<long> offset;  // --offset; nothing: drives.ini's, else 0
  client::RunSettings run;     // its AccurateRip server is the one asked
};

class RipProof {
 public:
  RipProof(IAudioCDRipper2* engine, RipProofSettings settings);

  // After the drive is chosen and the disc read: puts the read offset on the
  // engine and records the disc. False (said on `err`) when the engine
  // refused the offset.
  bool begin(long audioTracks, std::ostream& out, std::ostream& err);

  // The copy CRC of the rip just ended (a test read's).
  std::optional<uint32_t> lastCopyCrc() const { return recorder_.lastCopyCrc(); }

  // After each track's rip: its outcome and the report's numbers. With
  // `tested` (test and copy) a track without a test CRC, or whose test CRC
  // differs from the copy's, has failed.
  void addTrack(long track, const std::string& path, bool ripped, const std::string& failure, bool tested,
                std::optional<uint32_t> testCrc) {
    recorder_.addTrack(track, path, ripped, failure, tested, testCrc);
  }

  // After the last track: the AccurateRip look-up and verdicts (said on
  // `out`) and the log. False when some track is not accurate.
  bool finish(const std::string& folder, std::ostream& out, std::ostream& err);

  // Verified mode, before the first track: AccurateRip and the CUETools
  // database asked by the disc's table of contents (said on `out`, and
  // kept for the verdicts); false when neither knows the disc.
  bool lookUpFirst(std::ostream& out);
  // The last track added is confirmed: AccurateRip v2 or the CUETools
  // database with confidence 2 or more (a v1-only match is no proof).
  bool lastTrackConfirmed() const;
  void dropLastTrack() { recorder_.dropLastTrack(); }
  void noteLastTrack(const std::string& note) { recorder_.noteLastTrack(note); }

  // The last track added was de-emphasised on the way to its file.
  void markDeemphasised() { recorder_.markDeemphasised(); }
  const client::RipLog& log() const { return recorder_.log(); }

 private:
  proof::AccurateRipLookup lookUpAccurateRip(std::ostream& out);
  std::optional<client::CtdbLookup> lookUpCtdb(std::ostream& out);

  client::ProofRecorder recorder_;
  RipProofSettings settings_;
  bool lookedUp_ = false;  // lookUpFirst ran: finish asks no database again
  client::ProofLookups found_;  // lookUpFirst's answers
};

}  // namespace ripmarrow
