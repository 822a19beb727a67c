// The Win32-named registry functions over the process's store. An opened key
// is a heap handle holding the key's full path and whether it was opened for
// writing; the predefined roots are constants that are never freed.
#include <cstring>
#include <string>

#include "platform/registry/registry.h"
#include "platform/registry/registry_file.h"

struct RegistryKeyHandle {
  std::string path;
  bool canWrite;
};

namespace {

// Access bits that change a key (KEY_SET_VALUE, KEY_CREATE_SUB_KEY); the
// STANDARD_RIGHTS bit that KEY_WRITE shares with KEY_READ is not one.
constexpr REGSAM kWriteBits = 0x0006;

platform::RegistryStore& store() {
  static platform::RegistryStore processStore;  // resolves $RIPMARROW_HOME per call; holds no state
  return processStore;
}

// The path a handle names; false for a handle that is none of ours.
bool pathOf(HKEY key, std::string& path, bool& canWrite) {
  canWrite = true;
  if (key == HKEY_CLASSES_ROOT) {
    path = "HKEY_CLASSES_ROOT";
  } else if (key == HKEY_CURRENT_USER) {
    path = "HKEY_CURRENT_USER";
  } else if (key == HKEY_LOCAL_MACHINE) {
    path = "HKEY_LOCAL_MACHINE";
  } else if (key == nullptr) {
    return false;
  } else {
    path = key->path;
    canWrite = key->canWrite;
  }
  return true;
}

std::string join(const std::string& base, const char* subKey) {
  if (subKey == nullptr || *subKey == '\0') return base;
  return platform::RegistryFile::normalize(base + "\\" + subKey);
}

HKEY newHandle(std::string path, bool canWrite) {
  return new RegistryKeyHandle{std::move(path), canWrite};
}

}  // namespace

LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD /*options*/, REGSAM access, HKEY* result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::string base;
  bool baseWritable = false;
  if (!pathOf(root, base, baseWritable)) return ERROR_INVALID_HANDLE;
  const std::string path = join(base, subKey);
  if (!store().keyExists(path)) return ERROR_FILE_NOT_FOUND;
  const bool wantsWrite = (access & kWriteBits) != 0;
  if (wantsWrite && !store().writable()) return ERROR_ACCESS_DENIED;
  *result = newHandle(path, wantsWrite);
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY root, const char* subKey, HKEY* result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::string base;
  bool baseWritable = false;
  if (!pathOf(root, base, baseWritable)) return ERROR_INVALID_HANDLE;
  const std::string path = join(base, subKey);
  if (!store().keyExists(path)) {
    if (!baseWritable || !store().writable() || !store().createKey(path)) return ERROR_ACCESS_DENIED;
  } else if (!store().writable()) {
    return ERROR_ACCESS_DENIED;
  }
  *result = newHandle(path, true);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* type, BYTE* data, DWORD* dataBytes) {
  std::string path;
  bool canWrite = false;
  if (!pathOf(key, path, canWrite)) return ERROR_INVALID_HANDLE;
  if (data != nullptr && dataBytes == nullptr) return ERROR_INVALID_PARAMETER;
  const auto value = store().getString(path, valueName == nullptr ? "" : valueName);
  if (!value) return ERROR_FILE_NOT_FOUND;
  if (type != nullptr) *type = REG_SZ;
  const size_t needed = value->size() + 1;
  if (dataBytes == nullptr) return ERROR_SUCCESS;
  const DWORD room = *dataBytes;
  *dataBytes = static_cast<DWORD>(needed);
  if (data == nullptr) return ERROR_SUCCESS;  // a size query
  if (room < needed) return ERROR_MORE_DATA;
  std::memcpy(data, value->c_str(), needed);
  return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD type, const BYTE* data, DWORD dataBytes) {
  std::string path;
  bool canWrite = false;
  if (!pathOf(key, path, canWrite)) return ERROR_INVALID_HANDLE;
  if (type != REG_SZ || (data == nullptr && dataBytes != 0)) return ERROR_INVALID_PARAMETER;
  if (!canWrite) return ERROR_ACCESS_DENIED;
  // A string value ends at its first terminator, whether or not the caller
  // counted the terminator in dataBytes.
  const char* text = reinterpret_cast<const char*>(data);
  const size_t length = data == nullptr ? 0 : strnlen(text, dataBytes);
  if (!store().setString(path, valueName == nullptr ? "" : valueName, std::string_view(text, length))) {
    return ERROR_ACCESS_DENIED;
  }
  return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY key, const char* valueName) {
  std::string path;
  bool canWrite = false;
  if (!pathOf(key, path, canWrite)) return ERROR_INVALID_HANDLE;
  if (!canWrite) return ERROR_ACCESS_DENIED;
  const std::string name = valueName == nullptr ? "" : valueName;
  if (!store().getString(path, name)) return ERROR_FILE_NOT_FOUND;
  return store().deleteValue(path, name) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG RegDeleteTreeA(HKEY root, const char* subKey) {
  std::string base;
  bool canWrite = false;
  if (!pathOf(root, base, canWrite)) return ERROR_INVALID_HANDLE;
  if (!canWrite) return ERROR_ACCESS_DENIED;
  const std::string path = join(base, subKey);
  if (!store().keyExists(path)) return ERROR_FILE_NOT_FOUND;
  if (subKey != nullptr && *subKey != '\0') {
    return store().deleteKey(path) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
  }
  // No subkey: the key stays, its values and subkeys go.
  return store().clearKey(path) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG RegCloseKey(HKEY key) {
  if (key == nullptr) return ERROR_INVALID_HANDLE;
  if (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
  delete key;
  return ERROR_SUCCESS;
}

LONG RegEnumKeyA(HKEY key, DWORD index, char* name, DWORD nameBytes) {
  std::string path;
  bool canWrite = false;
  if (!pathOf(key, path, canWrite)) return ERROR_INVALID_HANDLE;
  if (name == nullptr) return ERROR_INVALID_PARAMETER;
  const auto names = store().subkeys(path);
  if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
  const std::string& found = names[index];
  if (nameBytes < found.size() + 1) return ERROR_MORE_DATA;
  std::memcpy(name, found.c_str(), found.size() + 1);
  return ERROR_SUCCESS;
}
