// One HTTP GET, on libcurl, bounded in time and in size: the whole exchange
// (name resolution and connect included) ends within the time-out or when
// the caller cancels it, and no more than the cap of body bytes is kept.
// Redirects are followed (a few at most); HTTPS and the user's proxy
// settings (http_proxy, https_proxy, no_proxy) come with libcurl. Any thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace client {

struct HttpServer {
  std::string host;
  uint16_t port = 80;
};

// "HOST" or "HOST:PORT" (port 1..65535). Nothing for an empty host or a bad port.
std::optional<HttpServer> ParseHttpServer(std::string_view text, uint16_t defaultPort = 80);

struct HttpLimits {
  int timeoutMs = 10000;
  size_t maxBodyBytes = 256 * 1024;
  size_t maxHeadBytes = 16 * 1024;
  // Set by another thread to give up: the call returns within about a
  // second (libcurl looks at it at least that often while it waits, name
  // resolution included); null: never. The flag outlives the call.
  const std::atomic<bool>* cancel = nullptr;
};

enum class HttpGetStatus {
  kOk,             // 200 and the whole body
  kNotFound,       // 404
  kResolveFailed,  // the host name gives no address
  kConnectFailed,  // refused, or no connection within the time-out
  kSendFailed,
  kTimedOut,       // connected, but the answer did not end within the time-out
  kClosedEarly,    // the connection closed before the head, or before Content-Length bytes
  kTooLarge,       // head or body beyond the limits
  kBadResponse,    // not an HTTP answer
  kHttpError,      // any other status (in httpStatus)
  kCancelled,      // the caller gave up
};

struct HttpGetResult {
  HttpGetStatus status = HttpGetStatus::kConnectFailed;
  int httpStatus = 0;
  std::string body;  // only with kOk
};

// GET http://HOST:PORT<path>; `path` starts with "/".
HttpGetResult HttpGet(const HttpServer& server, std::string_view path, const HttpLimits& limits);

// The address every request's User-Agent names, as the services ask: the
// project's, never the user's. The one place it is kept.
inline constexpr const char* kRipmarrowProjectAddress = "https://ripmarrow.example.org/";

// "Ripmarrow/<version> ( <project address> )": the User-Agent of every
// request either program sends.
std::string RipmarrowUserAgent();

// A GET of a whole address, for services named by a base address.
struct HttpRequest {
  std::string url;        // http[s]://HOST[:PORT]/PATH[?QUERY]
  std::string userAgent;  // "": RipmarrowUserAgent()
  long maxRedirects = 3;  // a loop ends in kBadResponse after these
};
HttpGetResult HttpGetUrl(const HttpRequest& request, const HttpLimits& limits);

// A service's base address from what a user writes: "http[s]://HOST[:PORT][/PATH]"
// or "HOST[:PORT]" (then http). Nothing for any other text (other schemes,
// spaces, a user name, a query, a bad port); `error` then says why.
struct HttpBase {
  bool https = false;
  HttpServer server;  // port 80 or 443 unless given
  std::string path;   // "" or "/…", without a trailing "/"
};
std::optional<HttpBase> ParseHttpBase(std::string_view text, std::string& error);
// The same as one address "http[s]://HOST:PORT[/PATH]".
std::optional<std::string> ParseHttpBaseUrl(std::string_view text);

const char* HttpGetStatusText(HttpGetStatus status);

}  // namespace client
