// The few system calls the device stand-in makes, behind an interface so that
// tests can run the SG_IO path against a fake kernel. Calls are raw: they
// return -1 with errno set, and EINTR is the caller's to retry (never for
// close). To be replaced by the project-wide wrapper in platform/sys.
#pragma once

#include <memory>

namespace platform::deviceio {

class SystemCalls {
 public:
  virtual ~SystemCalls() = default;
  virtual int open(const char* path, int flags) = 0;
  virtual int ioctl(int fd, unsigned long request, void* argument) = 0;
  virtual int close(int fd) = 0;
};

// The real calls of this process.
std::shared_ptr<SystemCalls> linuxSystemCalls();

// Repeats a call that was interrupted by a signal before it did anything.
template <typename Call>
int retryOnEintr(Call&& call);

}  // namespace platform::deviceio

#include <cerrno>

template <typename Call>
int platform::deviceio::retryOnEintr(Call&& call) {
  int result;
  do {
    result = call();
  } while (result == -1 && errno == EINTR);
  return result;
}
