// Arbitrary READ TOC format 5 answers through the CD-TEXT reader: whatever
// a drive sends ends in texts of bounded size for tracks 0..99.
#include <cstddef>
#include <cstdint>

#include "engine/device/cd_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto text = engine::device::ParseCdText({data, size});
  for (const auto& [track, entry] : text.entries) {
    if (track < 0 || track > 99) __builtin_trap();
    if (entry.title.size() > 320 || entry.performer.size() > 320) __builtin_trap();
  }
  return 0;
}
