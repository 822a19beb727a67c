#include "proof/track_checksums.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace proof {
namespace {

uint32_t SampleWord(const uint8_t* b) {
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

uint32_t Crc(uint32_t crc, const uint8_t* bytes, size_t count) {
  return static_cast<uint32_t>(crc32_z(crc, bytes, count));
}

}  // namespace

TrackChecksums::TrackChecksums(uint64_t trackSamples, TrackPlace place)
    : firstCounted_(place.firstAudioTrack ? kFirstTrackSkipSamples + 1 : 1),
      lastCounted_(place.lastAudioTrack ? (trackSamples > kLastTrackSkipSamples ? trackSamples - kLastTrackSkipSamples : 0)
                                        : trackSamples) {}

void TrackChecksums::add(std::span<const uint8_t> pcm) {
  if (pcm.empty()) return;
  copyCrc_ = Crc(copyCrc_, pcm.data(), pcm.size());
  const uint8_t* p = pcm.data();
  size_t left = pcm.size();
  if (partialBytes_ > 0) {
    const size_t take = std::min<size_t>(left, kBytesPerSample - partialBytes_);
    std::memcpy(partial_ + partialBytes_, p, take);
    partialBytes_ += uint32_t(take);
    p += take;
    left -= take;
    if (partialBytes_ < kBytesPerSample) return;
    addSamples(partial_, 1);
    partialBytes_ = 0;
  }
  const size_t whole = left / kBytesPerSample;
  addSamples(p, whole);
  p += whole * kBytesPerSample;
  left -= whole * kBytesPerSample;
  std::memcpy(partial_, p, left);
  partialBytes_ = uint32_t(left);
}

void TrackChecksums::addSamples(const uint8_t* bytes, uint64_t count) {
  // Runs of non-silent samples go to the CRC in one call each.
  uint64_t runStart = 0;
  for (uint64_t k = 0; k < count; ++k) {
    if (SampleWord(bytes + k * kBytesPerSample) != 0) continue;
    if (k > runStart) skipZeroCrc_ = Crc(skipZeroCrc_, bytes + runStart * kBytesPerSample, (k - runStart) * kBytesPerSample);
    runStart = k + 1;
  }
  if (count > runStart) {
    skipZeroCrc_ = Crc(skipZeroCrc_, bytes + runStart * kBytesPerSample, (count - runStart) * kBytesPerSample);
  }

  // Sample k of this call has the 1-based track index samples_ + 1 + k.
  const uint64_t base = samples_ + 1;
  const uint64_t from = std::max(base, firstCounted_);
  const uint64_t to = std::min(base + count - 1, lastCounted_);  // inclusive
  uint32_t v1 = v1_;
  uint32_t v2 = v2_;
  for (uint64_t i = from; i <= to; ++i) {
    // A track holds far fewer than 2^32 samples; the mask keeps the product in 64 bits.
    const uint64_t product = (i & 0xFFFFFFFFu) * SampleWord(bytes + (i - base) * kBytesPerSample);
    v1 += uint32_t(product);
    v2 += uint32_t(product) + uint32_t(product >> 32);
  }
  v1_ = v1;
  v2_ = v2;

  // Frame 450: 1-based indexes kFrame450FirstSample + 1 .. + 588.
  const uint64_t f450From = std::max(base, uint64_t(kFrame450FirstSample) + 1);
  const uint64_t f450To = std::min(base + count - 1, uint64_t(kFrame450FirstSample) + kSamplesPerFrame);
  for (uint64_t i = f450From; i <= f450To; ++i) {
    frame450_ += uint32_t(i - kFrame450FirstSample) * SampleWord(bytes + (i - base) * kBytesPerSample);
  }
  samples_ += count;
}

TrackChecksumValues TrackChecksums::values() const {
  TrackChecksumValues v;
  v.copyCrc = copyCrc_;
  v.copyCrcSkipZero = skipZeroCrc_;
  v.accurateRipV1 = v1_;
  v.accurateRipV2 = v2_;
  v.accurateRipFrame450 = frame450_;
  v.samplesFed = samples_;
  return v;
}

}  // namespace proof
