// Where `ripmarrow rip --cue` puts its cue sheet: beside the files, named
// "Artist - Album.cue" from the titles ("Disc.cue" without them), never
// replacing a file that exists (" (2)" is added).
#pragma once

#include <string>

namespace ripmarrow {

class CueSheetFile {
 public:
  // The sheet's file name (without folder).
  static std::string name(const std::string& artist, const std::string& album);
  // Writes `text` into a new file `name` in `folder`; its path, or "" when
  // it could not be written.
  static std::string save(const std::string& folder, const std::string& name,
                          const std::string& text);
};

}  // namespace ripmarrow
