// The six entry points of libwnaspi32.so.
#include "platform/aspi/wnaspi32.h"

#include <cstdlib>

#include "platform/aspi/aspi_host.h"

namespace {

// The library's one host, made on first use and stopped when the library is
// unloaded (it is linked not to be unloaded before the process ends).
platform::aspi::AspiHost& host() {
  static platform::aspi::AspiHost instance;
  return instance;
}

// Version 4.60, the ASPI for Win32 level whose interface this library offers:
// major and minor in the low bytes.
constexpr uint32_t kVersion = 4 | (60 << 8);

}  // namespace

extern "C" {

uint32_t GetASPI32SupportInfo(void) { return host().supportInfo(); }

uint32_t SendASPI32Command(void* srb) { return host().send(srb); }

int32_t GetASPI32Buffer(PASPI32BUFF buffer) {
  if (buffer == nullptr || buffer->AB_BufLen == 0 || buffer->AB_BufLen > 16u * 1024 * 1024) return 0;
  buffer->AB_BufPointer = static_cast<uint8_t*>(std::calloc(1, buffer->AB_BufLen));
  return buffer->AB_BufPointer != nullptr ? 1 : 0;
}

int32_t FreeASPI32Buffer(PASPI32BUFF buffer) {
  if (buffer == nullptr || buffer->AB_BufPointer == nullptr) return 0;
  std::free(buffer->AB_BufPointer);
  buffer->AB_BufPointer = nullptr;
  return 1;
}

int32_t TranslateASPI32Address(uint32_t* /*path*/, uint32_t* /*devNode*/) { return 0; }

uint32_t GetASPI32DLLVersion(void) { return kVersion; }

}  // extern "C"
