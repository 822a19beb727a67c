#include "platform/deviceio/drive_table.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/deviceio/sg_device.h"
#include "platform/deviceio/target_channel.h"
#include "platform/deviceio/win_device.h"
#include "platform/vdrive/drive_settings.h"

namespace platform::deviceio {
namespace {

char upper(char letter) { return static_cast<char>(std::toupper(static_cast<unsigned char>(letter))); }

bool isDriveLetter(char letter) { return letter >= 'C' && letter <= 'Z'; }

// sr devices of a folder, sr0 before sr1 before sr10.
std::vector<std::string> listSrDevices(const std::string& folder) {
  std::vector<std::pair<unsigned long, std::string>> found;
  std::error_code error;
  for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = item.path().filename().string();
    if (name.size() < 3 || name.compare(0, 2, "sr") != 0) continue;
    if (!std::all_of(name.begin() + 2, name.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
      continue;
    if (name.size() > 6) continue;  // sr followed by a sane number
    found.emplace_back(std::stoul(name.substr(2)), item.path().string());
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  for (auto& [number, path] : found) paths.push_back(std::move(path));
  return paths;
}

}  // namespace

DriveTable& DriveTable::instance() {
  static DriveTable table;
  return table;
}

DriveTable::DriveTable() : DriveTable(Options{}) {}

DriveTable::DriveTable(Options options) : options_(std::move(options)) {}

void DriveTable::configure(Options options) {
  std::lock_guard lock(mutex_);
  options_ = std::move(options);
  registered_.clear();
  scanLocked();
}

void DriveTable::rescan() {
  std::lock_guard lock(mutex_);
  scanLocked();
}

bool DriveTable::registerDrive(char letter, std::shared_ptr<scsi::Target> target) {
  letter = upper(letter);
  if (!isDriveLetter(letter)) return false;
  std::lock_guard lock(mutex_);
  if (!scanned_) scanLocked();
  if (target) {
    registered_[letter] = std::move(target);
  } else {
    registered_.erase(letter);
  }
  assignLocked();
  return true;
}

std::shared_ptr<DriveEntry> DriveTable::find(char letter) {
  letter = upper(letter);
  std::lock_guard lock(mutex_);
  if (!scanned_) scanLocked();
  const auto it = drives_.find(letter);
  return it == drives_.end() ? nullptr : it->second;
}

std::string DriveTable::letters() {
  std::lock_guard lock(mutex_);
  if (!scanned_) scanLocked();
  std::string result;
  for (const auto& [letter, drive] : drives_) result += letter;
  return result;
}

std::vector<std::string> DriveTable::configurationErrors() {
  std::lock_guard lock(mutex_);
  if (!scanned_) scanLocked();
  return errors_;
}

std::unique_ptr<DeviceChannel> DriveTable::open(const DriveEntry& drive, DWORD& error) {
  if (drive.target) return std::make_unique<TargetChannel>(drive.target);
  return SgDevice::open(drive.devicePath, error);
}

void DriveTable::scanLocked() {
  scanned_ = true;
  errors_.clear();
  configured_.clear();
  const std::string path = options_.configurationPath.empty() ? VdriveConfig::defaultPath()
                                                              : options_.configurationPath;
  const VdriveConfig config = VdriveConfig::read(path, errors_);
  const std::string baseFolder = std::filesystem::path(path).parent_path().string();
  for (const auto& [letter, keys] : config.drives()) {
    std::string why;
    std::string place = "drive " + std::string(1, letter) + ": ";
    std::shared_ptr<scsi::Target> target;
    if (options_.factory) {
      target = options_.factory(keys, why);
    } else {
      try {
        target = vdrive::makeVirtualDrive(keys, baseFolder.empty() ? "." : baseFolder);
      } catch (const vdrive::DriveSettingsError& error) {
        why = error.what();
        place = config.placeOf(letter, error.key(), std::filesystem::path(path).filename().string());
      } catch (const std::exception& error) {
        why = error.what();
      }
    }
    if (!target) {
      errors_.push_back(place + why);
      continue;
    }
    configured_[letter] = std::move(target);
  }
  std::string devices = options_.deviceDirectory;
  if (devices.empty()) {
    const char* variable = std::getenv("RIPMARROW_DEVICE_DIR");
    devices = variable != nullptr && *variable != '\0' ? variable : "/dev";
  }
  devicePaths_ = listSrDevices(devices);
  assignLocked();
}

void DriveTable::assignLocked() {
  std::map<char, std::shared_ptr<DriveEntry>> next;
  // An entry keeps its identity (and medium-change count) while the same
  // drive stays at the same letter.
  auto keep = [&](char letter, const std::shared_ptr<scsi::Target>& target, const std::string& device) {
    const auto old = drives_.find(letter);
    if (old != drives_.end() && old->second->target == target && old->second->devicePath == device) {
      next[letter] = old->second;
      return;
    }
    auto entry = std::make_shared<DriveEntry>();
    entry->letter = letter;
    entry->target = target;
    entry->devicePath = device;
    next[letter] = std::move(entry);
  };
  for (const auto& [letter, target] : registered_) keep(letter, target, {});
  for (const auto& [letter, target] : configured_) {
    if (next.count(letter) == 0) keep(letter, target, {});
  }
  char letter = 'C';
  for (const std::string& device : devicePaths_) {
    while (letter <= 'Z' && next.count(letter) != 0) ++letter;
    if (letter > 'Z') break;
    keep(letter, nullptr, device);
  }
  drives_ = std::move(next);
}

}  // namespace platform::deviceio
