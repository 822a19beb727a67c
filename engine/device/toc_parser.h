// Reading the answers of READ TOC (format 0) and READ TRACK INFORMATION.
// Drives can answer garbage: every function here stays inside the buffer it
// is given and yields a bounded result whatever the bytes say.
//
// TOC layout: data length (2 bytes, big-endian, not counting itself), first
// and last track number, then 8-byte descriptors from the first track on, the
// one after the last track being the lead-out. Descriptor: reserved, ADR and
// control (0x04 marks a data track), track number, reserved, address (LBA:
// big-endian 32 bits; MSF: 0, minutes, seconds, frames).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace engine::device {

inline constexpr size_t kTocBufferBytes = 804;  // header and 100 descriptors
inline constexpr size_t kTocHeaderBytes = 4;
inline constexpr size_t kTocDescriptorBytes = 8;
inline constexpr uint8_t kControlDataTrack = 0x04;
// Reads address at most 24 bits of LBA; anything beyond lies off any disc.
inline constexpr uint32_t kLbaLimit = 1u << 24;

// ((b0 x 256 + b1) x 256 + b2) x 256 + b3
uint32_t ReadBigEndian32(const uint8_t* bytes);

struct TocDescriptor {
  uint8_t control = 0;  // low 4 bits of the ADR/control byte
  uint8_t track = 0;
  uint8_t address[4] = {};
  bool isData() const { return (control & kControlDataTrack) != 0; }
  uint32_t lba() const { return ReadBigEndian32(address); }
  // Whole seconds (M x 60 + S) and frames ((M x 60 + S) x 75 + F) of an MSF address.
  int32_t msfSeconds() const { return address[1] * 60 + address[2]; }
  int32_t msfFrames() const { return msfSeconds() * 75 + address[3]; }
};

// Descriptors wholly inside both the buffer and the header's data length.
size_t TocDescriptorCount(std::span<const uint8_t> toc);
// Descriptor `index` (0 = first track) if it lies inside the buffer; a zero
// descriptor otherwise.
TocDescriptor TocDescriptorAt(std::span<const uint8_t> toc, size_t index);

struct AudioTrack {
  uint8_t trackNumber = 0;    // as the disc numbers it, data tracks included
  uint32_t lengthFrames = 0;  // distance to the next descriptor's start
};

// The audio tracks of an LBA-form TOC, in disc order, with data tracks left
// out wherever they stand (an audio track before a data track reaches up to
// that track's start). The header's last track number is the count of
// descriptors examined, bounded by what the answer holds (the lead-out
// included). A length whose addresses run backwards or past 2^24 is 0.
std::vector<AudioTrack> AudioTracksFromToc(std::span<const uint8_t> toc);

// One entry of the disc classification, from READ TRACK INFORMATION.
struct TrackClassEntry {
  uint8_t session = 0;    // answer byte 3
  uint8_t trackMode = 0;  // answer byte 5, low 4 bits
  uint8_t dataMode = 0;   // answer byte 6, low 4 bits
};
inline constexpr size_t kTrackInfoBytes = 28;

// Fields missing from a short answer read as 0.
TrackClassEntry ParseTrackInfo(std::span<const uint8_t> answer);

// Disc class from the per-track entries: 1 all-audio single session, 2 single
// session with data, 3 several sessions (or none answered), 5 several
// sessions with audio tracks that carry a data mode, 0 nothing recognised.
int32_t ClassifyEntries(std::span<const TrackClassEntry> entries);

}  // namespace engine::device
