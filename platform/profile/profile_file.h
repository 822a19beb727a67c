// One profile (INI) file, read and written with the Windows private-profile
// rules (see ini_document.h). Nothing is cached: each read reads the file,
// each write reads it under the folder's lock, edits it and replaces it
// atomically, so several objects, threads or processes can share one file.
// A bare file name ("quavern.ini") names a file in $RIPMARROW_HOME, looked up
// at each call, where Windows would use its own directory.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class ProfileFile {
 public:
  explicit ProfileFile(std::string fileName);

  // The file this object reads and writes now.
  std::filesystem::path path() const;

  std::optional<std::string> readString(std::string_view section, std::string_view key) const;
  std::string readString(std::string_view section, std::string_view key, std::string_view fallback) const;
  // A leading sign and decimal digits ("12abc" reads as 12, beyond the
  // 32-bit range as its nearest end); anything else gives the fallback.
  int readInt(std::string_view section, std::string_view key, int fallback) const;
  // A non-zero integer is true.
  bool readBool(std::string_view section, std::string_view key, bool fallback) const;
  std::vector<std::string> sections() const;
  std::vector<std::string> keys(std::string_view section) const;

  // False when the write is refused (a name that cannot be stored, see
  // ini_document.h) or the file cannot be written; the file is then as it was.
  bool writeString(std::string_view section, std::string_view key, std::string_view value);
  bool writeInt(std::string_view section, std::string_view key, int value);
  bool writeBool(std::string_view section, std::string_view key, bool value);
  bool deleteKey(std::string_view section, std::string_view key);
  bool deleteSection(std::string_view section);

  // The integer rule of readInt, on its own.
  static std::optional<int> parseInt(std::string_view text);

 private:
  std::string fileName_;
};

}  // namespace platform
