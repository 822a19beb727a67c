#include "platform/registry/registry_file.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace platform {
namespace {

TEST(RegistryFileTest, AwkwardNamesAndValuesComeBackExactlyAndAddNothing) {
  const std::vector<std::pair<std::string, std::string>> awkward = {
      {"@", "at"},
      {"", "default"},
      {"a=b", "x=y"},
      {"[x]", "[section]"},
      {";c", ";comment"},
      {" padded ", "  two blanks  "},
      {"%41", "100%"},
      {"line\r\nbreak", "v\n[HKEY_LOCAL_MACHINE\\Evil]\nInjected=1\r\n"},
      {std::string("nul\0inside", 10), std::string("a\0b", 3)},
      {"\xC3\xA9t\xC3\xA9", "\xE2\x82\xAC"},
  };
  RegistryFile file;
  RegistryFile::Key& key = file.create("HKEY_CLASSES_ROOT\\Weird]Key\n[Other]");
  for (const auto& [name, value] : awkward) RegistryFile::setValue(key, name, value);

  const std::string text = file.serialize();
  const RegistryFile back = RegistryFile::parse(text);
  // Only the root and the key itself: nothing injected.
  ASSERT_EQ(back.keys().size(), 2u) << text;
  const RegistryFile::Key* read = back.find("hkey_classes_root\\weird]key\n[other]");
  ASSERT_NE(read, nullptr) << text;
  ASSERT_EQ(read->values.size(), awkward.size()) << text;
  for (const auto& [name, value] : awkward) {
    const std::string* got = RegistryFile::findValue(*read, name);
    ASSERT_NE(got, nullptr) << name;
    EXPECT_EQ(*got, value) << name;
  }
}

TEST(RegistryFileTest, ReadsAHandEditedFile) {
  const RegistryFile file = RegistryFile::parse(
      "; written by hand\r\n"
      "[ HKEY_LOCAL_MACHINE\\\\Software\\Veltrosa\\ ]\r\n"
      "  Log =  Extended \r\n"
      "garbage line\n"
      "[HKEY_LOCAL_MACHINE\\software\\veltrosa]\n"
      "log=ignored\n"
      "Other=kept\n"
      "orphan=before any section?\n");
  const RegistryFile::Key* key = file.find("HKEY_LOCAL_MACHINE\\Software\\Veltrosa");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->path, "HKEY_LOCAL_MACHINE\\Software\\Veltrosa");
  EXPECT_EQ(*RegistryFile::findValue(*key, "LOG"), "Extended");  // the first one wins
  EXPECT_EQ(*RegistryFile::findValue(*key, "other"), "kept");
  EXPECT_TRUE(file.exists("hkey_local_machine\\software"));
}

TEST(RegistryFileTest, RemovingAKeyTakesItsSubtreeButNotItsNamesakes) {
  RegistryFile file;
  file.create("R\\A\\B\\C");
  file.create("R\\AB");
  file.create("R\\A2");
  EXPECT_TRUE(file.remove("r\\a"));
  EXPECT_FALSE(file.exists("R\\A"));
  EXPECT_FALSE(file.exists("R\\A\\B\\C"));
  EXPECT_EQ(file.subkeys("R"), (std::vector<std::string>{"AB", "A2"}));
  EXPECT_FALSE(file.remove("R\\A"));
}

}  // namespace
}  // namespace platform
