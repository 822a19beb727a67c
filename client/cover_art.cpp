#include "client/cover_art.h"

#include "client/http_get.h"
#include "client/musicbrainz_lookup.h"

namespace client {

std::string CoverArtExtension(const std::string& bytes) {
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xFF\xD8\xFF") == 0) return "jpg";
  if (bytes.size() >= 8 && bytes.compare(0, 8, std::string("\x89PNG\r\n\x1A\n", 8)) == 0) return "png";
  return "";
}

CoverArt FetchCoverArt(const std::string& server, const std::string& releaseId, int timeoutMs,
                       const std::atomic<bool>* cancel) {
  CoverArt art;
  // A release id is a UUID: nothing else goes into the address.
  if (releaseId.empty() || releaseId.size() > 36 ||
      releaseId.find_first_not_of("0123456789abcdefABCDEF-") != std::string::npos) {
    art.reason = "not a release id";
    return art;
  }
  HttpRequest request;
  request.url = server + "/release/" + releaseId + "/front-500";
  request.userAgent = RipmarrowUserAgent();
  request.maxRedirects = 5;
  HttpLimits limits;
  limits.timeoutMs = timeoutMs;
  limits.maxBodyBytes = kMaxCoverArtBytes;
  limits.cancel = cancel;
  HttpGetResult got = HttpGetUrl(request, limits);
  if (got.status != HttpGetStatus::kOk) {
    art.reason = got.status == HttpGetStatus::kTooLarge ? "the image is larger than 10 MB"
                                                        : HttpGetStatusText(got.status);
    if (got.status == HttpGetStatus::kHttpError) art.reason += " " + std::to_string(got.httpStatus);
    return art;
  }
  art.extension = CoverArtExtension(got.body);
  if (art.extension.empty()) {
    art.reason = "the answer is not a JPEG or PNG image";
    return art;
  }
  art.mimeType = art.extension == "jpg" ? "image/jpeg" : "image/png";
  art.bytes = std::move(got.body);
  art.found = true;
  return art;
}

}  // namespace client
