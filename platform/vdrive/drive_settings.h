// Builds a virtual drive from settings given as keys and values, as a
// [E] section of vdrives.ini holds them. The keys are listed in README.md.
#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "platform/vdrive/drive_clock.h"
#include "platform/vdrive/virtual_drive.h"

namespace platform::vdrive {

class DriveSettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  DriveSettingsError(std::string key, const std::string& what) : std::runtime_error(what), key_(std::move(key)) {}
  // The key at fault (lower case), so that a caller can name its line; "" when unknown.
  const std::string& key() const { return key_; }

 private:
  std::string key_;
};

// Keys are matched without regard to case. A relative image path is taken
// from baseFolder. clock: null for real time scaled by the "time-scale" key.
// Throws DriveSettingsError naming the key for an unknown key or a bad value,
// and ImageError for an image that cannot be loaded.
std::unique_ptr<VirtualDrive> makeVirtualDrive(const std::map<std::string, std::string>& settings,
                                               const std::string& baseFolder = ".",
                                               std::shared_ptr<DriveClock> clock = nullptr);

}  // namespace platform::vdrive
