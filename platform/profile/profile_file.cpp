#include "platform/profile/profile_file.h"

#include <cerrno>
#include <climits>

#include "platform/home/atomic_file.h"
#include "platform/home/home.h"
#include "platform/profile/ini_document.h"
#include "platform/text/ascii.h"

namespace platform {
namespace {

IniDocument load(const std::filesystem::path& path) {
  const auto content = AtomicFile(path).read();
  return IniDocument::parse(content ? *content : std::string());
}

// Runs edit on the current document under the lock and writes the result
// when it changed anything.
template <typename Edit>
bool modify(const std::filesystem::path& path, Edit edit) {
  IniDocument::Change change = IniDocument::Change::Unchanged;
  const bool written = AtomicFile(path).update([&](const std::optional<std::string>& current) -> std::optional<std::string> {
    IniDocument doc = IniDocument::parse(current ? *current : std::string());
    change = edit(doc);
    if (change != IniDocument::Change::Changed) return std::nullopt;
    return doc.serialize();
  });
  if (change == IniDocument::Change::Refused) errno = EINVAL;
  return written && change != IniDocument::Change::Refused;
}

}  // namespace

ProfileFile::ProfileFile(std::string fileName) : fileName_(std::move(fileName)) {}

std::filesystem::path ProfileFile::path() const { return home::resolveFile(fileName_); }

std::optional<int> ProfileFile::parseInt(std::string_view text) {
  text = text::trimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
  long long magnitude = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') break;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > 1LL + INT_MAX) magnitude = 1LL + INT_MAX;  // saturate; keeps reading digits
  }
  const long long value = negative ? -magnitude : magnitude;
  if (value > INT_MAX) return INT_MAX;
  return static_cast<int>(value);
}

std::optional<std::string> ProfileFile::readString(std::string_view section, std::string_view key) const {
  return load(path()).value(section, key);
}

std::string ProfileFile::readString(std::string_view section, std::string_view key, std::string_view fallback) const {
  auto value = readString(section, key);
  return value ? *value : std::string(fallback);
}

int ProfileFile::readInt(std::string_view section, std::string_view key, int fallback) const {
  const auto value = readString(section, key);
  if (!value) return fallback;
  return parseInt(*value).value_or(fallback);
}

bool ProfileFile::readBool(std::string_view section, std::string_view key, bool fallback) const {
  return readInt(section, key, fallback ? 1 : 0) != 0;
}

std::vector<std::string> ProfileFile::sections() const { return load(path()).sectionNames(); }

std::vector<std::string> ProfileFile::keys(std::string_view section) const { return load(path()).keyNames(section); }

bool ProfileFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
  return modify(path(), [&](IniDocument& doc) { return doc.setValue(section, key, value); });
}

bool ProfileFile::writeInt(std::string_view section, std::string_view key, int value) {
  return writeString(section, key, std::to_string(value));
}

bool ProfileFile::writeBool(std::string_view section, std::string_view key, bool value) {
  return writeString(section, key, value ? "1" : "0");
}

bool ProfileFile::deleteKey(std::string_view section, std::string_view key) {
  return modify(path(), [&](IniDocument& doc) { return doc.removeKey(section, key); });
}

bool ProfileFile::deleteSection(std::string_view section) {
  return modify(path(), [&](IniDocument& doc) { return doc.removeSection(section); });
}

}  // namespace platform
