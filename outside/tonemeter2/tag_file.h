// Reads and writes one set of tag fields in an audio file through TagLib:
// MP3 and MP2 (ID3v2.3 and ID3v1), OGG Vorbis (Vorbis comment), WMA (ASF
// attributes) and WAV (RIFF INFO and ID3v2). The container is recognised by
// the file's extension.
//
// A file that is missing, not audio of its kind, or marked read-only (no
// write permission bit, honoured even for the superuser) is refused and
// left exactly as it was.
#pragma once

#include <string>

namespace tonemeter {

struct TagFields {
  std::string title;
  std::string artist;
  std::string album;
  std::string comment;
  std::string genre;  // genre name; its index is genreIndex(genre)
  int year = 0;       // 0: none
  int track = 0;      // 0: none
};

class TagFile {
 public:
  static bool read(const std::string& path, TagFields& fields, std::string& error);
  static bool write(const std::string& path, const TagFields& fields, std::string& error);
};

}  // namespace tonemeter
