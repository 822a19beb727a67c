// FLAC output of `ripmarrow rip`: the format is set on the engine's own codec
// object (GetAudioFile2Interface), and the tracks are ripped with
// RipTrackToAudioFile2Format, which applies no format of its own.
#pragma once

#include <string>

#include "components/trackmill2.h"

namespace ripmarrow {

inline constexpr long kFlacDefaultLevel = 5;

// Sets FLAC at compression `level` (0-8) on the engine's codec object.
// "" on success, else why not.
std::string setFlacFormat(IAudioCDRipper2* engine, long level);

}  // namespace ripmarrow
