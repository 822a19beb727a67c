// The genre list of the tags (components/id3_genres.h), as the tag
// component's cores ask it.
#pragma once

#include <string>

#include "components/id3_genres.h"

namespace tonemeter {

inline constexpr int kGenreCount = components::kId3GenreCount;
inline constexpr int kGenreOther = components::kId3GenreOther;

// The name at `index`, or an empty string outside 0 … 147.
std::string genreName(int index);
// The first index whose name equals `name` exactly, or -1.
int genreIndex(const std::string& name);

}  // namespace tonemeter
