// The genres of the tags the program writes (components/id3_genres.h): the
// ID3 tag editor's genre box holds them in the same order.
#pragma once

#include <array>
#include <string_view>

#include "components/id3_genres.h"

namespace quavern {

inline constexpr int kGenreCount = components::kId3GenreCount;
inline constexpr int kGenreOther = components::kId3GenreOther;
inline constexpr const auto& GenreNames = components::kId3Genres;

// The first index whose name equals `name` exactly (case-sensitive);
// kGenreOther when none does or the name is empty.
int genreIndexOf(std::string_view name);

}  // namespace quavern
