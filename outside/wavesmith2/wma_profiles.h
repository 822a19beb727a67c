// The 47 WMA profiles by number (1 … 47, the settings dialog's item index
// plus one) with what each asks for, and what our encoder (FFmpeg's WMA 9
// standard bitstream, constant bit rate only) makes of it.
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

// The lowest and highest constant rates written: FFmpeg's encoder refuses
// less than 24 kbit/s, and the standard codec tops out at 320.
inline constexpr int kWmaFloorKbps = 24;
inline constexpr int kWmaTopKbps = 320;

// The constant rate of comparable quality for a VBR quality level (10 … 98),
// by the average rates those levels reach on CD music.
int wmaQualityKbps(int quality);

// What to hand FFmpeg for the profile, at the profile's rate and channels.
// A profile the encoder cannot make as named gets the nearest setting it
// can: a VBR quality its constant rate of comparable quality, a rate below
// the floor the floor, Lossless the top rate; `made` then says what is
// written (empty when the profile is made as named). False with `error`
// only for a number outside 1 … 47 or a setting the encoder refuses.
bool wmaTarget(int number, LavcTarget& target, std::string& made, std::string& error);

}  // namespace wavesmith
