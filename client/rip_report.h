// The engine's members that prove a rip, in the client's terms: the
// checksums of the last rip, the disc's identities and layout, the drive's
// read offset (IAudioCDRipperReport) and the rip of any range of the disc
// (IAudioCDRipper2). A failed call gives nothing (or false).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "client/replay_gain.h"
#include "components/trackmill2.h"
#include "platform/com/com_ptr.h"
#include "client/disc_titles.h"
#include "proof/disc_layout.h"

namespace client {

struct TrackProof {
  uint32_t copyCrc = 0;
  uint32_t copyCrcSkipZero = 0;
  uint32_t accurateRipV1 = 0;
  uint32_t accurateRipV2 = 0;
  uint32_t frame450 = 0;
};

class RipReport {
 public:
  explicit RipReport(IAudioCDRipper2* engine);

  // The checksums of the last rip; nothing when the engine has no such members.
  std::optional<TrackProof> lastTrack() const;
  // The engine's counts of the last rip: retries, and frames its mode could
  // not confirm.
  std::optional<long> retries() const;
  std::optional<long> framesUnconfirmed() const;
  // Frames of the rip under way (or the last) read again because a read of
  // them failed, disagreed or was flagged; 0 on a clean disc. Counted as the
  // rip goes: a progress line may show it.
  std::optional<long> framesRetried() const;
  std::optional<uint32_t> accurateRipId1() const;
  std::optional<uint32_t> accurateRipId2() const;
  std::string musicBrainzDiscId() const;
  // The layout of the audio tracks (as trackNum counts them) and the
  // lead-out; nothing without the members. The engine's current track is
  // left as it was.
  std::optional<proof::DiscLayout> audioLayout(long audioTracks) const;
  // The disc's CD-TEXT for `audioTracks` tracks as titles (source
  // "CD-TEXT"); not found when the disc has none or the engine lacks the
  // members.
  DiscTitles cdTextTitles(long audioTracks) const;
  // Stores the artist, album and track titles of `titles` in the engine's
  // local title store (cdplayer.ini), where the next look-up of the disc
  // finds them without the network: for an on-line source other than the
  // CDDB server, whose answers the engine stores itself. A line break in a
  // title becomes a blank. False when not stored.
  bool storeTitles(const DiscTitles& titles) const;
  std::optional<long> readOffsetSamples() const;
  bool putReadOffsetSamples(long samples) const;
  // What the last rip read: frames asked of the drive, frames the C2 error
  // pointers flagged, whether it read with them; and the C2 setting (0 auto,
  // 1 on, 2 off) and what the drive says of C2.
  std::optional<long> framesRead() const;
  std::optional<uint32_t> ctdbCrc() const;  // the CUETools database's CRC of the last track rip
  std::optional<long> c2ErrorFrames() const;
  std::optional<bool> c2Used() const;
  bool putC2Mode(long mode) const;
  std::optional<bool> driveC2() const;
  // Starts the rip of `frames` frames from `firstLba` into `path` through
  // the codec object's format; the HRESULT of the call.
  HRESULT ripRangeToAudioFile2Format(long firstLba, long frames, const std::string& path) const;
  // ReplayGain: whether rips measure (from the next one on), the last rip's
  // track gain and peak, and the album's over `tracks` (as trackNum counts
  // them) from the engine's meters of this disc, gated over all their blocks
  // together. Nothing when not measured or without the members.
  bool putReplayGain(bool measure) const;
  std::optional<ReplayGain> trackReplayGain() const;
  std::optional<ReplayGain> albumReplayGain(const std::vector<long>& tracks) const;

 private:
  IAudioCDRipper2* engine_;
  com::ComPtr<IAudioCDRipperReport> report_;
};

}  // namespace client
