#include "client/http_get.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

#include "platform/version/product_version.h"

namespace client {
namespace {

// What the callbacks saw: the body so far, and why they stopped the transfer.
struct Transfer {
  const HttpLimits* limits = nullptr;
  std::string body;
  size_t headBytes = 0;
  bool tooLarge = false;
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  if (transfer.body.size() + bytes > transfer.limits->maxBodyBytes) {
    transfer.tooLarge = true;
    return 0;  // any other count than given ends the transfer
  }
  transfer.body.append(data, bytes);
  return bytes;
}

size_t onHeader(char*, size_t size, size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  transfer.headBytes += bytes;
  if (transfer.headBytes > transfer.limits->maxHeadBytes) {
    transfer.tooLarge = true;
    return 0;
  }
  return bytes;
}

// libcurl calls this often while data flows and about once a second while
// it waits, name resolution included; non-zero gives up.
int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto& transfer = *static_cast<Transfer*>(user);
  return transfer.limits->cancel != nullptr && transfer.limits->cancel->load() ? 1 : 0;
}

HttpGetResult Failed(HttpGetStatus status, int httpStatus = 0) {
  HttpGetResult result;
  result.status = status;
  result.httpStatus = httpStatus;
  return result;
}

HttpGetStatus StatusOf(CURLcode code, bool connected) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return HttpGetStatus::kResolveFailed;
    case CURLE_COULDNT_CONNECT:
      return HttpGetStatus::kConnectFailed;
    case CURLE_OPERATION_TIMEDOUT:
      return connected ? HttpGetStatus::kTimedOut : HttpGetStatus::kConnectFailed;
    case CURLE_SEND_ERROR:
      return HttpGetStatus::kSendFailed;
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
      return HttpGetStatus::kClosedEarly;
    case CURLE_FILESIZE_EXCEEDED:
      return HttpGetStatus::kTooLarge;
    case CURLE_ABORTED_BY_CALLBACK:
      return HttpGetStatus::kCancelled;
    default:
      // A server that does not speak HTTP (libcurl calls it HTTP/0.9, or
      // a weird reply), a broken TLS exchange, too many redirects.
      return HttpGetStatus::kBadResponse;
  }
}

struct EasyDelete {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

}  // namespace

std::optional<HttpServer> ParseHttpServer(std::string_view text, uint16_t defaultPort) {
  HttpServer server;
  server.port = defaultPort;
  const size_t colon = text.rfind(':');
  if (colon != std::string_view::npos) {
    const std::string_view port = text.substr(colon + 1);
    if (port.empty() || port.size() > 5) return std::nullopt;
    uint32_t value = 0;
    for (const char c : port) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + uint32_t(c - '0');
    }
    if (value < 1 || value > 65535) return std::nullopt;
    server.port = uint16_t(value);
    text = text.substr(0, colon);
  }
  // Only a host name or address: nothing that would make the URL another one.
  if (text.empty() || text.find_first_of(" \t\r\n/?#@[]\\") != std::string_view::npos) return std::nullopt;
  server.host.assign(text);
  return server;
}

std::string RipmarrowUserAgent() {
  return std::string("Ripmarrow/") + platform::productVersion() + " ( " + kRipmarrowProjectAddress + " )";
}

HttpGetResult HttpGet(const HttpServer& server, std::string_view path, const HttpLimits& limits) {
  HttpRequest request;
  request.url = "http://" + server.host + ":" + std::to_string(server.port) + std::string(path);
  return HttpGetUrl(request, limits);
}

std::optional<HttpBase> ParseHttpBase(std::string_view text, std::string& error) {
  HttpBase base;
  const std::string_view whole = text;
  if (text.starts_with("https://")) {
    base.https = true;
    text.remove_prefix(8);
  } else if (text.starts_with("http://")) {
    text.remove_prefix(7);
  } else if (text.find("://") != std::string_view::npos) {
    error = "'" + std::string(whole) + "' is neither http:// nor https://";
    return std::nullopt;
  }
  const size_t slash = text.find('/');
  const std::string_view hostPort = text.substr(0, slash);
  std::string_view path = slash == std::string_view::npos ? std::string_view() : text.substr(slash);
  if (path.find_first_of(" \t\r\n?#\\") != std::string_view::npos) {
    error = "'" + std::string(text) + "' is not HOST[:PORT][/PATH]";
    return std::nullopt;
  }
  while (path.ends_with('/')) path.remove_suffix(1);
  const auto server = ParseHttpServer(hostPort, base.https ? 443 : 80);
  if (!server) {
    error = "'" + std::string(hostPort) + "' is not HOST[:PORT]";
    return std::nullopt;
  }
  base.server = *server;
  base.path.assign(path);
  return base;
}

std::optional<std::string> ParseHttpBaseUrl(std::string_view text) {
  std::string error;
  const auto base = ParseHttpBase(text, error);
  if (!base) return std::nullopt;
  return std::string(base->https ? "https" : "http") + "://" + base->server.host + ":" +
         std::to_string(base->server.port) + base->path;
}

HttpGetResult HttpGetUrl(const HttpRequest& request, const HttpLimits& limits) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  const std::unique_ptr<CURL, EasyDelete> curl(curl_easy_init());
  if (!curl) return Failed(HttpGetStatus::kConnectFailed);
  if (limits.cancel != nullptr && limits.cancel->load()) return Failed(HttpGetStatus::kCancelled);

  Transfer transfer;
  transfer.limits = &limits;
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, request.url.c_str());
  const std::string userAgent = request.userAgent.empty() ? RipmarrowUserAgent() : request.userAgent;
  curl_easy_setopt(c, CURLOPT_USERAGENT, userAgent.c_str());
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);  // threads: no alarm signal for the resolver
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.timeoutMs));
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, request.maxRedirects);
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBodyBytes));
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, onBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, onHeader);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, onProgress);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);

  const CURLcode code = curl_easy_perform(c);
  long httpStatus = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &httpStatus);
  if (transfer.tooLarge) return Failed(HttpGetStatus::kTooLarge);
  if (code != CURLE_OK) {
    curl_off_t connectUs = 0;
    curl_easy_getinfo(c, CURLINFO_CONNECT_TIME_T, &connectUs);
    return Failed(StatusOf(code, connectUs > 0), static_cast<int>(httpStatus));
  }
  if (httpStatus == 404) return Failed(HttpGetStatus::kNotFound, 404);
  if (httpStatus != 200) return Failed(HttpGetStatus::kHttpError, static_cast<int>(httpStatus));
  HttpGetResult ok;
  ok.status = HttpGetStatus::kOk;
  ok.httpStatus = 200;
  ok.body = std::move(transfer.body);
  return ok;
}

const char* HttpGetStatusText(HttpGetStatus status) {
  switch (status) {
    case HttpGetStatus::kOk: return "ok";
    case HttpGetStatus::kNotFound: return "not found";
    case HttpGetStatus::kResolveFailed: return "server name not found";
    case HttpGetStatus::kConnectFailed: return "no connection to the server";
    case HttpGetStatus::kSendFailed: return "request not sent";
    case HttpGetStatus::kTimedOut: return "no answer in time";
    case HttpGetStatus::kClosedEarly: return "connection closed before the answer ended";
    case HttpGetStatus::kTooLarge: return "answer too large";
    case HttpGetStatus::kBadResponse: return "not an HTTP answer";
    case HttpGetStatus::kHttpError: return "HTTP error";
    case HttpGetStatus::kCancelled: return "given up";
  }
  return "unknown";
}

}  // namespace client
