// The CUETools database's checksums of a disc's audio: CRC-32 (zlib's) over
// the 16-bit little-endian stereo PCM, 4 bytes a sample.
//
// The disc's audio runs from audio track 1's start (its pregap left out) to
// the audio lead-out: N samples. The whole-disc CRC leaves out the first
// S = 5880 samples and the last S + N mod S, so it covers a whole number of
// 10-frame rows. A track's CRC covers the track's samples, the first track
// leaving out its first S and the last track its last S + N mod S (a
// one-track disc both); middle tracks count whole.
//
// A rip whose offset is off by o samples holds, at disc sample i, the disc's
// sample i + o (zeros beyond the disc). The database matches a rip at any
// o within +-5879: CtdbTrackShifts gives a track's CRC for each such o from
// the audio around it, in one pass and without re-reading: with P(x) the CRC
// of the samples from the window's start to x, the CRC of [x, y) is P(y)
// xor P(x) carried over y - x samples (the CRC-32 combination), so only
// the heads and tails of the shifted spans need P sample by sample.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace proof {

inline constexpr uint64_t kCtdbStride = 5880;    // samples: 10 frames
inline constexpr int32_t kCtdbMaxShift = 5879;   // samples either way

// Samples [first, end) of the disc's audio that track `index` (from 0) of
// `trackStarts` (each track's first sample, counted from audio track 1's
// start, increasing) counts, on a disc of `discSamples` samples. An empty
// span (first == end) for a track shorter than what it leaves out.
struct CtdbSpan {
  uint64_t first = 0;
  uint64_t end = 0;
};
CtdbSpan CtdbTrackSpan(std::span<const uint64_t> trackStarts, size_t index, uint64_t discSamples);
CtdbSpan CtdbDiscSpan(uint64_t discSamples);

// CRC-32 of the samples [span.first + o, span.end + o) of the disc for every
// o from -kCtdbMaxShift to +kCtdbMaxShift (index o + kCtdbMaxShift), from
// `audio`: the disc's samples from `audioFirst` on (a signed sample index:
// negative before the disc), as 4-byte samples. Samples the window needs
// outside `audio` or outside [0, discSamples) count as zeros.
std::vector<uint32_t> CtdbShiftedCrcs(std::span<const uint8_t> audio, int64_t audioFirst, uint64_t discSamples,
                                      CtdbSpan span);

// A track's CRC at the drive's offset, taken as a rip hands the track's
// audio on, in blocks of any size: the CRC of the track's bytes from sample
// `skipFirst` to `skipLast` samples before its end (CtdbTrackSkips).
class CtdbTrackCrc {
 public:
  CtdbTrackCrc(uint64_t trackSamples, uint64_t skipFirst, uint64_t skipLast);
  void add(std::span<const uint8_t> bytes);
  uint32_t value() const { return static_cast<uint32_t>(crc_); }

 private:
  uint64_t from_ = 0;  // bytes of the track
  uint64_t to_ = 0;
  uint64_t at_ = 0;
  unsigned long crc_ = 0;
};

// What the first and the last audio track leave out (a one-track disc both)
// on a disc of `discSamples` samples, in samples.
struct CtdbSkips {
  uint64_t first = 0;
  uint64_t last = 0;
};
CtdbSkips CtdbTrackSkips(bool firstAudioTrack, bool lastAudioTrack, uint64_t discSamples);

}  // namespace proof
