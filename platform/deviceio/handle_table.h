// The open device handles of the process. Handle values are never reused, so
// a closed handle stays invalid even after other handles are opened.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "platform/deviceio/device_channel.h"
#include "platform/deviceio/drive_table.h"

namespace platform::deviceio {

// What CreateFileA opened.
struct DeviceHandle {
  std::shared_ptr<DriveEntry> drive;
  std::unique_ptr<DeviceChannel> channel;
  // The drive's medium-change count this handle has already reported.
  std::atomic<uint32_t> mediumChangesSeen{0};
};

class HandleTable {
 public:
  static HandleTable& instance();

  void* add(std::shared_ptr<DeviceHandle> handle);
  // Null for a handle that is closed or was never opened.
  std::shared_ptr<DeviceHandle> find(void* value);
  // False when the handle was not open. A command running on it on another
  // thread finishes first; the device closes with its last user.
  bool remove(void* value);

 private:
  std::mutex mutex_;  // guards the fields below
  uintptr_t nextSerial_ = 1;
  std::map<uintptr_t, std::shared_ptr<DeviceHandle>> handles_;
};

}  // namespace platform::deviceio
