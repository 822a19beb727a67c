// The identity of a disc in the AccurateRip database, from its layout:
//   id1 = sum of the audio tracks' starts + lead-out,
//   id2 = sum of max(start, 1) x n + lead-out x (audio tracks + 1),
// in LBA, mod 2^32, where n counts the audio tracks from 1 in disc order and
// the lead-out is the last session's (so a CD-Extra disc's data session
// counts); and the CDDB disc identifier of the whole disc, data tracks
// included, with that same lead-out.
#pragma once

#include <cstdint>
#include <string>

#include "proof/disc_layout.h"

namespace proof {

struct AccurateRipDiscId {
  uint32_t audioTracks = 0;
  uint32_t id1 = 0;
  uint32_t id2 = 0;
  uint32_t cddbId = 0;
  bool operator==(const AccurateRipDiscId&) const = default;
};

AccurateRipDiscId AccurateRipDiscIdOf(const DiscLayout& layout);

// The CDDB identifier, through the device layer's routine over an MSF-form
// table of contents built from the layout.
uint32_t CddbDiscIdOf(const DiscLayout& layout);

// "NNN-AAAAAAAA-BBBBBBBB-CCCCCCCC": the audio-track count in three decimal
// digits, id1, id2 and the CDDB id in eight lower-case hex digits each.
std::string AccurateRipIdentity(const AccurateRipDiscId& id);

// "/accuraterip/X/Y/Z/dBAR-<identity>.bin" with X, Y, Z the lowest, second
// and third hex digits of id1 (lower case): where the server keeps the
// disc's record.
std::string AccurateRipPath(const AccurateRipDiscId& id);

}  // namespace proof
