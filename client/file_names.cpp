#include "client/file_names.h"

#include <array>
#include <filesystem>

#include "client/audio_formats.h"

namespace client {
namespace {

// The UTF-8 forms of the invisible characters that reorder text on screen.
constexpr std::array<std::string_view, 12> kReorderingChars = {
    "\u200E", "\u200F", "\u061C",                         // LRM, RLM, ALM
    "\u202A", "\u202B", "\u202C", "\u202D", "\u202E",  // LRE, RLE, PDF, LRO, RLO
    "\u2066", "\u2067", "\u2068", "\u2069",            // LRI, RLI, FSI, PDI
};

// The length of the reordering character at the start of `text`, else 0.
size_t reorderingCharAt(std::string_view text) {
  for (const std::string_view mark : kReorderingChars) {
    if (text.substr(0, mark.size()) == mark) return mark.size();
  }
  return 0;
}

}  // namespace

std::string WithoutForbiddenChars(std::string_view text) {
  std::string clean;
  clean.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7f || kForbiddenFileNameChars.find(text[i]) != std::string_view::npos) {
      ++i;
    } else if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      i += 2;  // a C1 control, U+0080-U+009F
    } else if (const size_t length = reorderingCharAt(text.substr(i)); length > 0) {
      i += length;
    } else {
      clean += text[i++];
    }
  }
  return clean;
}

std::string CleanTitle(std::string_view text) {
  std::string clean = WithoutForbiddenChars(text);
  if (clean.size() > kMaxTitleBytes) {
    size_t cut = kMaxTitleBytes;
    while (cut > 0 && (static_cast<unsigned char>(clean[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
    clean.resize(cut);
  }
  const size_t first = clean.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return clean.substr(first, clean.find_last_not_of(' ') - first + 1);
}

std::string SafeStem(std::string_view stem, std::string_view fallback) {
  if (stem.find_first_not_of(" -") == std::string_view::npos) return std::string(fallback);
  if (stem.front() == '.') return "_" + std::string(stem);
  return std::string(stem);
}

std::string WithoutAudioExtension(std::string_view title) {
  const size_t dot = title.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return std::string(title);
  return std::string(FormatOfExtension(title.substr(dot)) ? title.substr(0, dot) : title);
}

std::string TitleFileName(std::string_view title, std::string_view extension, std::string_view fallback) {
  std::string stem = CleanTitle(title);
  stem = WithoutAudioExtension(stem);
  // "Song .mp3" leaves a blank before the dot.
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  return SafeStem(stem, fallback) + std::string(extension);
}

std::string FreePath(const std::string& folder, const std::string& name) {
  const std::filesystem::path base(name);
  const std::string stem = base.stem().string();
  const std::string extension = base.extension().string();
  std::string path = (std::filesystem::path(folder) / name).string();
  std::error_code ec;
  for (int n = 2; std::filesystem::exists(std::filesystem::symlink_status(path, ec)); ++n) {
    path = (std::filesystem::path(folder) / (stem + " (" + std::to_string(n) + ")" + extension)).string();
  }
  return path;
}

}  // namespace client
