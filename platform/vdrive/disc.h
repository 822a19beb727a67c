// The disc model: tracks, sessions with their lead-outs, and the extents that
// say where each sector's bytes come from. Built by the cue sheet reader and
// the disc generator; read by the drive emulator and rm-discinfo. Immutable
// once built, so a drive and its tests may share one through shared_ptr.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/vdrive/msf.h"
#include "platform/vdrive/sector_source.h"

namespace platform::vdrive {

enum class TrackMode : uint8_t {
  Audio,        // 2352 bytes of 16-bit stereo PCM, little-endian
  Mode1Raw,     // MODE1/2352: whole sectors with sync, header and EDC/ECC
  Mode1Cooked,  // MODE1/2048: user data only
  Mode2Raw,     // MODE2/2352
  Mode2Cooked,  // MODE2/2336: everything after the header
};

// Bytes one sector of the mode takes in an image file.
uint32_t storedBytesPerSector(TrackMode mode);
inline bool isDataMode(TrackMode mode) { return mode != TrackMode::Audio; }
const char* trackModeName(TrackMode mode);  // "AUDIO", "MODE1/2352", …

// Q sub-channel control nibble.
inline constexpr uint8_t kControlPreEmphasis = 0x1;
inline constexpr uint8_t kControlCopyPermitted = 0x2;
inline constexpr uint8_t kControlData = 0x4;
inline constexpr uint8_t kControlFourChannel = 0x8;

struct Track {
  int number = 1;   // 1..99
  int session = 1;  // 1..
  TrackMode mode = TrackMode::Audio;
  bool preEmphasis = false;
  bool copyPermitted = false;
  bool fourChannel = false;
  Lba pregapStart = 0;  // index 00; equal to start when the track has no pregap
  Lba start = 0;        // index 01, the address the table of contents gives
  Lba end = 0;          // exclusive: the next track's pregap start, or the session's lead-out
  std::vector<Lba> indexStarts;  // index 01, 02, … (indexStarts[0] == start)
  std::string isrc;
  std::string title;
  std::string performer;
  std::string songwriter;

  uint8_t control() const;
};

struct Session {
  int number = 1;
  int firstTrack = 1;
  int lastTrack = 1;
  Lba leadOut = 0;  // first sector of the session's lead-out
};

// A run of sectors with one mode and one source. Sectors not covered by any
// extent (lead-outs, lead-ins between sessions) cannot be read.
struct Extent {
  Lba start = 0;
  int32_t frames = 0;
  TrackMode mode = TrackMode::Audio;
  std::shared_ptr<const SectorSource> source;  // null: the sectors hold zeros
  uint64_t offsetBytes = 0;                     // of the extent's first sector in source
};

struct DiscText {
  std::string title;
  std::string performer;
  std::string catalog;  // 13-digit media catalog number, or empty
  std::string songwriter;
};

class Disc {
 public:
  // Checks the layout (tracks numbered consecutively, in order, inside their
  // sessions, extents inside the disc) and throws ImageError when it is broken.
  Disc(std::vector<Track> tracks, std::vector<Session> sessions, std::vector<Extent> extents, DiscText text);

  const std::vector<Track>& tracks() const { return tracks_; }
  const std::vector<Session>& sessions() const { return sessions_; }
  const std::vector<Extent>& extents() const { return extents_; }
  const DiscText& text() const { return text_; }

  int firstTrackNumber() const { return tracks_.front().number; }
  int lastTrackNumber() const { return tracks_.back().number; }
  Lba leadOut() const { return sessions_.back().leadOut; }
  const Track* track(int number) const;         // null when absent
  const Track* trackContaining(Lba lba) const;  // by pregap start .. end; null in gaps
  const Extent* extentAt(Lba lba) const;        // null where nothing can be read
  const Session& sessionOf(const Track& track) const;
  // The length the table of contents gives a track: up to the next track's
  // start in its session (the next pregap included), or the session's lead-out.
  int32_t tocLengthFrames(const Track& track) const;

  // The sector as it is on the disc: 2352 bytes of audio, or a whole data
  // sector (sync, header, data; EDC/ECC as stored, zeros for cooked images).
  // False when lba is not readable or the image cannot be read.
  bool readSector(Lba lba, std::span<uint8_t, kSectorBytes> out) const;

 private:
  std::vector<Track> tracks_;
  std::vector<Session> sessions_;
  std::vector<Extent> extents_;  // sorted, not overlapping
  DiscText text_;
};

}  // namespace platform::vdrive
