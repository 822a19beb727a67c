// libwnaspi32.so as its users see it: loaded with dlopen, reached only
// through its six C entry points.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/aspi/wnaspi32.h"

namespace {

class AspiLibraryTest : public ::testing::Test {
 protected:
  // One library per process, as its users have it: loaded once with a home
  // folder and a device folder of the test's own, so no drive of the machine
  // running the tests is seen.
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/aspi_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = new std::filesystem::path(pattern);
    std::filesystem::create_directory(*folder / "dev");
    setenv("RIPMARROW_HOME", folder->c_str(), 1);
    setenv("RIPMARROW_DEVICE_DIR", (*folder / "dev").c_str(), 1);
    library = dlopen(RM_WNASPI32_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    supportInfo = reinterpret_cast<GetASPI32SupportInfoFn>(dlsym(library, "GetASPI32SupportInfo"));
    send = reinterpret_cast<SendASPI32CommandFn>(dlsym(library, "SendASPI32Command"));
  }
  static void TearDownTestSuite() {
    if (library != nullptr) dlclose(library);
    if (folder != nullptr) std::filesystem::remove_all(*folder);
    delete folder;
  }

  static inline void* library = nullptr;
  static inline std::filesystem::path* folder = nullptr;
  static inline GetASPI32SupportInfoFn supportInfo = nullptr;
  static inline SendASPI32CommandFn send = nullptr;
};

TEST_F(AspiLibraryTest, ExportsTheSixEntryPointsOnly) {
  for (const char* name : {"GetASPI32SupportInfo", "SendASPI32Command", "GetASPI32Buffer", "FreeASPI32Buffer",
                           "TranslateASPI32Address", "GetASPI32DLLVersion"})
    EXPECT_NE(dlsym(library, name), nullptr) << name;
  for (const char* name : {"GetDriveTypeA", "CreateFileA", "DeviceIoControl", "rm_event_set"})
    EXPECT_EQ(dlsym(library, name), nullptr) << name;

  auto version = reinterpret_cast<GetASPI32DLLVersionFn>(dlsym(library, "GetASPI32DLLVersion"));
  EXPECT_EQ(version() & 0xFF, 4u);
  auto getBuffer = reinterpret_cast<GetASPI32BufferFn>(dlsym(library, "GetASPI32Buffer"));
  auto freeBuffer = reinterpret_cast<FreeASPI32BufferFn>(dlsym(library, "FreeASPI32Buffer"));
  ASPI32BUFF buffer{};
  buffer.AB_BufLen = 4096;
  ASSERT_EQ(getBuffer(&buffer), 1);
  EXPECT_EQ(buffer.AB_BufPointer[4095], 0);
  EXPECT_EQ(freeBuffer(&buffer), 1);
  EXPECT_EQ(freeBuffer(&buffer), 0);
}

TEST_F(AspiLibraryTest, WithoutDrivesThereAreNoAdapters) {
  EXPECT_EQ(supportInfo(), uint32_t(SS_NO_ADAPTERS) << 8);
  SRB_HAInquiry inquiry{};
  inquiry.SRB_Cmd = SC_HA_INQUIRY;
  EXPECT_EQ(send(&inquiry), uint32_t(SS_INVALID_HA));
  EXPECT_EQ(inquiry.SRB_Status, SS_INVALID_HA);
  EXPECT_EQ(inquiry.HA_Count, 0);

  SRB_ExecSCSICmd command{};
  command.SRB_Cmd = SC_EXEC_SCSI_CMD;
  command.SRB_CDBLen = 6;
  EXPECT_EQ(send(&command), uint32_t(SS_INVALID_HA));

  SRB_Header unknown{};
  unknown.SRB_Cmd = SC_RESET_DEV;
  EXPECT_EQ(send(&unknown), uint32_t(SS_INVALID_SRB));
  EXPECT_EQ(unknown.SRB_Status, SS_INVALID_SRB);
  EXPECT_EQ(send(nullptr), uint32_t(SS_INVALID_SRB));
}

}  // namespace
