// The MP3 settings record shared by the engine's settings object
// (AudioCDRipperLameMP3Encoder2) and the codec's (AudioFile2LameEnc): the
// parameters in LAME's vocabulary, in the widths and order both objects keep
// them. Values are never checked here; the engine normalises them when it
// hands them to the codec, and the codec judges what it is given.
#pragma once

#include <cstdint>

namespace lame {

// Mp3Method and Mp3TypeStereoContants of the engine's interface.
enum class VbrMethod : int16_t { kNone = -1, kDefault = 0, kOld = 1, kNew = 2, kMtrh = 3, kAbr = 4 };
enum class StereoMode : int16_t { kSimple = 1, kJoint = 2, kForcedJoint = 3, kDualChannel = 4 };

// Field order and widths are those of the settings object; the defaults are
// a new object's values (resetRecord differs only in vbr_bitrate_kbps).
struct LameRecord {
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
  int16_t reservoir_off = 0;        // inverse of the BitReservoir property
  int16_t block_type_control = 0;   // channels may use different block types
  int16_t short_blocks_off = 0;     // inverse of the ShortBlocks property
  int16_t strict_iso = 0;
  int16_t enforce_min_bitrate = 0;  // VBR never goes below bitrate_kbps
  int32_t lowpass_hz = -1;          // -1: none chosen
  int32_t highpass_hz = -1;         // -1: none
  int32_t lowpass_width_hz = 0;
  int32_t highpass_width_hz = 0;
  int16_t ath_mode = 0;             // 0 default, 1 "--ath", 2 "--noath", 3 "--athshort"
  int16_t emphasis = 0;
  int16_t stereo_mode = 1;          // StereoMode

  bool operator==(const LameRecord&) const = default;
};

// Every field at its value after a reset.
inline LameRecord resetRecord() {
  LameRecord r;
  r.vbr_bitrate_kbps = 128;
  return r;
}

// BitReservoir and ShortBlocks are kept as "off" flags: a put of 0 stores 1,
// any other value 0; a get answers 1 (not the value put) when on.
inline int16_t offFlagFor(int32_t onValue) { return onValue == 0 ? 1 : 0; }
inline int16_t onValueOf(int16_t offFlag) { return offFlag == 0 ? 1 : 0; }

}  // namespace lame
