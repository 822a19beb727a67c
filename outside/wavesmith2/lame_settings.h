// The MP3 parameters of the codec's settings object, in LAME's vocabulary:
// the record shared with the engine's MP3 settings object, whose values are
// copied here one by one; the writer hands them to LAME.
#pragma once

#include <cstdint>
#include <string>

#include "components/lame/lame_record.h"

namespace wavesmith {

using lame::StereoMode;
using lame::VbrMethod;

// The shared MP3 settings record (its fields, widths and order are the
// settings object's), plus the frame-header bits only the codec knows.
struct LameSettings : lame::LameRecord {
  // Frame header bits no caller sets today; LAME's defaults.
  bool copyright = false;
  bool original = true;
};

// Bit rates (kbit/s) a frame header can carry at this sample rate, ascending,
// or an empty list when MP3 has no MPEG version for the rate.
const int* mp3BitratesFor(int rate_hz, int* count);
bool mp3RateValid(int rate_hz);
bool mp3BitrateValid(int rate_hz, int bitrate_kbps);

// Checks what LAME would otherwise silently change; an empty result means
// the settings can be written as they stand.
std::string checkLameSettings(const LameSettings& s);

}  // namespace wavesmith
