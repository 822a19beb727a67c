// The system-version service (GetVersionExA with its two records). It comes
// from the platform's version stand-in; until that is part of the tree, the
// answer that stand-in is specified to give stands here: an NT-class system.
#pragma once

#if __has_include("platform/version/version.h")
#include "platform/version/version.h"
#else
#include <cstring>

#include "platform/wintypes/wintypes.h"

#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2
struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize, dwMajorVersion, dwMinorVersion, dwBuildNumber, dwPlatformId;
  char szCSDVersion[128];
};
struct OSVERSIONINFOEXA {
  DWORD dwOSVersionInfoSize, dwMajorVersion, dwMinorVersion, dwBuildNumber, dwPlatformId;
  char szCSDVersion[128];
  WORD wServicePackMajor, wServicePackMinor, wSuiteMask;
  BYTE wProductType, wReserved;
};
inline BOOL GetVersionExA(OSVERSIONINFOA* info) {
  info->dwMajorVersion = 6;
  info->dwMinorVersion = 1;
  info->dwBuildNumber = 7601;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  std::memset(info->szCSDVersion, 0, sizeof(info->szCSDVersion));
  return TRUE;
}
#endif
