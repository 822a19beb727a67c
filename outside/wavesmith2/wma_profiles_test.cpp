#include "outside/wavesmith2/wma_profiles.h"

#include <gtest/gtest.h>

namespace wavesmith {
namespace {

TEST(WmaProfiles, EveryNumberIsProducedAsNamedOrRefusedByName) {
  int produced = 0;
  for (int n = 1; n <= kWmaProfileCount; ++n) {
    const WmaProfile* p = wmaProfile(n);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->number, n);
    LavcTarget t;
    std::string error;
    if (wmaTarget(n, t, error)) {
      ++produced;
      EXPECT_EQ(p->mode, WmaMode::kCbr);
      EXPECT_EQ(t.layout.rate_hz, p->rate_hz);
      EXPECT_EQ(t.layout.channels, p->channels);
      EXPECT_EQ(t.bit_rate_bps, p->bitrate_kbps * 1000);
      EXPECT_EQ(t.muxer, "asf");
    } else {
      EXPECT_NE(error.find("WMA profile " + std::to_string(n) + " (" + p->name + ")"), std::string::npos) << error;
    }
  }
  EXPECT_GE(produced, 15);
  EXPECT_EQ(wmaProfile(0), nullptr);
  EXPECT_EQ(wmaProfile(48), nullptr);
  LavcTarget t;
  std::string error;
  EXPECT_FALSE(wmaTarget(48, t, error));
  EXPECT_FALSE(wmaTarget(47, t, error));
  EXPECT_NE(error.find("Lossless"), std::string::npos);
}

TEST(WmaProfiles, NamesKeepTheSettingsListSpelling) {
  EXPECT_STREQ(wmaProfile(10)->name, "WMA9 44KHz, 128Kbps, Stereo, CBR");
  EXPECT_STREQ(wmaProfile(35)->name, "WMA9 8KHz,  12Kbps, Stereo, CBR");
  EXPECT_STREQ(wmaProfile(21)->name, wmaProfile(23)->name);
  EXPECT_EQ(wmaProfile(33)->rate_hz, 11025);
}

}  // namespace
}  // namespace wavesmith
