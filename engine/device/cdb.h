// The command blocks the device layer sends, built from their arguments.
// Addresses are sent as 24 bits (higher bits dropped) and frame counts as
// 8 bits, so one read covers at most 255 frames.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace engine::device {

struct Cdb {
  std::array<uint8_t, 16> bytes{};
  uint8_t length = 0;
  std::span<const uint8_t> view() const { return {bytes.data(), length}; }
};

// The flag byte of READ CD and the control byte of READ TRACK INFORMATION,
// PREVENT ALLOW MEDIUM REMOVAL and START STOP UNIT: 10h for CDRT_ATAPI1,
// F0h for every other read type.
uint8_t ReadTypeFlagByte(uint8_t readType);

// The read command of a read type (1..8): READ CD, READ(10), D8h or D4h.
Cdb ReadAudioCdb(uint8_t readType, uint32_t startFrame, uint32_t frameCount, uint8_t lun);
Cdb ReadTocCdb(bool msf);                                // format 0 from track 0, 804 bytes
// READ TOC/PMA/ATIP format 5 (CD-TEXT), asking for `allocationBytes`.
Cdb ReadCdTextCdb(uint16_t allocationBytes);
Cdb ReadTrackInfoCdb(uint32_t track, uint8_t readType);  // by track number, 28 bytes
Cdb InquiryCdb();                                        // 100 bytes
Cdb SetSpeedCdb(uint32_t speedKBps);
Cdb PreventAllowCdb(bool lock, uint8_t readType);
Cdb StartStopCdb(bool loadEject, bool start, uint8_t readType);
Cdb PauseCdb();
Cdb TestUnitReadyCdb12();
Cdb TestUnitReadyCdb10();
Cdb ModeSelect6Cdb(bool pageFormat, uint8_t listBytes);
// READ SUB-CHANNEL of Q data in the given format (2 catalog number, 3 ISRC
// of `track`), 24 bytes.
Cdb ReadSubChannelCdb(uint8_t format, uint8_t track);
// READ CD of one sector's formatted Q (16 bytes after the main channel);
// with `mainData` the sector's 2352 bytes come first (for drives that will
// not give the sub-channel alone).
Cdb ReadCdQCdb(uint32_t lba, bool mainData);
Cdb ModeSense10Cdb(uint8_t page, uint16_t allocationBytes);  // current values, no block descriptors

// MODE SELECT parameter lists of the READ(10) and D4 setups.
// 2352-byte blocks (setup A).
inline constexpr std::array<uint8_t, 12> kModeBlock2352 = {0, 0, 0, 8, 0,    0,
                                                           0, 0, 0, 0, 0x09, 0x30};
// 2352-byte blocks with mode page 23h (setup B, first list).
inline constexpr std::array<uint8_t, 20> kModeBlock2352Page23 = {
    0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0x09, 0x30, 0x23, 6, 0, 0, 0, 0, 0, 0x80};
// 2352-byte blocks with the read error recovery page, 7 retries (setup B, second list).
inline constexpr std::array<uint8_t, 20> kModeBlock2352Recovery = {
    0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0x09, 0x30, 0x01, 6, 0x20, 7, 0, 0, 0, 0};
// Back to 2048-byte data blocks, density 53h (run when the handle closes).
inline constexpr std::array<uint8_t, 12> kModeBlock2048 = {0, 0, 0, 8, 0x53, 0,
                                                           0, 0, 0, 0, 0x08, 0};
// 2352-byte blocks without a block-descriptor length (the D4 variant's setup).
inline constexpr std::array<uint8_t, 12> kModeBlock2352NoLength = {0, 0, 0, 0, 0,    0,
                                                                   0, 0, 0, 0, 0x09, 0x30};

}  // namespace engine::device
