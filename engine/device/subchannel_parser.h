// Reading the answers that carry the Q sub-channel: READ SUB-CHANNEL's media
// catalog number and ISRC, and the 16 bytes of formatted Q that READ CD
// gives after a sector. Drives can answer garbage or nothing at all (a
// refused command may still report success with the buffer untouched), so
// every reader checks what it takes and answers "nothing" rather than a
// wrong value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace engine::device {

inline constexpr size_t kSubChannelAnswerBytes = 24;
inline constexpr size_t kFormattedQBytes = 16;

// The 13-digit catalog number of a format 2 answer with MCVal set; "" when
// the answer holds none (an all-zero number counts as none: drives report
// it for discs mastered without one).
std::string CatalogFromSubChannel(std::span<const uint8_t> answer);

// The 12-character ISRC (capital letters and digits) of a format 3 answer
// with TCVal set; "" when there is none.
std::string IsrcFromSubChannel(std::span<const uint8_t> answer);

// One position entry of the Q sub-channel (ADR 1).
struct QPosition {
  uint8_t control = 0;  // the track's control nibble
  uint8_t track = 0;    // 1..99; 0xAA in the lead-out
  uint8_t index = 0;    // 0 in a pregap
  int32_t lba = 0;      // the sector the entry describes (absolute time - 150)
};

// The position in formatted Q: nothing when the bytes are no position entry
// (another ADR mode, a wrong CRC, digits that are not BCD, all zeros).
// A CRC of all zeros is accepted: some drives do not pass it on.
std::optional<QPosition> PositionFromFormattedQ(std::span<const uint8_t> q);

}  // namespace engine::device
