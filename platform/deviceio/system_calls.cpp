#include "platform/deviceio/system_calls.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace platform::deviceio {
namespace {

class LinuxSystemCalls final : public SystemCalls {
 public:
  int open(const char* path, int flags) override { return ::open(path, flags); }
  int ioctl(int fd, unsigned long request, void* argument) override { return ::ioctl(fd, request, argument); }
  int close(int fd) override { return ::close(fd); }
};

}  // namespace

std::shared_ptr<SystemCalls> linuxSystemCalls() {
  static const std::shared_ptr<SystemCalls> calls = std::make_shared<LinuxSystemCalls>();
  return calls;
}

}  // namespace platform::deviceio
