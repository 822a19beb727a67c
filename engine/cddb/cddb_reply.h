// The CDDB server's replies, taken apart without any I/O. Replies are
// untrusted: every function here stays inside the text it is given and
// writes only into the fields of the records it fills.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/cddb/cddb_types.h"

namespace engine::cddb {

inline constexpr size_t kStatusLineCapacity = 81;  // status and match lines
inline constexpr int kMaxInexactLines = 100;

// The CDDB body of a reply: after the HTTP headers when the reply starts with
// "HTTP" and a blank line follows them, otherwise the whole reply. The HTTP
// status is never examined.
std::string_view ReplyBody(std::string_view reply);

// The CDDB status of a body's first line: the value of its first three
// characters when they are decimal digits, 0 otherwise.
int ReplyStatus(std::string_view body);

// A match line: "category discid artist / title". False when it does not
// parse (category missing or of 12 characters or more, disc identifier not 1
// to 8 hexadecimal digits followed by a blank, no "/"); the match is then
// left as it was.
bool ParseMatchLine(std::string_view line, CddbMatch& match);

// A query reply (HTTP headers allowed) into items[0..capacity): 200 gives one
// exact match, 211 the parsable lines of its list in server order (at most
// 100 lines read, up to the "." line), anything else none. Returns the number
// of items filled.
int32_t ParseQueryReply(std::string_view reply, CddbMatch* items, int32_t capacity);

// The entry text of a read reply: everything after the status line of a body
// whose status starts with "210", the "." line included; nullopt for any
// other status or a body without a line end.
std::optional<std::string_view> ReadReplyEntry(std::string_view reply);

}  // namespace engine::cddb
