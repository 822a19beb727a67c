#include "client/audio_formats.h"

#include <algorithm>
#include <cctype>

namespace client {
namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::optional<AudioFormat> FormatOfName(std::string_view name) {
  for (const AudioFormatInfo& info : kAudioFormats) {
    if (name == info.name) return info.format;
  }
  return std::nullopt;
}

std::optional<AudioFormat> FormatOfExtension(std::string_view extension) {
  for (const AudioFormatInfo& info : kAudioFormats) {
    if (sameIgnoringCase(extension, info.extension)) return info.format;
  }
  return std::nullopt;
}

}  // namespace client
