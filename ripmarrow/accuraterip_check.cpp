#include "ripmarrow/accuraterip_check.h"

namespace ripmarrow {

using engine::verify::LookupStatus;

bool parseAccurateRipServer(const std::string& text, std::optional<engine::verify::HttpServer>& server) {
  if (text == "none") {
    server.reset();
    return true;
  }
  server = engine::verify::ParseHttpServer(text, 80);
  return server.has_value();
}

engine::verify::AccurateRipLookup lookUpDisc(const std::optional<engine::verify::HttpServer>& server,
                                             const engine::verify::AccurateRipDiscId& disc) {
  if (!server) {
    engine::verify::AccurateRipLookup lookup;
    lookup.status = LookupStatus::kNoAnswer;
    lookup.detail = "not asked";
    return lookup;
  }
  engine::verify::HttpLimits limits;
  limits.timeoutMs = kAccurateRipTimeoutMs;
  return engine::verify::LookUpAccurateRip(*server, disc, limits);
}

std::string lookupText(const engine::verify::AccurateRipLookup& lookup) {
  switch (lookup.status) {
    case LookupStatus::kFound:
      return "found " + std::to_string(lookup.records.size()) + (lookup.records.size() == 1 ? " record" : " records");
    case LookupStatus::kNotInDatabase: return "disc not in database";
    case LookupStatus::kNoAnswer: return "no answer (" + lookup.detail + ")";
    case LookupStatus::kBadAnswer: return "bad answer (" + lookup.detail + ")";
  }
  return "no answer";
}

}  // namespace ripmarrow
