// The system-version service. This platform answers as an NT-class system
// (platform id 2, version 10.0), so code that chooses its SCSI transport by
// the Windows family takes the pass-through emulation, our default.
#pragma once

#include <cstddef>

#include "platform/wintypes/wintypes.h"

using CHAR = char;

inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
inline constexpr BYTE VER_NT_WORKSTATION = 1;

// The Windows layouts: 148 and 156 bytes.
struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
};

struct OSVERSIONINFOEXA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
};

static_assert(sizeof(OSVERSIONINFOA) == 148);
static_assert(sizeof(OSVERSIONINFOEXA) == 156);
static_assert(offsetof(OSVERSIONINFOEXA, wServicePackMajor) == 148);

// Fills the structure whose size the caller put in dwOSVersionInfoSize
// (either layout; pass an OSVERSIONINFOEXA through a cast, as on Windows).
// FALSE, with nothing written past the size field, for any other size.
BOOL GetVersionExA(OSVERSIONINFOA* info);
