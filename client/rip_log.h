// The log of one rip: what was ripped, from which drive, how, and the proof
// that it is right (copy and test CRCs, the AccurateRip verdicts), as plain
// UTF-8 text in the output folder. Both ripmarrow and the desktop program
// write it; `ripmarrow verify` reads it back. No output of its own: the
// callers say what happened.
//
//   RipLog log;                         fill in the fields below
//   RipLogText(log)                     -> the text
//   WriteRipLog(folder, log, error)     -> the path written: "ripmarrow.log",
//                                          else "ripmarrow (2).log", (3)...;
//                                          an existing log is never replaced
//   ParseRipLog(text, error)            -> the RipLog back (numbers, files,
//                                          verdicts), or nothing with a reason
//   RipLogTrack::accurate(),
//   RipLog::allAccurate()               the closing line's judgement
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "proof/accuraterip_verdict.h"
#include "proof/disc_layout.h"

namespace client {

struct RipLogTrack {
  long number = 0;          // the audio track number (from 1)
  std::string file;         // the file's name in the output folder; "" when nothing was written
  bool ripped = false;      // ripped whole, without an engine error
  std::string failure;      // why not, when !ripped
  uint32_t copyCrc = 0;
  uint32_t copyCrcSkipZero = 0;
  std::optional<uint32_t> testCrc;  // test and copy: the first read's CRC
  uint32_t accurateRipV1 = 0;
  uint32_t accurateRipV2 = 0;
  proof::TrackVerdict verdict;
  long retries = 0;
  long unconfirmedFrames = 0;
  // What the reads cost: frames read per frame of the track ("Reads: 1.07
  // frames per frame"), and the frames the C2 error pointers flagged.
  std::optional<double> readsPerFrame;
  long c2ErrorFrames = 0;
  // The CUETools database's CRC of the track (at the drive's offset) and
  // its verdict ("accurate (CTDB), confidence N"); "" leaves it out.
  uint32_t ctdbCrc = 0;
  std::string ctdb;
  std::string note;  // verified mode: why the track was read again; "" leaves it out
  // The file was de-emphasised (--deemphasis): its audio differs from the
  // disc's, whose checksums the log keeps.
  bool deemphasised = false;

  // Ripped whole, the test CRC (when tested) equal to the copy CRC, and
  // matched by AccurateRip.
  bool accurate() const;
};

// "1.07 frames per frame": frames read per frame of the track, two
// decimals; and back (nothing for anything else).
std::string ReadsText(double framesPerFrame);
std::optional<double> ParseReads(std::string_view text);

struct RipLog {
  std::string programVersion;  // "ripmarrow 0.1.0"
  std::string date;            // "2026-12-08 10:40:00 UTC"; "" leaves the line out
  std::string drive;           // the drive's identity (vendor product revision)
  long readOffset = 0;         // samples
  std::string mode;            // "secure"
  std::vector<std::pair<std::string, std::string>> settings;  // ("format", "wav"), ("retries", "20")...
  proof::DiscLayout layout;  // the TOC, data tracks included
  std::string accurateRipIdentity;    // "NNN-AAAAAAAA-BBBBBBBB-CCCCCCCC"
  std::string cddbId;                 // 8 hex digits
  std::string musicBrainzId;          // "" when unknown
  std::string accurateRipLookup;      // the database's answer in words ("found 2 records", "no answer: ...")
  std::string c2;                     // "used (the drive has them; drives.ini: auto)"; "" leaves the line out
  std::vector<RipLogTrack> tracks;

  bool allAccurate() const;
};

// "accurate (v2), confidence 12", "not accurate (best confidence 3)",
// "disc not in database", "no answer".
std::string VerdictText(const proof::TrackVerdict& verdict);

std::string RipLogText(const RipLog& log);
// RipLog::date for now: "2026-12-08 10:40:00 UTC".
std::string RipLogDateNow();
std::optional<RipLog> ParseRipLog(std::string_view text, std::string& error);

// Writes the log into `folder` under a free name; the path, or "" with the
// reason in `error`.
std::string WriteRipLog(const std::string& folder, const RipLog& log, std::string& error);

// The logs of `folder` ("ripmarrow.log", "ripmarrow (N).log"), oldest first.
std::vector<std::string> RipLogsIn(const std::string& folder);

}  // namespace client
