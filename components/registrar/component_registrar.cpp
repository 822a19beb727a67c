#include "components/registrar/component_registrar.h"

#include <dlfcn.h>

#include <filesystem>

#include "platform/com/com.h"
#include "platform/home/install_layout.h"

namespace ripmarrow {

ComponentRegistrar::ComponentRegistrar(std::vector<std::string> libraryPaths)
    : libraryPaths_(std::move(libraryPaths)) {}

ComponentRegistrar ComponentRegistrar::installed() {
  return installedIn(platform::home::privateLibraryFolder().lexically_normal().string());
}

ComponentRegistrar ComponentRegistrar::installedIn(const std::string& libraryFolder) {
  std::vector<std::string> paths;
  for (const std::string& name : libraryNames()) paths.push_back(libraryFolder + "/" + name);
  return ComponentRegistrar(std::move(paths));
}

bool ComponentRegistrar::registerAll(std::ostream& out) const {
  bool ok = true;
  for (const std::string& path : libraryPaths_) {
    if (!std::filesystem::exists(path)) continue;
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
      out << "cannot load " << path << ": " << dlerror() << "\n";
      ok = false;
      continue;
    }
    using RegisterEntry = HRESULT (*)();
    auto entry = reinterpret_cast<RegisterEntry>(dlsym(library, "DllRegisterServer"));
    const HRESULT hr = entry != nullptr ? entry() : E_NOTIMPL;
    if (SUCCEEDED(hr)) {
      out << "registered " << std::filesystem::path(path).filename().string() << "\n";
    } else {
      out << "failed to register " << path << " (0x" << std::hex << static_cast<uint32_t>(hr) << std::dec << ")\n";
      ok = false;
    }
    dlclose(library);
  }
  return ok;
}

}  // namespace ripmarrow
