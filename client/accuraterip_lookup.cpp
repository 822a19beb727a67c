#include "client/accuraterip_lookup.h"

#include <cstdlib>

namespace client {

using namespace proof;

std::string DefaultAccurateRipServer() {
  const char* chosen = std::getenv("RIPMARROW_ACCURATERIP_SERVER");
  return chosen != nullptr && chosen[0] != '\0' ? chosen : kDefaultAccurateRipServer;
}

AccurateRipLookup LookUpAccurateRip(const HttpServer& server, const AccurateRipDiscId& disc,
                                    const HttpLimits& limits) {
  AccurateRipLookup lookup;
  const HttpGetResult got = HttpGet(server, AccurateRipPath(disc), limits);
  switch (got.status) {
    case HttpGetStatus::kOk:
      break;
    case HttpGetStatus::kNotFound:
      lookup.status = LookupStatus::kNotInDatabase;
      return lookup;
    case HttpGetStatus::kResolveFailed:
    case HttpGetStatus::kConnectFailed:
    case HttpGetStatus::kSendFailed:
    case HttpGetStatus::kTimedOut:
    case HttpGetStatus::kClosedEarly:  // nothing, or only part of the record, came
    case HttpGetStatus::kCancelled:
      lookup.status = LookupStatus::kNoAnswer;
      lookup.detail = HttpGetStatusText(got.status);
      return lookup;
    default:
      lookup.status = LookupStatus::kBadAnswer;
      lookup.detail = HttpGetStatusText(got.status);
      if (got.status == HttpGetStatus::kHttpError) lookup.detail += " " + std::to_string(got.httpStatus);
      return lookup;
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(got.body.data());
  AccurateRipAnswer answer = ParseAccurateRipAnswer({bytes, got.body.size()}, disc);
  if (answer.status != AnswerStatus::kOk) {
    lookup.status = LookupStatus::kBadAnswer;
    lookup.detail = AnswerStatusText(answer.status);
    return lookup;
  }
  lookup.status = answer.records.empty() ? LookupStatus::kNotInDatabase : LookupStatus::kFound;
  lookup.records = std::move(answer.records);
  return lookup;
}

}  // namespace client
