// What a title may hold in a file name, as both programs name their files.
//
//   WithoutForbiddenChars(text)          what no file name holds, removed
//   CleanTitle(text)                     ... then cut to kMaxTitleBytes and trimmed
//   SafeStem(stem, fallback)             a name that cannot hide or vanish
//   WithoutAudioExtension(title)         "Mr. Blue.mp3" -> "Mr. Blue"
//   TitleFileName(title, ext, fallback)  the desktop program's file name
//   FreePath(folder, name)               a path no file has yet: " (2)" added
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace client {

// The nine characters that file systems (or other users' ones) refuse.
inline constexpr std::string_view kForbiddenFileNameChars = "*?|:\"/\\<>";

// Longest title kept in a file name, in bytes (UTF-8): with the track
// number and the extension the name stays below the 255 bytes of a name.
inline constexpr size_t kMaxTitleBytes = 200;

// `text` without the forbidden characters, the control characters (C0, DEL
// and C1, U+0080-U+009F) and the invisible characters that reorder text on
// screen (bidirectional embeddings, overrides and isolates U+202A-U+202E and
// U+2066-U+2069, the marks U+200E, U+200F and U+061C): with them
// "a<RLO>wav.exe" would show as "aexe.vaw".
std::string WithoutForbiddenChars(std::string_view text);

// WithoutForbiddenChars, cut to kMaxTitleBytes at a character boundary, with
// the blanks at both ends removed. May be empty.
std::string CleanTitle(std::string_view text);

// `stem` (a cleaned name before its extension) fit to stand first in a file
// name: `fallback` when nothing but blanks and dashes is left ("Disc",
// "Track03"); "_" before a leading "." (".hidden" would be a hidden file).
std::string SafeStem(std::string_view stem, std::string_view fallback);

// `title` without a trailing audio file extension it carries itself (one of
// the formats' extensions, any case: ".mp3", ".FLAC"): a title's own dots
// ("Mr. Blue", "v1.2") stay.
std::string WithoutAudioExtension(std::string_view title);

// The file name of a title: cleaned (CleanTitle), an audio extension of the
// title's own dropped, made safe (SafeStem with `fallback`), then
// `extension` (".mp3") appended.
std::string TitleFileName(std::string_view title, std::string_view extension, std::string_view fallback);

// `folder/name`, or `folder/stem (2).ext`, `(3)`... when that exists (a
// dangling link counts as existing).
std::string FreePath(const std::string& folder, const std::string& name);

}  // namespace client
