#include "outside/wavesmith2/wma_profiles.h"

#include <gtest/gtest.h>

#include "outside/wavesmith2/audio_file.h"
#include "outside/wavesmith2/test_signals.h"

namespace wavesmith {
namespace {

TEST(WmaProfiles, EveryNumberGetsTheNearestSettingTheEncoderMakes) {
  for (int n = 1; n <= kWmaProfileCount; ++n) {
    SCOPED_TRACE(n);
    const WmaProfile* p = wmaProfile(n);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->number, n);
    LavcTarget t;
    std::string made, error;
    ASSERT_TRUE(wmaTarget(n, t, made, error)) << error;
    EXPECT_EQ(t.muxer, "asf");
    EXPECT_EQ(t.layout.rate_hz, p->rate_hz);
    EXPECT_EQ(t.layout.channels, p->channels);
    EXPECT_GE(t.bit_rate_bps, kWmaFloorKbps * 1000);
    EXPECT_LE(t.bit_rate_bps, kWmaTopKbps * 1000);
    const bool exact = p->mode == WmaMode::kCbr && p->bitrate_kbps >= kWmaFloorKbps;
    EXPECT_EQ(made.empty(), exact) << made;
    if (exact) {
      EXPECT_EQ(t.bit_rate_bps, p->bitrate_kbps * 1000);
    } else {
      EXPECT_NE(made.find(std::to_string(t.bit_rate_bps / 1000) + " kbit/s"), std::string::npos) << made;
    }
  }
  LavcTarget t;
  std::string made, error;
  EXPECT_FALSE(wmaTarget(0, t, made, error));
  EXPECT_FALSE(wmaTarget(48, t, made, error));
  EXPECT_EQ(wmaProfile(48), nullptr);
  // The substitutes keep their order: better quality, more bits.
  EXPECT_LT(wmaQualityKbps(10), wmaQualityKbps(25));
  EXPECT_LT(wmaQualityKbps(75), wmaQualityKbps(90));
  EXPECT_LT(wmaQualityKbps(90), wmaQualityKbps(98));
  ASSERT_TRUE(wmaTarget(47, t, made, error));
  EXPECT_EQ(t.bit_rate_bps, kWmaTopKbps * 1000);
}

// Every profile, the engine's default 39 among them, writes a file that
// decodes at the profile's rate and channels, and says what it wrote.
TEST(WmaProfiles, EveryProfileWritesADecodableFile) {
  test::ScratchDir dir;
  const auto pcm = test::tone(44100, 2, 0.6, 440);
  for (int n = 1; n <= kWmaProfileCount; ++n) {
    SCOPED_TRACE(n);
    const WmaProfile* p = wmaProfile(n);
    AudioFile file;
    ASSERT_TRUE(file.setFormatWMA(n)) << file.formatString();
    EXPECT_EQ(file.formatString().rfind(p->name, 0), 0u) << file.formatString();
    const std::string path = dir.file(std::to_string(n) + ".wma");
    ASSERT_EQ(file.createOutputFile(path), 0) << file.lastError();
    ASSERT_TRUE(file.setInputFormat(44100, 2));
    ASSERT_TRUE(file.writeSamples(pcm.data(), pcm.size()));
    ASSERT_TRUE(file.closeFile()) << file.lastError();
    const test::Decoded d = test::decodeAll(path);
    EXPECT_EQ(d.rate_hz, p->rate_hz);
    EXPECT_EQ(d.channels, p->channels);
    EXPECT_NEAR(static_cast<double>(d.samples.size()) / p->channels / p->rate_hz, 0.6, 0.1);
  }
  AudioFile file;
  ASSERT_TRUE(file.setFormatWMA(39));
  EXPECT_EQ(file.formatString(), "WMA9 48KHz, Stereo, VBR Quality 98 (written as WMA 48000 Hz, 320 kbit/s CBR, stereo)");
  ASSERT_TRUE(file.setFormatWMA(38));
  EXPECT_EQ(file.formatString(), "WMA9 8KHz,  5Kbps, Mono, CBR (written as WMA 8000 Hz, 24 kbit/s CBR, mono)");
  ASSERT_TRUE(file.setFormatWMA(10));
  EXPECT_EQ(file.formatString(), "WMA9 44KHz, 128Kbps, Stereo, CBR");
}

TEST(WmaProfiles, NamesKeepTheSettingsListSpelling) {
  EXPECT_STREQ(wmaProfile(10)->name, "WMA9 44KHz, 128Kbps, Stereo, CBR");
  EXPECT_STREQ(wmaProfile(35)->name, "WMA9 8KHz,  12Kbps, Stereo, CBR");
  EXPECT_STREQ(wmaProfile(21)->name, wmaProfile(23)->name);
  EXPECT_EQ(wmaProfile(33)->rate_hz, 11025);
}

}  // namespace
}  // namespace wavesmith
