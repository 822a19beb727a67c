#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "platform/com/com.h"
#include "platform/com/testing/test_widget.h"
#include "platform/registry/registry.h"

namespace {

const std::string kServer = COMRT_TEST_SERVER_PATH;
const std::string kClsid = "{8E6B5A10-2C1F-4A4B-9D3E-6F1A2B3C4D01}";
const std::string kLibid = "{8E6B5A10-2C1F-4A4B-9D3E-6F1A2B3C4D02}";
const std::string kHkcr = "HKEY_CLASSES_ROOT\\";

bool serverLoaded() {
  void* probe = dlopen(kServer.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (probe != nullptr) dlclose(probe);
  return probe != nullptr;
}

HRESULT callExport(const char* name) {
  void* lib = dlopen(kServer.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) return E_FAIL;
  auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(lib, name));
  HRESULT hr = fn != nullptr ? fn() : E_FAIL;
  dlclose(lib);
  return hr;
}

std::set<std::string> subkeys(const std::string& key) {
  std::set<std::string> names;
  for (auto& n : platform::RegistryStore().subkeys(key)) names.insert(n);
  return names;
}

// A fresh RIPMARROW_HOME with the test server registered in it.
class Activation : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/comrt-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    home = pattern;
    setenv("RIPMARROW_HOME", home.c_str(), 1);
    ASSERT_EQ(callExport("DllRegisterServer"), S_OK);
    ASSERT_FALSE(serverLoaded());
  }
  void TearDown() override {
    CoFreeUnusedLibraries();
    std::filesystem::remove_all(home);
  }

  std::string home;
  platform::RegistryStore store;
};

TEST_F(Activation, RegistrationWritesExactlyTheClassKeys) {
  const std::string cls = kHkcr + "CLSID\\" + kClsid;
  EXPECT_EQ(subkeys("HKEY_CLASSES_ROOT"),
            (std::set<std::string>{"CLSID", "ComrtTest.TestWidget", "ComrtTest.TestWidget.1", "TypeLib"}));
  EXPECT_EQ(store.getString(kHkcr + "ComrtTest.TestWidget.1", ""), "TestWidget Class");
  EXPECT_EQ(store.getString(kHkcr + "ComrtTest.TestWidget.1\\CLSID", ""), kClsid);
  EXPECT_EQ(subkeys(kHkcr + "ComrtTest.TestWidget"), (std::set<std::string>{"CLSID", "CurVer"}));
  EXPECT_EQ(store.getString(kHkcr + "ComrtTest.TestWidget\\CurVer", ""), "ComrtTest.TestWidget.1");
  EXPECT_EQ(store.getString(kHkcr + "ComrtTest.TestWidget\\CLSID", ""), kClsid);
  EXPECT_EQ(subkeys(cls), (std::set<std::string>{"InprocServer32", "ProgID", "Programmable", "TypeLib",
                                                 "VersionIndependentProgID"}));
  EXPECT_EQ(store.getString(cls, ""), "TestWidget Class");
  EXPECT_EQ(store.getString(cls + "\\ProgID", ""), "ComrtTest.TestWidget.1");
  EXPECT_EQ(store.getString(cls + "\\VersionIndependentProgID", ""), "ComrtTest.TestWidget");
  EXPECT_EQ(store.getString(cls + "\\InprocServer32", ""), std::filesystem::canonical(kServer).string());
  EXPECT_EQ(store.getString(cls + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(store.getString(cls + "\\TypeLib", ""), kLibid);
  const std::string lib = kHkcr + "TypeLib\\" + kLibid + "\\1.0";
  EXPECT_EQ(store.getString(lib, ""), "ComrtTest 1.0 Type Library");
  EXPECT_EQ(store.getString(lib + "\\0\\win64", ""), std::filesystem::canonical(kServer).string());

  ASSERT_EQ(callExport("DllUnregisterServer"), S_OK);
  // The shared roots stay, empty.
  EXPECT_EQ(subkeys("HKEY_CLASSES_ROOT"), (std::set<std::string>{"CLSID", "TypeLib"}));
  EXPECT_TRUE(subkeys(kHkcr + "CLSID").empty());
  EXPECT_TRUE(subkeys(kHkcr + "TypeLib").empty());
  void* p = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &p),
            REGDB_E_CLASSNOTREG);
}

TEST_F(Activation, UnregistrationLeavesAProgIdTakenOverByAnotherClass) {
  store.setString(kHkcr + "ComrtTest.TestWidget\\CLSID", "", "{00000000-0000-0000-0000-000000000001}");
  ASSERT_EQ(callExport("DllUnregisterServer"), S_OK);
  EXPECT_EQ(subkeys("HKEY_CLASSES_ROOT"), (std::set<std::string>{"CLSID", "ComrtTest.TestWidget", "TypeLib"}));
}

TEST_F(Activation, CreatesByClassIdAndProgIdLoadingTheLibraryOnce) {
  com::ComPtr<ITestWidget> a, b;
  ASSERT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_ITestWidget, a.putVoid()), S_OK);
  LONG sum = 0;
  EXPECT_EQ(a->Add(20, 22, &sum), S_OK);
  EXPECT_EQ(sum, 42);

  CLSID fromProgId{};
  EXPECT_EQ(CLSIDFromProgID(u"ComrtTest.TestWidget", &fromProgId), S_OK);
  EXPECT_EQ(fromProgId, CLSID_TestWidget);
  EXPECT_EQ(CLSIDFromProgID(u"comrttest.testwidget.1", &fromProgId), S_OK);  // names ignore case
  EXPECT_EQ(CLSIDFromProgID(u"ComrtTest.Missing", &fromProgId), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromProgID(u"..\\CLSID", &fromProgId), CO_E_CLASSSTRING);
  ASSERT_EQ(CoCreateInstance(fromProgId, nullptr, CLSCTX_ALL, IID_ITestWidget, b.putVoid()), S_OK);
  // One copy of the library: both objects share their method table.
  EXPECT_EQ(*reinterpret_cast<void**>(a.get()), *reinterpret_cast<void**>(b.get()));
  EXPECT_NE(*reinterpret_cast<void**>(a.get()), nullptr);

  void* p = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_TestWidget, a.get(), CLSCTX_INPROC_SERVER, IID_IUnknown, &p),
            CLASS_E_NOAGGREGATION);
}

TEST_F(Activation, UnusedLibrariesUnloadOnlyWhenTheyAllowIt) {
  com::ComPtr<ITestWidget> widget;
  ASSERT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_ITestWidget, widget.putVoid()),
            S_OK);
  com::ComPtr<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(CLSID_TestWidget, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.putVoid()),
            S_OK);
  factory->LockServer(TRUE);
  factory.reset();
  widget.reset();
  CoFreeUnusedLibraries();
  EXPECT_TRUE(serverLoaded());  // still locked
  ASSERT_EQ(CoGetClassObject(CLSID_TestWidget, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.putVoid()),
            S_OK);
  factory->LockServer(FALSE);
  factory.reset();
  CoFreeUnusedLibraries();
  EXPECT_FALSE(serverLoaded());
  // And it comes back on the next activation.
  ASSERT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_ITestWidget, widget.putVoid()),
            S_OK);
  EXPECT_TRUE(serverLoaded());
}

}  // namespace
