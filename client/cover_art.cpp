#include "client/cover_art.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "client/http_get.h"
#include "platform/sys/sys.h"
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

std::string SaveCoverArt(const std::string& folder, const CoverArt& art, std::string& why) {
  namespace sys = platform::sys;
  if (!art.found) {
    why = art.reason;
    return "";
  }
  std::error_code ec;
  for (const char* name : {"cover.jpg", "cover.png"}) {
    if (std::filesystem::exists(std::filesystem::path(folder) / name, ec)) {
      why = std::string("the folder holds a ") + name + " already";
      return "";
    }
  }
  const std::string path = (std::filesystem::path(folder) / ("cover." + art.extension)).string();
  // O_EXCL: a file that appeared meanwhile is not replaced either.
  const int fd = sys::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0) {
    why = "cannot create " + path + ": " + std::strerror(errno);
    return "";
  }
  const bool written = sys::writeAll(fd, art.bytes.data(), art.bytes.size());
  const bool closed = sys::close(fd) == 0;
  if (!written || !closed) {
    why = "cannot write " + path;
    std::filesystem::remove(path, ec);
    return "";
  }
  return path;
}

}  // namespace client
