// Reading the engine's raw table of contents (the READ TOC answer as it is
// kept in tocEntries_): a 4-byte header, then 8-byte track descriptors,
// the lead-out's after the last track's.
#pragma once

#include <algorithm>
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

// Track descriptors in the table: the count the header's byte 3 gives, at
// most 99 (descriptors 0..98 and the lead-out's fill the 804 bytes).
inline int32_t tocTrackDescriptors(const TocEntries& toc) { return std::min<int32_t>(toc[3], 99); }

// The start address of the audio track with ordinal `ordinal` (0-based,
// data tracks skipped, as the engine's track list counts them); 0 when the
// table has no such track.
inline uint32_t tocAudioTrackStart(const TocEntries& toc, int32_t ordinal) {
  int32_t audio = -1;
  for (int32_t d = 0; d < tocTrackDescriptors(toc); ++d) {
    if (tocIsAudio(toc, d) && ++audio == ordinal) return tocAddress(toc, d);
  }
  return 0;
}

// The lead-out's address: the descriptor after the last track's.
inline uint32_t tocLeadOut(const TocEntries& toc) { return tocAddress(toc, tocTrackDescriptors(toc)); }

}  // namespace engine
