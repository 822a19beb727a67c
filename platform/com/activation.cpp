// Activation: CLSID -> InprocServer32 in the registry store -> the library,
// loaded once with dlopen, asked with DllGetClassObject; and the unloading
// of libraries whose DllCanUnloadNow allows it.
#include <dlfcn.h>

#include <map>
#include <mutex>
#include <string>

#include "platform/com/objbase.h"
#include "platform/registry/registry.h"

namespace {

using GetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT (*)();

struct Library {
  void* handle = nullptr;
  GetClassObjectFn getClassObject = nullptr;
  CanUnloadNowFn canUnloadNow = nullptr;
};

// The loaded servers by path. Unloads what it may at process end.
class LibraryCache {
 public:
  ~LibraryCache() { freeUnused(); }

  HRESULT load(const std::string& path, Library* out) {
    std::lock_guard lock(mutex_);
    auto it = libraries_.find(path);
    if (it != libraries_.end()) {
      *out = it->second;
      return S_OK;
    }
    Library lib;
    lib.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (lib.handle == nullptr) return CO_E_DLLNOTFOUND;
    lib.getClassObject = reinterpret_cast<GetClassObjectFn>(dlsym(lib.handle, "DllGetClassObject"));
    lib.canUnloadNow = reinterpret_cast<CanUnloadNowFn>(dlsym(lib.handle, "DllCanUnloadNow"));
    if (lib.getClassObject == nullptr) {
      dlclose(lib.handle);
      return CO_E_ERRORINDLL;
    }
    libraries_[path] = lib;
    *out = lib;
    return S_OK;
  }

  void freeUnused() {
    std::lock_guard lock(mutex_);
    for (auto it = libraries_.begin(); it != libraries_.end();) {
      // A library without DllCanUnloadNow never says it may go.
      if (it->second.canUnloadNow != nullptr && it->second.canUnloadNow() == S_OK) {
        dlclose(it->second.handle);
        it = libraries_.erase(it);
      } else {
        ++it;
      }
    }
  }

 private:
  std::mutex mutex_;
  std::map<std::string, Library> libraries_;  // guarded by mutex_
};

LibraryCache& cache() {
  static LibraryCache instance;
  return instance;
}

std::string classKey(REFCLSID clsid) { return "HKEY_CLASSES_ROOT\\CLSID\\" + com::guidToString(clsid); }

}  // namespace

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void*, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_INVALIDARG;
  *ppv = nullptr;
  if ((dwClsContext & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
  platform::RegistryStore store;
  auto path = store.getString(classKey(rclsid) + "\\InprocServer32", "");
  if (!path || path->empty()) return REGDB_E_CLASSNOTREG;
  Library lib;
  HRESULT hr = cache().load(*path, &lib);
  if (FAILED(hr)) return hr;
  return lib.getClassObject(rclsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(pUnkOuter, riid, ppv);
  factory->Release();
  return hr;
}

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
  if (lpszProgID == nullptr || lpclsid == nullptr) return E_INVALIDARG;
  // ProgIDs are ASCII letters, digits and dots; anything else names no class.
  std::string progId;
  for (LPCOLESTR p = lpszProgID; *p != 0; ++p) {
    if (*p > 0x7E || *p < 0x21 || *p == u'\\' || progId.size() > 255) return CO_E_CLASSSTRING;
    progId.push_back(static_cast<char>(*p));
  }
  if (progId.empty()) return CO_E_CLASSSTRING;
  platform::RegistryStore store;
  const std::string key = "HKEY_CLASSES_ROOT\\" + progId;
  auto text = store.getString(key + "\\CLSID", "");
  if (!text) {
    // A version-independent ProgID may name its current version only.
    auto current = store.getString(key + "\\CurVer", "");
    if (current) text = store.getString("HKEY_CLASSES_ROOT\\" + *current + "\\CLSID", "");
  }
  if (!text || !com::parseGuid(*text, lpclsid)) return CO_E_CLASSSTRING;
  return S_OK;
}

void CoFreeUnusedLibraries() { cache().freeUnused(); }
