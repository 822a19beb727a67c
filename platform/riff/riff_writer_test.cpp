#include "platform/riff/riff_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/sys/sys.h"

namespace platform::riff {
namespace {

namespace fs = std::filesystem;

uint32_t le32(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 |
         static_cast<uint8_t>(s[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class RiffWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("riff_test_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(RiffWriterTest, SizesAreWrittenWhenChunksCloseAndOddChunksArePadded) {
  RiffWriter w;
  ASSERT_TRUE(w.create((dir_ / "a.wav").string()));
  ASSERT_TRUE(w.createChunk(fourCC("RIFF"), fourCC("WAVE")));
  ASSERT_TRUE(w.createChunk(fourCC("abcd")));
  ASSERT_TRUE(w.write("xyz", 3));
  ASSERT_TRUE(w.closeChunk());
  ASSERT_TRUE(w.createChunk(fourCC("data")));
  std::string big(300000, '\x5a');  // more than the buffer holds
  ASSERT_TRUE(w.write(big.data(), big.size()));
  ASSERT_TRUE(w.closeChunk());
  ASSERT_TRUE(w.closeChunk());
  ASSERT_TRUE(w.close());

  const std::string f = readFile(dir_ / "a.wav");
  ASSERT_EQ(f.size(), 12u + 8 + 3 + 1 + 8 + big.size());
  EXPECT_EQ(f.substr(0, 4), "RIFF");
  EXPECT_EQ(le32(f, 4), f.size() - 8);
  EXPECT_EQ(f.substr(8, 4), "WAVE");
  EXPECT_EQ(le32(f, 16), 3u);
  EXPECT_EQ(f[23], '\0');  // pad byte
  EXPECT_EQ(f.substr(24, 4), "data");
  EXPECT_EQ(le32(f, 28), big.size());
}

TEST_F(RiffWriterTest, AFileInAMissingFolderIsRefused) {
  RiffWriter w;
  EXPECT_FALSE(w.create((dir_ / "missing" / "a.wav").string()));
  EXPECT_EQ(w.lastErrno(), ENOENT);
  EXPECT_FALSE(w.write("x", 1));
}

// A disk that fills up after a number of bytes.
size_t gRoomBytes = 0;
ssize_t fullDiskPwrite(int fd, const void* buf, size_t bytes, off_t at) {
  // Size fields lie inside the file, so they always fit.
  if (static_cast<size_t>(at) + bytes <= gRoomBytes) {
    return ::pwrite(fd, buf, bytes, at);
  }
  if (static_cast<size_t>(at) >= gRoomBytes) {
    errno = ENOSPC;
    return -1;
  }
  return ::pwrite(fd, buf, gRoomBytes - static_cast<size_t>(at), at);
}

TEST_F(RiffWriterTest, AFileRemovedWhileItWasWrittenDoesNotCloseAsASuccess) {
  const auto folder = dir_ / "gone";
  std::filesystem::create_directory(folder);
  RiffWriter w;
  ASSERT_TRUE(w.create((folder / "a.wav").string()));
  ASSERT_TRUE(w.createChunk(fourCC("RIFF"), fourCC("WAVE")));
  std::filesystem::remove_all(folder);
  EXPECT_TRUE(w.write("data", 4));
  EXPECT_TRUE(w.closeChunk());
  EXPECT_FALSE(w.close());
  EXPECT_EQ(w.lastErrno(), ENOENT);
}

TEST_F(RiffWriterTest, AFullDiskIsReportedAndTheHeadersDescribeWhatIsInTheFile) {
  gRoomBytes = 100000;
  sys::ScopedSysCall hook(&sys::SysCalls::pwrite, &fullDiskPwrite);
  RiffWriter w;
  ASSERT_TRUE(w.create((dir_ / "full.wav").string()));
  ASSERT_TRUE(w.createChunk(fourCC("RIFF"), fourCC("WAVE")));
  ASSERT_TRUE(w.createChunk(fourCC("data")));
  std::string block(2352, '\x11');
  bool failed = false;
  for (int i = 0; i < 200 && !failed; ++i) failed = !w.write(block.data(), block.size());
  EXPECT_TRUE(failed);
  EXPECT_EQ(w.lastErrno(), ENOSPC);
  EXPECT_TRUE(w.closeChunk());  // the data chunk: its size is what reached the disk
  EXPECT_TRUE(w.closeChunk());
  EXPECT_TRUE(w.close());

  const std::string f = readFile(dir_ / "full.wav");
  EXPECT_EQ(f.size(), gRoomBytes);
  EXPECT_EQ(le32(f, 4), f.size() - 8);
  EXPECT_EQ(le32(f, 16), f.size() - 20);
}

}  // namespace
}  // namespace platform::riff
