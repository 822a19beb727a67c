// The program's one record of tag values that go into ripped files. The
// track list fill and the CDDB lookup set title, artist, album and genre;
// the ID3 tag editor sets every field (year and comment only there).
#pragma once

#include <string>

namespace quavern {

struct CurrentTags {
  std::string title;
  std::string artist;
  std::string album;
  std::string year;
  std::string comment;
  std::string albumArtist;  // "" none; set by titles that name one
  std::string discNumber;   // "N/M" of a release of several discs; "" none
  std::string genreName;
  int genreIndex = 12;  // index into GenreNames; 12 is "Other"
};

}  // namespace quavern
