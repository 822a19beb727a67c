// One HTTP/1.0 GET on a fresh TCP connection (platform/sockets), bounded in
// time and in size: the whole exchange (look-up aside), connect included,
// ends within the time-out, and no more than the cap of body bytes is kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace engine::verify {

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
};

struct HttpGetResult {
  HttpGetStatus status = HttpGetStatus::kConnectFailed;
  int httpStatus = 0;
  std::string body;  // only with kOk
};

HttpGetResult HttpGet(const HttpServer& server, std::string_view path, const HttpLimits& limits);

const char* HttpGetStatusText(HttpGetStatus status);

}  // namespace engine::verify
