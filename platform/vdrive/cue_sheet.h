// Cue sheets as real ones are written: several FILE lines (BINARY, MOTOROLA,
// WAVE), TRACK nn AUDIO|MODE1/2352|MODE1/2048|MODE2/2352|MODE2/2336, INDEX,
// PREGAP, POSTGAP, FLAGS, ISRC, CATALOG, TITLE/PERFORMER kept as text, and
// REM lines, of which "REM SESSION nn" opens a session (CD-Extra layouts).
// Parsing is pure: it reads text only; cue_image.h turns a sheet into a disc.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/vdrive/disc.h"

namespace platform::vdrive {

struct CueFile {
  enum class Type : uint8_t { Binary, Motorola, Wave };
  std::string name;  // as written in the sheet
  Type type = Type::Binary;
  int line = 0;
};

struct CueIndex {
  int number = 1;
  size_t file = 0;         // index into CueSheet::files
  int32_t frame = 0;       // in sectors of the track's mode from the file's start
  int line = 0;
};

struct CueTrack {
  int number = 1;
  TrackMode mode = TrackMode::Audio;
  int session = 1;
  int32_t pregapFrames = 0;   // PREGAP: silence not in the file
  int32_t postgapFrames = 0;  // POSTGAP
  bool preEmphasis = false;
  bool copyPermitted = false;
  bool fourChannel = false;
  std::string isrc;
  std::string title;
  std::string performer;
  std::string songwriter;
  std::vector<CueIndex> indexes;  // INDEX 00 (optional), 01, 02, …
  int line = 0;
};

struct CueSheet {
  std::string name;  // for messages: "demo.cue"
  std::string title;
  std::string performer;
  std::string songwriter;
  std::string catalog;
  std::vector<CueFile> files;
  std::vector<CueTrack> tracks;
};

// Throws ImageError "<name>:<line>: <what is wrong>" on anything it cannot use.
CueSheet parseCueSheet(std::string_view text, const std::string& name);

}  // namespace platform::vdrive
