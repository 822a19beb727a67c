#include "platform/home/atomic_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/sys/sys.h"
#include "tests/support/fifo_watchdog.h"

namespace platform {
namespace {

class AtomicFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm_atomic_XXXXXX";
    dir_ = ::mkdtemp(pattern);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  size_t entriesInDir() const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir_), {}));
  }
  std::filesystem::path dir_;
};

int failingFsync(int) {
  errno = EIO;
  return -1;
}

ssize_t failingRead(int, void*, size_t) {
  errno = EIO;
  return -1;
}

TEST_F(AtomicFileTest, AFailedWriteLeavesTheOldFileWholeAndNoTemporary) {
  AtomicFile file(dir_ / "a.ini");
  ASSERT_TRUE(file.update([](auto&) { return std::string("old content\n"); }));
  {
    sys::ScopedSysCall guard(&sys::SysCalls::fsync, failingFsync);
    EXPECT_FALSE(file.update([](auto&) { return std::string("new"); }));
  }
  EXPECT_EQ(file.read(), "old content\n");
  EXPECT_EQ(entriesInDir(), 1u);
}

TEST_F(AtomicFileTest, AnUnreadableFileIsNeverReplaced) {
  AtomicFile file(dir_ / "a.ini");
  ASSERT_TRUE(file.update([](auto&) { return std::string("keep me"); }));
  bool called = false;
  {
    sys::ScopedSysCall guard(&sys::SysCalls::read, failingRead);
    EXPECT_FALSE(file.update([&](auto&) {
      called = true;
      return std::string("");
    }));
  }
  EXPECT_FALSE(called);
  EXPECT_EQ(file.read(), "keep me");
}

TEST_F(AtomicFileTest, AFifoInTheFilesPlaceIsNeitherWaitedOnNorReplaced) {
  // Opening a FIFO to read waits for a writer, who never comes here.
  const auto path = dir_ / "drives.ini";
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  const testing_support::FifoWatchdog watchdog(path.string());
  AtomicFile file(path);
  bool failed = false;
  EXPECT_FALSE(file.read(&failed));
  EXPECT_TRUE(failed);
  EXPECT_FALSE(file.update([](auto&) { return std::string("[d]\nread offset=6\n"); }));
  EXPECT_TRUE(std::filesystem::is_fifo(path));
  EXPECT_EQ(entriesInDir(), 1u);
}

TEST_F(AtomicFileTest, WritersInThreadsNeverLoseChanges) {
  AtomicFile file(dir_ / "count");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 25; ++i) {
        AtomicFile(dir_ / "count").update([](const std::optional<std::string>& current) {
          return std::to_string((current ? std::stoi(*current) : 0) + 1);
        });
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(file.read(), "100");
}

TEST_F(AtomicFileTest, KeepsPermissionsAndSymbolicLinks) {
  const auto real = dir_ / "real.ini";
  { std::ofstream(real) << "x"; }
  ::chmod(real.c_str(), 0640);
  std::filesystem::create_symlink(real, dir_ / "link.ini");
  ASSERT_TRUE(AtomicFile(dir_ / "link.ini").update([](auto&) { return std::string("y"); }));
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "link.ini"));
  EXPECT_EQ(AtomicFile(real).read(), "y");
  struct stat st {};
  ::stat(real.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

}  // namespace
}  // namespace platform
