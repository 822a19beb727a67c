#include "engine/log/diagnostic_log.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cstring>

#include "platform/registry/registry.h"
#include "platform/sys/sys.h"

namespace engine::log {

int16_t ReadLogLevel() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kLogSwitchKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return kLevelOff;
  char text[1024] = {};
  DWORD bytes = sizeof text;
  DWORD type = 0;
  const LONG status = RegQueryValueExA(key, "Log", &type, reinterpret_cast<BYTE*>(text), &bytes);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return kLevelOff;
  text[sizeof text - 1] = '\0';
  if (std::strcmp(text, "Normal") == 0) return kLevelNormal;
  if (std::strcmp(text, "Extended") == 0) return kLevelExtended;
  return kLevelOff;  // "No" and everything else
}

DiagnosticLog::DiagnosticLog(int16_t level, std::string path) : level_(level) {
  if (level_ == kLevelOff) return;
  namespace sys = platform::sys;
  // Opened without truncation first: a file that another engine object holds
  // must keep its contents, so it is emptied only once the lock is ours.
  const int fd = sys::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  if (sys::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    sys::close(fd);
    return;
  }
  // A second descriptor empties the file; the lock stays with the first.
  const int truncating = sys::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
  if (truncating < 0) {
    sys::close(fd);
    return;
  }
  sys::close(truncating);
  fd_ = fd;
}

DiagnosticLog::~DiagnosticLog() {
  if (fd_ >= 0) platform::sys::close(fd_);  // also releases the lock
}

void DiagnosticLog::writeLocked(std::string_view bytes) {
  if (fd_ < 0 || level_ == kLevelOff) return;
  platform::sys::writeAll(fd_, bytes.data(), bytes.size());  // failures are ignored
  if (level_ >= kLevelExtended) platform::sys::fsync(fd_);
}

void DiagnosticLog::line(std::string_view text) {
  if (fd_ < 0) return;
  std::string whole(text);
  whole += "\r\n";
  std::lock_guard lock(mutex_);
  writeLocked(whole);
}

void DiagnosticLog::value(std::string_view text, int64_t number) {
  if (fd_ < 0) return;
  std::string whole(text);
  whole += ' ';
  whole += std::to_string(number);
  whole += "\r\n";
  std::lock_guard lock(mutex_);
  writeLocked(whole);
}

void DiagnosticLog::pair(std::string_view text, std::string_view second) {
  if (fd_ < 0) return;
  std::string whole(text);
  whole += ' ';
  whole += second;
  whole += "\r\n";
  std::lock_guard lock(mutex_);
  writeLocked(whole);
}

void DiagnosticLog::raw(std::string_view wholeLine) {
  if (fd_ < 0) return;
  std::lock_guard lock(mutex_);
  writeLocked(wholeLine);
}

void DiagnosticLog::flush() {
  if (fd_ < 0) return;
  std::lock_guard lock(mutex_);
  platform::sys::fsync(fd_);
}

}  // namespace engine::log
