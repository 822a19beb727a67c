// The MusicBrainz disc id of a disc, computed by libdiscid from the layout
// the engine read (no drive access). A CD-Extra disc counts with its first
// session only: the trailing data tracks are left out and the lead-out is the
// first data track's start less the gap between the sessions.
#pragma once

#include <optional>
#include <string>

#include "proof/disc_layout.h"

namespace proof {

// The 28-character id, or nothing when the layout is not one libdiscid
// accepts (no audio, more than 99 tracks, addresses out of order).
std::optional<std::string> MusicBrainzDiscId(const DiscLayout& layout);

}  // namespace proof
