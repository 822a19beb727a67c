// The cdplayer.ini disc key and the ring that links CDDB identifiers to it.
//
// The key is the sum, over the tracks of the table of contents that are not
// data tracks, of each track's MSF start address read as a big-endian 32-bit
// number (0, minutes, seconds, frames); the lead-out does not count.
//
// The ring (20 slots of key, CDDB identifier, track count) remembers which
// disc a CDDB identifier came from, so that an entry read from a server can
// be stored under the key of the disc it belongs to. The oldest association
// is overwritten first.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace engine::cddb {

inline constexpr int kDiscKeySlots = 20;

// The key from an MSF-form READ TOC answer (bounded to the descriptors the
// answer holds).
uint32_t CdPlayerKeyFromToc(std::span<const uint8_t> toc);

// What a track starting at logical block `lba` adds to the key: its MSF
// address as a drive's MSF-form answer gives it (lba + 150 frames, as
// minutes, seconds and frames) read as the big-endian number 0:M:S:F.
uint32_t CdPlayerKeyTerm(int32_t lba);

// The key of the disc in the drive of a device-layer handle, read with MSF
// addresses (the handle's addressing is restored afterwards); 0 when the
// handle is not open or the table of contents cannot be read.
uint32_t CdPlayerKey(int32_t drive);

// Records a triple in the next slot of the ring (the first record clears the
// ring).
void DiscKeyCacheRecord(uint32_t key, uint32_t cddbId, uint32_t trackCount);

// The key of the first slot (from slot 0 on) whose identifier equals the
// hexadecimal number in cddbIdText, and its track count; 0 when none does.
uint32_t DiscKeyCacheLookup(std::string_view cddbIdText, uint32_t* trackCount);

// Empties the ring as at process start (tests).
void DiscKeyCacheReset();

}  // namespace engine::cddb
