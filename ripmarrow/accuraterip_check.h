// The AccurateRip side of `rip`, `verify` and `offset find`: the server named
// on the command line, one bounded look-up of the disc, and the answer in
// words for the screen and the log.
#pragma once

#include <optional>
#include <string>

#include "engine/verify/accuraterip_lookup.h"

namespace ripmarrow {

// The whole look-up ends within this (the host name's look-up aside), so
// that a machine without a network is not held up.
inline constexpr int kAccurateRipTimeoutMs = 3000;

// "HOST[:PORT]" -> the server; "none" -> nothing to ask (no look-up). False
// for a bad server.
bool parseAccurateRipServer(const std::string& text, std::optional<engine::verify::HttpServer>& server);

// Looks the disc up; without a server the answer is "no answer" ("not asked").
engine::verify::AccurateRipLookup lookUpDisc(const std::optional<engine::verify::HttpServer>& server,
                                             const engine::verify::AccurateRipDiscId& disc);

// "found 2 records", "disc not in database", "no answer (connect failed)",
// "bad answer (truncated)".
std::string lookupText(const engine::verify::AccurateRipLookup& lookup);

}  // namespace ripmarrow
