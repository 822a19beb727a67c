// The layout of a disc as the table of contents gives it: every track in
// disc order with its start, and the lead-out. What the disc identities and
// the track checksums need of the TOC, in one place.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace proof {

// MSF frames (as CDDB and MusicBrainz count) = LBA + the 150 frames of the lead-in.
inline constexpr uint32_t kLeadInFrames = 150;
// Between the audio session and the data session of a CD-Extra disc lie the
// first session's lead-out and the second's lead-in and pre-gap.
inline constexpr uint32_t kSessionGapFrames = 11400;

struct DiscTrack {
  uint8_t number = 0;     // as the disc numbers it
  uint32_t startLba = 0;  // frames from the start of the program area
  bool data = false;
};

struct DiscLayout {
  std::vector<DiscTrack> tracks;  // disc order, data tracks included
  uint32_t leadOutLba = 0;        // the last session's lead-out

  std::vector<DiscTrack> audioTracks() const;
  // Audio tracks followed by one or more data tracks at the end (a second,
  // data session); a data track in front of the audio (mixed mode) is not.
  bool cdExtra() const;
  // Frames from the start of audio track `audioIndex` (0-based among the
  // audio tracks) to the start of the next track, or to the lead-out; 0 for
  // an index past the audio tracks. The last audio track before a data
  // session ends the session gap before the data track.
  uint32_t audioTrackFrames(size_t audioIndex) const;
};

// The layout of an LBA-form READ TOC (format 0) answer. Nothing when the
// answer holds no track, or its addresses run backwards or off the disc.
std::optional<DiscLayout> DiscLayoutFromToc(std::span<const uint8_t> toc);

}  // namespace proof
