// What a title may hold in a file name, as both programs name their files.
#pragma once

#include <string>
#include <string_view>

namespace client {

// The nine characters that file systems (or other users' ones) refuse.
inline constexpr std::string_view kForbiddenFileNameChars = "*?|:\"/\\<>";

// `text` without the forbidden characters and without control characters,
// which have no place in a file name either.
std::string WithoutForbiddenChars(std::string_view text);

}  // namespace client
