// The local title store: cdplayer.ini in $RIPMARROW_HOME, one section per
// disc named by its cdplayer.ini key in "%X" form, with the keys "artist",
// "title", "numtracks", one key per track ("0", "1", …: the CDDB track
// number) and "order". The file is shared with other programs, so what we
// read from it is cleaned to valid UTF-8, and what we write never adds keys
// or lines beyond those of the disc, whatever the network text holds.
#pragma once

#include <cstdint>
#include <string_view>

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

}  // namespace engine::cddb
