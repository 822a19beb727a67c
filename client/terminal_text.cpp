#include "client/terminal_text.h"

#include "platform/text/utf.h"

namespace client {

std::string TerminalText(std::string_view text) {
  const std::string valid = platform::text::cleanUtf8(text);
  std::string shown;
  shown.reserve(valid.size());
  for (size_t i = 0; i < valid.size(); ++i) {
    const auto byte = static_cast<unsigned char>(valid[i]);
    if (byte < 0x20 || byte == 0x7f) {
      shown += '?';
    } else if (byte == 0xC2 && i + 1 < valid.size() && static_cast<unsigned char>(valid[i + 1]) <= 0x9F) {
      // U+0080-U+009F: C2 80 ... C2 9F (C2's continuation byte is at least 0x80).
      shown += '?';
      ++i;
    } else {
      shown += valid[i];
    }
  }
  return shown;
}

}  // namespace client
