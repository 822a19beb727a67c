#include "engine/device/disc_id.h"

#include <algorithm>

#include "engine/device/toc_parser.h"

namespace engine::device {
namespace {

int32_t DigitSum(int32_t value) {
  int32_t sum = 0;
  for (; value > 0; value /= 10) sum += value % 10;
  return sum;
}

}  // namespace

int32_t DiscIdFromToc(std::span<const uint8_t> toc, DiscIdRecord& record) {
  record = DiscIdRecord{};
  if (toc.size() < kTocHeaderBytes) return 0;
  const int32_t first = toc[2];
  const int32_t last = toc[3];
  const int32_t inBuffer =
      static_cast<int32_t>((toc.size() - kTocHeaderBytes) / kTocDescriptorBytes);
  // Room for the lead-out descriptor after the tracks, and for the playing
  // time after the offsets in the record.
  const int32_t maxCount = std::max(0, std::min(inBuffer - 1, kDiscIdMaxTracks - 1));
  const int32_t count = std::clamp(last - first + 1, 0, maxCount);

  int32_t n = 0;
  for (int32_t k = 0; k < count; ++k) {
    const TocDescriptor d = TocDescriptorAt(toc, static_cast<size_t>(k));
    record.values[2 + k] = d.msfFrames();
    n += DigitSum(d.msfSeconds());
  }
  const int32_t t = std::clamp(TocDescriptorAt(toc, static_cast<size_t>(count)).msfSeconds() -
                                   TocDescriptorAt(toc, 0).msfSeconds(),
                               0, 0xFFFF);
  record.values[2 + count] = t;
  record.values[1] = count;
  const uint32_t id = (uint32_t(n % 255) << 24) | (uint32_t(t) << 8) | uint32_t(count);
  record.values[0] = static_cast<int32_t>(id);
  return record.values[0];
}

}  // namespace engine::device
