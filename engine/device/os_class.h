// Which family of system the transport runs on, from the system-version
// service. Classes 4 and above are the NT family: only there is the
// pass-through emulation used as the default transport.
#pragma once

#include <cstdint>

namespace engine::device {

struct OsVersion {
  uint32_t platformId = 0;  // 1 the 95/98/Me family, 2 the NT family
  uint32_t major = 0;
  uint32_t minor = 0;
  char servicePack[128] = {};  // the service-pack text
};

inline constexpr int32_t kOsClassFirstNt = 4;

// 1 Windows 95 "C" release, 2 Windows 98 second edition, 3 Me, 4 NT 4 and
// earlier, 5 for 5.0, 6 for 5.1 and every later NT-family version (they are
// all NT class), 0 anything else.
int32_t OsClassFromVersion(const OsVersion& version);

// Asks the system-version service (the extended record first, then the plain
// one); 0 when both fail. Computed at each call.
int32_t OsClass();

}  // namespace engine::device
