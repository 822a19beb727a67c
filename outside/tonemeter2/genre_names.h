// The 148 genre names shared with the front end: the ID3v1 list (0 … 79)
// followed by the common extension list (80 … 147).
#pragma once

#include <string>

namespace tonemeter {

inline constexpr int kGenreCount = 148;
inline constexpr int kGenreOther = 12;

// The name at `index`, or an empty string outside 0 … 147.
std::string genreName(int index);
// The first index whose name equals `name` exactly, or -1.
int genreIndex(const std::string& name);

}  // namespace tonemeter
