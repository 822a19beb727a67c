#include "platform/sockets/tcp_socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>

#include "platform/sockets/stop_signal.h"
#include "platform/sys/sys.h"

namespace platform::sockets {
namespace {

bool systemLookup(const char* host, in_addr* address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) return false;
  bool ok = false;
  for (addrinfo* a = found; a != nullptr && !ok; a = a->ai_next) {
    if (a->ai_family == AF_INET && a->ai_addrlen >= sizeof(sockaddr_in)) {
      *address = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr;
      ok = true;
    }
  }
  ::freeaddrinfo(found);
  return ok;
}

HostLookup gLookup = systemLookup;

timeval toTimeval(int ms) {
  ms = std::max(ms, 0);
  timeval tv{};
  tv.tv_sec = ms / 1000;
  tv.tv_usec = (ms % 1000) * 1000;
  return tv;
}

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? int(left) : 0;
}

}  // namespace

HostLookup& hostLookup() { return gLookup; }

bool resolveIPv4(std::string_view host, in_addr& address) {
  if (host.empty()) return false;
  const std::string name(host);
  if (::inet_pton(AF_INET, name.c_str(), &address) == 1) return true;
  return gLookup(name.c_str(), &address);
}

TcpSocket::TcpSocket() { fd_ = sys::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0); }

TcpSocket::~TcpSocket() {
  if (fd_ >= 0) sys::close(fd_);
}

bool TcpSocket::setSendTimeoutMs(int ms) {
  sendTimeoutMs_ = ms;
  const timeval tv = toTimeval(ms);
  return valid() && sys::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) == 0;
}

bool TcpSocket::setReceiveTimeoutMs(int ms) {
  receiveTimeoutMs_ = ms;
  const timeval tv = toTimeval(ms);
  return valid() && sys::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
}

bool TcpSocket::waitFor(short events, int ms) {
  if (stop_ != nullptr && stop_->raised()) return false;
  pollfd p[2] = {{fd_, events, 0}, {stop_ != nullptr ? stop_->fd() : -1, POLLIN, 0}};
  const nfds_t count = stop_ != nullptr && stop_->fd() >= 0 ? 2 : 1;
  if (sys::poll(p, count, std::max(ms, 0)) < 1) return false;
  if (stop_ != nullptr && stop_->raised()) return false;
  return (p[0].revents & (events | POLLERR | POLLHUP)) != 0;
}

bool TcpSocket::connect(const in_addr& address, uint16_t port) {
  if (!valid() || (stop_ != nullptr && stop_->raised())) return false;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr = address;
  if (sys::connect(fd_, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return true;
  if (errno != EINPROGRESS && errno != EINTR) return false;
  if (!waitFor(POLLOUT, sendTimeoutMs_)) return false;
  int error = 0;
  socklen_t bytes = sizeof error;
  return sys::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &bytes) == 0 && error == 0;
}

bool TcpSocket::sendAll(const void* bytes, size_t count) {
  if (!valid() || (stop_ != nullptr && stop_->raised())) return false;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(sendTimeoutMs_, 0));
  const char* at = static_cast<const char*>(bytes);
  while (count > 0) {
    const ssize_t sent = sys::send(fd_, at, count, MSG_NOSIGNAL);
    if (sent > 0) {
      at += sent;
      count -= size_t(sent);
      continue;
    }
    if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    if (!waitFor(POLLOUT, msLeft(deadline))) return false;
  }
  return true;
}

ssize_t TcpSocket::receive(void* bytes, size_t count, int maxWaitMs) {
  if (!valid() || (stop_ != nullptr && stop_->raised())) return -1;
  const ssize_t got = sys::recv(fd_, bytes, count, 0);
  if (got >= 0) return got;
  if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
  if (!waitFor(POLLIN, std::min(receiveTimeoutMs_, maxWaitMs))) return -1;
  // Readable now (or an error is pending); a spurious wake-up counts as the
  // time-out rather than starting the wait again.
  const ssize_t again = sys::recv(fd_, bytes, count, 0);
  return again >= 0 ? again : -1;
}

}  // namespace platform::sockets
