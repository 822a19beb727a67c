#include "engine/cddb/cddb_exchange.h"

#include <chrono>
#include <vector>

#include "engine/cddb/cddb_options.h"
#include "engine/cddb/cddb_request.h"
#include "platform/sockets/stop_signal.h"
#include "platform/sockets/tcp_socket.h"

namespace engine::cddb {
namespace {
thread_local const platform::sockets::StopSignal* tStop = nullptr;  // this thread's own
}  // namespace

CddbStopScope::CddbStopScope(const platform::sockets::StopSignal* stop) : saved_(tStop) { tStop = stop; }

CddbStopScope::~CddbStopScope() { tStop = saved_; }

std::string CddbExchange(std::string_view path, std::string_view body, size_t replyBytes) {
  const CddbOptions options = CurrentCddbOptions();
  std::string reply;
  if (replyBytes == 0) return reply;

  if (tStop != nullptr && tStop->raised()) return reply;
  platform::sockets::TcpSocket socket;
  if (!socket.valid()) return reply;
  socket.setStop(tStop);
  const int32_t third = options.timeoutMs / 3;
  socket.setSendTimeoutMs(third);
  socket.setReceiveTimeoutMs(2 * third);

  // A port that TCP cannot have names no server (rather than the port its
  // low 16 bits would give).
  if (options.httpPort < 1 || options.httpPort > 65535) return reply;
  in_addr address{};
  if (!platform::sockets::resolveIPv4(options.server, address)) return reply;
  // A refused connection is not reported on its own: the send and receive
  // below fail and the reply stays empty.
  const bool connected = socket.connect(address, static_cast<uint16_t>(options.httpPort));
  const std::string request = HttpRequest(options.server, path, body);
  if (!connected || !socket.sendAll(request.data(), request.size())) return reply;

  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(2 * third);
  std::vector<char> buffer(replyBytes, '\0');
  size_t used = 0;
  size_t room = replyBytes - 1;  // one byte stays for the terminating NUL
  while (room >= kReceiveChunkBytes) {
    const auto leftMs = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const ssize_t got = socket.receive(buffer.data() + used, kReceiveChunkBytes, leftMs > 0 ? int(leftMs) : 0);
    if (got <= 0) break;
    used += size_t(got);
    room -= size_t(got);
  }
  reply.assign(buffer.data(), used);
  const size_t nul = reply.find('\0');
  if (nul != std::string::npos) reply.resize(nul);
  return reply;
}

}  // namespace engine::cddb
