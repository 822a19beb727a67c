// Reading the engine's raw table of contents (the READ TOC answer as it is
// kept in tocEntries_): a 4-byte header, then 8-byte track descriptors,
// the lead-out's after the last track's.
#pragma once

#include <array>
#include <cstdint>

namespace engine {

using TocEntries = std::array<uint8_t, 804>;

// The start address of descriptor `descriptor`.
inline uint32_t tocAddress(const TocEntries& toc, int32_t descriptor) {
  const uint8_t* b = toc.data() + 4 + 8 * descriptor + 4;
  return ((uint32_t{b[0]} * 256 + b[1]) * 256 + b[2]) * 256 + b[3];
}

// Whether descriptor `descriptor` is an audio track (its data bit clear).
inline bool tocIsAudio(const TocEntries& toc, int32_t descriptor) {
  return (toc[4 + 8 * descriptor + 1] & 0x04) == 0;
}

}  // namespace engine
