#include "platform/home/home.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>

namespace platform::home {
namespace {

std::filesystem::path userHome() {
  if (const char* env = std::getenv("HOME"); env != nullptr && *env != '\0') return env;
  // No $HOME (a service, a bare environment): ask the password database.
  passwd entry{};
  passwd* found = nullptr;
  char buf[4096];
  if (::getpwuid_r(::getuid(), &entry, buf, sizeof buf, &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return "/tmp";
}

}  // namespace

std::filesystem::path homeDir() {
  if (const char* env = std::getenv("RIPMARROW_HOME"); env != nullptr && *env != '\0') return env;
  return userHome() / ".config" / "Ripmarrow";
}

bool ensureHomeDir() {
  std::error_code ec;
  const auto dir = homeDir();
  std::filesystem::create_directories(dir, ec);
  return std::filesystem::is_directory(dir, ec);
}

std::filesystem::path resolveFile(std::string_view fileName) {
  if (fileName.find('/') != std::string_view::npos) return std::filesystem::path(fileName);
  ensureHomeDir();
  return homeDir() / std::filesystem::path(fileName);
}

}  // namespace platform::home
