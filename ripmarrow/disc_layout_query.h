// What `ripmarrow rip` needs of the disc's layout beyond the track list, read
// from the engine's rip report after a Refresh: the catalog number, each
// audio track's start, ISRC, pregap and pre-emphasis flag, and the lead-out.
// The engine reads the sub-channel for these once per disc; a drive that
// refuses it gives no catalog number, no ISRCs and pregaps not known, and
// the rip goes on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "components/trackmill2.h"
#include "ripmarrow/cue_sheet_writer.h"

namespace ripmarrow {

struct DiscLayoutQuery {
  struct Track {
    int number = 1;             // audio track number as the engine's trackNum counts
    uint32_t startLba = 0;      // INDEX 01
    int32_t pregapFrames = -1;  // INDEX 00 to INDEX 01; -1 not known. Track 1: from LBA 0
    std::string isrc;
    bool preEmphasis = false;
  };

  std::string catalog;
  std::vector<Track> tracks;  // audio tracks, disc order
  uint32_t leadOutLba = 0;

  // Reads the layout of the disc the engine's last Refresh found, with
  // `trackCount` audio tracks. Members the engine does not offer leave
  // their parts empty or not known.
  static DiscLayoutQuery read(IAudioCDRipper2* engine, long trackCount);

  // True when the drive told the pregaps of the tracks after the first.
  bool pregapsKnown() const;
  // Frames before track 1's INDEX 01 from LBA 0, which may hold a hidden
  // track; 0 when none, and when the disc starts with a data track.
  uint32_t hiddenTrackFrames() const;

  // The cue sheet's view of a rip of every audio track: `files[i]` is the
  // file of tracks[i], `hiddenFile` the hidden track's file ("" when it was
  // not ripped), `deemphasised[i]` true when that file was de-emphasised
  // (its sheet then carries no PRE flag, so no player de-emphasises it
  // again).
  CueSheetWriter::Disc cueDisc(const std::vector<std::string>& titles, const std::string& album,
                               const std::string& artist, const std::vector<std::string>& files,
                               const std::string& hiddenFile,
                               const std::vector<bool>& deemphasised) const;
};

}  // namespace ripmarrow
