#include "platform/home/home.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace platform::home {
namespace {

TEST(HomeTest, FollowsTheVariableAtEachCallAndResolvesBareNamesIntoIt) {
  char pattern[] = "/tmp/rm_home_XXXXXX";
  const std::filesystem::path tmp = ::mkdtemp(pattern);
  const auto home = tmp / "deep" / "home";
  ::setenv("RIPMARROW_HOME", home.c_str(), 1);
  EXPECT_EQ(homeDir(), home);
  EXPECT_FALSE(std::filesystem::exists(home));  // not created by asking
  EXPECT_EQ(resolveFile("cdplayer.ini"), home / "cdplayer.ini");
  EXPECT_TRUE(std::filesystem::is_directory(home));  // created for a file kept there
  EXPECT_EQ(resolveFile("/etc/some.ini"), std::filesystem::path("/etc/some.ini"));
  EXPECT_EQ(resolveFile("sub/x.ini"), std::filesystem::path("sub/x.ini"));

  ::setenv("RIPMARROW_HOME", "", 1);
  ::setenv("HOME", tmp.c_str(), 1);
  EXPECT_EQ(homeDir(), tmp / ".config" / "Ripmarrow");
  ::unsetenv("RIPMARROW_HOME");
  EXPECT_EQ(homeDir(), tmp / ".config" / "Ripmarrow");
  std::filesystem::remove_all(tmp);
}

}  // namespace
}  // namespace platform::home
