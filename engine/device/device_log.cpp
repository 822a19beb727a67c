#include "engine/device/device_log.h"

#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string>

namespace engine::device {
namespace {

std::mutex logMutex;  // guards sink and orders whole lines
DeviceLogSink sink;

void WriteAll(int fd, std::string_view line) {
  while (!line.empty()) {
    const ssize_t n = ::write(fd, line.data(), line.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // the log never reports errors
    line.remove_prefix(static_cast<size_t>(n));
  }
}

void Emit(std::string line) {
  line += "\r\n";
  std::lock_guard lock(logMutex);
  if (sink) sink(line);
}

}  // namespace

void SetDeviceLog(DeviceLogSink newSink) {
  std::lock_guard lock(logMutex);
  sink = std::move(newSink);
}

void SetDeviceLogFile(int fd) {
  if (fd < 0) {
    SetDeviceLog(nullptr);
    return;
  }
  // write(2) has no buffer of its own: each line reaches the file at once.
  SetDeviceLog([fd](std::string_view line) { WriteAll(fd, line); });
}

void DeviceLog(std::string_view text) {
  Emit(std::string(text));
}

void DeviceLogValue(std::string_view text, int64_t value) {
  Emit(std::string(text) + " " + std::to_string(value));
}

}  // namespace engine::device
