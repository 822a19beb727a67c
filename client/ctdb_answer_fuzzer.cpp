// Feeds arbitrary bytes to the CUETools database answer reader, which reads
// what a server (or anything between) sends: it must end in entries or a
// reason, and the entries it gives must be whole.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "client/ctdb_lookup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  const auto entries = client::ParseCtdbAnswer({reinterpret_cast<const char*>(data), size}, error);
  if (!entries) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  client::CtdbLookup lookup;
  lookup.status = client::CtdbStatus::kFound;
  lookup.entries = *entries;
  for (size_t t = 0; t < 4; ++t) (void)client::CtdbTrackConfidence(lookup, t, {0u, 0xFFFFFFFFu});
  return 0;
}
