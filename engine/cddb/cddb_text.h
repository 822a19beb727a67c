// Byte-level helpers for text that the CDDB client keeps in fixed fields:
// every cut falls on a UTF-8 character boundary, so a field never ends in a
// broken character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace engine::cddb {

// The longest prefix of text of at most maxBytes that does not end inside a
// UTF-8 sequence.
std::string_view CutUtf8(std::string_view text, size_t maxBytes);

// Copies text, cut as above to fieldBytes - 1, into a NUL-terminated field.
void CopyToField(std::string_view text, char* field, size_t fieldBytes);

// Text from the network or from a title file as UTF-8: valid UTF-8 stays as
// it is (servers that answer in UTF-8 whatever protocol level was asked),
// anything else is read as ISO-8859-1, which servers below protocol level 6
// send.
// The result is always valid UTF-8.
std::string DecodeCddbText(std::string_view bytes);

}  // namespace engine::cddb
