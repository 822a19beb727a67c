// The 148 genre names of the tags the program writes: the ID3v1 list (0 to
// 79) followed by the common extension list (80 to 147). The ID3 tag
// editor's genre box holds the same names in the same order.
#pragma once

#include <array>
#include <string_view>

namespace quavern {

inline constexpr int kGenreCount = 148;
inline constexpr int kGenreOther = 12;

extern const std::array<const char*, kGenreCount> GenreNames;

// The first index whose name equals `name` exactly (case-sensitive);
// kGenreOther when none does or the name is empty.
int genreIndexOf(std::string_view name);

}  // namespace quavern
