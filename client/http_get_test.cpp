#include "client/http_get.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "client/accuraterip_lookup.h"
#include "proof/accuraterip_verdict.h"
#include "client/testing/accuraterip_test_server.h"

namespace client {

using namespace proof;
namespace {

using Server = testing::AccurateRipTestServer;

const AccurateRipDiscId kDisc{2, 0x00012345u, 0x00abcdefu, 0x1a0a2c02u};

void Put32(std::string& out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out += char(uint8_t(v >> shift));
}

// One record: track 1 with confidence 7, track 2 with confidence 5.
std::string Records() {
  std::string out(1, '\x02');
  Put32(out, kDisc.id1);
  Put32(out, kDisc.id2);
  Put32(out, kDisc.cddbId);
  out += '\x07';
  Put32(out, 0xCAFEF00Du);
  Put32(out, 0);
  out += '\x05';
  Put32(out, 0x0BADBEEFu);
  Put32(out, 0);
  return out;
}

HttpServer Loopback(uint16_t port) { return HttpServer{"127.0.0.1", port}; }

HttpLimits Short() {
  HttpLimits limits;
  limits.timeoutMs = 400;
  return limits;
}

TEST(HttpGet, ServerText) {
  EXPECT_EQ(ParseHttpServer("www.accuraterip.com")->port, 80);
  EXPECT_EQ(ParseHttpServer("www.accuraterip.com")->host, "www.accuraterip.com");
  const auto withPort = ParseHttpServer("127.0.0.1:8080");
  ASSERT_TRUE(withPort.has_value());
  EXPECT_EQ(withPort->host, "127.0.0.1");
  EXPECT_EQ(withPort->port, 8080);
  for (const char* bad : {"", ":80", "host:", "host:0", "host:65536", "host:8x", "a b", "host/x"}) {
    EXPECT_FALSE(ParseHttpServer(bad).has_value()) << bad;
  }
}

TEST(HttpGet, FetchesTheRecordsAndJudgesTheTracks) {
  Server server;
  server.putFile(AccurateRipPath(kDisc), Records());
  const AccurateRipLookup lookup = LookUpAccurateRip(Loopback(server.port()), kDisc, Short());
  ASSERT_EQ(lookup.status, LookupStatus::kFound) << lookup.detail;
  ASSERT_EQ(lookup.records.size(), 1u);

  const TrackVerdict match = AccurateRipVerdict(lookup, 0, 0xCAFEF00Du, 1);
  EXPECT_EQ(match.kind, VerdictKind::kAccurate);
  EXPECT_EQ(match.confidence, 7u);
  const TrackVerdict mismatch = AccurateRipVerdict(lookup, 1, 2, 3);
  EXPECT_EQ(mismatch.kind, VerdictKind::kNotAccurate);
  EXPECT_EQ(mismatch.confidence, 5u);

  const std::vector<std::string> requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].rfind("GET /accuraterip/5/4/3/dBAR-002-00012345-00abcdef-1a0a2c02.bin HTTP/1.", 0), 0u)
      << requests[0];
  EXPECT_NE(requests[0].find("\r\nHost: 127.0.0.1:" + std::to_string(server.port()) + "\r\n"), std::string::npos);
  EXPECT_NE(requests[0].find("\r\nUser-Agent: " + RipmarrowUserAgent() + "\r\n"), std::string::npos);

  server.setBehaviour(Server::Behaviour::kWithoutLength);
  EXPECT_EQ(LookUpAccurateRip(Loopback(server.port()), kDisc, Short()).status, LookupStatus::kFound);
}

TEST(HttpGet, NotInTheDatabase) {
  Server server;
  EXPECT_EQ(HttpGet(Loopback(server.port()), "/nothing", Short()).status, HttpGetStatus::kNotFound);
  EXPECT_EQ(LookUpAccurateRip(Loopback(server.port()), kDisc, Short()).status, LookupStatus::kNotInDatabase);
  server.putFile(AccurateRipPath(kDisc), "");  // an answer without records
  EXPECT_EQ(LookUpAccurateRip(Loopback(server.port()), kDisc, Short()).status, LookupStatus::kNotInDatabase);
}

