#include "engine/device/toc_parser.h"

#include <algorithm>

namespace engine::device {

uint32_t ReadBigEndian32(const uint8_t* bytes) {
  return ((uint32_t{bytes[0]} * 256 + bytes[1]) * 256 + bytes[2]) * 256 + bytes[3];
}

size_t TocDescriptorCount(std::span<const uint8_t> toc) {
  if (toc.size() < kTocHeaderBytes) return 0;
  // The data length does not count its own two bytes.
  const size_t answered = std::min<size_t>(toc.size(), size_t{toc[0]} * 256 + toc[1] + 2);
  if (answered < kTocHeaderBytes) return 0;
  return (answered - kTocHeaderBytes) / kTocDescriptorBytes;
}

TocDescriptor TocDescriptorAt(std::span<const uint8_t> toc, size_t index) {
  TocDescriptor d;
  if (toc.size() < kTocHeaderBytes) return d;
  if (index >= (toc.size() - kTocHeaderBytes) / kTocDescriptorBytes) return d;
  const uint8_t* p = toc.data() + kTocHeaderBytes + index * kTocDescriptorBytes;
  d.control = p[1] & 0x0F;
  d.track = p[2];
  std::copy(p + 4, p + 8, d.address);
  return d;
}

std::vector<AudioTrack> AudioTracksFromToc(std::span<const uint8_t> toc) {
  std::vector<AudioTrack> tracks;
  if (toc.size() < kTocHeaderBytes) return tracks;
  const size_t descriptors = TocDescriptorCount(toc);
  if (descriptors == 0) return tracks;
  // Each track needs the descriptor after it (the next track or the lead-out).
  const size_t count = std::min<size_t>(toc[3], descriptors - 1);
  for (size_t i = 0; i < count; ++i) {
    const TocDescriptor here = TocDescriptorAt(toc, i);
    if (here.isData()) continue;
    const uint32_t start = here.lba();
    const uint32_t end = TocDescriptorAt(toc, i + 1).lba();
    AudioTrack track;
    track.trackNumber = here.track;
    if (start <= end && end < kLbaLimit) track.lengthFrames = end - start;
    tracks.push_back(track);
  }
  return tracks;
}

TrackClassEntry ParseTrackInfo(std::span<const uint8_t> answer) {
  TrackClassEntry entry;
  if (answer.size() > 3) entry.session = answer[3];
  if (answer.size() > 5) entry.trackMode = answer[5] & 0x0F;
  if (answer.size() > 6) entry.dataMode = answer[6] & 0x0F;
  return entry;
}

int32_t ClassifyEntries(std::span<const TrackClassEntry> entries) {
  int highestSession = 0;
  size_t audio = 0, audioWithDataMode = 0, mode1Data = 0, mode2Data = 0;
  for (const TrackClassEntry& e : entries) {
    highestSession = std::max<int>(highestSession, e.session);
    if ((e.trackMode & kControlDataTrack) == 0) {  // track modes 0-3 and 8-11
      ++audio;
      if (e.dataMode == 1 || e.dataMode == 2) ++audioWithDataMode;
    } else if (e.dataMode == 1) {
      ++mode1Data;
    } else if (e.dataMode == 2) {
      ++mode2Data;
    }
  }
  const bool anything = audio > 0 || mode1Data > 0 || mode2Data > 0;
  if (highestSession == 1) {
    if (audio == entries.size()) return 1;
    return (mode1Data > 0 || mode2Data > 0) ? 2 : 0;
  }
  if (highestSession >= 2 && audio > 0 && audioWithDataMode > 0) return 5;
  return anything ? 3 : 0;
}

}  // namespace engine::device
