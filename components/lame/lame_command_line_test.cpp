#include "components/lame/lame_command_line.h"

#include <gtest/gtest.h>

#include "components/lame/lame_presets.h"

namespace lame {
namespace {

TEST(LameCommandLine, ResetsThenAppliesOptionsInOrder) {
  LameRecord r;
  r.error_protection = 1;
  applyCommandLine(r, "-b 192 -m j");
  LameRecord want = resetRecord();
  want.bitrate_kbps = 192;
  want.stereo_mode = 2;
  EXPECT_EQ(r, want);

  applyCommandLine(r, "--preset cd -q 0");
  EXPECT_EQ(r.encoder_quality, 0);
  EXPECT_EQ(r.vbr_quality, 2);
  EXPECT_EQ(r.vbr_bitrate_kbps, 320);
  applyCommandLine(r, "-q 0 --preset cd");
  EXPECT_EQ(r.encoder_quality, 2);

  // A trailing option without its argument changes nothing beyond the reset.
  applyCommandLine(r, "-b");
  EXPECT_EQ(r, resetRecord());
  // An empty command line changes nothing at all.
  r.bitrate_kbps = 64;
  applyCommandLine(r, "");
  EXPECT_EQ(r.bitrate_kbps, 64);
}

TEST(LameCommandLine, FilterValuesAreTakenOnlyWhenPositive) {
  LameRecord r;
  applyCommandLine(r, "--lowpass 19.5 --resample 22.05 --highpass-width 0.25");
  EXPECT_EQ(r.lowpass_hz, 19500);
  EXPECT_EQ(r.frequency_hz, 22050);
  EXPECT_EQ(r.highpass_width_hz, 250);
  applyCommandLine(r, "--lowpass -3 -b 64");
  EXPECT_EQ(r.lowpass_hz, 0);
  EXPECT_EQ(r.bitrate_kbps, 64);
  applyCommandLine(r, "-k --highpass");
  EXPECT_EQ(r.highpass_hz, 0);
  EXPECT_EQ(r.lowpass_hz, -1);
  // Two blanks make an empty token: here it is -b's argument, which reads
  // as 0, and the 64 after it matches nothing.
  applyCommandLine(r, "-b  64");
  EXPECT_EQ(r.bitrate_kbps, 0);
}

TEST(LameCommandLine, EveryFlagOptionSetsItsField) {
  LameRecord r;
  applyCommandLine(r, "-t --noath -F -p -e 1 --nores -noshort --strictly-enforce-ISO -d --vbr-mtrh -m m");
  EXPECT_EQ(r.write_vbr_header, 0);
  EXPECT_EQ(r.ath_mode, 2);
  EXPECT_EQ(r.enforce_min_bitrate, 1);
  EXPECT_EQ(r.error_protection, 1);
  EXPECT_EQ(r.emphasis, 1);
  EXPECT_EQ(r.reservoir_off, 1);
  EXPECT_EQ(r.short_blocks_off, 1);
  EXPECT_EQ(r.strict_iso, 1);
  EXPECT_EQ(r.block_type_control, 1);
  EXPECT_EQ(r.vbr_method, 3);
  EXPECT_EQ(r.channels, 1);
  EXPECT_EQ(r.stereo_mode, 1);  // "m" leaves the stereo mode alone

  applyCommandLine(r, "--abr 160 -h -B 256 -v 4");
  EXPECT_EQ(r.vbr_method, 4);
  EXPECT_EQ(r.abr_bitrate_kbps, 160);
  EXPECT_EQ(r.encoder_quality, 3);
  EXPECT_EQ(r.vbr_bitrate_kbps, 256);
  EXPECT_EQ(r.vbr_quality, 4);

  // Ignored switches take no argument: the value after them is a token of
  // its own that matches nothing.
  applyCommandLine(r, "-x 5 --comp 3 -f");
  EXPECT_EQ(r.vbr_quality, 9);
  EXPECT_EQ(r.encoder_quality, 1);
  applyCommandLine(r, "--athshort --vbr-new --r3mix");
  EXPECT_EQ(r.ath_mode, 3);
  EXPECT_EQ(r.vbr_method, 3);  // r3mix's own method overrides --vbr-new
  EXPECT_EQ(r.lowpass_hz, 19500);
}

TEST(LameCommandLine, PresetNamesAndUnknownNames) {
  LameRecord r;
  applyCommandLine(r, "--alt-preset standard");
  EXPECT_EQ(r.vbr_method, 1);
  EXPECT_EQ(r.lowpass_hz, 19000);
  // The blank in "fast standard" splits it: only VBR_DEFAULT stays.
  applyCommandLine(r, "--alt-preset fast standard");
  LameRecord want = resetRecord();
  want.vbr_method = 0;
  EXPECT_EQ(r, want);
  applyCommandLine(r, "--preset nonsense");
  EXPECT_EQ(r, want);
  applyCommandLine(r, "--preset voice");
  EXPECT_EQ(r.frequency_hz, 32000);
  EXPECT_EQ(r.short_blocks_off, 1);
}

// Numbers of any size are read without overflow: integers wrap into the
// field's width, kHz values stay within 32 bits.
TEST(LameCommandLine, NumbersOfAnySizeAreReadSafely) {
  EXPECT_EQ(readInt16("  -12xyz"), -12);
  EXPECT_EQ(readInt16("abc"), 0);
  EXPECT_EQ(readInt16("65537"), 1);
  EXPECT_EQ(readInt16("99999999999999999999999999"), readInt16("99999999999999999999999999"));
  EXPECT_DOUBLE_EQ(readDecimal("19.5.3"), 19.5);
  EXPECT_DOUBLE_EQ(readDecimal("1e9"), 1.0);
  LameRecord r;
  applyCommandLine(r, "--resample 99999999999999999999999 --lowpass " + std::string(400, '9'));
  EXPECT_EQ(r.frequency_hz, 2147483647);
  EXPECT_EQ(r.lowpass_hz, 2147483647);
  applyCommandLine(r, "--resample -99999999999");
  EXPECT_EQ(r.frequency_hz, -2147483647 - 1);
}

TEST(LameCommandLine, AtMost127TokensAreTaken) {
  std::string line;
  for (int i = 0; i < 126; ++i) line += "x ";
  LameRecord r;
  applyCommandLine(r, line + "-p");  // token 127
  EXPECT_EQ(r.error_protection, 1);
  applyCommandLine(r, line + "x -p");  // token 128: not taken
  EXPECT_EQ(r.error_protection, 0);
}

TEST(LamePresets, PresetsWriteTheirRowOnlyAndUnknownNumbersReset) {
  LameRecord r;
  r.error_protection = 1;
  applyPreset(r, 9);
  EXPECT_EQ(r.error_protection, 1);
  EXPECT_EQ(r.encoder_quality, 2);
  EXPECT_EQ(r.vbr_bitrate_kbps, 320);
  EXPECT_EQ(r.stereo_mode, 1);
  applyPreset(r, 1);
  EXPECT_EQ(r.frequency_hz, 8000);
  EXPECT_EQ(r.lowpass_width_hz, 1000);
  for (int unknown : {0, 12, 50, 100, 106, -1}) {
    applyPreset(r, unknown);
    EXPECT_EQ(r, resetRecord()) << unknown;
  }
  applyPreset(r, 105);
  EXPECT_EQ(r.bitrate_kbps, 320);
  EXPECT_EQ(r.lowpass_hz, 20500);
  EXPECT_EQ(presetNumber("fast extreme", 101, 105), 103);
  EXPECT_EQ(presetNumber("cd", 101, 105), 0);
}

TEST(LameRecord, NewAndResetDifferOnlyInTheVbrBitrate) {
  LameRecord fresh;
  LameRecord reset = resetRecord();
  EXPECT_EQ(fresh.vbr_bitrate_kbps, 192);
  reset.vbr_bitrate_kbps = 192;
  EXPECT_EQ(fresh, reset);
  EXPECT_EQ(offFlagFor(-1), 0);
  EXPECT_EQ(onValueOf(offFlagFor(-1)), 1);
  EXPECT_EQ(onValueOf(offFlagFor(0)), 0);
}

}  // namespace
}  // namespace lame
