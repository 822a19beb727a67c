#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/profile/profile.h"

namespace {

platform::ProfileFile fileNamed(const char* fileName) {
  return platform::ProfileFile(fileName == nullptr ? "win.ini" : fileName);
}

DWORD copyList(const std::vector<std::string>& names, char* buffer, DWORD size) {
  std::string list;
  for (const auto& name : names) {
    list += name;
    list += '\0';
  }
  list += '\0';
  // An empty list still ends in two terminators, for callers that look for them.
  const DWORD listChars = static_cast<DWORD>(list.size() - 1);
  if (names.empty()) list += '\0';
  if (list.size() <= size) {
    std::memcpy(buffer, list.data(), list.size());
    return names.empty() ? 0 : listChars;
  }
  if (size < 2) {
    buffer[0] = '\0';
    return 0;
  }
  std::memcpy(buffer, list.data(), size - 2);
  buffer[size - 2] = '\0';
  buffer[size - 1] = '\0';
  return size - 2;
}

}  // namespace

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer,
                               DWORD size, const char* fileName) {
  if (buffer == nullptr || size == 0) return 0;
  const platform::ProfileFile file = fileNamed(fileName);
  if (section == nullptr) return copyList(file.sections(), buffer, size);
  if (key == nullptr) return copyList(file.keys(section), buffer, size);
  std::string value;
  if (auto found = file.readString(section, key)) {
    value = std::move(*found);
  } else if (defaultValue != nullptr) {
    value = defaultValue;
    while (!value.empty() && value.back() == ' ') value.pop_back();
  }
  const size_t copied = std::min<size_t>(value.size(), size - 1);
  std::memcpy(buffer, value.data(), copied);
  buffer[copied] = '\0';
  return static_cast<DWORD>(copied);
}

UINT GetPrivateProfileIntA(const char* section, const char* key, INT defaultValue, const char* fileName) {
  if (section == nullptr || key == nullptr) return static_cast<UINT>(defaultValue);
  return static_cast<UINT>(fileNamed(fileName).readInt(section, key, defaultValue));
}

BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* fileName) {
  if (section == nullptr) return FALSE;
  platform::ProfileFile file = fileNamed(fileName);
  if (key == nullptr) return file.deleteSection(section) ? TRUE : FALSE;
  if (value == nullptr) return file.deleteKey(section, key) ? TRUE : FALSE;
  return file.writeString(section, key, value) ? TRUE : FALSE;
}
