// The table of contents of a disc as text, for rm-discinfo: one line a track
// with its type, start (LBA and MSF), length and pre-emphasis, then the
// sessions and their lead-outs.
#pragma once

#include <string>

#include "platform/vdrive/disc.h"

namespace platform::vdrive {

std::string formatTableOfContents(const Disc& disc);

}  // namespace platform::vdrive
