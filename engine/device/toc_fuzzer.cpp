// Arbitrary READ TOC answers through every consumer of the TOC buffer. The
// answer is copied into a buffer of the size the drive is given, so reads
// past it are caught.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/device/disc_id.h"
#include "engine/device/toc_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace engine::device;
  std::vector<uint8_t> toc(size < kTocBufferBytes ? size : kTocBufferBytes);
  if (!toc.empty()) std::memcpy(toc.data(), data, toc.size());
  const auto tracks = AudioTracksFromToc(toc);
  for (const AudioTrack& t : tracks) {
    if (t.lengthFrames >= kLbaLimit) __builtin_trap();
  }
  DiscIdRecord record;
  DiscIdFromToc(toc, record);
  if (record.values[1] < 0 || record.values[1] > kDiscIdMaxTracks) __builtin_trap();
  return 0;
}
