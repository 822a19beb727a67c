// Text conversions between the encodings the platform meets: UTF-8 (our
// "ANSI code page", file names, profile and registry text), UTF-16 (BSTR
// text of the COM interfaces) and ISO-8859-1 (text from old CDDB servers
// and files). Input that is not valid in its encoding (broken or overlong
// UTF-8 sequences, unpaired surrogates, code points past U+10FFFF) becomes
// U+FFFD REPLACEMENT CHARACTER, one for each maximal invalid subpart as the
// Unicode standard recommends; the output is always valid. ICU does the work.
#pragma once

#include <string>
#include <string_view>

namespace platform::text {

std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);
// Every byte is the code point of the same number.
std::string latin1ToUtf8(std::string_view latin1);
// Valid UTF-8 comes back unchanged; invalid sequences become U+FFFD.
std::string cleanUtf8(std::string_view maybeUtf8);
bool isValidUtf8(std::string_view bytes);

}  // namespace platform::text
