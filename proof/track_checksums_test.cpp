#include "proof/track_checksums.h"

#include "proof/disc_layout.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace proof {
namespace {

// A separate implementation, written from the definitions alone: a bitwise
// CRC-32 (reflected, polynomial 0xEDB88320) and the AccurateRip sums sample
// by sample over the whole track.
uint32_t BitwiseCrc32(const std::vector<uint8_t>& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (const uint8_t b : bytes) {
    crc ^= b;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

struct Expected {
  uint32_t crc, crcSkipZero, v1, v2, frame450;
};

Expected Reference(const std::vector<uint8_t>& pcm, bool firstTrack, bool lastTrack) {
  Expected e{};
  std::vector<uint8_t> nonSilent;
  const uint64_t n = pcm.size() / 4;
  for (uint64_t i = 1; i <= n; ++i) {
    const uint8_t* s = &pcm[(i - 1) * 4];
    const uint32_t left = s[0] | s[1] << 8;
    const uint32_t right = s[2] | s[3] << 8;
    const uint32_t w = left | right << 16;
    if (w != 0) nonSilent.insert(nonSilent.end(), s, s + 4);
    const bool skipped = (firstTrack && i < 5 * 588) || (lastTrack && i + 5 * 588 > n);
    if (!skipped) {
      const uint64_t product = i * uint64_t(w);
      e.v1 += uint32_t(i * w);
      e.v2 += uint32_t(product >> 32) + uint32_t(product);
    }
    const uint64_t zeroBased = i - 1;
    if (zeroBased >= 264600 && zeroBased <= 265187) e.frame450 += uint32_t(zeroBased - 264600 + 1) * w;
  }
  e.crc = BitwiseCrc32(pcm);
  e.crcSkipZero = BitwiseCrc32(nonSilent);
  return e;
}

// Seeded noise with stretches of digital silence, and of silence in one
// channel only.
std::vector<uint8_t> GeneratedAudio(uint32_t frames, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> pcm(size_t(frames) * 588 * 4);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = uint8_t(rng());
  for (size_t at = 0; at + 4000 < pcm.size(); at += 40000 + rng() % 20000) {
    const size_t run = (rng() % 900 + 1) * 4;
    const bool oneChannel = rng() % 2 == 0;
    for (size_t k = at; k < at + run; ++k) {
      if (!oneChannel || k % 4 < 2) pcm[k] = 0;
    }
  }
  return pcm;
}

TrackChecksumValues Checksums(const std::vector<uint8_t>& pcm, TrackPlace place, uint32_t seed) {
  TrackChecksums sums(pcm.size() / 4, place);
  std::mt19937 rng(seed);
  size_t at = 0;
  while (at < pcm.size()) {
    // Blocks of 0..3 bytes now and then, otherwise up to a few frames: most
    // end in the middle of a sample.
    const size_t size = std::min(pcm.size() - at, size_t(rng() % 8 == 0 ? rng() % 4 : rng() % 12000));
    sums.add(std::span<const uint8_t>(pcm.data() + at, size));
    at += size;
  }
  return sums.values();
}

void ExpectSame(const TrackChecksumValues& got, const Expected& want) {
  EXPECT_EQ(got.copyCrc, want.crc);
  EXPECT_EQ(got.copyCrcSkipZero, want.crcSkipZero);
  EXPECT_EQ(got.accurateRipV1, want.v1);
  EXPECT_EQ(got.accurateRipV2, want.v2);
  EXPECT_EQ(got.accurateRipFrame450, want.frame450);
}

TEST(TrackChecksums, ReferenceCrcMatchesTheCheckValue) {
  const std::string text = "123456789";
  EXPECT_EQ(BitwiseCrc32(std::vector<uint8_t>(text.begin(), text.end())), 0xCBF43926u);
}

TEST(TrackChecksums, AgreeWithTheReferenceForEveryPlaceOnTheDiscAndAnySplit) {
  const std::vector<uint8_t> pcm = GeneratedAudio(460, 1);  // long enough to hold frame 450
  const struct {
    const char* name;
    TrackPlace place;
  } places[] = {{"middle", {false, false}}, {"first", {true, false}}, {"last", {false, true}}, {"only", {true, true}}};
  for (const auto& p : places) {
    SCOPED_TRACE(p.name);
    const Expected want = Reference(pcm, p.place.firstAudioTrack, p.place.lastAudioTrack);
    for (const uint32_t seed : {1u, 2u, 3u}) ExpectSame(Checksums(pcm, p.place, seed), want);
  }
  // The skips matter: the four places give four different v1 sums.
  EXPECT_NE(Reference(pcm, true, false).v1, Reference(pcm, false, false).v1);
  EXPECT_NE(Reference(pcm, false, true).v1, Reference(pcm, true, true).v1);
}

TEST(TrackChecksums, OneByteAtATimeEqualsOneBlock) {
  const std::vector<uint8_t> pcm = GeneratedAudio(12, 2);
  TrackChecksums whole(pcm.size() / 4, {true, true});
  whole.add(pcm);
  TrackChecksums bytes(pcm.size() / 4, {true, true});
  for (const uint8_t b : pcm) bytes.add(std::span<const uint8_t>(&b, 1));
  const TrackChecksumValues a = whole.values(), b = bytes.values();
  EXPECT_EQ(a.copyCrc, b.copyCrc);
  EXPECT_EQ(a.copyCrcSkipZero, b.copyCrcSkipZero);
  EXPECT_EQ(a.accurateRipV1, b.accurateRipV1);
  EXPECT_EQ(a.accurateRipV2, b.accurateRipV2);
  EXPECT_EQ(a.samplesFed, pcm.size() / 4);
  ExpectSame(a, Reference(pcm, true, true));
}

TEST(TrackChecksums, HandCheckedSums) {
  // A middle track of one frame whose every sample is L = 1, R = 0 (w = 1):
  // v1 = v2 = 1 + 2 + ... + 588.
  std::vector<uint8_t> pcm(588 * 4, 0);
  for (size_t i = 0; i < pcm.size(); i += 4) pcm[i] = 1;
  TrackChecksums sums(588, {});
  sums.add(pcm);
  EXPECT_EQ(sums.values().accurateRipV1, 588u * 589 / 2);
  EXPECT_EQ(sums.values().accurateRipV2, 588u * 589 / 2);
  EXPECT_EQ(sums.values().accurateRipFrame450, 0u);  // the track has no frame 450

  // w = 0xFFFFFFFF at i = 2: the product 0x1FFFFFFFE gives v1 0xFFFFFFFE and
  // v2 0xFFFFFFFE + 1.
  const uint8_t two[8] = {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
  TrackChecksums high(2, {});
  high.add(two);
  EXPECT_EQ(high.values().accurateRipV1, 0xFFFFFFFEu);
  EXPECT_EQ(high.values().accurateRipV2, 0xFFFFFFFFu);
}

TEST(TrackChecksums, SilenceAndShortTracks) {
  // Digital silence: the skip-zero CRC covers nothing (0), the copy CRC does not.
  const std::vector<uint8_t> silence(588 * 4 * 3, 0);
  TrackChecksums sums(588 * 3, {});
  sums.add(silence);
  EXPECT_EQ(sums.values().copyCrcSkipZero, 0u);
  EXPECT_EQ(sums.values().copyCrc, BitwiseCrc32(silence));

  // A one-track disc shorter than both skips together: some samples are
  // skipped twice over, none counted twice, and no index wraps.
  const std::vector<uint8_t> shortTrack = GeneratedAudio(7, 3);
  ExpectSame(Checksums(shortTrack, {true, true}, 4), Reference(shortTrack, true, true));

  // Bytes beyond the stated length go into the copy CRC only.
  const std::vector<uint8_t> pcm = GeneratedAudio(10, 5);
  TrackChecksums stated(588 * 9, {});
  stated.add(pcm);
  const std::vector<uint8_t> nine(pcm.begin(), pcm.begin() + 588 * 9 * 4);
  EXPECT_EQ(stated.values().accurateRipV1, Reference(nine, false, false).v1);
  EXPECT_EQ(stated.values().copyCrc, BitwiseCrc32(pcm));
  EXPECT_EQ(stated.values().samplesFed, 588u * 10);
}

TEST(TrackChecksums, EveryTrackOfAGeneratedDisc) {
  // Three audio tracks and a data session: the track lengths come from the
  // layout, the places from the track's ordinal among the audio tracks.
  DiscLayout disc;
  disc.tracks = {{1, 0, false}, {2, 14, false}, {3, 30, false}, {4, 45, true}};
  disc.leadOutLba = 3000;
  const std::vector<uint8_t> image = GeneratedAudio(45, 9);
  size_t at = 0;
  for (size_t k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    const size_t bytes = size_t(disc.audioTrackFrames(k)) * 588 * 4;
    const std::vector<uint8_t> track(image.begin() + at, image.begin() + at + bytes);
    const TrackPlace place = TrackPlaceOf(k, 3);
    ExpectSame(Checksums(track, place, uint32_t(k)), Reference(track, k == 0, k == 2));
    at += bytes;
  }
}

}  // namespace
}  // namespace proof
