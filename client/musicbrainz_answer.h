// MusicBrainz's answer to a disc id look-up (ws/2, JSON), read into plain
// values: pure, no I/O. An exact answer names the disc id it matched and
// carries its releases; a fuzzy (table of contents) answer carries only
// releases. A member of the wrong type is read as absent, never trusted;
// text that is not JSON, or not an object, gives a reason instead.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace client {

struct MusicBrainzCredit {
  std::string name;        // the credited name joined with its join phrases
  std::vector<std::string> artistIds;
};

struct MusicBrainzTrack {
  std::string id;           // the release track's MBID
  int position = 0;         // 0: audio before track 1 (a medium's pregap)
  std::string title;
  MusicBrainzCredit artist;
  std::optional<uint32_t> lengthMs;
  std::string recordingId;
  std::vector<std::string> isrcs;
};

struct MusicBrainzMedium {
  int position = 0;         // disc N of the release
  std::string format;       // "CD", "Enhanced CD", ...
  std::string title;
  std::vector<std::string> discIds;
  std::optional<MusicBrainzTrack> pregap;
  std::vector<MusicBrainzTrack> tracks;
};

struct MusicBrainzLabel {
  std::string name;
  std::string catalogNumber;
};

struct MusicBrainzRelease {
  std::string id;
  std::string title;
  MusicBrainzCredit artist;
  std::string status;       // "Official", "Promotion", "Bootleg", ...
  std::string date;         // "YYYY[-MM[-DD]]" or ""
  std::string country;
  std::string barcode;
  std::string disambiguation;
  std::vector<MusicBrainzLabel> labels;
  std::string releaseGroupId;
  bool coverArtFront = false;  // the Cover Art Archive holds a front image
  std::vector<MusicBrainzMedium> media;
};

struct MusicBrainzAnswer {
  std::string discId;       // "": a fuzzy answer
  std::vector<MusicBrainzRelease> releases;
};

// Nothing, with `error` set, when `json` is not a JSON object.
std::optional<MusicBrainzAnswer> ParseMusicBrainzAnswer(std::string_view json, std::string& error);

}  // namespace client
