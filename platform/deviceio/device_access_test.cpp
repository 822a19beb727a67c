#include "platform/deviceio/device_access.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/sys/sys.h"

namespace platform::deviceio {
namespace {

// Tests run as root, whom file modes do not stop: the kernel's refusal is
// played through the system-call wrapper instead.
std::set<std::string>* gRefused = nullptr;
int gRefusal = EACCES;

int refusingOpen(const char* path, int flags, mode_t mode) {
  if (gRefused != nullptr && gRefused->count(std::filesystem::path(path).filename().string()) != 0) {
    errno = gRefusal;
    return -1;
  }
  return sys::realSysCalls().open(path, flags, mode);
}

class DeviceAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm-devices-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    for (const char* name : {"sr0", "sr1", "sr10", "sg0", "sg2", "sda", "srx", "sg"}) std::ofstream(folder_ + "/" + name) << "";
    gRefused = &refused_;
    gRefusal = EACCES;
  }
  void TearDown() override {
    gRefused = nullptr;
    std::filesystem::remove_all(folder_);
  }

  std::string folder_;
  std::set<std::string> refused_;
  sys::ScopedSysCall<decltype(sys::SysCalls::open)> open_{&sys::SysCalls::open, refusingOpen};
};

TEST_F(DeviceAccessTest, DevicesThatOpenAreNotNamed) {
  EXPECT_TRUE(refusedCdDevices(folder_).empty());
}

TEST_F(DeviceAccessTest, RefusedCdDevicesAreNamedInOrderWithTheRemedy) {
  refused_ = {"sr10", "sr1", "sg2", "sda"};  // sda is no CD device and is never tried
  const std::vector<RefusedDevice> refused = refusedCdDevices(folder_);
  ASSERT_EQ(refused.size(), 3u);
  EXPECT_EQ(refused[0].path, folder_ + "/sr1");
  EXPECT_EQ(refused[1].path, folder_ + "/sr10");
  EXPECT_EQ(refused[2].path, folder_ + "/sg2");
  EXPECT_EQ(refused[0].error, EACCES);
}

TEST_F(DeviceAccessTest, TheScanFolderIsTheDriveTablesAndOtherFailuresAreNotPermissions) {
  refused_ = {"sr0"};
  const char* saved = std::getenv("RIPMARROW_DEVICE_DIR");
  const std::string savedValue = saved != nullptr ? saved : "";
  setenv("RIPMARROW_DEVICE_DIR", folder_.c_str(), 1);
  EXPECT_EQ(refusedCdDevices().size(), 1u);
  gRefusal = ENXIO;  // a device without its drive: not a matter of rights
  EXPECT_TRUE(refusedCdDevices().empty());
  if (saved != nullptr) {
    setenv("RIPMARROW_DEVICE_DIR", savedValue.c_str(), 1);
  } else {
    unsetenv("RIPMARROW_DEVICE_DIR");
  }
}

}  // namespace
}  // namespace platform::deviceio
