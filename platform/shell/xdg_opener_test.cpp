#include "platform/shell/xdg_opener.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace platform {
namespace {

TEST(XdgOpenerTest, PassesTheTargetAsOneArgumentWithoutAShell) {
  std::vector<std::vector<std::string>> started;
  XdgOpener opener("xdg-open", [&](const std::vector<std::string>& argv) {
    started.push_back(argv);
    return 0;
  });
  EXPECT_TRUE(opener.open("/home/u/Music/My Album; rm -rf ~ $(x)/"));
  EXPECT_TRUE(opener.open("-help"));
  EXPECT_TRUE(opener.open("mailto:support@example.com"));
  EXPECT_FALSE(opener.open(""));
  EXPECT_FALSE(opener.open(std::string_view("a\0b", 3)));
  ASSERT_EQ(started.size(), 3u);
  EXPECT_EQ(started[0], (std::vector<std::string>{"xdg-open", "/home/u/Music/My Album; rm -rf ~ $(x)/"}));
  EXPECT_EQ(started[1], (std::vector<std::string>{"xdg-open", "./-help"}));
  EXPECT_EQ(started[2][1], "mailto:support@example.com");
}

TEST(XdgOpenerTest, ReportsWhetherTheProgramCouldBeStarted) {
  EXPECT_TRUE(XdgOpener("true").open("/tmp"));
  EXPECT_FALSE(XdgOpener("ripmarrow-no-such-program").open("/tmp"));
  XdgOpener failing("xdg-open", [](const std::vector<std::string>&) { return EACCES; });
  EXPECT_FALSE(failing.open("/tmp"));
}

}  // namespace
}  // namespace platform
