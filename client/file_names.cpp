#include "client/file_names.h"

namespace client {

std::string WithoutForbiddenChars(std::string_view text) {
  std::string clean;
  clean.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (kForbiddenFileNameChars.find(c) == std::string_view::npos && byte >= 0x20 && byte != 0x7f) clean += c;
  }
  return clean;
}

}  // namespace client
