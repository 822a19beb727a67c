#include "platform/sockets/tcp_socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/sockets/stop_signal.h"
#include "platform/sys/sys.h"

namespace platform::sockets {
namespace {

// A loopback listener on an ephemeral port; the test accepts by hand.
class Listener {
 public:
  Listener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t bytes = sizeof a;
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    EXPECT_EQ(::listen(fd_, 4), 0);
    EXPECT_EQ(::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &bytes), 0);
    port_ = ntohs(a.sin_port);
  }
  ~Listener() { ::close(fd_); }
  uint16_t port() const { return port_; }
  int accept() { return ::accept(fd_, nullptr, nullptr); }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

in_addr Loopback() {
  in_addr a{};
  a.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

TEST(TcpSocket, ExchangesBytesAndSeesTheClose) {
  Listener listener;
  TcpSocket s;
  ASSERT_TRUE(s.valid());
  s.setSendTimeoutMs(2000);
  s.setReceiveTimeoutMs(2000);
  ASSERT_TRUE(s.connect(Loopback(), listener.port()));
  const int peer = listener.accept();
  ASSERT_GE(peer, 0);
  ASSERT_TRUE(s.sendAll("hello", 5));
  char got[8] = {};
  ASSERT_EQ(::recv(peer, got, sizeof got, 0), 5);
  EXPECT_STREQ(got, "hello");
  ASSERT_EQ(::send(peer, "abc", 3, 0), 3);
  ::close(peer);
  char back[8] = {};
  EXPECT_EQ(s.receive(back, sizeof back, 2000), 3);
  EXPECT_EQ(s.receive(back, sizeof back, 2000), 0);  // closed
  EXPECT_FALSE(s.sendAll("x", 1) && s.sendAll(std::vector<char>(1 << 20).data(), 1 << 20));  // no SIGPIPE
}

TEST(TcpSocket, SilentPeerEndsTheReceiveAtTheTimeOut) {
  Listener listener;
  TcpSocket s;
  s.setSendTimeoutMs(50);
  s.setReceiveTimeoutMs(50);
  ASSERT_TRUE(s.connect(Loopback(), listener.port()));
  const int peer = listener.accept();  // accepted, never answered
  char buffer[16];
  EXPECT_EQ(s.receive(buffer, sizeof buffer, 1000), -1);
  EXPECT_EQ(s.receive(buffer, sizeof buffer, 0), -1);
  ::close(peer);
}

// The stop, raised by another thread, ends a wait the peer would hold for
// its whole time-out; a socket whose stop is raised does nothing more.
TEST(TcpSocket, AStopRaisedElsewhereEndsTheWaitAtOnce) {
  Listener listener;
  StopSignal stop;
  TcpSocket s;
  s.setStop(&stop);
  s.setSendTimeoutMs(30000);
  s.setReceiveTimeoutMs(30000);
  ASSERT_TRUE(s.connect(Loopback(), listener.port()));
  const int peer = listener.accept();
  const auto started = std::chrono::steady_clock::now();
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stop.raise();
  });
  char buffer[16];
  EXPECT_EQ(s.receive(buffer, sizeof buffer, 30000), -1);
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_TRUE(stop.raised());
  EXPECT_FALSE(s.sendAll("x", 1));
  ::close(peer);
  TcpSocket late;
  late.setStop(&stop);
  late.setSendTimeoutMs(30000);
  EXPECT_FALSE(late.connect(Loopback(), listener.port()));
}

TEST(TcpSocket, RefusedPortFailsTheConnect) {
  uint16_t port = 0;
  {
    Listener gone;
    port = gone.port();
  }
  TcpSocket s;
  s.setSendTimeoutMs(500);
  EXPECT_FALSE(s.connect(Loopback(), port));
}

std::vector<std::pair<int, long>> gSet;
int RecordSetsockopt(int fd, int level, int name, const void* value, socklen_t bytes) {
  const timeval* tv = static_cast<const timeval*>(value);
  gSet.emplace_back(name, tv->tv_sec * 1000 + tv->tv_usec / 1000);
  return sys::realSysCalls().setsockopt(fd, level, name, value, bytes);
}

TEST(TcpSocket, TimeOutsGoToTheKernelThroughTheWrapper) {
  sys::ScopedSysCall guard(&sys::SysCalls::setsockopt, RecordSetsockopt);
  gSet.clear();
  TcpSocket s;
  EXPECT_TRUE(s.setSendTimeoutMs(1333));
  EXPECT_TRUE(s.setReceiveTimeoutMs(2666));
  ASSERT_EQ(gSet.size(), 2u);
  EXPECT_EQ(gSet[0], std::make_pair(int(SO_SNDTIMEO), 1333L));
  EXPECT_EQ(gSet[1], std::make_pair(int(SO_RCVTIMEO), 2666L));
}

int FailSocket(int, int, int) {
  errno = EMFILE;
  return -1;
}

TEST(TcpSocket, FailedCreationMakesEveryCallFail) {
  sys::ScopedSysCall guard(&sys::SysCalls::socket, FailSocket);
  TcpSocket s;
  EXPECT_FALSE(s.valid());
  EXPECT_FALSE(s.setSendTimeoutMs(10));
  EXPECT_FALSE(s.connect(Loopback(), 80));
  EXPECT_FALSE(s.sendAll("x", 1));
  char c;
  EXPECT_EQ(s.receive(&c, 1, 10), -1);
}

bool FakeLookup(const char* host, in_addr* address) {
  if (std::strcmp(host, "cddb.example") != 0) return false;
  address->s_addr = htonl(0x7F000002);
  return true;
}

TEST(ResolveIPv4, DottedFormDirectlyNamesThroughTheLookup) {
  ScopedHostLookup fake(FakeLookup);
  in_addr a{};
  ASSERT_TRUE(resolveIPv4("127.0.0.1", a));
  EXPECT_EQ(ntohl(a.s_addr), 0x7F000001u);
  ASSERT_TRUE(resolveIPv4("cddb.example", a));
  EXPECT_EQ(ntohl(a.s_addr), 0x7F000002u);
  EXPECT_FALSE(resolveIPv4("unknown.invalid", a));
  EXPECT_FALSE(resolveIPv4("", a));
}

}  // namespace
}  // namespace platform::sockets
