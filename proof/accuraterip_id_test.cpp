#include "proof/accuraterip_id.h"

#include <gtest/gtest.h>

#include <array>

#include "proof/disc_layout.h"
#include "proof/musicbrainz_id.h"

namespace proof {
namespace {

// A layout from MSF offsets (lead-in included), as the published examples give them.
DiscLayout FromMsf(const std::vector<uint32_t>& audio, std::optional<uint32_t> dataTrack, uint32_t leadOut) {
  DiscLayout layout;
  uint8_t number = 1;
  for (const uint32_t start : audio) layout.tracks.push_back({number++, start - 150, false});
  if (dataTrack) layout.tracks.push_back({number, *dataTrack - 150, true});
  layout.leadOutLba = leadOut - 150;
  return layout;
}

// The CD-Extra disc of the published AccurateRip example.
DiscLayout CdExtraDisc() {
  return FromMsf({150, 12767, 40487, 63225, 93410, 118115, 151865, 184340, 215260, 247455}, 281735, 333801);
}

TEST(DiscIdentity, MusicBrainzDocumentationExample) {
  const DiscLayout disc = FromMsf({150, 15363, 32314, 46592, 63414, 80489}, std::nullopt, 95462);
  EXPECT_EQ(MusicBrainzDiscId(disc), "49HHV7Eb8UKF3aQiNmu1GR8vKTY-");
}

TEST(DiscIdentity, AccurateRipCdExtraExample) {
  const DiscLayout disc = CdExtraDisc();
  ASSERT_TRUE(disc.cdExtra());
  const AccurateRipDiscId id = AccurateRipDiscIdOf(disc);
  EXPECT_EQ(id.audioTracks, 10u);
  EXPECT_EQ(id.id1, 0x00164419u);
  EXPECT_EQ(id.id2, 0x00b9f6e2u);
  // The device layer's CDDB routine over the whole disc (11 tracks, lead-out
  // of the data session) gives the published identity's third part.
  EXPECT_EQ(id.cddbId, 0x9e11600bu);
  EXPECT_EQ(AccurateRipIdentity(id), "010-00164419-00b9f6e2-9e11600b");
  EXPECT_EQ(AccurateRipPath(id), "/accuraterip/9/1/4/dBAR-010-00164419-00b9f6e2-9e11600b.bin");
}

TEST(DiscIdentity, MusicBrainzCountsOnlyTheFirstSessionOfCdExtra) {
  // The data session is left out and the audio ends 11400 frames before the
  // data track: the same id as the audio session on its own.
  const DiscLayout audioOnly = FromMsf({150, 12767, 40487, 63225, 93410, 118115, 151865, 184340, 215260, 247455},
                                       std::nullopt, 281735 - 11400);
  const auto extra = MusicBrainzDiscId(CdExtraDisc());
  ASSERT_TRUE(extra.has_value());
  EXPECT_EQ(extra->size(), 28u);
  EXPECT_EQ(extra, MusicBrainzDiscId(audioOnly));
  EXPECT_FALSE(MusicBrainzDiscId(DiscLayout{}).has_value());
}

// An LBA-form READ TOC answer.
std::array<uint8_t, 804> LbaToc(const DiscLayout& disc) {
  std::array<uint8_t, 804> toc{};
  const size_t n = disc.tracks.size();
  toc[0] = uint8_t((2 + (n + 1) * 8) >> 8);
  toc[1] = uint8_t(2 + (n + 1) * 8);
  toc[2] = 1;
  toc[3] = uint8_t(n);
  for (size_t k = 0; k <= n; ++k) {
    uint8_t* d = toc.data() + 4 + 8 * k;
    const uint32_t lba = k < n ? disc.tracks[k].startLba : disc.leadOutLba;
    d[1] = k < n && disc.tracks[k].data ? 0x14 : 0x10;
    d[2] = k < n ? uint8_t(k + 1) : 0xAA;
    d[4] = uint8_t(lba >> 24);
    d[5] = uint8_t(lba >> 16);
    d[6] = uint8_t(lba >> 8);
    d[7] = uint8_t(lba);
  }
  return toc;
}

TEST(DiscLayout, FromTheTableOfContents) {
  const DiscLayout disc = CdExtraDisc();
  auto toc = LbaToc(disc);
  const auto layout = DiscLayoutFromToc(toc);
  ASSERT_TRUE(layout.has_value());
  EXPECT_EQ(AccurateRipDiscIdOf(*layout), AccurateRipDiscIdOf(disc));
  EXPECT_EQ(layout->audioTracks().size(), 10u);
  EXPECT_EQ(layout->audioTrackFrames(0), 12767u - 150);
  EXPECT_EQ(layout->audioTrackFrames(9), 281735u - 11400 - 247455);  // up to the gap before the data session
  EXPECT_EQ(layout->audioTrackFrames(10), 0u);

  // Mixed mode (data first) is not CD-Extra.
  DiscLayout mixed = disc;
  mixed.tracks.front().data = true;
  mixed.tracks.back().data = false;
  EXPECT_FALSE(mixed.cdExtra());

  // Addresses running backwards, and a header promising more tracks than
  // the answer holds, give no layout.
  auto backwards = toc;
  backwards[4 + 8 * 3 + 6] = 0;
  backwards[4 + 8 * 3 + 5] = 0;
  EXPECT_FALSE(DiscLayoutFromToc(backwards).has_value());
  auto tooMany = toc;
  tooMany[3] = 40;
  EXPECT_FALSE(DiscLayoutFromToc(tooMany).has_value());
  EXPECT_FALSE(DiscLayoutFromToc(std::span<const uint8_t>(toc.data(), 3)).has_value());
}

}  // namespace
}  // namespace proof
