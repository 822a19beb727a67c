#include "platform/sys/sys.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace platform::sys {
namespace {

int gInterruptsLeft = 0;
int gCalls = 0;

ssize_t interruptedThenShortRead(int fd, void* buf, size_t bytes) {
  ++gCalls;
  if (gInterruptsLeft > 0) {
    --gInterruptsLeft;
    errno = EINTR;
    return -1;
  }
  // Hand out at most 3 bytes a call so callers must loop.
  return realSysCalls().read(fd, buf, bytes < 3 ? bytes : 3);
}

int interruptedClose(int) {
  ++gCalls;
  errno = EINTR;
  return -1;
}

ssize_t writesNothing(int, const void*, size_t) {
  ++gCalls;
  return 0;
}

class SysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gCalls = 0;
    gInterruptsLeft = 0;
    ASSERT_EQ(::pipe(fds_), 0);
  }
  void TearDown() override {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  int fds_[2];
};

TEST_F(SysTest, InterruptedCallsAreRetriedAndShortReadsAssembled) {
  ScopedSysCall guard(&SysCalls::read, interruptedThenShortRead);
  ASSERT_TRUE(writeAll(fds_[1], "hello world", 11));
  ::close(fds_[1]);
  fds_[1] = ::open("/dev/null", O_WRONLY);
  gInterruptsLeft = 2;
  char buf[4] = {};
  EXPECT_EQ(read(fds_[0], buf, sizeof buf), 3);  // two EINTRs swallowed
  EXPECT_EQ(gCalls, 3);
  EXPECT_EQ(std::string(buf, 3), "hel");
  std::string rest;
  gInterruptsLeft = 1;
  ASSERT_TRUE(readAll(fds_[0], rest));
  EXPECT_EQ(rest, "lo world");
}

TEST_F(SysTest, CloseIsNotRetriedAndTheTableIsRestored) {
  {
    ScopedSysCall guard(&SysCalls::close, interruptedClose);
    EXPECT_EQ(close(12345), -1);
    EXPECT_EQ(errno, EINTR);
    EXPECT_EQ(gCalls, 1);
  }
  EXPECT_EQ(sysCalls().close, realSysCalls().close);
}

TEST_F(SysTest, WriteAllReportsAWriteThatMakesNoProgress) {
  ScopedSysCall guard(&SysCalls::write, writesNothing);
  errno = 0;
  EXPECT_FALSE(writeAll(fds_[1], "x", 1));
  EXPECT_EQ(errno, ENOSPC);
}

TEST_F(SysTest, DescriptorsAreClosedOnExec) {
  const int fd = open("/dev/null", O_RDONLY);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC);
  close(fd);
}

}  // namespace
}  // namespace platform::sys
