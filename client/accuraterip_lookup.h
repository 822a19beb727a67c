// Looking a disc up in the AccurateRip database: one HTTP GET of the disc's
// record file from the server, and its records read and checked against the
// disc. Every failure ends in a status; nothing waits past the time-out.
#pragma once

#include <string>
#include <vector>

#include "proof/accuraterip_id.h"
#include "proof/accuraterip_verdict.h"
#include "client/http_get.h"

namespace client {

inline constexpr const char* kDefaultAccurateRipServer = "www.accuraterip.com";
// The server a client asks when told of none: $RIPMARROW_ACCURATERIP_SERVER
// when set (HOST[:PORT], or "none" not to ask), else kDefaultAccurateRipServer.
std::string DefaultAccurateRipServer();

proof::AccurateRipLookup LookUpAccurateRip(const HttpServer& server, const proof::AccurateRipDiscId& disc,
                                    const HttpLimits& limits = {});

}  // namespace client
