// Looking a disc up in the AccurateRip database: one HTTP GET of the disc's
// record file from the server, and its records read and checked against the
// disc. Every failure ends in a status; nothing waits past the time-out.
#pragma once

#include <string>
#include <vector>

#include "engine/verify/accuraterip_answer.h"
#include "engine/verify/accuraterip_id.h"
#include "engine/verify/http_get.h"

namespace engine::verify {

inline constexpr const char* kDefaultAccurateRipServer = "www.accuraterip.com";
// The server a client asks when told of none: $RIPMARROW_ACCURATERIP_SERVER
// when set (HOST[:PORT], or "none" not to ask), else kDefaultAccurateRipServer.
std::string DefaultAccurateRipServer();

enum class LookupStatus {
  kFound,          // records for the disc
  kNotInDatabase,  // 404, or an answer without records
  kNoAnswer,       // the server could not be reached or did not answer in time
  kBadAnswer,      // the server answered something that is not the disc's records
};

struct AccurateRipLookup {
  LookupStatus status = LookupStatus::kNoAnswer;
  std::vector<AccurateRipRecord> records;  // only with kFound
  std::string detail;                      // what went wrong, for the log
};

AccurateRipLookup LookUpAccurateRip(const HttpServer& server, const AccurateRipDiscId& disc,
                                    const HttpLimits& limits = {});

}  // namespace engine::verify
