// The proof of one rip batch: the drive's read offset from drives.ini put on
// the engine before each rip, each track's checksums and counts from the
// engine's rip report kept as the batch goes, and at its end the verdicts of
// one AccurateRip look-up, the rip log written into the output folder (the
// same log ripmarrow writes) and the outcome in words for the batch's
// summary.
//
//   BatchProof proof(engine, settings);   at the batch's start, disc read
//   proof.putReadOffset();                before each rip call
//   proof.addTrack(...);                  after each track's end
//   proof.disc() -> the disc to look up   (nothing: the identity is unknown)
//   LookUpAccurateRip(server, disc)       on a worker thread: it may wait
//   proof.finish(lookup, folder)          -> the summary's lines
//
// Everything but the look-up runs on the GUI thread, as the engine's calls do.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "components/trackmill2.h"
#include "engine/verify/accuraterip_lookup.h"
#include "engine/verify/http_get.h"
#include "platform/com/com_ptr.h"
#include "ripmarrow/rip_log.h"

namespace quavern {

class SettingsStore;

// The whole look-up ends within this (the host name's look-up aside), so a
// machine without a network waits no longer at the end of a batch.
inline constexpr int kAccurateRipTimeoutMs = 3000;

// The server of [accuraterip] "server" ("HOST[:PORT]", default
// www.accuraterip.com); nothing for "none", empty or a server that cannot be
// read: the disc is then not looked up. `text` receives the setting as read.
std::optional<engine::verify::HttpServer> accurateRipServer(SettingsStore& settings,
                                                            std::string& text);

// The answer when no server is set: the disc was not looked up.
engine::verify::AccurateRipLookup notAsked();
bool wasAsked(const engine::verify::AccurateRipLookup& lookup);

// The look-up itself, bounded by kAccurateRipTimeoutMs; any thread.
engine::verify::AccurateRipLookup lookUpAccurateRip(const engine::verify::HttpServer& server,
                                                    const engine::verify::AccurateRipDiscId& disc);

class BatchProof {
 public:
  // Reads the drive, its kept offset and the disc's identity from the engine.
  // `mode` and `settings` are the log's record of how the batch rips.
  BatchProof(IAudioCDRipper2* engine, long audioTracks, std::string mode,
             std::vector<std::pair<std::string, std::string>> settings, std::string server);

  // Puts the drive's read offset on the engine (0 when none is kept, so
  // that a previous drive's offset never carries over).
  void putReadOffset() const;

  // A track's end: its outcome, and the rip report's numbers when it was
  // ripped whole. `file` is the path written ("" when none).
  void addTrack(long number, const std::string& file, bool ripped, const std::string& failure);

  bool empty() const { return log_.tracks.empty(); }
  // Some track was ripped whole: there is something to verify.
  bool anyRipped() const;
  // The disc as AccurateRip knows it; nothing when the engine could not say.
  std::optional<engine::verify::AccurateRipDiscId> disc() const;

  // The verdicts of `lookup`, the log written into `folder`, and the
  // outcome for the summary: the verification's line, then the log's.
  std::vector<std::string> finish(const engine::verify::AccurateRipLookup& lookup,
                                  const std::string& folder);

  const ripmarrow::RipLog& log() const { return log_; }
  const std::string& logPath() const { return logPath_; }

 private:
  IAudioCDRipper2* engine_;
  com::ComPtr<IAudioCDRipperReport> report_;  // null for an engine without the rip report
  long audioTracks_ = 0;
  std::optional<engine::verify::AccurateRipDiscId> disc_;
  ripmarrow::RipLog log_;
  std::string logPath_;
};

// The verification's outcome in one sentence (or one per track not
// accurate), nothing when no track was ripped whole: "All 3 tracks accurately ripped (AccurateRip,
// confidence 12).", "Track 2 not accurate (AccurateRip, best confidence 5).", "Disc not in the
// AccurateRip database.", "AccurateRip could not be reached."
std::vector<std::string> verificationOutcome(const ripmarrow::RipLog& log,
                                             const engine::verify::AccurateRipLookup& lookup);

}  // namespace quavern
