// The checksums of one ripped track, taken over exactly the PCM the rip
// delivers (16-bit little-endian stereo, 4 bytes a sample), fed in blocks of
// any size: a block may end in the middle of a sample, the rest comes with
// the next block.
//
//   copy CRC        CRC-32 (zlib's) of every byte fed.
//   skip-zero CRC   CRC-32 of the bytes of the samples that are not silent:
//                   a 32-bit stereo sample whose left and right words are
//                   both 0 is left out whole, every other sample goes in
//                   with all 4 bytes (a zero word beside a non-zero one
//                   stays). A trailing part of a sample that never
//                   completes is left out.
//   AccurateRip     With w the sample as the 32-bit word L | R << 16 and i
//                   its index counted from 1 over the whole track:
//                   v1 = sum of i*w, v2 = sum of (high 32 + low 32 bits of
//                   the 64-bit product i*w), both mod 2^32. The first audio
//                   track of the disc leaves out its first 5*588-1 samples,
//                   the last audio track its last 5*588 (a one-track disc
//                   both); samples past the track's length count in neither.
//   frame 450       The v1 sum over the track's frame 450 alone (0-based
//                   samples 264600..265187) with multipliers 1..588; a track
//                   too short to hold it sums what it holds of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace proof {

inline constexpr uint32_t kSamplesPerFrame = 588;
inline constexpr uint32_t kBytesPerSample = 4;
// The AccurateRip skips at the disc's two ends, in samples.
inline constexpr uint32_t kFirstTrackSkipSamples = 5 * kSamplesPerFrame - 1;
inline constexpr uint32_t kLastTrackSkipSamples = 5 * kSamplesPerFrame;
inline constexpr uint32_t kFrame450FirstSample = 450 * kSamplesPerFrame;  // 0-based

// Where the track stands among the disc's audio tracks.
struct TrackPlace {
  bool firstAudioTrack = false;
  bool lastAudioTrack = false;
};

// The place of audio track `audioIndex` (from 0) on a disc of `audioTracks`.
inline TrackPlace TrackPlaceOf(size_t audioIndex, size_t audioTracks) {
  return TrackPlace{audioIndex == 0, audioIndex + 1 == audioTracks};
}

struct TrackChecksumValues {
  uint32_t copyCrc = 0;
  uint32_t copyCrcSkipZero = 0;
  uint32_t accurateRipV1 = 0;
  uint32_t accurateRipV2 = 0;
  uint32_t accurateRipFrame450 = 0;
  uint64_t samplesFed = 0;  // whole samples seen; compare with the track length
};

class TrackChecksums {
 public:
  // `trackSamples`: the track's length from the table of contents (frames x
  // 588), which places the last-track skip.
  TrackChecksums(uint64_t trackSamples, TrackPlace place);

  // Any number of bytes, any split.
  void add(std::span<const uint8_t> pcm);
  TrackChecksumValues values() const;

 private:
  // Whole samples, `count` of them, the first with index samples_ + 1.
  void addSamples(const uint8_t* bytes, uint64_t count);

  uint64_t firstCounted_;  // 1-based index range of the AccurateRip sums
  uint64_t lastCounted_;
  uint64_t samples_ = 0;  // whole samples fed so far
  uint8_t partial_[kBytesPerSample] = {};  // bytes of a sample cut by a block end
  uint32_t partialBytes_ = 0;
  uint32_t copyCrc_ = 0;
  uint32_t skipZeroCrc_ = 0;
  uint32_t v1_ = 0;
  uint32_t v2_ = 0;
  uint32_t frame450_ = 0;
};

}  // namespace proof
