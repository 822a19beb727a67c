// Text from outside (titles a CDDB or MusicBrainz server sends, a rip log's
// file names, a drive's identity) made safe to print on a terminal: a
// hostile server or file could otherwise send escape sequences that move the
// cursor, retitle the window or ring the bell. Every command's printing of
// such text goes through TerminalText.
#pragma once

#include <string>
#include <string_view>

namespace client {

// `text` with every control character replaced by '?': C0 (U+0000-U+001F,
// line breaks and tabs included: the text is one field on one line), DEL
// and C1 (U+0080-U+009F). Bytes that are not UTF-8 become U+FFFD first, so
// that a lone C1 byte (0x9B is CSI to some terminals) cannot get through.
// Everything else, letters of every script included, is kept.
std::string TerminalText(std::string_view text);

}  // namespace client
