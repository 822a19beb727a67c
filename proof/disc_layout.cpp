#include "proof/disc_layout.h"

#include "engine/device/toc_parser.h"

namespace proof {

std::vector<DiscTrack> DiscLayout::audioTracks() const {
  std::vector<DiscTrack> audio;
  for (const DiscTrack& t : tracks) {
    if (!t.data) audio.push_back(t);
  }
  return audio;
}

bool DiscLayout::cdExtra() const {
  size_t trailingData = 0;
  while (trailingData < tracks.size() && tracks[tracks.size() - 1 - trailingData].data) ++trailingData;
  return trailingData > 0 && trailingData < tracks.size();
}

uint32_t DiscLayout::audioTrackFrames(size_t audioIndex) const {
  size_t seen = 0;
  for (size_t i = 0; i < tracks.size(); ++i) {
    if (tracks[i].data) continue;
    if (seen++ != audioIndex) continue;
    uint32_t end = i + 1 < tracks.size() ? tracks[i + 1].startLba : leadOutLba;
    // The audio session ends the gap between the sessions before a data
    // track that follows it (CD-Extra).
    if (i + 1 < tracks.size() && tracks[i + 1].data && end >= tracks[i].startLba + kSessionGapFrames)
      end -= kSessionGapFrames;
    return end >= tracks[i].startLba ? end - tracks[i].startLba : 0;
  }
  return 0;
}

std::optional<DiscLayout> DiscLayoutFromToc(std::span<const uint8_t> toc) {
  using namespace engine::device;
  const size_t descriptors = TocDescriptorCount(toc);
  if (toc.size() < kTocHeaderBytes || descriptors < 2) return std::nullopt;
  // The header's track range, bounded by the descriptors present (the last
  // of them the lead-out).
  const int first = toc[2];
  const int last = toc[3];
  if (first < 1 || last < first) return std::nullopt;
  const size_t count = static_cast<size_t>(last - first + 1);
  if (count + 1 > descriptors) return std::nullopt;

  DiscLayout layout;
  for (size_t k = 0; k <= count; ++k) {
    const TocDescriptor d = TocDescriptorAt(toc, k);
    const uint32_t lba = d.lba();
    if (lba >= kLbaLimit) return std::nullopt;
    if (!layout.tracks.empty() && lba < layout.tracks.back().startLba) return std::nullopt;
    if (k == count) {
      layout.leadOutLba = lba;
    } else {
      layout.tracks.push_back(DiscTrack{static_cast<uint8_t>(first + int(k)), lba, d.isData()});
    }
  }
  return layout;
}

}  // namespace proof
