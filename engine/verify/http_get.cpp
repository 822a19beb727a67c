#include "engine/verify/http_get.h"

#include <chrono>

#include "engine/verify/http_message.h"
#include "platform/sockets/tcp_socket.h"

namespace engine::verify {
namespace {

using Clock = std::chrono::steady_clock;

HttpGetResult Failed(HttpGetStatus status, int httpStatus = 0) {
  HttpGetResult result;
  result.status = status;
  result.httpStatus = httpStatus;
  return result;
}

// What the answer so far says, once the connection is over (closed by the
// peer when `closed`) or its bytes are enough to decide.
struct Progress {
  bool done = false;
  HttpGetResult result;
};

Progress Judge(const std::string& answer, bool closed, const HttpLimits& limits) {
  bool bad = false;
  const std::optional<HttpHead> head = ReadHttpHead(answer, bad);
  if (bad) return {true, Failed(HttpGetStatus::kBadResponse)};
  if (!head) {
    if (answer.size() > limits.maxHeadBytes) return {true, Failed(HttpGetStatus::kTooLarge)};
    if (closed) return {true, Failed(HttpGetStatus::kClosedEarly)};
    return {};
  }
  if (head->status == 404) return {true, Failed(HttpGetStatus::kNotFound, 404)};
  if (head->status != 200) return {true, Failed(HttpGetStatus::kHttpError, head->status)};
  if (head->headBytes > limits.maxHeadBytes) return {true, Failed(HttpGetStatus::kTooLarge)};
  const size_t body = answer.size() - head->headBytes;
  if (head->contentLength) {
    if (*head->contentLength > limits.maxBodyBytes) return {true, Failed(HttpGetStatus::kTooLarge)};
    if (body < *head->contentLength) {
      return closed ? Progress{true, Failed(HttpGetStatus::kClosedEarly)} : Progress{};
    }
  } else {
    if (body > limits.maxBodyBytes) return {true, Failed(HttpGetStatus::kTooLarge)};
    if (!closed) return {};
  }
  HttpGetResult ok;
  ok.status = HttpGetStatus::kOk;
  ok.httpStatus = 200;
  ok.body = answer.substr(head->headBytes, head->contentLength.value_or(body));
  return {true, std::move(ok)};
}

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
  if (text.empty() || text.find_first_of(" \t\r\n/") != std::string_view::npos) return std::nullopt;
  server.host.assign(text);
  return server;
}

HttpGetResult HttpGet(const HttpServer& server, std::string_view path, const HttpLimits& limits) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(limits.timeoutMs);
  const auto leftMs = [&] {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
  };

  in_addr address{};
  if (!platform::sockets::resolveIPv4(server.host, address)) return Failed(HttpGetStatus::kResolveFailed);
  platform::sockets::TcpSocket socket;
  if (!socket.valid()) return Failed(HttpGetStatus::kConnectFailed);
  socket.setSendTimeoutMs(leftMs());
  if (!socket.connect(address, server.port)) return Failed(HttpGetStatus::kConnectFailed);
  const std::string request = HttpGetRequest(server.host, path);
  socket.setSendTimeoutMs(leftMs());
  if (!socket.sendAll(request.data(), request.size())) return Failed(HttpGetStatus::kSendFailed);

  socket.setReceiveTimeoutMs(limits.timeoutMs);
  std::string answer;
  char chunk[4096];
  for (;;) {
    const int wait = leftMs();
    if (wait <= 0) return Failed(HttpGetStatus::kTimedOut);
    const ssize_t got = socket.receive(chunk, sizeof chunk, wait);
    if (got < 0) return Failed(leftMs() > 0 ? HttpGetStatus::kClosedEarly : HttpGetStatus::kTimedOut);
    if (got > 0) answer.append(chunk, size_t(got));
    Progress progress = Judge(answer, got == 0, limits);
    if (progress.done) return std::move(progress.result);
  }
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
  }
  return "unknown";
}

}  // namespace engine::verify
