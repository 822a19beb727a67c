// The four exports of an in-process server, from one list of its classes:
//
//   const com::ServerClass kClasses[] = {
//       com::serverClass<Ripper>({CLSID_Ripper, "Ripper Class", "Lib.Ripper.1", "Lib.Ripper", "Both"}),
//   };
//   const com::TypeLibRegistration kTypeLib{LIBID_Lib, "1.0", "Lib 1.0 Type Library"};
//   RM_COM_SERVER_EXPORTS(kClasses, &kTypeLib)
//
// DllCanUnloadNow answers S_OK only while the library has no live object,
// no class factory and no LockServer lock.
#pragma once

#include <array>
#include <span>

#include "platform/com/class_factory.h"
#include "platform/com/registration.h"

namespace com {

struct ServerClass {
  ClassRegistration registration;
  HRESULT (*getFactory)(REFIID riid, void** ppv);
};

template <class T>
HRESULT factoryFor(REFIID riid, void** ppv) {
  return createInstance<ClassFactory<T>>(riid, ppv);
}

template <class T>
constexpr ServerClass serverClass(ClassRegistration registration) {
  return {registration, &factoryFor<T>};
}

inline HRESULT serverGetClassObject(std::span<const ServerClass> classes, REFCLSID rclsid, REFIID riid,
                                    void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  for (const ServerClass& c : classes) {
    if (c.registration.clsid == rclsid) return c.getFactory(riid, ppv);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

inline HRESULT serverCanUnloadNow() { return moduleLockCount() == 0 ? S_OK : S_FALSE; }

namespace detail {
template <size_t N>
std::array<ClassRegistration, N> registrationsOf(const ServerClass (&classes)[N]) {
  std::array<ClassRegistration, N> r{};
  for (size_t i = 0; i < N; ++i) r[i] = classes[i].registration;
  return r;
}
}  // namespace detail

}  // namespace com

#define RM_COM_SERVER_EXPORTS(classes, typeLib)                                                        \
  extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID rclsid,         \
                                                                              REFIID riid, void** ppv) { \
    return com::serverGetClassObject(classes, rclsid, riid, ppv);                                      \
  }                                                                                                    \
  extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {                        \
    return com::serverCanUnloadNow();                                                                  \
  }                                                                                                    \
  extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer() {                      \
    auto registrations = com::detail::registrationsOf(classes);                                        \
    return com::registerServer(com::modulePathOf(reinterpret_cast<const void*>(&DllGetClassObject)),   \
                               registrations, typeLib);                                                \
  }                                                                                                    \
  extern "C" __attribute__((visibility("default"))) HRESULT DllUnregisterServer() {                    \
    auto registrations = com::detail::registrationsOf(classes);                                        \
    return com::unregisterServer(registrations, typeLib);                                              \
  }
