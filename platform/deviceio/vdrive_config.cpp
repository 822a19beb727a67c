#include "platform/deviceio/vdrive_config.h"

#include "platform/home/home.h"
#include "platform/sys/sys.h"
#include "platform/vdrive/drive_settings.h"

#include <cctype>
#include <fcntl.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
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

// "port:path:target:lun" as one number for comparison; -1 when the text is
// not an address (the drive factory names that fault).
int64_t addressNumber(const std::string& text) {
  std::istringstream in(text);
  std::string part;
  int64_t number = 0;
  int fields = 0;
  while (std::getline(in, part, ':')) {
    part = trim(part);
    if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos) return -1;
    const int value = std::stoi(part);
    if (value > 255 || ++fields > 4) return -1;
    number = number * 256 + value;
  }
  return fields == 4 ? number : -1;
}

std::string addressText(int64_t number) {
  return std::to_string(number >> 24 & 255) + ":" + std::to_string(number >> 16 & 255) + ":" +
         std::to_string(number >> 8 & 255) + ":" + std::to_string(number & 255);
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string VdriveConfig::defaultPath() { return (home::homeDir() / "vdrives.ini").string(); }

VdriveConfig VdriveConfig::read(const std::string& path, std::vector<std::string>& errors) {
  // Non-blocking, and only a regular file: a FIFO in its place would wait
  // for a writer for ever.
  const int fd = sys::open(path.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) {
    if (errno != ENOENT) errors.push_back(path + ": cannot be read");
    return {};
  }
  struct stat st {};
  if (sys::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    sys::close(fd);
    errors.push_back(path + ": not a regular file; passed over");
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
  char sectionLetter = 0;
  std::set<char> seen;
  std::map<char, int> addressLines;  // drive → line of its address key
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
      sectionLetter = letter;
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
    if (section->emplace(key, value).second) {
      config.keyLines_[sectionLetter][key] = lineNumber;
      if (key == "address") addressLines[sectionLetter] = lineNumber;
    }
  }
  config.assignAddresses(addressLines, name, errors);
  return config;
}

int VdriveConfig::lineOf(char letter, const std::string& key) const {
  const auto drive = keyLines_.find(letter);
  if (drive == keyLines_.end()) return 0;
  const auto line = drive->second.find(key);
  return line == drive->second.end() ? 0 : line->second;
}

std::string VdriveConfig::placeOf(char letter, const std::string& key, const std::string& name) const {
  const int line = lineOf(letter, key);
  return name + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": drive " + std::string(1, letter) + ": ";
}

std::vector<std::string> VdriveConfig::problems(const std::string& path) {
  std::vector<std::string> errors;
  const VdriveConfig config = read(path, errors);
  const std::filesystem::path file(path);
  const std::string name = file.filename().string();
  for (const auto& [letter, keys] : config.drives()) {
    Keys withoutImage = keys;
    withoutImage.erase("image");
    try {
      vdrive::makeVirtualDrive(withoutImage, ".");
    } catch (const vdrive::DriveSettingsError& error) {
      errors.push_back(config.placeOf(letter, error.key(), name) + error.what());
    }
    const auto image = keys.find("image");
    if (image != keys.end() && !image->second.empty()) {
      const std::filesystem::path imagePath =
          image->second[0] == '/' ? std::filesystem::path(image->second) : file.parent_path() / image->second;
      std::error_code ec;
      if (!std::filesystem::exists(imagePath, ec)) {
        errors.push_back(config.placeOf(letter, "image", name) + "virtual drive setting 'image': no such file " +
                         imagePath.string());
      }
    }
  }
  return errors;
}

// Two drives at one address would hide each other from the transports, which
// list drives by address. A drive given no address takes the lowest free
// target on 0:0:*:0; an address given twice refuses the later drive.
void VdriveConfig::assignAddresses(const std::map<char, int>& addressLines, const std::string& name,
                                   std::vector<std::string>& errors) {
  std::map<int64_t, char> taken;
  for (auto it = drives_.begin(); it != drives_.end();) {
    const auto address = it->second.find("address");
    const int64_t number = address == it->second.end() ? -1 : addressNumber(address->second);
    if (number >= 0) {
      const auto [owner, fresh] = taken.emplace(number, it->first);
      if (!fresh) {
        errors.push_back(name + ":" + std::to_string(addressLines.at(it->first)) + ": address " +
                         addressText(number) + " is drive " + std::string(1, owner->second) +
                         "'s already; drive " + std::string(1, it->first) + " is left out");
        it = drives_.erase(it);
        continue;
      }
    }
    ++it;
  }
  int64_t next = 0;
  for (auto& [letter, keys] : drives_) {
    if (keys.count("address") != 0) continue;
    while (taken.count(next * 256) != 0) ++next;
    taken.emplace(next * 256, letter);
    keys["address"] = addressText(next * 256);
  }
}

}  // namespace platform::deviceio
