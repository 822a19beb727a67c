#include "platform/home/install_layout.h"

#include <cstdlib>
#include <system_error>

namespace platform::home {

std::filesystem::path programFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : self.parent_path();
}

std::filesystem::path installPrefix() {
  const char* build = std::getenv("RIPMARROW_BUILD_DIR");
  if (build != nullptr && *build != '\0') return build;
  std::filesystem::path prefix = programFolder();
  // As many levels up as bin/ is deep.
  for (const auto& part : std::filesystem::path(RIPMARROW_INSTALL_BINDIR)) {
    if (!part.empty() && part != ".") prefix = prefix.parent_path();
  }
  return prefix;
}

std::filesystem::path privateLibraryFolder() { return installPrefix() / RIPMARROW_INSTALL_PRIVATE_LIBDIR; }

std::filesystem::path dataFolder() { return installPrefix() / RIPMARROW_INSTALL_DATADIR; }

}  // namespace platform::home
