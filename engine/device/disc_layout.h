// What a lossless archive needs of a disc beyond the table of contents: the
// media catalog number, each track's ISRC and pregap (INDEX 00 to INDEX 01),
// from the Q sub-channel; and the track flags (pre-emphasis, copy permitted,
// four channels) from the TOC's control bits. (proof/'s layout holds
// the TOC alone, for the disc ids.)
//
// Read with READ TOC, READ SUB-CHANNEL (catalog number, ISRCs) and READ CD
// of formatted Q around each track's start (pregaps; see pregap_search.h).
// A drive that refuses the sub-channel commands, or answers them with
// nothing, gives a layout without catalog number, ISRCs and pregaps: that is
// never a failure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace engine::device {

struct LayoutTrack {
  static constexpr int32_t kUnknown = -1;

  uint8_t number = 0;
  uint8_t control = 0;       // low 4 bits of the TOC's ADR/control byte
  uint32_t startLba = 0;     // INDEX 01, as the TOC gives it
  // Frames of INDEX 00 before INDEX 01; kUnknown when the sub-channel could
  // not tell (and for data tracks). Track 1's is the frames before its
  // INDEX 01 from the start of the program area (a hidden track's room).
  int32_t pregapFrames = kUnknown;
  std::string isrc;  // "" when the track has none or the drive would not say

  bool data() const { return (control & 0x04) != 0; }
  bool preEmphasis() const { return (control & 0x01) != 0; }
  bool copyPermitted() const { return (control & 0x02) != 0; }
  bool fourChannel() const { return (control & 0x08) != 0; }
};

struct DiscLayout {
  std::vector<LayoutTrack> tracks;  // disc order, data tracks included
  uint32_t leadOutLba = 0;
  std::string catalog;  // 13 digits; "" when none or the drive would not say
  // The drive answered READ SUB-CHANNEL and gave Q positions: an empty
  // catalog or ISRC then means the disc has none.
  bool subChannelRead = false;
  bool qRead = false;
  uint32_t qSectorsRead = 0;  // sectors read for the pregap searches
};

// Reads the layout of the disc through an open drive handle. 1, or 4 when
// the handle is not open (DEVERR_BAD_HANDLE) or the TOC cannot be read;
// refused sub-channel commands leave their parts of `layout` empty. The
// handle's msfAddressing is kept.
int32_t ReadDiscLayout(int32_t handle, DiscLayout& layout);

}  // namespace engine::device
