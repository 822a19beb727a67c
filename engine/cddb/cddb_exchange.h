// One CDDB command: an HTTP POST on a fresh TCP connection to the server
// of the current options, and the reply collected.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform::sockets {
class StopSignal;
}

namespace engine::cddb {

inline constexpr size_t kReceiveChunkBytes = 128;

// Sends the request for `body` to the gateway script at `path` and returns
// the raw reply: at most replyBytes - 1 bytes, up to the first NUL byte,
// received 128 bytes at a time for as long as at least 128 bytes of room
// remain. With T the current time-out in ms, the send (and connect) time-out
// is T/3 and the receive time-out 2*(T/3); the receive time-out also bounds
// the whole reply, so a server that trickles bytes cannot hold the caller
// longer. A host that cannot be resolved, a refused connection, a failed
// send or a time-out leave the reply empty or cut short; nothing else is
// reported.
std::string CddbExchange(std::string_view path, std::string_view body, size_t replyBytes);

// The stop of the look-up that runs on the calling thread, for as long as
// the scope lives: every exchange the thread makes meanwhile fails at once
// (an empty or cut reply) once `stop` is raised, its connect, send and
// receive waits included; the look-up of the server's name is not (the
// system's resolver takes no stop), it only ends before them. Only the thread's own exchanges see it, so
// look-ups of other threads and objects are never stopped by it.
class CddbStopScope {
 public:
  explicit CddbStopScope(const platform::sockets::StopSignal* stop);
  ~CddbStopScope();
  CddbStopScope(const CddbStopScope&) = delete;
  CddbStopScope& operator=(const CddbStopScope&) = delete;

 private:
  const platform::sockets::StopSignal* saved_;
};

}  // namespace engine::cddb
