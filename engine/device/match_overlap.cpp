#include "engine/device/match_overlap.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "engine/device/device_types.h"

namespace engine::device {
namespace {

constexpr uint32_t kSampleFrameBytes = 4;

std::vector<uint32_t> Words(const uint8_t* bytes, size_t wordCount) {
  std::vector<uint32_t> words(wordCount);
  if (wordCount) std::memcpy(words.data(), bytes, wordCount * kSampleFrameBytes);
  return words;
}

}  // namespace

bool MatchOverlap(TrackBuffer& b, const TrackBuffer& o, uint32_t overlapFrames) {
  const uint8_t* tail = ValidData(o);
  if (o.validBytes == 0 || (tail && AllZero(tail, o.validBytes))) return true;

  const uint64_t patternBytes = uint64_t{overlapFrames} * kFrameBytes;
  const uint8_t* haystack = ValidData(b);
  bool found = false;
  if (tail && haystack && patternBytes > 0 && o.validBytes >= patternBytes &&
      b.validBytes > patternBytes) {
    // Positions i = 0, 4, 8, ... up to validBytes - L - 1: the tail must be
    // followed by at least one byte of new data.
    const uint64_t lastPosition = (b.validBytes - patternBytes - 1) / kSampleFrameBytes;
    const size_t patternWords = patternBytes / kSampleFrameBytes;
    const std::vector<uint32_t> pattern = Words(tail, patternWords);
    const std::vector<uint32_t> text = Words(haystack, lastPosition + patternWords);
    // Boyer-Moore stays linear on the repetitive data of near-silence, where
    // a naive comparison at every position would not.
    const auto hit = std::search(text.begin(), text.end(),
                                 std::boyer_moore_searcher(pattern.begin(), pattern.end()));
    if (hit != text.end()) {
      const uint32_t skipBytes =
          static_cast<uint32_t>((hit - text.begin()) * kSampleFrameBytes + patternBytes);
      b.dataOffset += static_cast<int32_t>(skipBytes);
      b.validBytes -= skipBytes;
      b.startFrame = o.startFrame + overlapFrames;
      found = true;
    }
  }
  b.frameCount = b.validBytes / kFrameBytes;
  b.validBytes = b.frameCount * kFrameBytes;
  return found;
}

}  // namespace engine::device
