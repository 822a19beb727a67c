// Which CD devices of the device folder exist but cannot be opened: on a real
// machine /dev/sr* and /dev/sg* belong to the group `cdrom`, and a user
// outside it would otherwise see no drives and no reason. The folder is the
// one the drive table scans ($RIPMARROW_DEVICE_DIR, else /dev). Each device
// is opened as the drive table opens it (through platform/sys, read-only,
// without waiting for a medium) and closed again.
#pragma once

#include <string>
#include <vector>

namespace platform::deviceio {

struct RefusedDevice {
  std::string path;   // "/dev/sr0"
  int error = 0;      // errno of the open: EACCES or EPERM
  std::string group;  // the group that owns the device ("cdrom"); empty when unknown
};

// sr devices, and sg devices that are CD drives (in /dev, sg devices of
// disks and other kinds are passed over; sysfs tells the kind), whose open
// is refused for want of permission; in name order. `folder` empty: the
// drive table's folder.
std::vector<RefusedDevice> refusedCdDevices(const std::string& folder = {});

}  // namespace platform::deviceio
