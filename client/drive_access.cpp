#include "client/drive_access.h"

namespace client {

std::string driveAccessAdvice(const std::vector<platform::deviceio::RefusedDevice>& refused) {
  if (refused.empty()) return {};
  std::string text;
  // The group the devices belong to; root's or none known: the usual one.
  std::string group = "cdrom";
  for (const platform::deviceio::RefusedDevice& device : refused) {
    text += "Cannot open " + device.path + ": permission denied.\n";
    if (!device.group.empty() && device.group != "root") group = device.group;
  }
  return text + "To use the CD drives, add your user to the group `" + group + "`, then log in again.\n";
}

std::string driveAccessAdvice() { return driveAccessAdvice(platform::deviceio::refusedCdDevices()); }

}  // namespace client
