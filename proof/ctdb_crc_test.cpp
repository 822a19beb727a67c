// The CUETools database's CRCs against an implementation written here from
// their definition: a bitwise CRC-32 over the skipped spans of a disc whose
// audio is shifted by o samples, zeros beyond the disc.
#include "proof/ctdb_crc.h"

#include <gtest/gtest.h>

#include <random>

namespace proof {
namespace {

uint32_t BitwiseCrc32(const std::vector<uint8_t>& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (uint8_t b : bytes) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

struct Disc {
  std::vector<uint8_t> audio;     // 4 bytes a sample
  std::vector<uint64_t> starts;   // track starts, in samples
  uint64_t samples() const { return audio.size() / 4; }
};

Disc MakeDisc(std::vector<uint64_t> lengths, uint32_t seed) {
  Disc d;
  std::mt19937 random(seed);
  uint64_t at = 0;
  for (uint64_t n : lengths) {
    d.starts.push_back(at);
    at += n;
  }
  d.audio.resize(at * 4);
  for (uint8_t& b : d.audio) b = static_cast<uint8_t>(random());
  return d;
}

// From the definition: the ripped disc holds sample i + shift at i; a track
// counts its samples, the first leaving out 5880 at its start, the last
// 5880 + N mod 5880 at its end.
uint32_t DefinitionCrc(const Disc& d, size_t track, int shift, bool wholeDisc) {
  const uint64_t n = d.samples();
  uint64_t first = wholeDisc ? 0 : d.starts[track];
  uint64_t end = wholeDisc || track + 1 == d.starts.size() ? n : d.starts[track + 1];
  if (wholeDisc || track == 0) first += 5880;
  if (wholeDisc || track + 1 == d.starts.size()) end -= 5880 + n % 5880;
  std::vector<uint8_t> bytes;
  for (uint64_t i = first; i < end; ++i) {
    const int64_t from = static_cast<int64_t>(i) + shift;
    for (int k = 0; k < 4; ++k)
      bytes.push_back(from < 0 || from >= static_cast<int64_t>(n) ? 0 : d.audio[static_cast<size_t>(from) * 4 + k]);
  }
  return BitwiseCrc32(bytes);
}

TEST(CtdbCrc, TrackAndDiscCrcsAtEveryShiftMatchTheDefinition) {
  // Three tracks, the middle one shorter than the shift window, and a
  // length that leaves a remainder of a row.
  const Disc d = MakeDisc({30000, 9000, 27123}, 7);
  const uint64_t n = d.samples();
  for (size_t t = 0; t < d.starts.size(); ++t) {
    const CtdbSpan span = CtdbTrackSpan(d.starts, t, n);
    const auto crcs = CtdbShiftedCrcs(d.audio, 0, n, span);
    ASSERT_EQ(crcs.size(), 2u * kCtdbMaxShift + 1);
    for (int shift : {-5879, -5000, -1, 0, 1, 588, 5879}) {
      EXPECT_EQ(crcs[static_cast<size_t>(shift + kCtdbMaxShift)], DefinitionCrc(d, t, shift, false))
          << "track " << t + 1 << " shift " << shift;
    }
  }
  const auto disc = CtdbShiftedCrcs(d.audio, 0, n, CtdbDiscSpan(n));
  for (int shift : {-5879, 0, 3, 5879})
    EXPECT_EQ(disc[static_cast<size_t>(shift + kCtdbMaxShift)], DefinitionCrc(d, 0, shift, true)) << shift;
}

// A rip holds only the audio around one track: the window's outside counts
// as zeros only beyond the disc, so the audio given must reach 5879 samples
// past the span either way; given so, the CRCs are the same.
TEST(CtdbCrc, AWindowAroundTheTrackIsEnough) {
  const Disc d = MakeDisc({20000, 25000, 20000}, 9);
  const uint64_t n = d.samples();
  const CtdbSpan span = CtdbTrackSpan(d.starts, 1, n);
  const int64_t from = static_cast<int64_t>(span.first) - kCtdbMaxShift;
  const int64_t to = static_cast<int64_t>(span.end) + kCtdbMaxShift;
  const std::span<const uint8_t> window(d.audio.data() + from * 4, static_cast<size_t>(to - from) * 4);
  EXPECT_EQ(CtdbShiftedCrcs(window, from, n, span), CtdbShiftedCrcs(d.audio, 0, n, span));
}

// The CRC a rip takes as it hands a track on, in odd-sized blocks, is the
// track's CRC at shift 0.
TEST(CtdbCrc, TheRipsStreamedCrcIsTheCrcAtShiftZero) {
  const Disc d = MakeDisc({15000, 12000, 16001}, 3);
  const uint64_t n = d.samples();
  for (size_t t = 0; t < 3; ++t) {
    const uint64_t start = d.starts[t];
    const uint64_t end = t + 1 < 3 ? d.starts[t + 1] : n;
    const CtdbSkips skips = CtdbTrackSkips(t == 0, t == 2, n);
    CtdbTrackCrc crc(end - start, skips.first, skips.last);
    for (uint64_t at = start * 4; at < end * 4;) {
      const uint64_t piece = std::min<uint64_t>(4099, end * 4 - at);
      crc.add(std::span<const uint8_t>(d.audio.data() + at, piece));
      at += piece;
    }
    EXPECT_EQ(crc.value(), DefinitionCrc(d, t, 0, false)) << "track " << t + 1;
  }
}

TEST(CtdbCrc, SpansOfShortDiscsAndTracks) {
  const std::vector<uint64_t> one = {0};
  const CtdbSpan whole = CtdbTrackSpan(one, 0, 5880 * 5 + 100);
  EXPECT_EQ(whole.first, 5880u);
  EXPECT_EQ(whole.end, 5880u * 5 + 100 - 5880 - 100);
  const CtdbSpan tiny = CtdbTrackSpan(one, 0, 9000);  // shorter than what it leaves out
  EXPECT_EQ(tiny.first, tiny.end);
  EXPECT_EQ(CtdbDiscSpan(9000).first, CtdbDiscSpan(9000).end);
  EXPECT_EQ(CtdbTrackSpan(one, 3, 9000).end, 0u);
}

}  // namespace
}  // namespace proof
