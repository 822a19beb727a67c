// The files of a rip checked against its log, as `ripmarrow verify` does:
// each track's file (a name in the rip's folder, nothing elsewhere) read
// back, its checksums taken again and compared with the log's. No output
// of its own and no network: the caller says what was found and asks
// AccurateRip about the values.
//
// The log is outside input: each file is read at most once, streamed (see
// audio_stream.h), and only as far as its track's length in the log's table
// of contents, so the work is bounded by the disc's length, not by the log.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "client/rip_log.h"
#include "proof/track_checksums.h"

namespace client {

struct TrackCheck {
  enum class Kind {
    kChecked,       // the file was read: `values`, `matchesLog`
    kRipFailed,     // the log says the rip failed (or wrote no file)
    kNotAFileName,  // the log names something other than a file of the folder
    kLossy,         // a lossy format keeps no exact audio; `detail`: its extension ("mp3")
    kDeemphasised,  // the file's audio was filtered, the log keeps the disc's sums
    kCannotCheck,   // `detail`: why ("not a regular file", ...)
  };
  const RipLogTrack* track = nullptr;  // in the log handed in
  size_t audioIndex = 0;               // the track among the TOC's audio tracks, from 0
  Kind kind = Kind::kCannotCheck;
  std::string detail;
  proof::TrackChecksumValues values;  // kChecked: the file's
  bool matchesLog = false;            // kChecked: copy CRC and both AccurateRip sums equal the log's
  uint64_t pcmBytes = 0;              // audio read from the file
  uint32_t ctdbCrc = 0;               // kChecked: the file's CUETools database CRC
};

// Checks every track of `log` against the files of `folder`, in the log's
// order, handing each outcome to `each` as soon as it is known.
void CheckRipFiles(const std::string& folder, const RipLog& log, const std::function<void(const TrackCheck&)>& each);

}  // namespace client
