// The Q sub-channel of a sector, as a drive reads it from the disc: position
// (ADR 1) with track, index, time in the track and absolute time; and the
// 96-byte raw P-W form of READ CD.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "platform/vdrive/disc.h"

namespace platform::vdrive {

struct QPosition {
  uint8_t control = 0;
  uint8_t track = 0;  // 1..99, AAh in the lead-out
  uint8_t index = 0;  // 0 in a pregap
  int32_t relativeFrames = 0;  // from the track's index 01; counts down through the pregap
  Lba absolute = 0;
};

QPosition qPosition(const Disc& disc, Lba lba);

// Q as on the disc: 10 bytes in BCD followed by the inverted CRC-16 (CCITT).
std::array<uint8_t, 12> qSubchannel(const QPosition& q);

// P-W interleaved one bit per channel a byte: P marks the pregap, Q as above,
// R-W empty.
void rawSubchannel(const QPosition& q, std::span<uint8_t, 96> out);

}  // namespace platform::vdrive
