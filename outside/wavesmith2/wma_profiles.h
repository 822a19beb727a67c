// The 47 WMA profiles by number (1 … 47, the settings dialog's item index
// plus one) with what each asks for, and whether our encoder can produce it.
#pragma once

#include <string>

#include "outside/wavesmith2/lavc_writer.h"

namespace wavesmith {

enum class WmaMode { kCbr, kVbrQuality, kLossless };

struct WmaProfile {
  int number;
  const char* name;  // as the settings dialog lists it
  int rate_hz;
  int channels;
  int bitrate_kbps;  // CBR profiles
  WmaMode mode;
  int quality;       // VBR quality profiles
  int wma_version;   // 1 or 2: which standard bitstream the profile names
};

inline constexpr int kWmaProfileCount = 47;

// The profile with this number, or null.
const WmaProfile* wmaProfile(int number);

// What to hand FFmpeg for the profile. Returns false with a message that
// names the profile when it cannot be produced as named (a quality-VBR or
// lossless profile, or a rate the encoder refuses); such a profile is never
// written with other settings instead.
bool wmaTarget(int number, LavcTarget& target, std::string& error);

}  // namespace wavesmith
