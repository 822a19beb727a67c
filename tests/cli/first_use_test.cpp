// The command line on first use in a new home, as its users run it: no
// `register` step, the version, and drives the user may not open.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "client/component_setup.h"
#include "platform/com/objbase.h"
#include "platform/sys/sys.h"
#include "platform/version/product_version.h"
#include "ripmarrow/info_command.h"
#include "tests/cli/program_run.h"

namespace {

class FirstUseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm-first-use-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    home_ = pattern;
    setenv("RIPMARROW_HOME", home_.c_str(), 1);  // the programs run inherit it
  }
  void TearDown() override {
    unsetenv("RIPMARROW_HOME");
    std::filesystem::remove_all(home_);
  }
  std::string home_;
};

TEST_F(FirstUseTest, VersionAndARipOfTheDemoDiscWithoutRegistering) {
  const cli_testing::Result version = cli_testing::runRipmarrow(home_, "--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("ripmarrow ") + platform::productVersion() + "\n");
  EXPECT_FALSE(std::filesystem::exists(home_ + "/registry.ini"));  // --version needs no engine

  const cli_testing::Result info = cli_testing::runRipmarrow(home_, "--vdrive info");
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("Drives: 1"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("Tracks: 4"), std::string::npos) << info.out;
  const std::string registry = cli_testing::readFile(home_ + "/registry.ini");
  EXPECT_NE(registry.find("/ripmarrow/libtrackmill2.so"), std::string::npos) << registry;

  // A home that names another copy (one since removed) is registered again.
  std::string moved = registry;
  for (size_t at = 0; (at = moved.find("=/", at)) != std::string::npos; at += 2) moved.insert(at + 1, "/gone");
  std::ofstream(home_ + "/registry.ini") << moved;
  const cli_testing::Result rip =
      cli_testing::runRipmarrow(home_, "--vdrive rip --tracks 1 --format wav --titles none --out '" + home_ + "/out'");
  EXPECT_EQ(rip.status, 0) << rip.err;
  EXPECT_TRUE(std::filesystem::exists(home_ + "/out/Track01.wav")) << rip.out;
  EXPECT_EQ(cli_testing::readFile(home_ + "/registry.ini").find("=//gone"), std::string::npos);
  EXPECT_NE(cli_testing::readFile(home_ + "/out/ripmarrow.log").find(std::string("ripmarrow ") + platform::productVersion()),
            std::string::npos);
}

// Root opens any device whatever its mode: the kernel's refusal is played
// through the system-call wrapper of this process.
int refuseCdDevices(const char* path, int flags, mode_t mode) {
  const std::string name = std::filesystem::path(path).filename().string();
  if (name == "sr0" || name == "sg0") {
    errno = EACCES;
    return -1;
  }
  return platform::sys::realSysCalls().open(path, flags, mode);
}

TEST_F(FirstUseTest, InfoNamesTheDrivesThatMayNotBeOpenedAndTheRemedy) {
  std::ofstream(home_ + "/sr0") << "";
  std::ofstream(home_ + "/sg0") << "";
  setenv("RIPMARROW_DEVICE_DIR", home_.c_str(), 1);
  std::ostringstream out;
  std::ostringstream err;
  {
    platform::sys::ScopedSysCall open(&platform::sys::SysCalls::open, refuseCdDevices);
    CoInitialize(nullptr);
    ASSERT_TRUE(client::ensureComponentsRegistered(err)) << err.str();
    ripmarrow::InfoCommand::run({}, out, err);
    CoUninitialize();
  }
  EXPECT_NE(out.str().find("Drives: 0\nCannot open " + home_ + "/sr0: permission denied.\nCannot open " + home_ +
                           "/sg0: permission denied.\nTo use the CD drives, add your user to the group `cdrom`, "
                           "then log in again.\n"),
            std::string::npos)
      << out.str() << err.str();
  unsetenv("RIPMARROW_DEVICE_DIR");
}

}  // namespace
