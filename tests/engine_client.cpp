#include "tests/engine_client.h"

#include <dlfcn.h>
#include <algorithm>
#include <pthread.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/registry/registry.h"

namespace tests {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

namespace {

void writeFile(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

HRESULT registerLibrary(const char* path) {
  void* library = dlopen(path, RTLD_NOW);
  if (library == nullptr) return E_FAIL;
  auto entry = reinterpret_cast<HRESULT (*)()>(dlsym(library, "DllRegisterServer"));
  const HRESULT hr = entry != nullptr ? entry() : E_FAIL;
  dlclose(library);
  return hr;
}

}  // namespace

void EngineHomeTest::SetUp() {
  char pattern[] = "/tmp/rm_engine_it.XXXXXX";
  home_ = mkdtemp(pattern);
  setenv("RIPMARROW_HOME", home_.c_str(), 1);
  setenv("RIPMARROW_DEVICE_DIR", home_.c_str(), 1);  // no real drives
  oldCwd_ = std::filesystem::current_path().string();
  std::filesystem::current_path(home_);
  writeFile(home_ + "/audio.disc",
            "disc seed=3\ntrack kind=tone length=0:10:00 freq=440\ntrack kind=tone length=0:08:00 freq=550\n");
  writeFile(home_ + "/mixed.disc",
            "disc seed=4\ntrack kind=data length=0:20:00\ntrack kind=tone length=0:10:00 freq=440\n"
            "track kind=tone length=0:07:00 freq=440\n");
  writeFile(home_ + "/extra.disc",
            "disc seed=5\ntrack kind=tone length=0:10:00 freq=440\nsession\ntrack kind=data length=0:30:00\n");
  writeFile(home_ + "/vdrives.ini",
            "[E]\nimage=audio.disc\naddress=0:0:0:0\n[F]\nimage=mixed.disc\naddress=0:0:1:0\n"
            "[G]\nimage=extra.disc\naddress=0:0:2:0\n");
  ASSERT_EQ(registerLibrary(RIPMARROW_TRACKMILL2_PATH), S_OK);
  CoInitialize(nullptr);
}

void EngineHomeTest::TearDown() {
  // Unloads the engine, so that the next test's engine reads its own home.
  CoFreeUnusedLibraries();
  CoUninitialize();
  std::filesystem::current_path(oldCwd_);
  std::filesystem::remove_all(home_);
  unsetenv("RIPMARROW_DEVICE_DIR");
}

void EngineHomeTest::setLog(const char* level) {
  platform::RegistryStore().setString("HKEY_LOCAL_MACHINE\\Software\\Veltrosa\\Cadmerion\\AudioCDRipper2", "Log",
                                      level);
}

class EngineClient::Sink final : public com::EventSink<EngineClient::Sink, DIID__IAudioCDRipper2Events> {
 public:
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    if (id == DISPID_AudioCDRipper2_Error && params != nullptr && params->cArgs == 1) {
      errors.push_back(params->rgvarg[0].lVal);
    }
    threads.push_back(pthread_self());
    return S_OK;
  }
  std::vector<LONG> errors;
  std::vector<pthread_t> threads;
};

EngineClient::EngineClient() {
  EXPECT_EQ(CoCreateInstance(CLSID_AudioCDRipper2, nullptr, CLSCTX_INPROC_SERVER, IID_IAudioCDRipper2,
                             engine_.putVoid()),
            S_OK);
  if (!engine_) return;
  sink_ = com::make<Sink>();
  com::ComPtr<IConnectionPointContainer> container;
  EXPECT_EQ(engine_.as(&container), S_OK);
  EXPECT_EQ(container->FindConnectionPoint(DIID__IAudioCDRipper2Events, point_.put()), S_OK);
  EXPECT_EQ(point_->Advise(sink_->identity(), &cookie_), S_OK);
}

EngineClient::~EngineClient() {
  if (engine_) engine_->DriverClose();  // a second close does no harm
  if (point_) point_->Unadvise(cookie_);
}

DISPID EngineClient::dispid(const char* name) const {
  std::u16string wide(name, name + std::char_traits<char>::length(name));
  LPOLESTR names[] = {wide.data()};
  DISPID id = DISPID_UNKNOWN;
  engine_->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
  return id;
}

HRESULT EngineClient::call(const char* name, std::vector<VARIANT> args, VARIANT* result) {
  std::reverse(args.begin(), args.end());  // last first, as IDispatch takes them
  DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
  return dispatch()->Invoke(dispid(name), IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, result,
                            nullptr, nullptr);
}

HRESULT EngineClient::put(const char* name, VARIANT value) {
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&value, &named, 1, 1};
  return dispatch()->Invoke(dispid(name), IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
}

LONG EngineClient::getLong(const char* name) {
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(call(name, {}, &result), S_OK) << name;
  VARIANT converted;
  VariantInit(&converted);
  LONG value = -1;
  if (SUCCEEDED(VariantChangeType(&converted, &result, 0, VT_I4))) value = converted.lVal;
  VariantClear(&result);
  return value;
}

std::vector<LONG> EngineClient::errors() const { return sink_ ? sink_->errors : std::vector<LONG>{}; }

bool EngineClient::eventsOnThisThread() const {
  for (pthread_t t : sink_->threads)
    if (!pthread_equal(t, pthread_self())) return false;
  return true;
}

}  // namespace tests
