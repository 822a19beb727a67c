// The one wrapper through which platform code makes system calls. Each call
// goes through a process-wide table of function pointers, so a test can put
// its own function in place of any entry (ScopedSysCall) and make a call fail,
// return short or be interrupted. Calls that can be interrupted by a signal
// are retried on EINTR; close() never is, because on Linux the descriptor is
// already released when close reports EINTR and a retry could close a
// descriptor another thread has just been given.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>

namespace platform::sys {

// The raw entries. Each has the kernel call's meaning (-1 and errno on
// failure). ioctl takes its argument as a pointer, which covers every request
// the platform layer makes (SG_IO, SG_GET_SCSI_ID, CDROM_*).
struct SysCalls {
  int (*open)(const char* path, int flags, mode_t mode);
  int (*close)(int fd);
  ssize_t (*read)(int fd, void* buf, size_t bytes);
  ssize_t (*write)(int fd, const void* buf, size_t bytes);
  ssize_t (*pread)(int fd, void* buf, size_t bytes, off_t offsetBytes);
  ssize_t (*pwrite)(int fd, const void* buf, size_t bytes, off_t offsetBytes);
  int (*ioctl)(int fd, unsigned long request, void* arg);
  int (*fsync)(int fd);
  int (*fstat)(int fd, struct stat* st);
  int (*fchmod)(int fd, mode_t mode);
  int (*rename)(const char* from, const char* to);
  int (*unlink)(const char* path);
  int (*mkdir)(const char* path, mode_t mode);
  int (*flock)(int fd, int operation);
  int (*socket)(int domain, int type, int protocol);
  int (*connect)(int fd, const sockaddr* addr, socklen_t addrBytes);
  ssize_t (*send)(int fd, const void* buf, size_t bytes, int flags);
  ssize_t (*recv)(int fd, void* buf, size_t bytes, int flags);
  int (*setsockopt)(int fd, int level, int name, const void* value, socklen_t valueBytes);
  int (*getsockopt)(int fd, int level, int name, void* value, socklen_t* valueBytes);
  int (*poll)(pollfd* fds, nfds_t count, int timeoutMs);
};

// The table in use. Tests change entries only through ScopedSysCall, while no
// other thread of the test makes calls through it; production code never
// changes it, so it needs no lock.
SysCalls& sysCalls();

// The table of the real kernel calls.
const SysCalls& realSysCalls();

// Replaces one entry for the lifetime of the object (tests):
//   ScopedSysCall guard(&SysCalls::read, fakeRead);
template <typename Fn>
class ScopedSysCall {
 public:
  ScopedSysCall(Fn SysCalls::*entry, Fn replacement) : entry_(entry), saved_(sysCalls().*entry) {
    sysCalls().*entry_ = replacement;
  }
  ~ScopedSysCall() { sysCalls().*entry_ = saved_; }
  ScopedSysCall(const ScopedSysCall&) = delete;
  ScopedSysCall& operator=(const ScopedSysCall&) = delete;

 private:
  Fn SysCalls::*entry_;
  Fn saved_;
};

// The calls, retried on EINTR (close excepted, see above). open adds
// O_CLOEXEC: no descriptor of ours should leak into a spawned program.
int open(const char* path, int flags, mode_t mode = 0);
int close(int fd);
ssize_t read(int fd, void* buf, size_t bytes);
ssize_t write(int fd, const void* buf, size_t bytes);
ssize_t pread(int fd, void* buf, size_t bytes, off_t offsetBytes);
ssize_t pwrite(int fd, const void* buf, size_t bytes, off_t offsetBytes);
int ioctl(int fd, unsigned long request, void* arg);
int fsync(int fd);
int fstat(int fd, struct stat* st);
int fchmod(int fd, mode_t mode);
int rename(const char* from, const char* to);
int unlink(const char* path);
int mkdir(const char* path, mode_t mode);
int flock(int fd, int operation);
int socket(int domain, int type, int protocol);  // adds SOCK_CLOEXEC
// connect is not retried: after EINTR the connection goes on in the
// background, and a second connect would fail with EALREADY. A caller that
// sees EINTR or EINPROGRESS waits for writability with poll and reads
// SO_ERROR.
int connect(int fd, const sockaddr* addr, socklen_t addrBytes);
ssize_t send(int fd, const void* buf, size_t bytes, int flags);
ssize_t recv(int fd, void* buf, size_t bytes, int flags);
int setsockopt(int fd, int level, int name, const void* value, socklen_t valueBytes);
int getsockopt(int fd, int level, int name, void* value, socklen_t* valueBytes);
// Retried with the time that is left, so a signal never stretches the wait.
int poll(pollfd* fds, nfds_t count, int timeoutMs);

// Whole-buffer helpers over read/write: they loop over short transfers.
// writeAll returns false (errno set) when any write fails or writes nothing.
bool writeAll(int fd, const void* buf, size_t bytes);
// Reads the rest of the file; false (errno set) on a read error.
bool readAll(int fd, std::string& out);

}  // namespace platform::sys
