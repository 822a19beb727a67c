// The CD-TEXT of a disc, read from the 18-byte packs READ TOC/PMA/ATIP
// format 5 answers: album and track titles, performers, songwriters and
// composers, the disc's UPC/EAN and the tracks' ISRCs. Pure, no I/O.
//
// Each pack carries its type, its track, a sequence number, its block
// (language) and 12 bytes of text, and ends in a CRC-16 (CCITT, inverted)
// over its first 16 bytes; a pack whose CRC does not match is dropped, never
// trusted. The texts of one type run over its packs as NUL-ended strings,
// the first for the pack's track and each next one for the next track; a
// lone TAB repeats the string before. Block 0 is read when its character set
// (from its size information packs) is ISO 8859-1 or ASCII; else the first
// block that is. Texts come out as UTF-8.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace engine::device {

struct CdTextEntry {
  std::string title;
  std::string performer;
  std::string songwriter;
  std::string composer;
  std::string code;  // the disc's UPC/EAN (entry 0) or a track's ISRC
};

struct CdText {
  std::map<int, CdTextEntry> entries;  // 0: the album; 1..99: the tracks
  std::vector<std::string> notes;      // what was dropped or skipped, for the log

  bool empty() const { return entries.empty(); }
};

// The CRC a pack's bytes 16 and 17 hold (big-endian) for its first 16 bytes.
uint16_t CdTextPackCrc(std::span<const uint8_t> first16);

// `answer`: the READ TOC format 5 reply (a 4-byte header, then packs).
CdText ParseCdText(std::span<const uint8_t> answer);

}  // namespace engine::device
