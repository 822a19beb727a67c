// The registry store: the stand-in for the Windows registry, kept in the file
// $RIPMARROW_HOME/registry.ini. Keys are paths under a root
// ("HKEY_CLASSES_ROOT\CLSID\{…}\InprocServer32"); values are strings; the
// value named "" is the key's default value. Every change rewrites the file
// atomically (temporary file + rename, under an advisory lock), so a crash
// never leaves a half-written store and two processes never lose each
// other's changes. Reads see the file as it is now.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wintypes/wintypes.h"

namespace platform {

class RegistryStore {
 public:
  // The store of the current $RIPMARROW_HOME (looked up at each call, so a
  // test that points RIPMARROW_HOME elsewhere gets its own store).
  RegistryStore();
  // A store kept in the given file (tests).
  explicit RegistryStore(std::string filePath);

  const std::string& filePath() const;  // empty when $RIPMARROW_HOME is resolved per call

  // Full paths, root included; the separator is '\'. Names compare without
  // regard to case, as on Windows, and keep the case they were created with.
  bool keyExists(std::string_view key) const;
  bool createKey(std::string_view key);  // creates the parents too
  std::optional<std::string> getString(std::string_view key, std::string_view name) const;
  bool setString(std::string_view key, std::string_view name, std::string_view value);  // creates the key
  bool deleteValue(std::string_view key, std::string_view name);
  bool deleteKey(std::string_view key);   // the key and everything below it
  bool clearKey(std::string_view key);    // its values and subkeys; the key stays
  std::vector<std::string> subkeys(std::string_view key) const;  // names, one level down
  // True when the store can be changed by this process (the file, or its
  // folder when the file does not exist yet, is writable). Opening a key
  // "with full access" fails when it cannot.
  bool writable() const;

 private:
  std::string path_;
};

}  // namespace platform

// Win32-named entry points over the process's store, for code that reads
// like the registry calls it stands in for. Only string values (REG_SZ).
using HKEY = struct RegistryKeyHandle*;
using REGSAM = DWORD;
inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(uintptr_t{0x80000000});
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(uintptr_t{0x80000001});
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(uintptr_t{0x80000002});
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
inline constexpr DWORD REG_SZ = 1;

// Each returns ERROR_SUCCESS or a Win32 error code. RegOpenKeyExA with write
// access (KEY_WRITE bits, KEY_ALL_ACCESS) fails with ERROR_ACCESS_DENIED when
// the store is not writable; a missing key gives ERROR_FILE_NOT_FOUND.
// RegQueryValueExA copies the value with its terminator into data when
// *dataBytes is large enough, else answers ERROR_MORE_DATA; it always sets
// *dataBytes to the size needed (terminator included).
LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD options, REGSAM access, HKEY* result);
LONG RegCreateKeyExA(HKEY root, const char* subKey, HKEY* result);
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* type, BYTE* data, DWORD* dataBytes);
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD type, const BYTE* data, DWORD dataBytes);
LONG RegDeleteValueA(HKEY key, const char* valueName);
LONG RegDeleteTreeA(HKEY root, const char* subKey);
LONG RegCloseKey(HKEY key);
// The name of the index-th subkey (0, 1, …) with its terminator into name
// (nameBytes large enough, else ERROR_MORE_DATA); ERROR_NO_MORE_ITEMS past
// the last one.
LONG RegEnumKeyA(HKEY key, DWORD index, char* name, DWORD nameBytes);
