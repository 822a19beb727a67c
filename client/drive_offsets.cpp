#include "client/drive_offsets.h"

#include <filesystem>

#include "platform/profile/profile_file.h"

namespace client {
namespace {

constexpr char kFile[] = "drives.ini";
constexpr char kKey[] = "read offset";

// A drive's identity as an INI section name: the characters a section name
// cannot hold are replaced.
std::string sectionOf(const std::string& driveName) {
  std::string section;
  for (const char c : DriveOffsets::identityOf(driveName)) {
    section += (c == '[' || c == ']' || c == '\n' || c == '\r' || c == ';') ? '_' : c;
  }
  return section;
}

bool isAddress(const std::string& text) {
  // "(h:t:l)": digits and colons in parentheses.
  return text.size() >= 3 && text.front() == '(' && text.back() == ')' &&
         text.find_first_not_of("0123456789:", 1) == text.size() - 1;
}

}  // namespace

std::string DriveOffsets::identityOf(const std::string& driveName) {
  const auto trim = [](const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(' ') - first + 1);
  };
  std::string name = trim(driveName);
  const size_t open = name.rfind(" (");
  if (open != std::string::npos && isAddress(name.substr(open + 1))) name = trim(name.substr(0, open));
  return name;
}

std::optional<long> DriveOffsets::offsetOf(const std::string& driveName) {
  const std::string section = sectionOf(driveName);
  if (section.empty()) return std::nullopt;
  const auto text = platform::ProfileFile(kFile).readString(section, kKey);
  long samples = 0;
  if (!text || !parseOffset(*text, samples)) return std::nullopt;
  return samples;
}

bool DriveOffsets::setOffset(const std::string& driveName, long samples) {
  const std::string section = sectionOf(driveName);
  if (section.empty() || samples < kMinReadOffset || samples > kMaxReadOffset) return false;
  return platform::ProfileFile(kFile).writeString(section, kKey,
                                                  (samples > 0 ? "+" : "") + std::to_string(samples));
}

std::string DriveOffsets::fileProblem() {
  const std::filesystem::path path = platform::ProfileFile(kFile).path();
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status) || std::filesystem::is_regular_file(status)) return {};
  return path.string() + " is not a regular file; passed over";
}

long DriveOffsets::c2ModeOf(const std::string& driveName) {
  const std::string section = sectionOf(driveName);
  if (section.empty()) return 0;
  const auto text = platform::ProfileFile(kFile).readString(section, "c2");
  if (!text) return 0;
  std::string mode;
  for (const char c : *text)
    if (c != ' ' && c != '\t') mode += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return mode == "on" ? 1 : mode == "off" ? 2 : 0;
}

const char* DriveOffsets::c2ModeName(long mode) { return mode == 1 ? "on" : mode == 2 ? "off" : "auto"; }

bool DriveOffsets::parseOffset(const std::string& text, long& samples) {
  size_t at = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    at = 1;
  }
  const std::string digits = text.substr(at);
  if (digits.empty() || digits.size() > 4 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
  const long value = std::stol(digits);
  samples = negative ? -value : value;
  return samples >= kMinReadOffset && samples <= kMaxReadOffset;
}

}  // namespace client
