#include "platform/sys/sys.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace platform::sys {
namespace {

int realOpen(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int realIoctl(int fd, unsigned long request, void* arg) { return ::ioctl(fd, request, arg); }

const SysCalls kReal = {
    realOpen, ::close,     ::read,      ::write,      ::pread,      ::pwrite, realIoctl,
    ::fsync,  ::fstat,     ::fchmod,    ::rename,     ::unlink,     ::mkdir,  ::flock,
    ::socket, ::connect,   ::send,      ::recv,       ::setsockopt, ::getsockopt, ::poll,
};

SysCalls gCalls = kReal;

// Runs call() again for as long as it fails with EINTR.
template <typename Call>
auto retry(Call call) {
  for (;;) {
    auto result = call();
    if (!(result == -1 && errno == EINTR)) return result;
  }
}

}  // namespace

SysCalls& sysCalls() { return gCalls; }
const SysCalls& realSysCalls() { return kReal; }

int open(const char* path, int flags, mode_t mode) {
  return retry([&] { return gCalls.open(path, flags | O_CLOEXEC, mode); });
}
int close(int fd) { return gCalls.close(fd); }
ssize_t read(int fd, void* buf, size_t bytes) {
  return retry([&] { return gCalls.read(fd, buf, bytes); });
}
ssize_t write(int fd, const void* buf, size_t bytes) {
  return retry([&] { return gCalls.write(fd, buf, bytes); });
}
ssize_t pread(int fd, void* buf, size_t bytes, off_t offsetBytes) {
  return retry([&] { return gCalls.pread(fd, buf, bytes, offsetBytes); });
}
ssize_t pwrite(int fd, const void* buf, size_t bytes, off_t offsetBytes) {
  return retry([&] { return gCalls.pwrite(fd, buf, bytes, offsetBytes); });
}
int ioctl(int fd, unsigned long request, void* arg) {
  return retry([&] { return gCalls.ioctl(fd, request, arg); });
}
int fsync(int fd) {
  return retry([&] { return gCalls.fsync(fd); });
}
int fstat(int fd, struct stat* st) {
  return retry([&] { return gCalls.fstat(fd, st); });
}
int fchmod(int fd, mode_t mode) {
  return retry([&] { return gCalls.fchmod(fd, mode); });
}
int rename(const char* from, const char* to) {
  return retry([&] { return gCalls.rename(from, to); });
}
int unlink(const char* path) {
  return retry([&] { return gCalls.unlink(path); });
}
int mkdir(const char* path, mode_t mode) {
  return retry([&] { return gCalls.mkdir(path, mode); });
}
int flock(int fd, int operation) {
  return retry([&] { return gCalls.flock(fd, operation); });
}
int socket(int domain, int type, int protocol) {
  return retry([&] { return gCalls.socket(domain, type | SOCK_CLOEXEC, protocol); });
}
int connect(int fd, const sockaddr* addr, socklen_t addrBytes) { return gCalls.connect(fd, addr, addrBytes); }
ssize_t send(int fd, const void* buf, size_t bytes, int flags) {
  return retry([&] { return gCalls.send(fd, buf, bytes, flags); });
}
ssize_t recv(int fd, void* buf, size_t bytes, int flags) {
  return retry([&] { return gCalls.recv(fd, buf, bytes, flags); });
}
int setsockopt(int fd, int level, int name, const void* value, socklen_t valueBytes) {
  return retry([&] { return gCalls.setsockopt(fd, level, name, value, valueBytes); });
}
int getsockopt(int fd, int level, int name, void* value, socklen_t* valueBytes) {
  return retry([&] { return gCalls.getsockopt(fd, level, name, value, valueBytes); });
}

int poll(pollfd* fds, nfds_t count, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  int leftMs = timeoutMs;
  for (;;) {
    const int result = gCalls.poll(fds, count, leftMs);
    if (!(result == -1 && errno == EINTR)) return result;
    if (timeoutMs >= 0) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      leftMs = left > 0 ? static_cast<int>(left) : 0;
    }
  }
}

bool writeAll(int fd, const void* buf, size_t bytes) {
  const char* p = static_cast<const char*>(buf);
  while (bytes > 0) {
    const ssize_t n = write(fd, p, bytes);
    if (n < 0) return false;
    if (n == 0) {  // a regular file that accepts nothing is full
      errno = ENOSPC;
      return false;
    }
    p += n;
    bytes -= static_cast<size_t>(n);
  }
  return true;
}

bool readAll(int fd, std::string& out) {
  char chunk[16384];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(chunk, static_cast<size_t>(n));
  }
}

}  // namespace platform::sys
