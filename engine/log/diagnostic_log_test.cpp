#include "engine/log/diagnostic_log.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/registry/registry.h"

namespace engine::log {
namespace {

class DiagnosticLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm_log_test.XXXXXX";
    dir_ = mkdtemp(pattern);
    setenv("RIPMARROW_HOME", dir_.c_str(), 1);
    path_ = dir_ + "/audioripper.log";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void setSwitch(const char* value) {
    platform::RegistryStore().setString(std::string("HKEY_LOCAL_MACHINE\\") + kLogSwitchKey, "Log", value);
  }
  std::string contents() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string dir_;
  std::string path_;
};

TEST_F(DiagnosticLogTest, SwitchIsCaseSensitiveAndOffByDefault) {
  EXPECT_EQ(ReadLogLevel(), kLevelOff);
  setSwitch("Normal");
  EXPECT_EQ(ReadLogLevel(), kLevelNormal);
  setSwitch("Extended");
  EXPECT_EQ(ReadLogLevel(), kLevelExtended);
  setSwitch("normal");
  EXPECT_EQ(ReadLogLevel(), kLevelOff);
  setSwitch("No");
  EXPECT_EQ(ReadLogLevel(), kLevelOff);
}

TEST_F(DiagnosticLogTest, LevelZeroCreatesNoFile) {
  { DiagnosticLog log(kLevelOff, path_); log.line("x"); }
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(DiagnosticLogTest, LinesEndInCrLfAndValuesFollowASpace) {
  {
    DiagnosticLog log(kLevelNormal, path_);
    log.line("Get Drive list");
    log.value("Found Drives: ", -2);
    log.pair("Letter:", "E:\\");
    log.flush();
  }
  EXPECT_EQ(contents(), "Get Drive list\r\nFound Drives:  -2\r\nLetter: E:\\\r\n");
}

TEST_F(DiagnosticLogTest, SecondLogInTheSameFolderGetsNothingAndTruncatesNothing) {
  DiagnosticLog first(kLevelNormal, path_);
  first.line("first");
  {
    DiagnosticLog second(kLevelNormal, path_);
    EXPECT_FALSE(second.usable());
    second.line("second");
  }
  first.line("again");
  EXPECT_EQ(contents(), "first\r\nagain\r\n");
}

TEST_F(DiagnosticLogTest, ANewLogReplacesAnOldFile) {
  { std::ofstream(path_) << "old contents\n"; }
  { DiagnosticLog log(kLevelExtended, path_); log.line("new"); }
  EXPECT_EQ(contents(), "new\r\n");
}

}  // namespace
}  // namespace engine::log
