// The local title store: cdplayer.ini in $RIPMARROW_HOME, one section per
// disc named by its cdplayer.ini key in "%X" form, with the keys "artist",
// "title", "numtracks", one key per track ("0", "1", …: the CDDB track
// number) and "order". The file is shared with other programs, so what we
// read from it is cleaned to valid UTF-8, and what we write never adds keys
// or lines beyond those of the disc, whatever the network text holds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cddb/cddb_types.h"

namespace engine::cddb {

inline constexpr char kCdPlayerIniFile[] = "cdplayer.ini";

// "NUMTRACKS" of the section named keyText: 0 when the file, the section or
// the key is missing or not a positive number.
int32_t CdPlayerIniTrackCount(std::string_view keyText);

// Fills the match (category "rock", exact 1, artist and title cut to 79
// bytes) and writes CDDB-style entry text for the section named by the
// match's discId into text[0..size): "DTITLE=artist / title" when it fits,
// then "TTITLEi=…" lines, each ended by CR LF, for as long as each leaves 12
// bytes to spare; always NUL-terminated. 4 (nothing changed) when the disc
// is absent or the arguments are unusable.
int32_t CdPlayerIniRead(CddbMatch* match, char* text, int32_t size);

// Stores an entry text read from a server under the key that the ring links
// to the match's discId (nothing when it links none): artist, title, the
// ring's track count as "numtracks", one key per "TTITLEn=" line whose n is
// decimal digits, and "order" (the keys in line order, each followed by a
// blank, at most 254 bytes). All keys of the disc are written in one atomic
// rewrite of the file. Failures to write are ignored.
void CdPlayerIniWrite(const CddbMatch& match, std::string_view text);

// Stores the titles of a disc that came from another on-line source than a
// CDDB server (a release chosen from MusicBrainz), as an entry from a server
// is stored, so that the disc is known offline afterwards: the section named
// by `key` in "%X" form gets "artist", "title", "numtracks" = trackCount, one
// key per title ("0" for the first track, "" for a title not known) and
// "order". Each value is made one line of valid UTF-8 (control characters
// become blanks) of at most 254 bytes that reads back as written (a value in
// quotes keeps them). Other sections, and the lines of this one that are
// not its keys, are kept. One atomic rewrite of the file; false when it
// could not be written (or key or trackCount is 0).
bool CdPlayerIniStore(uint32_t key, uint32_t trackCount, std::string_view artist, std::string_view title,
                      const std::vector<std::string>& trackTitles);

}  // namespace engine::cddb
