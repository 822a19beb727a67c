#include "platform/deviceio/handle_table.h"

namespace platform::deviceio {
namespace {

// Handle values look like Windows ones: small multiples of four, never 0 or -1.
constexpr uintptr_t kFirstValue = 0x100;

}  // namespace

HandleTable& HandleTable::instance() {
  static HandleTable table;
  return table;
}

void* HandleTable::add(std::shared_ptr<DeviceHandle> handle) {
  std::lock_guard lock(mutex_);
  const uintptr_t value = kFirstValue + 4 * nextSerial_++;
  handles_[value] = std::move(handle);
  return reinterpret_cast<void*>(value);
}

std::shared_ptr<DeviceHandle> HandleTable::find(void* value) {
  std::lock_guard lock(mutex_);
  const auto it = handles_.find(reinterpret_cast<uintptr_t>(value));
  return it == handles_.end() ? nullptr : it->second;
}

bool HandleTable::remove(void* value) {
  std::shared_ptr<DeviceHandle> closing;  // released outside the lock
  std::lock_guard lock(mutex_);
  const auto it = handles_.find(reinterpret_cast<uintptr_t>(value));
  if (it == handles_.end()) return false;
  closing = std::move(it->second);
  handles_.erase(it);
  return true;
}

}  // namespace platform::deviceio
