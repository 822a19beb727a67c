#include "platform/version/version.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(VersionTest, ReportsAnNtClassSystemInEitherLayout) {
  OSVERSIONINFOA info;
  std::memset(&info, 0x55, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(info.dwMajorVersion, 10u);
  EXPECT_EQ(info.dwMinorVersion, 0u);
  EXPECT_GT(info.dwBuildNumber, 0u);
  EXPECT_STREQ(info.szCSDVersion, "");

  OSVERSIONINFOEXA ex;
  std::memset(&ex, 0x55, sizeof ex);
  ex.dwOSVersionInfoSize = sizeof ex;
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex)));
  EXPECT_EQ(ex.dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(ex.wServicePackMajor, 0);
  EXPECT_EQ(ex.wProductType, VER_NT_WORKSTATION);
}

TEST(VersionTest, RefusesAnyOtherSizeWithoutWritingPastIt) {
  alignas(OSVERSIONINFOEXA) unsigned char raw[sizeof(OSVERSIONINFOEXA)];
  std::memset(raw, 0x55, sizeof raw);
  DWORD size = 20;  // a caller that got the size wrong
  std::memcpy(raw, &size, sizeof size);
  EXPECT_FALSE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(raw)));
  for (size_t i = sizeof size; i < sizeof raw; ++i) ASSERT_EQ(raw[i], 0x55) << i;
  EXPECT_FALSE(GetVersionExA(nullptr));
}

}  // namespace
