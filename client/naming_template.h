// Folder and file names by template, as both programs offer them:
//   %A album artist   %a track artist   %D album    %Y year
//   %N track number (two digits)        %T title    %d disc number   %% a percent sign
// "/" separates folders; the last part names the file (its extension is
// added by the caller). A value's own "/" becomes "-", and the characters
// file systems refuse are left out as in every file name (file_names.h).
// Missing values: %A takes %a, else "Unknown Artist" (and %a the other way
// round); %D "Unknown Album"; %T "Track NN"; %d "1"; %Y nothing.
#pragma once

#include <string>
#include <string_view>

namespace client {

struct NamingValues {
  std::string albumArtist;
  std::string trackArtist;
  std::string album;
  std::string title;
  long year = 0;   // 0: not known
  long track = 0;  // 0: the hidden track before track 1
  long disc = 0;   // 0: not known
};

// "" when `pattern` is a template these functions take, else what is wrong
// with it (empty, an absolute path, an unknown or unfinished %).
std::string NamingTemplateProblem(std::string_view pattern);

// The relative path the template gives for `values`: its parts joined by
// "/", none of them empty, "." or "..", none longer than 200 bytes.
std::string ExpandNaming(std::string_view pattern, const NamingValues& values);

// The template's folders (everything before its last "/"; "" when it has
// none) and its last part.
std::string NamingFolderPart(std::string_view pattern);
std::string NamingFilePart(std::string_view pattern);

// Creates `base`/`relative` (its parents as needed) as a folder no other
// disc uses: when the last folder exists already, " (2)", " (3)"... is added
// to it. The creation is atomic, so programs naming the same disc at the
// same time get two folders. "" when it cannot be created.
std::string CreateDiscFolder(const std::string& base, const std::string& relative);

}  // namespace client
