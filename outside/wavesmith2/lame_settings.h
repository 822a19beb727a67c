// The MP3 parameters of the codec's settings object, in LAME's vocabulary.
// Field meanings and defaults follow the engine's MP3 settings object, whose
// values are copied here one by one; the writer hands them to LAME.
#pragma once

#include <cstdint>
#include <string>

namespace wavesmith {

enum class VbrMethod : int16_t { kNone = -1, kDefault = 0, kOld = 1, kNew = 2, kMtrh = 3, kAbr = 4 };
enum class StereoMode : int16_t { kSimple = 1, kJoint = 2, kForcedJoint = 3, kDualChannel = 4 };

struct LameSettings {
  int16_t bitrate_kbps = 128;       // CBR rate; the minimum rate in VBR modes
  int16_t vbr_bitrate_kbps = 192;   // maximum rate in VBR modes
  int16_t channels = 2;
  int16_t encoder_quality = 5;      // 0 best … 9 fastest
  int16_t vbr_quality = 7;          // 0 best … 9
  int32_t frequency_hz = 44100;
  int16_t vbr_method = -1;          // VbrMethod
  int16_t abr_bitrate_kbps = 128;
  int16_t error_protection = 0;     // CRC on every frame
  int16_t write_vbr_header = 1;     // Xing/LAME header written back at close
  int16_t reservoir_off = 0;        // stored inverted, as the settings object keeps it
  int16_t block_type_control = 0;   // channels may use different block types
  int16_t short_blocks_off = 0;     // stored inverted
  int16_t strict_iso = 0;
  int16_t enforce_min_bitrate = 0;  // VBR never goes below bitrate_kbps
  int32_t lowpass_hz = -1;          // -1 or 0: LAME's own choice
  int32_t highpass_hz = -1;         // -1 or 0: none
  int32_t lowpass_width_hz = 0;
  int32_t highpass_width_hz = 0;
  int16_t ath_mode = 0;             // 0 default, 1 ATH on, 2 ATH off, 3 ATH for short blocks only
  int16_t emphasis = 0;             // 0 none, 1 50/15 µs, 3 CCITT J.17
  int16_t stereo_mode = 1;          // StereoMode
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
