#include "client/naming_template.h"

#include <filesystem>
#include <system_error>

#include "client/file_names.h"

namespace client {
namespace {

constexpr size_t kMaxPartBytes = 200;
constexpr std::string_view kCodes = "AaDYNTd%";

std::string twoDigits(long n) { return (n >= 0 && n < 10 ? "0" : "") + std::to_string(n); }

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  const size_t last = text.find_last_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// A value as one part of a path: its "/" becomes "-".
std::string asPart(std::string value) {
  for (char& c : value)
    if (c == '/') c = '-';
  return value;
}

std::string valueOf(char code, const NamingValues& v) {
  const std::string albumArtist = trimmed(v.albumArtist);
  const std::string trackArtist = trimmed(v.trackArtist);
  switch (code) {
    case 'A': return !albumArtist.empty() ? albumArtist : !trackArtist.empty() ? trackArtist : "Unknown Artist";
    case 'a': return !trackArtist.empty() ? trackArtist : !albumArtist.empty() ? albumArtist : "Unknown Artist";
    case 'D': return trimmed(v.album).empty() ? "Unknown Album" : trimmed(v.album);
    case 'Y': return v.year > 0 ? std::to_string(v.year) : "";
    case 'N': return twoDigits(v.track);
    case 'T': return trimmed(v.title).empty() ? "Track " + twoDigits(v.track) : trimmed(v.title);
    case 'd': return std::to_string(v.disc > 0 ? v.disc : 1);
    default: return "%";
  }
}

// One part of the path fit for a file system: refused characters out,
// spaces trimmed, cut at a character boundary, never "", "." or "..".
std::string cleanPart(const std::string& raw) {
  std::string clean = trimmed(WithoutForbiddenChars(raw));
  if (clean.size() > kMaxPartBytes) {
    size_t cut = kMaxPartBytes;
    while (cut > 0 && (static_cast<unsigned char>(clean[cut]) & 0xC0) == 0x80) --cut;
    clean = trimmed(clean.substr(0, cut));
  }
  if (clean.find_first_not_of('.') == std::string::npos) clean = "_" + clean;
  return clean;
}

}  // namespace

std::string NamingTemplateProblem(std::string_view pattern) {
  if (pattern.empty()) return "the template is empty";
  if (pattern.front() == '/') return "the template must not start with /";
  if (pattern.back() == '/') return "the template must end with a file name";
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') continue;
    if (i + 1 == pattern.size()) return "a % ends the template";
    if (kCodes.find(pattern[i + 1]) == std::string_view::npos)
      return "unknown %" + std::string(1, pattern[i + 1]) + " (known: %A %a %D %Y %N %T %d %%)";
    ++i;
  }
  return "";
}

std::string ExpandNaming(std::string_view pattern, const NamingValues& values) {
  std::string path;
  std::string part;
  auto endPart = [&] {
    const std::string clean = cleanPart(part);
    path += (path.empty() ? "" : "/") + clean;
    part.clear();
  };
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '/') {
      if (!trimmed(part).empty()) endPart();  // "a//b" is "a/b"
      part.clear();
    } else if (c == '%' && i + 1 < pattern.size() && kCodes.find(pattern[i + 1]) != std::string_view::npos) {
      part += asPart(valueOf(pattern[++i], values));
    } else {
      part += c;
    }
  }
  if (!trimmed(part).empty() || path.empty()) endPart();
  return path;
}

std::string NamingFolderPart(std::string_view pattern) {
  const size_t slash = pattern.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(pattern.substr(0, slash));
}

std::string NamingFilePart(std::string_view pattern) {
  const size_t slash = pattern.rfind('/');
  return std::string(slash == std::string_view::npos ? pattern : pattern.substr(slash + 1));
}

std::string CreateDiscFolder(const std::string& base, const std::string& relative) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (relative.empty()) {
    fs::create_directories(base, ec);
    return fs::is_directory(base, ec) ? base : std::string();
  }
  const fs::path wanted = fs::path(base) / relative;
  fs::create_directories(wanted.parent_path(), ec);
  for (int n = 1; n < 1000; ++n) {
    const fs::path path =
        n == 1 ? wanted : wanted.parent_path() / (wanted.filename().string() + " (" + std::to_string(n) + ")");
    if (fs::create_directory(path, ec)) return path.string();
    if (ec && !fs::exists(path)) return "";  // cannot be made at all
  }
  return "";
}

}  // namespace client
