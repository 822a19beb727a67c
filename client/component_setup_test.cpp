#include "client/component_setup.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>

#include "platform/home/install_layout.h"
#include "platform/registry/registry.h"

namespace client {
namespace {

const char kEngineServer[] = "HKEY_CLASSES_ROOT\\CLSID\\{5A1981F1-BA41-4EE3-8B4D-436A3D4CFB95}\\InprocServer32";

class ComponentSetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm-setup-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    home_ = pattern;
    setenv("RIPMARROW_HOME", home_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("RIPMARROW_HOME");
    std::filesystem::remove_all(home_);
  }
  std::string home_;
};

TEST_F(ComponentSetupTest, ANewHomeIsRegisteredFromTheTreeTheProgramRunsFrom) {
  const std::vector<std::string> all = {"libtrackmill2.so", "libwavesmith2.so", "libtonemeter2.so"};
  EXPECT_EQ(componentsRegisteredElsewhere(), all);
  std::ostringstream log;
  EXPECT_TRUE(ensureComponentsRegistered(log));
  EXPECT_NE(log.str().find("registered libtrackmill2.so"), std::string::npos) << log.str();
  EXPECT_TRUE(componentsRegisteredElsewhere().empty());
  const auto registered = platform::RegistryStore().getString(kEngineServer, "");
  ASSERT_TRUE(registered.has_value());
  EXPECT_TRUE(std::filesystem::equivalent(*registered, platform::home::privateLibraryFolder() / "libtrackmill2.so"));
  // Registered already: nothing is done again.
  std::ostringstream again;
  EXPECT_TRUE(ensureComponentsRegistered(again));
  EXPECT_EQ(again.str(), "");
}

TEST_F(ComponentSetupTest, AHomeThatNamesAnotherCopyIsRegisteredAgain) {
  std::ostringstream log;
  ASSERT_TRUE(ensureComponentsRegistered(log));
  // An older installation, or a copy since removed.
  ASSERT_TRUE(platform::RegistryStore().setString(kEngineServer, "", "/opt/old/lib/ripmarrow/libtrackmill2.so"));
  EXPECT_EQ(componentsRegisteredElsewhere(), std::vector<std::string>{"libtrackmill2.so"});
  EXPECT_TRUE(ensureComponentsRegistered(log));
  EXPECT_TRUE(componentsRegisteredElsewhere().empty());
  EXPECT_NE(*platform::RegistryStore().getString(kEngineServer, ""), "/opt/old/lib/ripmarrow/libtrackmill2.so");
}

}  // namespace
}  // namespace client
