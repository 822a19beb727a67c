// Identifiers computed from a disc's table of contents, for the demo disc's
// title sidecar and for rm-discinfo: the CDDB disc ID and the key under which
// cdplayer.ini files the disc.
#pragma once

#include <cstdint>

#include "platform/vdrive/disc.h"

namespace platform::vdrive {

// The freedb disc ID: digit sums of the track starts in whole seconds
// (2-second offset included) mod 255, playing time in seconds, track count.
// Every track counts, data tracks included.
uint32_t cddbDiscId(const Disc& disc);

// The cdplayer.ini key: the sum of the audio tracks' MSF start addresses read
// as 32-bit numbers (minutes << 16 | seconds << 8 | frames).
uint32_t cdPlayerKey(const Disc& disc);

}  // namespace platform::vdrive
