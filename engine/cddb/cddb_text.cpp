#include "engine/cddb/cddb_text.h"

#include <algorithm>
#include <cstring>

#include "platform/text/utf.h"

namespace engine::cddb {

std::string_view CutUtf8(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t end = maxBytes;
  // Step back over continuation bytes to the start of the character that the
  // cut would split, and leave that character out.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

void CopyToField(std::string_view text, char* field, size_t fieldBytes) {
  if (fieldBytes == 0) return;
  const std::string_view cut = CutUtf8(text, fieldBytes - 1);
  std::memcpy(field, cut.data(), cut.size());
  field[cut.size()] = '\0';
}

std::string DecodeCddbText(std::string_view bytes) {
  if (platform::text::isValidUtf8(bytes)) return std::string(bytes);
  return platform::text::latin1ToUtf8(bytes);
}

}  // namespace engine::cddb
