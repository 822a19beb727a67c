#include "platform/profile/profile.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/sys/sys.h"

namespace platform {
namespace {

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm_profile_XXXXXX";
    dir_ = ::mkdtemp(pattern);
    ::setenv("RIPMARROW_HOME", dir_.c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void writeFile(const char* name, const std::string& text) { std::ofstream(dir_ / name, std::ios::binary) << text; }
  std::string readFile(const char* name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
  std::filesystem::path dir_;
};

TEST_F(ProfileTest, StringReadsFollowTheWindowsBufferRules) {
  writeFile("cdplayer.ini", "[C0C2D]\nARTIST=Some Band\n");
  char buf[8];
  EXPECT_EQ(GetPrivateProfileStringA("c0c2d", "artist", "x", buf, sizeof buf, "cdplayer.ini"), 7u);
  EXPECT_STREQ(buf, "Some Ba");  // cut to size - 1
  EXPECT_EQ(GetPrivateProfileStringA("c0c2d", "title", "dflt  ", buf, sizeof buf, "cdplayer.ini"), 4u);
  EXPECT_STREQ(buf, "dflt");  // the default loses its trailing blanks
  EXPECT_EQ(GetPrivateProfileStringA("c0c2d", "title", nullptr, buf, sizeof buf, "cdplayer.ini"), 0u);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(GetPrivateProfileStringA("x", "y", "Track 1", buf, sizeof buf, "missing.ini"), 7u);
  EXPECT_EQ(GetPrivateProfileStringA("x", "y", "z", buf, 0, "missing.ini"), 0u);
}

TEST_F(ProfileTest, NullSectionOrKeyListsNamesWithTheWindowsTruncation) {
  writeFile("l.ini", "[ab]\nk1=1\nk2=2\n[cd]\n");
  char buf[16];
  std::memset(buf, 'X', sizeof buf);
  EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", buf, sizeof buf, "l.ini"), 6u);
  EXPECT_EQ(std::string(buf, 7), std::string("ab\0cd\0\0", 7));
  EXPECT_EQ(GetPrivateProfileStringA("AB", nullptr, "", buf, sizeof buf, "l.ini"), 6u);
  EXPECT_EQ(std::string(buf, 7), std::string("k1\0k2\0\0", 7));
  // Five bytes: "k1\0k" then the two terminators would need six; the last
  // name is cut and the list ends in two terminators.
  EXPECT_EQ(GetPrivateProfileStringA("ab", nullptr, "", buf, 5, "l.ini"), 3u);
  EXPECT_EQ(std::string(buf, 5), std::string("k1\0\0\0", 5));
  EXPECT_EQ(GetPrivateProfileStringA("none", nullptr, "", buf, sizeof buf, "l.ini"), 0u);
  EXPECT_EQ(std::string(buf, 2), std::string("\0\0", 2));
}

TEST_F(ProfileTest, IntegersReadAsLeadingSignAndDigits) {
  writeFile("n.ini",
            "[n]\na=42\nb= -7 \nc=12abc\nd=abc\ne=\nf=+5\ng=99999999999\nh=\"17\"\ni=-\n");
  EXPECT_EQ(GetPrivateProfileIntA("N", "a", 5, "n.ini"), 42u);
  EXPECT_EQ(static_cast<INT>(GetPrivateProfileIntA("n", "b", 5, "n.ini")), -7);
  EXPECT_EQ(GetPrivateProfileIntA("n", "c", 5, "n.ini"), 12u);
  EXPECT_EQ(GetPrivateProfileIntA("n", "d", 5, "n.ini"), 5u);
  EXPECT_EQ(GetPrivateProfileIntA("n", "e", 5, "n.ini"), 5u);
  EXPECT_EQ(GetPrivateProfileIntA("n", "f", 0, "n.ini"), 5u);
  EXPECT_EQ(GetPrivateProfileIntA("n", "g", 0, "n.ini"), static_cast<UINT>(INT_MAX));
  EXPECT_EQ(GetPrivateProfileIntA("n", "h", 0, "n.ini"), 17u);
  EXPECT_EQ(GetPrivateProfileIntA("n", "i", 3, "n.ini"), 3u);
  EXPECT_EQ(GetPrivateProfileIntA("n", "missing", 80, "n.ini"), 80u);
  ProfileFile file("n.ini");
  EXPECT_TRUE(file.readBool("n", "a", false));
  EXPECT_TRUE(file.readBool("n", "missing", true));
  EXPECT_FALSE(file.readBool("n", "d", false));
}

TEST_F(ProfileTest, WritesAppendDeleteAndResolveBareNamesIntoTheHome) {
  EXPECT_TRUE(WritePrivateProfileStringA("basic", "format", "1", "quavern.ini"));
  EXPECT_TRUE(WritePrivateProfileStringA("cd", "drive speed", "8", "quavern.ini"));
  EXPECT_TRUE(WritePrivateProfileStringA("BASIC", "output directory", "/home/u/Music/", "quavern.ini"));
  EXPECT_EQ(readFile("quavern.ini"), "[basic]\nformat=1\noutput directory=/home/u/Music/\n[cd]\ndrive speed=8\n");
  EXPECT_TRUE(WritePrivateProfileStringA("basic", "FORMAT", nullptr, "quavern.ini"));
  EXPECT_TRUE(WritePrivateProfileStringA("cd", nullptr, nullptr, "quavern.ini"));
  EXPECT_EQ(readFile("quavern.ini"), "[basic]\noutput directory=/home/u/Music/\n");
  EXPECT_FALSE(WritePrivateProfileStringA("basic", "a=b", "v", "quavern.ini"));
  EXPECT_FALSE(WritePrivateProfileStringA("basic", "k", "v", (dir_ / "no" / "such" / "dir.ini").c_str()));
  EXPECT_TRUE(WritePrivateProfileStringA("w", "k", "v", nullptr));
  EXPECT_TRUE(std::filesystem::exists(dir_ / "win.ini"));
}

int failingRename(const char*, const char*) {
  errno = EXDEV;
  return -1;
}

TEST_F(ProfileTest, AFailedRewriteLeavesTheOldFileWhole) {
  const std::string original = "; keep\r\n[s]\r\nk=old\r\n";
  writeFile("a.ini", original);
  {
    sys::ScopedSysCall guard(&sys::SysCalls::rename, failingRename);
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "new", "a.ini"));
  }
  EXPECT_EQ(readFile("a.ini"), original);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
  EXPECT_TRUE(WritePrivateProfileStringA("s", "k", "new", "a.ini"));
  EXPECT_EQ(readFile("a.ini"), "; keep\r\n[s]\r\nk=new\r\n");
}

}  // namespace
}  // namespace platform
