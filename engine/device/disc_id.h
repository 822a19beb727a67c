// The CDDB (freedb) disc identifier: the digit sums of the track starts in
// whole seconds (two-second lead-in included) modulo 255 in the top byte, the
// playing time in seconds in the middle 16 bits, the track count in the low
// byte. Data tracks take part.
#pragma once

#include <cstdint>
#include <span>

#include "engine/device/device_types.h"

namespace engine::device {

// Fills `record` from an MSF-form READ TOC answer and returns the identifier
// (also record.values[0]). The count is last - first + 1 from the header (0
// when first is above last), bounded to the descriptors the buffer holds
// (lead-out included) and to the record's 100 tracks; the playing time is
// bounded to 0..65535 seconds. An all-zero buffer gives one pseudo-track and
// the identifier 0x00000001.
int32_t DiscIdFromToc(std::span<const uint8_t> toc, DiscIdRecord& record);

}  // namespace engine::device
