// Writes a disc out as a BINARY cue/bin pair (every sector raw, 2352 bytes),
// and the cdplayer.ini-style title sidecar of a disc. Used at build time for
// the demo disc; also how a generated disc becomes an ordinary image.
#pragma once

#include <string>

#include "platform/vdrive/disc.h"

namespace platform::vdrive {

// Writes <folder>/<base>.bin and <folder>/<base>.cue; throws ImageError.
void writeCueImage(const Disc& disc, const std::string& folder, const std::string& base);

// The disc's titles in the layout of cdplayer.ini: a section named by the
// disc's key in upper-case hexadecimal with artist, title, numtracks, one key
// per track ("0", "1", …) and order.
std::string titleSidecar(const Disc& disc);

}  // namespace platform::vdrive
