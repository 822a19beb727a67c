// The CD-TEXT a pressed disc carries in its lead-in, as READ TOC/PMA/ATIP
// format 5 answers it: 18-byte packs, block 0 in ISO 8859-1, of the album's
// and the tracks' titles, performers and songwriters (the cue sheet's
// TITLE, PERFORMER and SONGWRITER lines), each with its CRC, and the three
// size information packs. Empty when the disc has no such text.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/vdrive/disc.h"

namespace platform::vdrive {

// The packs alone, without the 4-byte header of the answer.
std::vector<uint8_t> CdTextPacks(const Disc& disc);

}  // namespace platform::vdrive
