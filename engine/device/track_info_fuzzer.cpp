// Arbitrary READ TRACK INFORMATION answers, one per track, through the disc
// classification.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/device/toc_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace engine::device;
  std::vector<TrackClassEntry> entries;
  for (size_t at = 0; at < size; at += kTrackInfoBytes) {
    const size_t length = size - at < kTrackInfoBytes ? size - at : kTrackInfoBytes;
    std::vector<uint8_t> answer(data + at, data + at + length);  // exact size: overreads show
    entries.push_back(ParseTrackInfo(answer));
  }
  const int32_t discClass = ClassifyEntries(entries);
  if (discClass != 0 && discClass != 1 && discClass != 2 && discClass != 3 && discClass != 5) {
    __builtin_trap();
  }
  return 0;
}
