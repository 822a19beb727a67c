#include "platform/deviceio/vdrive_config.h"

#include "platform/home/home.h"
#include "platform/sys/sys.h"

#include <cctype>
#include <fcntl.h>

#include <cerrno>
#include <set>
#include <sstream>

namespace platform::deviceio {
namespace {

std::string trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string VdriveConfig::defaultPath() { return (home::homeDir() / "vdrives.ini").string(); }

VdriveConfig VdriveConfig::read(const std::string& path, std::vector<std::string>& errors) {
  const int fd = sys::open(path.c_str(), O_RDONLY);
  if (fd < 0) {
    if (errno != ENOENT) errors.push_back(path + ": cannot be read");
    return {};
  }
  std::string text;
  const bool complete = sys::readAll(fd, text);
  sys::close(fd);
  if (!complete) errors.push_back(path + ": cannot be read");
  const auto slash = path.find_last_of('/');
  return parse(text, slash == std::string::npos ? path : path.substr(slash + 1), errors);
}

VdriveConfig VdriveConfig::parse(const std::string& text, const std::string& name,
                                 std::vector<std::string>& errors) {
  VdriveConfig config;
  std::istringstream lines(text);
  std::string line;
  int lineNumber = 0;
  Keys* section = nullptr;  // null: outside any drive's section
  std::set<char> seen;
  auto complain = [&](const std::string& why) {
    errors.push_back(name + ":" + std::to_string(lineNumber) + ": " + why);
  };
  while (std::getline(lines, line)) {
    ++lineNumber;
    line = trim(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      section = nullptr;
      const auto close = line.find(']');
      const std::string title = close == std::string::npos ? std::string() : trim(line.substr(1, close - 1));
      const char letter = title.size() == 1 ? static_cast<char>(std::toupper(static_cast<unsigned char>(title[0]))) : 0;
      if (letter < 'C' || letter > 'Z') {
        complain("[" + title + "] is not a drive letter from C to Z");
        continue;
      }
      if (!seen.insert(letter).second) {
        complain("drive " + std::string(1, letter) + " is configured twice; the first section counts");
        continue;
      }
      section = &config.drives_[letter];
      continue;
    }
    const auto equals = line.find('=');
    if (equals == std::string::npos || equals == 0) {
      complain("expected key=value");
      continue;
    }
    if (section == nullptr) continue;  // keys of a refused section
    const std::string key = lower(trim(line.substr(0, equals)));
    std::string value = trim(line.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    section->emplace(key, value);  // the first of a repeated key wins
  }
  return config;
}

}  // namespace platform::deviceio
