#include "proof/musicbrainz_id.h"

#include <discid/discid.h>

#include <memory>

namespace proof {
namespace {

struct DiscIdFree {
  void operator()(DiscId* disc) const { discid_free(disc); }
};

}  // namespace

std::optional<std::string> MusicBrainzDiscId(const DiscLayout& layout) {
  size_t count = layout.tracks.size();
  uint32_t leadOutLba = layout.leadOutLba;
  if (layout.cdExtra()) {
    while (count > 0 && layout.tracks[count - 1].data) --count;
    const uint32_t dataStart = layout.tracks[count].startLba;
    if (dataStart < kSessionGapFrames) return std::nullopt;
    leadOutLba = dataStart - kSessionGapFrames;
  }
  if (count == 0 || count > 99) return std::nullopt;
  const int first = layout.tracks[0].number;
  const int last = layout.tracks[count - 1].number;
  if (first < 1 || last > 99 || last - first + 1 != int(count)) return std::nullopt;

  // offsets[0] is the lead-out, offsets[n] the start of track n, all in
  // MSF frames (lead-in included).
  int offsets[100] = {};
  offsets[0] = int(leadOutLba + kLeadInFrames);
  for (size_t k = 0; k < count; ++k) offsets[first + int(k)] = int(layout.tracks[k].startLba + kLeadInFrames);

  std::unique_ptr<DiscId, DiscIdFree> disc(discid_new());
  if (!disc || !discid_put(disc.get(), first, last, offsets)) return std::nullopt;
  return std::string(discid_get_id(disc.get()));
}

}  // namespace proof
