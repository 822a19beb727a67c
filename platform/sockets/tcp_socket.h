// The Windows Sockets stand-in: one blocking-style IPv4 TCP connection with
// the send and receive time-outs the CDDB client sets, and name look-up.
// Every system call goes through platform/sys, so tests can make any of them
// fail. The socket is non-blocking underneath and each operation waits with
// poll for at most its time-out, so no call can outlast the time-out it was
// given (a kernel SO_RCVTIMEO of 0 would mean "wait for ever", and connect
// would otherwise wait for the kernel's own minutes-long limit).
#pragma once

#include <netinet/in.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform::sockets {

class StopSignal;

// Looks a host name up: an IPv4 address in dotted form is taken as it stands,
// anything else goes to the current look-up function (getaddrinfo for IPv4
// unless a test has put its own in place). False when nothing is found.
bool resolveIPv4(std::string_view host, in_addr& address);

// The look-up function behind resolveIPv4. Tests replace it through
// ScopedHostLookup (so they never ask a real name server) while no other
// thread resolves; production code never changes it.
using HostLookup = bool (*)(const char* host, in_addr* address);
HostLookup& hostLookup();

class ScopedHostLookup {
 public:
  explicit ScopedHostLookup(HostLookup replacement) : saved_(hostLookup()) { hostLookup() = replacement; }
  ~ScopedHostLookup() { hostLookup() = saved_; }
  ScopedHostLookup(const ScopedHostLookup&) = delete;
  ScopedHostLookup& operator=(const ScopedHostLookup&) = delete;

 private:
  HostLookup saved_;
};

class TcpSocket {
 public:
  // Creates the socket; valid() tells whether that worked.
  TcpSocket();
  ~TcpSocket();  // closes the socket
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  bool valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  // SO_SNDTIMEO / SO_RCVTIMEO, kept also as the waits of the calls below.
  // A time-out of 0 (or less) means the calls do not wait at all.
  bool setSendTimeoutMs(int ms);
  bool setReceiveTimeoutMs(int ms);
  int sendTimeoutMs() const { return sendTimeoutMs_; }
  int receiveTimeoutMs() const { return receiveTimeoutMs_; }

  // Every wait below also ends, failing, once `stop` is raised (null: no
  // stop); a call made after it was raised fails at once. The signal must
  // outlive the calls.
  void setStop(const StopSignal* stop) { stop_ = stop; }

  // Connects, waiting at most the send time-out. False on refusal or time-out.
  bool connect(const in_addr& address, uint16_t port);
  // Sends every byte, waiting at most the send time-out in all. False on an
  // error, a time-out or a peer that has gone (never SIGPIPE).
  bool sendAll(const void* bytes, size_t count);
  // One receive of at most `count` bytes, waiting at most
  // min(receive time-out, maxWaitMs): the bytes received, 0 when the peer
  // closed the connection, -1 on an error or time-out.
  ssize_t receive(void* bytes, size_t count, int maxWaitMs);

 private:
  // Waits for `events` for at most ms: true when they came.
  bool waitFor(short events, int ms);

  int fd_ = -1;
  int sendTimeoutMs_ = 0;
  int receiveTimeoutMs_ = 0;
  const StopSignal* stop_ = nullptr;
};

}  // namespace platform::sockets
