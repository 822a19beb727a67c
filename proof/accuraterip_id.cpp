#include "proof/accuraterip_id.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "engine/device/device_types.h"
#include "engine/device/disc_id.h"
#include "engine/device/toc_parser.h"

namespace proof {
namespace {

void PutMsf(uint8_t* descriptor, uint8_t track, uint32_t msfFrames, bool data) {
  descriptor[1] = data ? engine::device::kControlDataTrack : 0;
  descriptor[2] = track;
  descriptor[5] = static_cast<uint8_t>(std::min<uint32_t>(msfFrames / 75 / 60, 255));
  descriptor[6] = static_cast<uint8_t>(msfFrames / 75 % 60);
  descriptor[7] = static_cast<uint8_t>(msfFrames % 75);
}

}  // namespace

AccurateRipDiscId AccurateRipDiscIdOf(const DiscLayout& layout) {
  AccurateRipDiscId id;
  uint32_t n = 0;
  for (const DiscTrack& t : layout.tracks) {
    if (t.data) continue;
    ++n;
    id.id1 += t.startLba;
    id.id2 += std::max<uint32_t>(t.startLba, 1) * n;
  }
  id.audioTracks = n;
  id.id1 += layout.leadOutLba;
  id.id2 += layout.leadOutLba * (n + 1);
  id.cddbId = CddbDiscIdOf(layout);
  return id;
}

uint32_t CddbDiscIdOf(const DiscLayout& layout) {
  using namespace engine::device;
  std::array<uint8_t, kTocBufferBytes> toc{};
  const size_t count = std::min<size_t>(layout.tracks.size(), kDiscIdMaxTracks - 1);
  if (count == 0) return 0;
  const size_t length = 2 + (count + 1) * kTocDescriptorBytes;
  toc[0] = static_cast<uint8_t>(length >> 8);
  toc[1] = static_cast<uint8_t>(length);
  toc[2] = layout.tracks[0].number;
  toc[3] = static_cast<uint8_t>(layout.tracks[0].number + count - 1);
  for (size_t k = 0; k < count; ++k) {
    const DiscTrack& t = layout.tracks[k];
    PutMsf(toc.data() + kTocHeaderBytes + k * kTocDescriptorBytes, t.number, t.startLba + kLeadInFrames, t.data);
  }
  PutMsf(toc.data() + kTocHeaderBytes + count * kTocDescriptorBytes, 0xAA, layout.leadOutLba + kLeadInFrames, false);
  DiscIdRecord record;
  return static_cast<uint32_t>(DiscIdFromToc(toc, record));
}

std::string AccurateRipIdentity(const AccurateRipDiscId& id) {
  char text[40];
  std::snprintf(text, sizeof text, "%03u-%08x-%08x-%08x", id.audioTracks % 1000, id.id1, id.id2, id.cddbId);
  return text;
}

std::string AccurateRipPath(const AccurateRipDiscId& id) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string path = "/accuraterip/";
  path += kHex[id.id1 & 0xF];
  path += '/';
  path += kHex[(id.id1 >> 4) & 0xF];
  path += '/';
  path += kHex[(id.id1 >> 8) & 0xF];
  path += "/dBAR-" + AccurateRipIdentity(id) + ".bin";
  return path;
}

}  // namespace proof
