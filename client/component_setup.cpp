#include "client/component_setup.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "components/registrar/component_registrar.h"
#include "components/tonemeter2.h"
#include "components/trackmill2.h"
#include "components/wavesmith2.h"
#include "platform/home/install_layout.h"
#include "platform/registry/registry.h"

namespace client {
namespace {

struct Component {
  const char* library;
  CLSID clsid;  // one class the library serves
};

const Component kComponents[] = {
    {"libtrackmill2.so", CLSID_AudioCDRipper2},
    {"libwavesmith2.so", CLSID_AudioFile2},
    {"libtonemeter2.so", CLSID_AudioInformation2},
};

std::string clsidText(REFCLSID clsid) {
  OLECHAR wide[39] = {};
  StringFromGUID2(clsid, wide, 39);
  std::string text;
  for (const OLECHAR c : wide) {
    if (c == 0) break;
    text.push_back(static_cast<char>(c));
  }
  return text;
}

bool samePath(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace

std::vector<std::string> componentsRegisteredElsewhere() {
  const std::filesystem::path folder = platform::home::privateLibraryFolder();
  const platform::RegistryStore store;
  std::vector<std::string> elsewhere;
  for (const Component& component : kComponents) {
    const std::filesystem::path ours = folder / component.library;
    std::error_code error;
    if (!std::filesystem::exists(ours, error)) continue;
    const std::optional<std::string> registered =
        store.getString("HKEY_CLASSES_ROOT\\CLSID\\" + clsidText(component.clsid) + "\\InprocServer32", "");
    if (!registered || !samePath(*registered, ours)) elsewhere.emplace_back(component.library);
  }
  return elsewhere;
}

bool ensureComponentsRegistered(std::ostream& log) {
  if (componentsRegisteredElsewhere().empty()) return true;
  ripmarrow::ComponentRegistrar::installed().registerAll(log);
  return componentsRegisteredElsewhere().empty();
}

}  // namespace client