TEST(HttpGet, ServersThatMisbehave) {
  Server server;
  server.putFile(AccurateRipPath(kDisc), Records());
  const struct {
    Server::Behaviour behaviour;
    HttpGetStatus get;
    LookupStatus lookup;
  } cases[] = {
      {Server::Behaviour::kGarbage, HttpGetStatus::kBadResponse, LookupStatus::kBadAnswer},
      {Server::Behaviour::kEarlyClose, HttpGetStatus::kClosedEarly, LookupStatus::kNoAnswer},
      {Server::Behaviour::kSilentClose, HttpGetStatus::kClosedEarly, LookupStatus::kNoAnswer},
      {Server::Behaviour::kNeverAnswer, HttpGetStatus::kTimedOut, LookupStatus::kNoAnswer},
  };
  for (const auto& c : cases) {
    server.setBehaviour(c.behaviour);
    const auto start = std::chrono::steady_clock::now();
    const HttpGetResult got = HttpGet(Loopback(server.port()), AccurateRipPath(kDisc), Short());
    EXPECT_EQ(got.status, c.get) << HttpGetStatusText(got.status);
    EXPECT_TRUE(got.body.empty());
    EXPECT_EQ(LookUpAccurateRip(Loopback(server.port()), kDisc, Short()).status, c.lookup);
    // Bounded by the time-out, with room for a slow machine.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  }
}

TEST(HttpGet, AnswersBeyondTheCapAndRefusedConnections) {
  Server server;
  server.putFile("/big", std::string(5000, 'x'));
  HttpLimits limits = Short();
  limits.maxBodyBytes = 4096;
  EXPECT_EQ(HttpGet(Loopback(server.port()), "/big", limits).status, HttpGetStatus::kTooLarge);
  server.setBehaviour(Server::Behaviour::kWithoutLength);
  EXPECT_EQ(HttpGet(Loopback(server.port()), "/big", limits).status, HttpGetStatus::kTooLarge);
  limits.maxBodyBytes = 5000;
  EXPECT_EQ(HttpGet(Loopback(server.port()), "/big", limits).body.size(), 5000u);

  // A port nobody listens on: bound, then closed.
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t bytes = sizeof a;
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &bytes), 0);
  ::close(fd);
  EXPECT_EQ(HttpGet(Loopback(ntohs(a.sin_port)), "/", Short()).status, HttpGetStatus::kConnectFailed);
  EXPECT_EQ(LookUpAccurateRip(Loopback(ntohs(a.sin_port)), kDisc, Short()).status, LookupStatus::kNoAnswer);
}

// A caller that gives up (the window closes) is not held for the time-out:
// the transfer ends at once, connected or not, and a redirect's URL is
// taken only to HTTP and HTTPS.
TEST(HttpGet, ACancelledLookUpEndsAtOnceAndHostsCannotForgeTheUrl) {
  Server server;
  server.setBehaviour(Server::Behaviour::kNeverAnswer);
  std::atomic<bool> cancel{false};
  HttpLimits limits;
  limits.timeoutMs = 60000;
  limits.cancel = &cancel;
  std::thread giveUp([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    cancel.store(true);
  });
  EXPECT_EQ(HttpGet(Loopback(server.port()), AccurateRipPath(kDisc), limits).status, HttpGetStatus::kCancelled);
  giveUp.join();
  EXPECT_EQ(LookUpAccurateRip(Loopback(server.port()), kDisc, limits).status, LookupStatus::kNoAnswer);

  for (const char* text : {"user@evil.example", "host/path", "host?x", "[::1]", "a b"}) {
    EXPECT_FALSE(ParseHttpServer(text)) << text;
  }
}

}  // namespace
}  // namespace client
