// Feeds arbitrary text to the rip log reader, which `ripmarrow verify` runs
// on files it did not write: it must end in a log or a reason, and what it
// reads must write out as a log that reads back the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "client/rip_log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  const auto log = client::ParseRipLog({reinterpret_cast<const char*>(data), size}, error);
  if (!log) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  log->allAccurate();
  const std::string text = client::RipLogText(*log);
  const auto again = client::ParseRipLog(text, error);
  if (!again || client::RipLogText(*again) != text) __builtin_trap();
  return 0;
}
