// The MP3 settings object's two ways of filling a whole LameSettings at
// once: numbered presets and a LAME-style command line. Pure functions over
// the settings, shared by AudioFile2LameEnc and its tests.
#pragma once

#include <string_view>

#include "outside/wavesmith2/lame_settings.h"

namespace wavesmith {

// Every field at its reset value (a new object differs only in
// vbr_bitrate_kbps: 192 against 128).
LameSettings resetLameSettings();

// Applies preset `preset`: 1 … 11 ("phone" … "r3mix") and 101 … 105
// ("fast standard" … "insane") write the fields of their row and keep every
// other field; any other number resets every field.
void applyLamePreset(LameSettings& s, int preset);

// Resets every field, then applies the options of `commandLine` from left to
// right (a later option overrides an earlier one). Tokens are split at every
// single blank; at most 127 are taken; unknown tokens are skipped. An empty
// command line changes nothing.
void applyLameCommandLine(LameSettings& s, std::string_view commandLine);

}  // namespace wavesmith
