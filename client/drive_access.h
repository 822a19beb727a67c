// What both programs say when CD devices exist but cannot be opened (on a
// real machine: the user is not in the group that owns /dev/sr* and
// /dev/sg*): which device, why, and what to do, instead of no drives and no
// reason. `ripmarrow info` and `rip` print it, the desktop program shows it
// once.
#pragma once

#include <string>
#include <vector>

#include "platform/deviceio/device_access.h"

namespace client {

// One line per device, "Cannot open /dev/sr0: permission denied.", then
// "To use the CD drives, add your user to the group `cdrom`, then log in
// again." (the group that owns the devices, when it is another). Empty for
// no devices.
std::string driveAccessAdvice(const std::vector<platform::deviceio::RefusedDevice>& refused);
// The same for the devices of the device folder now.
std::string driveAccessAdvice();

}  // namespace client
