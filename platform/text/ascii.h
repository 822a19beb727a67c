// Byte-string helpers for the ASCII rules that registry and profile names
// follow: Windows compares those names without regard to case, and trims
// blanks around names and values. Bytes above 0x7F (UTF-8 sequences) are
// compared as they are.
#pragma once

#include <string>
#include <string_view>

namespace platform::text {

char lowerAscii(char c);
std::string lowerAscii(std::string_view s);
bool equalsIgnoreCase(std::string_view a, std::string_view b);
// True for the blanks that profile and registry lines trim: space, tab,
// vertical tab, form feed and a stray carriage return.
bool isBlank(char c);
std::string_view trimBlanks(std::string_view s);

}  // namespace platform::text
