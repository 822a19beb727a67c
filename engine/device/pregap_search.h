// Finding where a track's pregap (INDEX 00) begins from the Q sub-channel,
// by reading as few sectors as possible.
//
// A track's pregap is the run of sectors just before its INDEX 01 whose Q
// already names the track, with index 0. Which track a sector's Q names only
// grows along the disc, so the first sector of the pregap is found by a
// search between the previous track's start and this one's: first the two
// answers most discs give (no pregap: the sector before INDEX 01 belongs to
// the previous track; two seconds: the 150th sector before it is the first
// of the track), then bisection. Each answer bounds the search by the sector
// its Q describes, which need not be the one asked for: drives are known to
// return the Q of a neighbouring sector, and Q entries of other kinds
// (catalog number, ISRC) stand in place of a position now and then, in
// which case the neighbours are asked.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "engine/device/subchannel_parser.h"

namespace engine::device {

// Reads the Q of the sector at `lba`: nothing when the drive gave none.
using QProbe = std::function<std::optional<QPosition>(int32_t lba)>;

struct PregapSearch {
  std::optional<int32_t> pregapFrames;  // nothing: the drive's answers did not allow it
  uint32_t sectorsRead = 0;
  bool refused = false;  // no probe at all answered: the drive gives no Q
};

// The pregap of track `track`, whose INDEX 01 is at `start`, where the
// previous track's INDEX 01 is at `previousStart`.
PregapSearch FindPregap(uint8_t track, int32_t previousStart, int32_t start, const QProbe& probe);

}  // namespace engine::device
