#include "proof/ctdb_crc.h"

#include <zlib.h>

#include <algorithm>
#include <array>

namespace proof {
namespace {

constexpr size_t kSampleBytes = 4;

// Sample i of the disc as the window sees it: zeros outside the disc or the audio given.
class Samples {
 public:
  Samples(std::span<const uint8_t> audio, int64_t audioFirst, uint64_t discSamples)
      : audio_(audio), first_(audioFirst), disc_(static_cast<int64_t>(discSamples)) {}
  const uint8_t* at(int64_t i) const {
    static constexpr std::array<uint8_t, kSampleBytes> kZero{};
    if (i < 0 || i >= disc_ || i < first_) return kZero.data();
    const uint64_t byte = static_cast<uint64_t>(i - first_) * kSampleBytes;
    if (byte + kSampleBytes > audio_.size()) return kZero.data();
    return audio_.data() + byte;
  }
  // CRC-32 of samples [from, to), carried on from `crc`.
  uLong crcOf(uLong crc, int64_t from, int64_t to) const {
    // Whole runs inside the audio in one call; the rest sample by sample.
    while (from < to) {
      const int64_t lo = std::max<int64_t>({from, first_, 0});
      const int64_t hi = std::min<int64_t>({to, disc_, first_ + static_cast<int64_t>(audio_.size() / kSampleBytes)});
      if (from == lo && lo < hi) {
        crc = crc32_z(crc, audio_.data() + static_cast<uint64_t>(lo - first_) * kSampleBytes,
                      static_cast<size_t>(hi - lo) * kSampleBytes);
        from = hi;
      } else {
        crc = crc32_z(crc, at(from), kSampleBytes);
        ++from;
      }
    }
    return crc;
  }

 private:
  std::span<const uint8_t> audio_;
  int64_t first_;
  int64_t disc_;
};

}  // namespace

CtdbSpan CtdbDiscSpan(uint64_t discSamples) {
  const uint64_t tail = kCtdbStride + discSamples % kCtdbStride;
  if (discSamples < kCtdbStride + tail) return {0, 0};
  return {kCtdbStride, discSamples - tail};
}

CtdbSpan CtdbTrackSpan(std::span<const uint64_t> trackStarts, size_t index, uint64_t discSamples) {
  if (index >= trackStarts.size()) return {0, 0};
  uint64_t first = trackStarts[index];
  uint64_t end = index + 1 < trackStarts.size() ? trackStarts[index + 1] : discSamples;
  if (index == 0) first += kCtdbStride;
  if (index + 1 == trackStarts.size()) {
    const uint64_t tail = kCtdbStride + discSamples % kCtdbStride;
    end = end >= tail ? end - tail : 0;
  }
  if (end <= first) return {first, first};
  return {first, end};
}

std::vector<uint32_t> CtdbShiftedCrcs(std::span<const uint8_t> audio, int64_t audioFirst, uint64_t discSamples,
                                      CtdbSpan span) {
  const Samples samples(audio, audioFirst, discSamples);
  const int64_t first = static_cast<int64_t>(span.first);
  const int64_t end = static_cast<int64_t>(span.end);
  const int64_t length = end - first;
  const z_off_t lengthBytes = static_cast<z_off_t>(length) * static_cast<z_off_t>(kSampleBytes);
  std::vector<uint32_t> out(2 * kCtdbMaxShift + 1);
  // P over the head window: P(first - kCtdbMaxShift + k) for k = 0 .. 2 * kCtdbMaxShift.
  const int64_t headFrom = first - kCtdbMaxShift;
  std::vector<uLong> head(2 * kCtdbMaxShift + 1);
  uLong p = crc32_z(0L, Z_NULL, 0);
  for (size_t k = 0; k < head.size(); ++k) {
    head[k] = p;
    p = crc32_z(p, samples.at(headFrom + static_cast<int64_t>(k)), kSampleBytes);
  }
  // P at the tail window's start, then sample by sample through it.
  const int64_t tailFrom = end - kCtdbMaxShift;
  uLong tail = samples.crcOf(crc32_z(0L, Z_NULL, 0), headFrom, tailFrom);
  for (int64_t k = 0; k <= 2 * kCtdbMaxShift; ++k) {
    // Shift o = k - kCtdbMaxShift: [first + o, end + o) = [headFrom + k, tailFrom + k).
    const uLong before = head[static_cast<size_t>(k)];
    out[static_cast<size_t>(k)] = static_cast<uint32_t>(tail ^ crc32_combine(before, 0, lengthBytes));
    tail = crc32_z(tail, samples.at(tailFrom + k), kSampleBytes);
  }
  return out;
}

CtdbTrackCrc::CtdbTrackCrc(uint64_t trackSamples, uint64_t skipFirst, uint64_t skipLast)
    : from_(skipFirst * kSampleBytes),
      to_(trackSamples > skipFirst + skipLast ? (trackSamples - skipLast) * kSampleBytes : skipFirst * kSampleBytes),
      crc_(crc32_z(0L, Z_NULL, 0)) {}

void CtdbTrackCrc::add(std::span<const uint8_t> bytes) {
  const uint64_t begin = at_;
  at_ += bytes.size();
  const uint64_t lo = std::max(begin, from_);
  const uint64_t hi = std::min(at_, to_);
  if (lo < hi) crc_ = crc32_z(crc_, bytes.data() + (lo - begin), static_cast<size_t>(hi - lo));
}

CtdbSkips CtdbTrackSkips(bool firstAudioTrack, bool lastAudioTrack, uint64_t discSamples) {
  return {firstAudioTrack ? kCtdbStride : 0, lastAudioTrack ? kCtdbStride + discSamples % kCtdbStride : 0};
}

}  // namespace proof
