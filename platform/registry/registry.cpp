#include "platform/registry/registry.h"

#include <cerrno>

#include "platform/home/atomic_file.h"
#include "platform/home/home.h"
#include "platform/registry/registry_file.h"
#include "platform/text/ascii.h"

namespace platform {
namespace {

constexpr const char* kStoreFileName = "registry.ini";

// The names every store knows without a section of its own.
bool isRoot(std::string_view normal) {
  for (const char* root : {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"}) {
    if (text::equalsIgnoreCase(normal, root)) return true;
  }
  return false;
}

}  // namespace

RegistryStore::RegistryStore() = default;
RegistryStore::RegistryStore(std::string filePath) : path_(std::move(filePath)) {}

const std::string& RegistryStore::filePath() const { return path_; }

// The file of this store now: its own, or the one in $RIPMARROW_HOME.
static AtomicFile storeFile(const std::string& path) {
  return AtomicFile(path.empty() ? home::resolveFile(kStoreFileName) : std::filesystem::path(path));
}

static RegistryFile load(const std::string& path) {
  const auto content = storeFile(path).read();
  return RegistryFile::parse(content ? *content : std::string());
}

// Applies change to the current content under the store's lock; change
// answers whether it changed anything. Writes only when it did.
template <typename Change>
static bool modify(const std::string& path, Change change) {
  bool changed = false;
  const bool written = storeFile(path).update([&](const std::optional<std::string>& current) -> std::optional<std::string> {
    RegistryFile file = RegistryFile::parse(current ? *current : std::string());
    changed = change(file);
    if (!changed) return std::nullopt;
    return file.serialize();
  });
  return written && changed;
}

bool RegistryStore::keyExists(std::string_view key) const {
  const std::string normal = RegistryFile::normalize(key);
  if (isRoot(normal)) return true;
  return load(path_).exists(normal);
}

bool RegistryStore::createKey(std::string_view key) {
  if (RegistryFile::normalize(key).empty()) return false;
  if (load(path_).find(key) != nullptr) return true;
  return modify(path_, [&](RegistryFile& file) {
    if (file.find(key) != nullptr) return false;
    file.create(key);
    return true;
  }) || load(path_).find(key) != nullptr;
}

std::optional<std::string> RegistryStore::getString(std::string_view key, std::string_view name) const {
  const RegistryFile file = load(path_);
  const RegistryFile::Key* found = file.find(key);
  if (found == nullptr) return std::nullopt;
  const std::string* value = RegistryFile::findValue(*found, name);
  if (value == nullptr) return std::nullopt;
  return *value;
}

bool RegistryStore::setString(std::string_view key, std::string_view name, std::string_view value) {
  if (RegistryFile::normalize(key).empty()) return false;
  bool unchanged = false;
  const bool written = modify(path_, [&](RegistryFile& file) {
    RegistryFile::Key& k = file.create(key);
    const std::string* old = RegistryFile::findValue(k, name);
    if (old != nullptr && *old == value) {
      unchanged = true;
      return false;
    }
    RegistryFile::setValue(k, name, value);
    return true;
  });
  return written || unchanged;
}

bool RegistryStore::deleteValue(std::string_view key, std::string_view name) {
  return modify(path_, [&](RegistryFile& file) {
    RegistryFile::Key* found = file.find(key);
    return found != nullptr && RegistryFile::removeValue(*found, name);
  });
}

bool RegistryStore::deleteKey(std::string_view key) {
  return modify(path_, [&](RegistryFile& file) { return file.remove(key); });
}

bool RegistryStore::clearKey(std::string_view key) {
  if (RegistryFile::normalize(key).empty()) return false;
  return modify(path_, [&](RegistryFile& file) {
    file.remove(key);
    file.create(key);
    return true;
  });
}

std::vector<std::string> RegistryStore::subkeys(std::string_view key) const { return load(path_).subkeys(key); }

bool RegistryStore::writable() const {
  if (path_.empty()) home::ensureHomeDir();
  return storeFile(path_).writable();
}

}  // namespace platform
