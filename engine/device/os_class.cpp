#include "engine/device/os_class.h"

#include <cstring>

#include "platform/version/version.h"

namespace engine::device {

int32_t OsClassFromVersion(const OsVersion& v) {
  if (v.platformId == 1 && v.major == 4) {
    if (v.minor == 0) return v.servicePack[1] == 'C' ? 1 : 0;
    if (v.minor == 10) return v.servicePack[1] == 'A' ? 2 : 0;
    if (v.minor == 90) return 3;
    return 0;
  }
  if (v.platformId == 2) {
    if (v.major <= 4) return 4;
    if (v.major == 5 && v.minor == 0) return 5;
    // Later versions are NT class as well: a class of 0 would leave every
    // current system without the pass-through transport.
    return 6;
  }
  return 0;
}

int32_t OsClass() {
  OSVERSIONINFOEXA extended{};
  extended.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
  OsVersion version;
  auto take = [&version](const auto& info) {
    version.platformId = info.dwPlatformId;
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
    std::memcpy(version.servicePack, info.szCSDVersion, sizeof(version.servicePack));
    version.servicePack[sizeof(version.servicePack) - 1] = 0;
  };
  if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended))) {
    take(extended);
    return OsClassFromVersion(version);
  }
  OSVERSIONINFOA plain{};
  plain.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  if (GetVersionExA(&plain)) {
    take(plain);
    return OsClassFromVersion(version);
  }
  return 0;
}

}  // namespace engine::device
