#include "outside/wavesmith2/lame_params.h"

#include <gtest/gtest.h>

namespace wavesmith {
namespace {

// Compares every field, so a stray write anywhere shows.
void expectSame(const LameSettings& a, const LameSettings& b) {
  EXPECT_EQ(a.bitrate_kbps, b.bitrate_kbps);
  EXPECT_EQ(a.vbr_bitrate_kbps, b.vbr_bitrate_kbps);
  EXPECT_EQ(a.channels, b.channels);
  EXPECT_EQ(a.encoder_quality, b.encoder_quality);
  EXPECT_EQ(a.vbr_quality, b.vbr_quality);
  EXPECT_EQ(a.frequency_hz, b.frequency_hz);
  EXPECT_EQ(a.vbr_method, b.vbr_method);
  EXPECT_EQ(a.abr_bitrate_kbps, b.abr_bitrate_kbps);
  EXPECT_EQ(a.error_protection, b.error_protection);
  EXPECT_EQ(a.write_vbr_header, b.write_vbr_header);
  EXPECT_EQ(a.reservoir_off, b.reservoir_off);
  EXPECT_EQ(a.block_type_control, b.block_type_control);
  EXPECT_EQ(a.short_blocks_off, b.short_blocks_off);
  EXPECT_EQ(a.strict_iso, b.strict_iso);
  EXPECT_EQ(a.enforce_min_bitrate, b.enforce_min_bitrate);
  EXPECT_EQ(a.lowpass_hz, b.lowpass_hz);
  EXPECT_EQ(a.highpass_hz, b.highpass_hz);
  EXPECT_EQ(a.lowpass_width_hz, b.lowpass_width_hz);
  EXPECT_EQ(a.highpass_width_hz, b.highpass_width_hz);
  EXPECT_EQ(a.ath_mode, b.ath_mode);
  EXPECT_EQ(a.emphasis, b.emphasis);
  EXPECT_EQ(a.stereo_mode, b.stereo_mode);
}

TEST(LameParams, CommandLineResetsThenAppliesOptionsInOrder) {
  LameSettings s;
  s.error_protection = 1;
  applyLameCommandLine(s, "-b 192 -m j");
  LameSettings want = resetLameSettings();
  want.bitrate_kbps = 192;
  want.channels = 2;
  want.stereo_mode = 2;
  expectSame(s, want);

  applyLameCommandLine(s, "--preset cd -q 0");
  EXPECT_EQ(s.encoder_quality, 0);
  EXPECT_EQ(s.bitrate_kbps, 128);
  EXPECT_EQ(s.vbr_quality, 2);
  applyLameCommandLine(s, "-q 0 --preset cd");
  EXPECT_EQ(s.encoder_quality, 2);

  // A trailing option without its argument changes nothing beyond the reset.
  applyLameCommandLine(s, "-b");
  expectSame(s, resetLameSettings());
}

TEST(LameParams, FilterValuesAreTakenOnlyWhenPositive) {
  LameSettings s;
  applyLameCommandLine(s, "--lowpass 19.5 --resample 22.05");
  EXPECT_EQ(s.lowpass_hz, 19500);
  EXPECT_EQ(s.frequency_hz, 22050);
  applyLameCommandLine(s, "--lowpass -3 -b 64");
  EXPECT_EQ(s.lowpass_hz, 0);
  EXPECT_EQ(s.bitrate_kbps, 64);
  // Two blanks make an empty token: here it is -b's argument, which reads
  // as 0, and the 64 after it matches nothing.
  applyLameCommandLine(s, "-b  64");
  EXPECT_EQ(s.bitrate_kbps, 0);
}

TEST(LameParams, PresetsWriteTheirRowOnlyAndUnknownNumbersReset) {
  LameSettings s;
  s.error_protection = 1;
  applyLamePreset(s, 9);
  EXPECT_EQ(s.error_protection, 1);
  EXPECT_EQ(s.encoder_quality, 2);
  EXPECT_EQ(s.vbr_bitrate_kbps, 320);
  applyLamePreset(s, 5);
  EXPECT_EQ(s.short_blocks_off, 1);
  EXPECT_EQ(s.frequency_hz, 32000);
  applyLamePreset(s, 50);
  expectSame(s, resetLameSettings());
  applyLamePreset(s, 102);
  EXPECT_EQ(s.vbr_method, 1);
  EXPECT_EQ(s.lowpass_hz, 19000);
}

}  // namespace
}  // namespace wavesmith
