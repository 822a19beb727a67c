// The proof of one rip run, as both programs keep it: the drive's read
// offset (drives.ini, or one the user gave) put on the engine, each track's
// outcome and the engine's report of it (checksums, retries, unconfirmed
// frames) recorded as the run goes, one AccurateRip look-up of the disc at
// the end, each track's verdict, the rip log written into the output folder,
// and the outcome in words.
//
//   ProofRecorder proof(engine, "ripmarrow 0.1.0");
//   proof.begin(audioTracks, offset, mode, settings);  disc read, drive chosen
//   proof.putReadOffset();                             before each rip call
//   proof.addTrack(...);                               after each track's end
//   LookUpDisc(server, *proof.disc())                  any thread: it may wait
//   proof.judge(lookup); proof.writeLog(folder, why);
//
// Everything but the look-up runs on the thread the engine is called on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "client/http_get.h"
#include "client/ctdb_lookup.h"
#include "client/rip_log.h"
#include "client/rip_report.h"
#include "components/trackmill2.h"
#include "proof/accuraterip_id.h"
#include "proof/accuraterip_verdict.h"

namespace client {

// The whole look-up ends within this, name resolution included, so a
// machine without a network waits no longer at the end of a rip.
inline constexpr int kAccurateRipTimeoutMs = 3000;

// "HOST[:PORT]" -> the server; "none" (or "") -> nothing, nobody is asked.
// False for a setting that names no server.
bool ParseAccurateRipServer(const std::string& text, std::optional<HttpServer>& server);

// Looks the disc up, bounded by kAccurateRipTimeoutMs and by `cancel` (set
// from another thread, see HttpLimits); without a server the answer is
// kNotAsked. Any thread.
proof::AccurateRipLookup LookUpDisc(const std::optional<HttpServer>& server, const proof::AccurateRipDiscId& disc,
                                    const std::atomic<bool>* cancel = nullptr);

// The answer of a look-up nobody made.
proof::AccurateRipLookup NotAsked();

// The look-up in the log's words: "found 2 records", "disc not in database",
// "no answer (not asked)", "no answer (server name not found)",
// "bad answer (truncated)".
std::string LookupText(const proof::AccurateRipLookup& lookup);

// The verification's outcome in one sentence (or one per track not
// accurate), nothing when no track was ripped whole: "All 3 tracks
// accurately ripped (AccurateRip, confidence 12).", "Track 2 not accurate
// (AccurateRip, best confidence 5).", "Disc not in the AccurateRip
// database.", "AccurateRip could not be reached."
std::vector<std::string> VerificationOutcome(const RipLog& log, const proof::AccurateRipLookup& lookup);

// How a run rips, as its log records it: both programs give the same rows
// for the same choices.
struct RunSettings {
  long modePreset = BURST;            // PLAY .. PARANOID
  std::string format;                 // the extension without its dot: "mp3"
  std::optional<int> flacLevel;       // FLAC only
  std::optional<long> retries;        // nothing: the mode's
  std::optional<long> onErrorAction;  // StopRip .. CORRECT; nothing: the mode's
  std::optional<long> speed;          // multiples of single speed; nothing: the mode's
  bool speedMax = false;
  bool testAndCopy = false;
  bool deemphasis = false;
  std::string accurateRipServer;      // as set: "HOST[:PORT]" or "none"
  std::string titles;                 // where the titles came from; "" leaves the row out
  std::string coverArt;               // the cover file written, or why none; "" leaves the row out
  std::string ctdbServer;             // as set: "http://HOST[:PORT][/PATH]", "HOST[:PORT]" or "none"; "": not asked
  bool verified = false;              // burst, then secure for tracks no database confirms
};
// "play", "burst", "synch", "secure", "paranoid".
const char* ModeName(long preset);
// "stop", "silence", "cut", "correct".
const char* OnErrorActionName(long action);
std::vector<std::pair<std::string, std::string>> SettingsRows(const RunSettings& settings);

// Where the read offset of a run came from.
enum class OffsetSource { kGiven, kDrivesIni, kNone };

class ProofRecorder {
 public:
  // `engine` outlives the recorder. `program` is the log's program line
  // ("ripmarrow 0.1.0").
  ProofRecorder(IAudioCDRipper2* engine, std::string program);

  // After the drive is chosen and the disc read: records the drive, the
  // disc's identities and layout, and the read offset (`given`, else the
  // drive's in drives.ini, else 0), which it puts on the engine. False when
  // the engine refused a non-zero offset.
  bool begin(long audioTracks, std::optional<long> given, const RunSettings& settings);

  long readOffset() const { return log_.readOffset; }
  OffsetSource offsetSource() const { return offsetSource_; }
  // Puts the run's read offset on the engine again (before each rip call of
  // a client that may have changed drives in between).
  void putReadOffset() const;

  // The copy CRC of the rip just ended (a test read's); nothing when the
  // engine has no rip report.
  std::optional<uint32_t> lastCopyCrc() const;

  // A track's end: its outcome, and the engine's report of it. `file` is the
  // path written ("" when none). With `tested` (test and copy) a track
  // without a test CRC, or whose test CRC differs from the copy's, has failed.
  void addTrack(long number, const std::string& file, bool ripped, const std::string& failure, bool tested = false,
                std::optional<uint32_t> testCrc = std::nullopt);
  // The last track added was de-emphasised on the way to its file.
  void markDeemphasised();

  bool empty() const { return log_.tracks.empty(); }
  // Some track was ripped whole: there is something to verify.
  bool anyRipped() const;
  // The disc as AccurateRip knows it; nothing when the engine could not say.
  std::optional<proof::AccurateRipDiscId> disc() const { return disc_; }

  // Each track's verdict from `lookup`, and the look-up's line of the log.
  void judge(const proof::AccurateRipLookup& lookup);
  // The CUETools database's verdict on each ripped track, by its CRC at the
  // drive's offset.
  void judgeCtdb(const CtdbLookup& lookup);
  // Verified mode: a track ripped again takes the place of its first rip,
  // and says why; the log's settings say which database knew the disc.
  void dropLastTrack() {
    if (!log_.tracks.empty()) log_.tracks.pop_back();
  }
  void noteLastTrack(const std::string& note) {
    if (!log_.tracks.empty()) log_.tracks.back().note = note;
  }
  void addSetting(const std::string& key, const std::string& value) { log_.settings.emplace_back(key, value); }
  // The log written into `folder` (" (2)" beside an earlier one): its path,
  // or "" with the reason in `why`.
  std::string writeLog(const std::string& folder, std::string& why) const;

  const RipLog& log() const { return log_; }

 private:
  IAudioCDRipper2* engine_;
  RipReport report_;
  RipLog log_;
  long audioTracks_ = 0;
  OffsetSource offsetSource_ = OffsetSource::kNone;
  std::string c2Detail_;  // "the drive has them; drives.ini c2: auto", for the log's C2 line
  bool c2UsedAny_ = false;
  std::optional<proof::AccurateRipDiscId> disc_;
};

}  // namespace client
