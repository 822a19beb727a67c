#include "engine/device/disc_layout.h"

#include <algorithm>
#include <array>

#include "engine/device/cdb.h"
#include "engine/device/command.h"
#include "engine/device/device_types.h"
#include "engine/device/handles.h"
#include "engine/device/pregap_search.h"
#include "engine/device/subchannel_parser.h"
#include "engine/device/toc.h"
#include "engine/device/toc_parser.h"
#include "engine/device/transport.h"

namespace engine::device {

namespace {

bool ReadLbaToc(int32_t handle, HandleRecord& record, DiscLayout& layout) {
  const int32_t previous = record.msfAddressing;
  record.msfAddressing = 0;
  std::array<uint8_t, kTocBufferBytes> toc{};
  const int32_t result = ReadToc(handle, toc.data());
  record.msfAddressing = previous;
  if (result != kResultOk) return false;
  const size_t descriptors = TocDescriptorCount(toc);
  const int first = toc[2], last = toc[3];
  if (descriptors < 2 || first < 1 || last < first) return false;
  const size_t count = std::min<size_t>(static_cast<size_t>(last - first + 1), descriptors - 1);
  for (size_t i = 0; i < count; ++i) {
    const TocDescriptor d = TocDescriptorAt(toc, i);
    if (d.lba() >= kLbaLimit) return false;
    LayoutTrack track;
    track.number = d.track;
    track.control = d.control;
    track.startLba = d.lba();
    if (!layout.tracks.empty() && track.startLba <= layout.tracks.back().startLba) return false;
    layout.tracks.push_back(track);
  }
  layout.leadOutLba = TocDescriptorAt(toc, count).lba();
  return layout.leadOutLba > layout.tracks.back().startLba && layout.leadOutLba < kLbaLimit;
}

void ReadCatalogAndIsrcs(int32_t handle, DiscLayout& layout) {
  std::array<uint8_t, kSubChannelAnswerBytes> answer{};
  if (ExecuteOnHandle(handle, ReadSubChannelCdb(2, 0), kFlagsIn, answer.data(), answer.size()) != kResultOk) return;
  // A drive that swallows the command answers nothing: the format code stays 0.
  if (answer[4] != 2) return;
  layout.subChannelRead = true;
  layout.catalog = CatalogFromSubChannel(answer);
  for (LayoutTrack& track : layout.tracks) {
    if (track.data()) continue;
    answer.fill(0);
    if (ExecuteOnHandle(handle, ReadSubChannelCdb(3, track.number), kFlagsIn, answer.data(), answer.size()) ==
        kResultOk) {
      track.isrc = IsrcFromSubChannel(answer);
    }
  }
}

// READ CD of one sector's Q: the sub-channel alone first, then with the
// sector's audio for drives that want a main channel.
class QReader {
 public:
  explicit QReader(int32_t handle) : handle_(handle) {}

  std::optional<QPosition> operator()(int32_t lba) {
    if (lba < 0) return std::nullopt;
    for (int attempt = 0; attempt < 2; ++attempt) {
      std::array<uint8_t, kFrameBytes + kFormattedQBytes> buffer{};
      const size_t bytes = withAudio_ ? buffer.size() : kFormattedQBytes;
      const int32_t r = ExecuteOnHandle(handle_, ReadCdQCdb(static_cast<uint32_t>(lba), withAudio_), kFlagsIn,
                                        buffer.data(), static_cast<uint32_t>(bytes));
      if (r == kResultOk) {
        return PositionFromFormattedQ(std::span<const uint8_t>(buffer.data() + bytes - kFormattedQBytes,
                                                               kFormattedQBytes));
      }
      if (withAudio_ || triedAudio_) return std::nullopt;
      triedAudio_ = withAudio_ = true;
    }
    return std::nullopt;
  }

 private:
  int32_t handle_;
  bool withAudio_ = false;
  bool triedAudio_ = false;
};

void FindPregaps(int32_t handle, DiscLayout& layout) {
  // Track 1's room before INDEX 01 is what the TOC says.
  if (!layout.tracks.empty() && !layout.tracks.front().data())
    layout.tracks.front().pregapFrames = static_cast<int32_t>(layout.tracks.front().startLba);
  QReader reader(handle);
  const QProbe probe = [&reader](int32_t lba) { return reader(lba); };
  for (size_t i = 1; i < layout.tracks.size(); ++i) {
    LayoutTrack& track = layout.tracks[i];
    const LayoutTrack& previous = layout.tracks[i - 1];
    // A data track's pregap (and the lead-out and lead-in before a second
    // session's) is no part of the audio.
    if (track.data() || previous.data()) continue;
    const PregapSearch search = FindPregap(track.number, static_cast<int32_t>(previous.startLba),
                                           static_cast<int32_t>(track.startLba), probe);
    layout.qSectorsRead += search.sectorsRead;
    // A drive that gives no Q is not asked again for every track: the
    // remaining pregaps stay unknown.
    if (search.refused) return;
    layout.qRead = true;
    if (search.pregapFrames) track.pregapFrames = *search.pregapFrames;
  }
}

}  // namespace

int32_t ReadDiscLayout(int32_t handle, DiscLayout& layout) {
  layout = DiscLayout{};
  HandleRecord* record = FindOpenHandle(handle);
  if (!record) {
    SetLastDeviceError(DEVERR_BAD_HANDLE);
    return kResultFail;
  }
  if (!ReadLbaToc(handle, *record, layout)) {
    layout = DiscLayout{};
    return kResultFail;
  }
  ReadCatalogAndIsrcs(handle, layout);
  FindPregaps(handle, layout);
  return kResultOk;
}

}  // namespace engine::device
