// LAME-style command lines for the MP3 settings ("-b 192 -m j",
// "--preset cd -q 0", "--lowpass 19.5"), as SetParamsFromCommandLine takes
// them.
#pragma once

#include <cstdint>
#include <string_view>

#include "components/lame/lame_record.h"

namespace lame {

// An empty command line changes nothing. Otherwise every field is reset,
// then the options apply from left to right, so a later option (or preset)
// overrides an earlier one. Tokens are split at every single blank (two
// blanks make an empty token, which matches nothing); at most 127 are taken;
// tokens are compared exactly, with case; unknown tokens are skipped; an
// option whose argument is missing is ignored.
void applyCommandLine(LameRecord& r, std::string_view commandLine);

// The decimal readings of option arguments: leading blanks, an optional
// sign, digits (and for kHz values one decimal point); reading stops at the
// first character that does not fit, and text that is no number reads 0.
// Integers wrap into the field's width, as a C conversion would store them;
// kHz values are rounded to whole Hz and kept within 32 bits.
int16_t readInt16(std::string_view text);
double readDecimal(std::string_view text);
int32_t kiloToUnits(double kilo);

}  // namespace lame
