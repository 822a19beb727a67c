#include "platform/com/registration.h"

#include <dlfcn.h>

#include <cstdlib>

#include "platform/registry/registry.h"
#include "platform/text/ascii.h"

namespace com {

namespace {

const std::string kRoot = "HKEY_CLASSES_ROOT\\";

bool setDefault(platform::RegistryStore& store, const std::string& key, const std::string& value) {
  return store.setString(key, "", value);
}

// Deletes a ProgID key only while it still names this class.
bool removeProgId(platform::RegistryStore& store, const char* progId, const std::string& clsidText) {
  if (progId == nullptr || *progId == 0) return true;
  std::string key = kRoot + progId;
  auto current = store.getString(key + "\\CLSID", "");
  if (!current || !platform::text::equalsIgnoreCase(*current, clsidText)) return true;
  return store.deleteKey(key);
}

}  // namespace

std::string modulePathOf(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  char* resolved = realpath(info.dli_fname, nullptr);
  if (resolved == nullptr) return info.dli_fname;
  std::string path = resolved;
  std::free(resolved);
  return path;
}

HRESULT registerServer(const std::string& modulePath, std::span<const ClassRegistration> classes,
                       const TypeLibRegistration* typeLib) {
  if (modulePath.empty()) return SELFREG_E_CLASS;
  platform::RegistryStore store;
  const std::string libidText = typeLib != nullptr ? guidToString(typeLib->libid) : std::string();
  for (const ClassRegistration& c : classes) {
    const std::string clsidText = guidToString(c.clsid);
    const std::string classKey = kRoot + "CLSID\\" + clsidText;
    bool ok = true;
    if (c.progId != nullptr && *c.progId != 0) {
      ok &= setDefault(store, kRoot + c.progId, c.description);
      ok &= setDefault(store, kRoot + c.progId + "\\CLSID", clsidText);
    }
    if (c.versionIndependentProgId != nullptr && *c.versionIndependentProgId != 0) {
      std::string vi = kRoot + c.versionIndependentProgId;
      ok &= setDefault(store, vi, c.description);
      ok &= setDefault(store, vi + "\\CLSID", clsidText);
      if (c.progId != nullptr && *c.progId != 0) ok &= setDefault(store, vi + "\\CurVer", c.progId);
    }
    ok &= setDefault(store, classKey, c.description);
    if (c.progId != nullptr && *c.progId != 0) ok &= setDefault(store, classKey + "\\ProgID", c.progId);
    if (c.versionIndependentProgId != nullptr && *c.versionIndependentProgId != 0)
      ok &= setDefault(store, classKey + "\\VersionIndependentProgID", c.versionIndependentProgId);
    ok &= store.createKey(classKey + "\\Programmable");
    ok &= setDefault(store, classKey + "\\InprocServer32", modulePath);
    ok &= store.setString(classKey + "\\InprocServer32", "ThreadingModel", c.threadingModel);
    if (typeLib != nullptr) ok &= setDefault(store, classKey + "\\TypeLib", libidText);
    if (!ok) return SELFREG_E_CLASS;
  }
  if (typeLib != nullptr) {
    const std::string versionKey = kRoot + "TypeLib\\" + libidText + "\\" + typeLib->version;
    std::string folder = modulePath.substr(0, modulePath.find_last_of('/') + 1);
    bool ok = setDefault(store, versionKey, typeLib->description) &&
              setDefault(store, versionKey + "\\0\\win64", modulePath) &&
              setDefault(store, versionKey + "\\FLAGS", "0") && setDefault(store, versionKey + "\\HELPDIR", folder);
    for (const InterfaceRegistration& i : typeLib->interfaces) {
      const std::string key = kRoot + "Interface\\" + guidToString(i.iid);
      ok = ok && setDefault(store, key, i.name) && setDefault(store, key + "\\TypeLib", libidText) &&
           store.setString(key + "\\TypeLib", "Version", typeLib->version);
    }
    if (!ok) return SELFREG_E_TYPELIB;
  }
  return S_OK;
}

HRESULT unregisterServer(std::span<const ClassRegistration> classes, const TypeLibRegistration* typeLib) {
  platform::RegistryStore store;
  bool ok = true;
  for (const ClassRegistration& c : classes) {
    const std::string clsidText = guidToString(c.clsid);
    ok &= removeProgId(store, c.progId, clsidText);
    ok &= removeProgId(store, c.versionIndependentProgId, clsidText);
    const std::string classKey = kRoot + "CLSID\\" + clsidText;
    if (store.keyExists(classKey)) ok &= store.deleteKey(classKey);
  }
  if (typeLib != nullptr) {
    const std::string libKey = kRoot + "TypeLib\\" + guidToString(typeLib->libid);
    if (store.keyExists(libKey)) ok &= store.deleteKey(libKey);
    for (const InterfaceRegistration& i : typeLib->interfaces) {
      const std::string key = kRoot + "Interface\\" + guidToString(i.iid);
      if (store.keyExists(key)) ok &= store.deleteKey(key);
    }
  }
  return ok ? S_OK : SELFREG_E_CLASS;
}

}  // namespace com
