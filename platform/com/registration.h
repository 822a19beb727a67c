// What DllRegisterServer writes into the registry store for each class, and
// what DllUnregisterServer removes again (the Windows layout; every text is
// the key's default value unless a value name is given):
//
//   HKEY_CLASSES_ROOT\<ProgID>                      = description
//   HKEY_CLASSES_ROOT\<ProgID>\CLSID                = {CLSID}
//   HKEY_CLASSES_ROOT\<VersionIndependentProgID>    = description
//     \CLSID = {CLSID}, \CurVer = <ProgID>
//   HKEY_CLASSES_ROOT\CLSID\{CLSID}                 = description
//     \ProgID = <ProgID>
//     \VersionIndependentProgID = <VersionIndependentProgID>
//     \Programmable                                 (key only)
//     \InprocServer32 = module path, value ThreadingModel = model
//     \TypeLib = {LIBID}
//   HKEY_CLASSES_ROOT\TypeLib\{LIBID}\<version>     = type library description
//     \0\win64 = module path, \FLAGS = "0", \HELPDIR = the module's folder
//
// Unregistration deletes the class keys, the type library key, and each
// ProgID key that still names this class (a ProgID taken over by another
// server since is left to it). HKEY_CLASSES_ROOT\CLSID itself stays.
#pragma once

#include <span>
#include <string>

#include "platform/com/guiddef.h"
#include "platform/com/winerror.h"

namespace com {

struct ClassRegistration {
  CLSID clsid;
  const char* description;               // "AudioCDRipper2 Class"
  const char* progId;                    // "Trackmill2.AudioCDRipper2.1"
  const char* versionIndependentProgId;  // "Trackmill2.AudioCDRipper2"
  const char* threadingModel;            // "Apartment", "Both"
};

// An interface the type library describes beyond its classes' own:
// registered under Interface\{iid} with its name and the library.
struct InterfaceRegistration {
  IID iid;
  const char* name;  // "IAudioCDRipperReport"
};

struct TypeLibRegistration {
  GUID libid;
  const char* version;      // "1.0"
  const char* description;  // "Trackmill2 1.0 Type Library"
  std::span<const InterfaceRegistration> interfaces = {};
};

// The path of the shared library that holds `address` (dladdr); empty when
// it cannot be found.
COMRT_API std::string modulePathOf(const void* address);

// SELFREG_E_CLASS when the store cannot be written.
COMRT_API HRESULT registerServer(const std::string& modulePath, std::span<const ClassRegistration> classes,
                                 const TypeLibRegistration* typeLib);
COMRT_API HRESULT unregisterServer(std::span<const ClassRegistration> classes, const TypeLibRegistration* typeLib);

}  // namespace com
