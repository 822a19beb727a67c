// Arbitrary sub-channel answers through their readers, and arbitrary Q
// answers through the pregap search: every result stays bounded and the
// search ends within its budget of reads.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/device/pregap_search.h"
#include "engine/device/subchannel_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace engine::device;
  std::vector<uint8_t> answer(size < kSubChannelAnswerBytes ? size : kSubChannelAnswerBytes);
  if (!answer.empty()) std::memcpy(answer.data(), data, answer.size());
  if (CatalogFromSubChannel(answer).size() > 13 || IsrcFromSubChannel(answer).size() > 12) __builtin_trap();

  // The probe answers from consecutive 16-byte slices of the input.
  size_t at = 0;
  const QProbe probe = [&](int32_t) -> std::optional<QPosition> {
    if (at + kFormattedQBytes > size) return std::nullopt;
    std::vector<uint8_t> q(data + at, data + at + kFormattedQBytes);
    at += kFormattedQBytes;
    return PositionFromFormattedQ(q);
  };
  const PregapSearch search = FindPregap(2, 1000, 5000, probe);
  if (search.sectorsRead > 64) __builtin_trap();
  if (search.pregapFrames && (*search.pregapFrames < 0 || *search.pregapFrames > 3999)) __builtin_trap();
  return 0;
}
