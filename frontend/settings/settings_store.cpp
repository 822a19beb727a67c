#include "frontend/settings/settings_store.h"

#include <stdlib.h>
#include <unistd.h>

namespace quavern {

SettingsStore::SettingsStore(std::string fileName) : file_(std::move(fileName)) {}

std::string SettingsStore::readText(std::string_view section, std::string_view key, std::string_view fallback) const {
  return file_.readString(section, key, fallback);
}

int SettingsStore::readInt(std::string_view section, std::string_view key, int fallback) const {
  return file_.readInt(section, key, fallback);
}

bool SettingsStore::readBool(std::string_view section, std::string_view key, bool fallback) const {
  return file_.readBool(section, key, fallback);
}

bool SettingsStore::writeText(std::string_view section, std::string_view key, std::string_view value) {
  return file_.writeString(section, key, value);
}

bool SettingsStore::writeInt(std::string_view section, std::string_view key, int value) {
  return file_.writeInt(section, key, value);
}

bool SettingsStore::writeBool(std::string_view section, std::string_view key, bool value) {
  return file_.writeBool(section, key, value);
}

std::string SettingsStore::path() const { return file_.path().string(); }

namespace defaults {

std::string musicFolder() {
  const char* home = getenv("HOME");
  return std::string(home != nullptr && *home != '\0' ? home : "/tmp") + "/Music";
}

std::string userEMail() {
  std::string user;
  if (const char* name = getenv("USER"); name != nullptr && *name != '\0') {
    user = name;
  } else if (const char* login = getlogin(); login != nullptr && *login != '\0') {
    user = login;
  } else {
    user = "user";
  }
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') return user + "@localhost";
  return user + "@" + host;
}

}  // namespace defaults

}  // namespace quavern
