#include "client/drive_request.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "client/engine_session.h"
#include "platform/deviceio/drive_table.h"

namespace client {
namespace {

std::string deviceFolder() {
  const char* variable = std::getenv("RIPMARROW_DEVICE_DIR");
  return variable != nullptr && *variable != '\0' ? variable : "/dev";
}

bool samePath(const std::string& a, const std::string& b) {
  std::error_code error;
  if (std::filesystem::equivalent(a, b, error) && !error) return true;
  return std::filesystem::path(a).lexically_normal() == std::filesystem::path(b).lexically_normal();
}

}  // namespace

bool parseDriveRequest(const std::string& text, DriveRequest& request, std::string& error) {
  request = DriveRequest{};
  std::string word = text;
  const std::string scheme = "cdda://";
  if (word.size() >= scheme.size() &&
      std::equal(scheme.begin(), scheme.end(), word.begin(),
                 [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); })) {
    word = word.substr(scheme.size());
    while (word.size() > 1 && word.back() == '/') word.pop_back();
    if (word.empty() || word == "/") {
      error = "the URI names no drive: " + text;
      return false;
    }
    if (word.front() != '/') word = deviceFolder() + "/" + word;
    request.devicePath = word;
    return true;
  }
  if (word.empty()) {
    error = "no drive given";
    return false;
  }
  if (word.find('/') != std::string::npos) {
    request.devicePath = word;
    return true;
  }
  if (std::all_of(word.begin(), word.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
    request.number = word.size() <= 3 ? std::strtol(word.c_str(), nullptr, 10) : 0;
    if (request.number < 1) {
      error = "no drive number " + word + " (drives count from 1)";
      return false;
    }
    return true;
  }
  if ((word.size() == 1 || (word.size() == 2 && word[1] == ':')) && std::isalpha(static_cast<unsigned char>(word[0]))) {
    request.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
    if (request.letter < 'C') {
      error = "no drive at letter " + word + " (drives are C to Z)";
      request.letter = 0;
      return false;
    }
    return true;
  }
  if (word.rfind("sr", 0) == 0 || word.rfind("sg", 0) == 0) {
    request.devicePath = deviceFolder() + "/" + word;
    return true;
  }
  error = "not a drive: " + text + " (a device such as /dev/sr0, cdda://sr0/, a letter or a number)";
  return false;
}

LONG resolveDriveRequest(IAudioCDRipper2* engine, const DriveRequest& request) {
  if (request.empty()) return 0;
  char letter = request.letter;
  if (!request.devicePath.empty()) {
    platform::deviceio::DriveTable& table = platform::deviceio::DriveTable::instance();
    table.rescan();
    for (const char candidate : table.letters()) {
      const auto drive = table.find(candidate);
      if (drive && !drive->devicePath.empty() && samePath(drive->devicePath, request.devicePath)) letter = candidate;
    }
    if (letter == 0) return 0;
  }
  if (request.number != 0) return chooseDrive(engine, request.number, 0, true);
  const LONG chosen = chooseDrive(engine, 0, letter, true);
  // chooseDrive falls back on the first drive; a letter the engine lacks is no drive.
  if (chosen <= 0) return 0;
  engine->put_driveNum(chosen);
  BSTR text = nullptr;
  engine->get_driveLetter(&text);
  const std::string found = com::TakeUtf8(text);
  return !found.empty() && found[0] == letter ? chosen : 0;
}

}  // namespace client
