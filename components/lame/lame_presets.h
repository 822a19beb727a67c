// Named presets of the MP3 settings: 1 … 11 ("phone" … "r3mix") and the
// alternative presets 101 … 105 ("fast standard" … "insane").
#pragma once

#include <string_view>

#include "components/lame/lame_record.h"

namespace lame {

// Writes the fields of preset `preset`'s row and keeps every other field;
// a number without a row (0, 12 … 100, above 105, negative) resets every
// field instead.
void applyPreset(LameRecord& r, int preset);

// The number of the preset called `name` among first … last, or 0.
int presetNumber(std::string_view name, int first, int last);

}  // namespace lame
