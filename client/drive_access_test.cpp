#include "client/drive_access.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "platform/sys/sys.h"

namespace client {
namespace {

using platform::deviceio::RefusedDevice;

// Root opens any device whatever its mode: the kernel's refusal is played
// through the system-call wrapper.
int refuseSr0(const char* path, int flags, mode_t mode) {
  if (std::filesystem::path(path).filename() == "sr0") {
    errno = EACCES;
    return -1;
  }
  return platform::sys::realSysCalls().open(path, flags, mode);
}

TEST(DriveAccessAdvice, NamesEachDeviceTheReasonAndTheRemedy) {
  EXPECT_EQ(driveAccessAdvice(std::vector<RefusedDevice>{}), "");
  EXPECT_EQ(driveAccessAdvice({{"/dev/sr0", EACCES, "cdrom"}, {"/dev/sg1", EPERM, ""}}),
            "Cannot open /dev/sr0: permission denied.\n"
            "Cannot open /dev/sg1: permission denied.\n"
            "To use the CD drives, add your user to the group `cdrom`, then log in again.\n");
  // The group that owns the devices, where it is not the usual one.
  EXPECT_NE(driveAccessAdvice({{"/dev/sr0", EACCES, "optical"}}).find("group `optical`, then"), std::string::npos);
  EXPECT_NE(driveAccessAdvice({{"/dev/sr0", EACCES, "root"}}).find("group `cdrom`, then"), std::string::npos);
}

TEST(DriveAccessAdvice, ScansTheDeviceFolderOfTheDriveTable) {
  char pattern[] = "/tmp/rm-advice-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string folder = pattern;
  std::ofstream(folder + "/sr0") << "";
  std::ofstream(folder + "/sr1") << "";
  setenv("RIPMARROW_DEVICE_DIR", folder.c_str(), 1);
  {
    platform::sys::ScopedSysCall open(&platform::sys::SysCalls::open, refuseSr0);
    EXPECT_EQ(driveAccessAdvice().rfind("Cannot open " + folder + "/sr0: permission denied.\nTo use", 0), 0u);
  }
  EXPECT_EQ(driveAccessAdvice(), "");
  unsetenv("RIPMARROW_DEVICE_DIR");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace client
