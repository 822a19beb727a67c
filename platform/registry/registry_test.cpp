#include "platform/registry/registry.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace platform {
namespace {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm_registry_XXXXXX";
    dir_ = ::mkdtemp(pattern);
    ::setenv("RIPMARROW_HOME", dir_.c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
  RegistryStore store;
  EXPECT_TRUE(store.filePath().empty());
  ASSERT_TRUE(store.setString("HKEY_LOCAL_MACHINE\\Software\\Veltrosa\\App", "Log", "Normal"));
  ASSERT_TRUE(store.setString("hkey_local_machine\\SOFTWARE\\veltrosa\\app", "LOG", "Extended"));
  EXPECT_EQ(store.getString("HKEY_LOCAL_MACHINE\\software\\Veltrosa\\APP", "log"), "Extended");
  EXPECT_EQ(store.subkeys("HKEY_LOCAL_MACHINE\\Software"), std::vector<std::string>{"Veltrosa"});
  EXPECT_TRUE(store.keyExists("HKEY_LOCAL_MACHINE\\Software"));  // parents exist too
  EXPECT_TRUE(std::filesystem::exists(dir_ / "registry.ini"));
  std::ifstream in(dir_ / "registry.ini");
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\Veltrosa\\App]\nLog=Extended\n"), std::string::npos) << text;
}

TEST_F(RegistryTest, TwoStoresOnOneFileSeeEachOther) {
  const std::string file = (dir_ / "shared.ini").string();
  RegistryStore a(file);
  RegistryStore b(file);
  ASSERT_TRUE(a.setString("HKEY_CLASSES_ROOT\\CLSID\\{1}", "", "one"));
  ASSERT_TRUE(b.setString("HKEY_CLASSES_ROOT\\CLSID\\{2}", "", "two"));
  EXPECT_EQ(a.getString("HKEY_CLASSES_ROOT\\CLSID\\{2}", ""), "two");
  EXPECT_EQ(b.getString("HKEY_CLASSES_ROOT\\CLSID\\{1}", ""), "one");
  EXPECT_TRUE(b.deleteKey("HKEY_CLASSES_ROOT\\CLSID"));
  EXPECT_FALSE(a.keyExists("HKEY_CLASSES_ROOT\\CLSID\\{1}"));
  EXPECT_FALSE(a.deleteValue("HKEY_CLASSES_ROOT\\CLSID\\{1}", ""));
}

TEST_F(RegistryTest, Win32CallsOpenCreateQueryAndDelete) {
  HKEY missing = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Nobody", 0, KEY_READ, &missing), ERROR_FILE_NOT_FOUND);

  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{X}\\InprocServer32", &key), ERROR_SUCCESS);
  const char path[] = "/usr/lib/libx.so";
  ASSERT_EQ(RegSetValueExA(key, nullptr, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof path), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  HKEY readOnly = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "clsid\\{x}\\inprocserver32", 0, KEY_READ, &readOnly), ERROR_SUCCESS);
  DWORD type = 0;
  DWORD bytes = 0;
  EXPECT_EQ(RegQueryValueExA(readOnly, "", &type, nullptr, &bytes), ERROR_SUCCESS);
  EXPECT_EQ(bytes, sizeof path);
  EXPECT_EQ(type, REG_SZ);
  char small[4];
  bytes = sizeof small;
  EXPECT_EQ(RegQueryValueExA(readOnly, "", nullptr, reinterpret_cast<BYTE*>(small), &bytes), ERROR_MORE_DATA);
  EXPECT_EQ(bytes, sizeof path);
  char buf[64];
  bytes = sizeof buf;
  EXPECT_EQ(RegQueryValueExA(readOnly, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &bytes), ERROR_SUCCESS);
  EXPECT_STREQ(buf, path);
  EXPECT_EQ(RegQueryValueExA(readOnly, "ThreadingModel", nullptr, nullptr, &bytes), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegSetValueExA(readOnly, "x", REG_SZ, reinterpret_cast<const BYTE*>("y"), 2), ERROR_ACCESS_DENIED);
  char name[32];
  HKEY clsid = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &clsid), ERROR_SUCCESS);
  EXPECT_EQ(RegEnumKeyA(clsid, 0, name, sizeof name), ERROR_SUCCESS);
  EXPECT_STREQ(name, "{X}");
  EXPECT_EQ(RegEnumKeyA(clsid, 1, name, sizeof name), ERROR_NO_MORE_ITEMS);
  RegCloseKey(clsid);
  RegCloseKey(readOnly);

  EXPECT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID\\{X}"), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{X}", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST_F(RegistryTest, FullAccessIsRefusedWhenTheStoreCannotBeWritten) {
  RegistryStore store;
  ASSERT_TRUE(store.setString("HKEY_LOCAL_MACHINE\\Software\\A", "Log", "Normal"));
  // A home that is a plain file: nothing can be written below it.
  const auto blocked = dir_ / "blocked";
  { std::ofstream(blocked) << "x"; }
  ::setenv("RIPMARROW_HOME", blocked.c_str(), 1);
  HKEY key = nullptr;
  EXPECT_FALSE(RegistryStore().writable());
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\A", &key), ERROR_ACCESS_DENIED);
  ::setenv("RIPMARROW_HOME", dir_.c_str(), 1);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\A", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  RegCloseKey(key);
}

}  // namespace
}  // namespace platform
