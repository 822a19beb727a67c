#include "engine/cddb/cddb_client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "engine/cddb/cddb_fixture.h"
#include "engine/cddb/testing/cddb_test_server.h"
#include "engine/device/disc_id.h"
#include "platform/profile/profile_file.h"
#include "platform/sockets/tcp_socket.h"
#include "platform/sys/sys.h"
#include "platform/text/utf.h"

namespace engine::cddb::testing {
namespace {

using Behaviour = CddbTestServer::Behaviour;

// The test drive's two-track disc: starts 00:02:00 and 03:00:00, lead-out
// 05:00:00, CDDB identifier 0b012a02, cdplayer.ini key 200 + 30000 = 30200.
constexpr char kDiscId[] = "0b012a02";
constexpr char kDiscKey[] = "30200";

std::string Entry(const std::string& artistAndTitle, const std::string& track0, int lengthSeconds = 300) {
  return "# xmcd\n#\n# Track frame offsets:\n#\t150\n#\t13500\n#\n# Disc length: " + std::to_string(lengthSeconds) +
         " seconds\n#\nDISCID=0b012a02\nDTITLE=" + artistAndTitle + "\nDYEAR=1999\nDGENRE=Rock\nTTITLE0=" + track0 +
         "\nTTITLE1=Second\nEXTD=\nEXTT0=\nEXTT1=\nPLAYORDER=\n";
}

class CddbClient : public CddbTest {
 protected:
  void SetUp() override {
    CddbTest::SetUp();
    entries_ = home_ + "/entries";
    CddbTestServer::writeEntry(entries_, "rock", kDiscId, Entry("Some Artist / Some Album", "First"));
    server_ = std::make_unique<CddbTestServer>(entries_);
    CddbSetOption(CddbOption::kServer, "127.0.0.1", 0);
    CddbSetOption(CddbOption::kHttpPort, nullptr, server_->port());
    CddbSetOption(CddbOption::kUserEMail, "tester@example.org", 0);
    CddbSetOption(CddbOption::kAgent, "Ripmarrow 0.1", 0);
    AddDrive('E', {13350, 9000});
    ASSERT_EQ(device::LoadTransport(false), 1);
    handle_ = Open(1, device::CDRT_ATAPI2);
    ASSERT_NE(handle_, 0);
  }
  void TearDown() override {
    server_.reset();
    CddbTest::TearDown();
  }

  int32_t Query(int32_t online, int32_t timeoutMs = 4000) {
    std::memset(items_, 0, sizeof items_);
    list_ = {5, items_};
    return CddbQuery(handle_, &list_, online, timeoutMs);
  }

  std::string entries_;
  std::unique_ptr<CddbTestServer> server_;
  int32_t handle_ = 0;
  CddbMatch items_[5];
  CddbMatchList list_{};
};

TEST_F(CddbClient, OnlineQueryReadAndWriteBackThenFoundOffline) {
  ASSERT_EQ(Query(1), kCddbOk);
  ASSERT_EQ(list_.count, 1);
  EXPECT_STREQ(items_[0].category, "rock");
  EXPECT_STREQ(items_[0].discId, kDiscId);
  EXPECT_STREQ(items_[0].artist, "Some Artist");
  EXPECT_STREQ(items_[0].title, "Some Album");
  EXPECT_EQ(items_[0].exact, 1);

  const auto requests = server_->requests();
  ASSERT_EQ(requests.size(), 1u);
  const std::string body = "cmd=cddb+query+0b012a02+2+150+13500+298&hello=tester+example.org+Ripmarrow+0.1&proto=6";
  EXPECT_EQ(requests[0], "POST http://127.0.0.1/~cddb/cddb.cgi HTTP/1.0\r\n"
                         "Content-Type: application/x-www-form-urlencoded\r\n"
                         "User-Agent: Sampleyard 1.06\r\n"
                         "Content-Length: " + std::to_string(body.size() + 2) + "\r\n\r\n" + body + "\r\n");

  char text[3000];
  ASSERT_EQ(CddbRead(&items_[0], text, 2999), kCddbOk);
  EXPECT_EQ(std::string(text).substr(0, 8), "# xmcd\r\n");
  EXPECT_NE(std::strstr(text, "TTITLE0=First\r\n"), nullptr);
  EXPECT_EQ(std::string(text).substr(std::strlen(text) - 6), "=\r\n.\r\n");
  EXPECT_EQ(server_->requests()[1].substr(server_->requests()[1].find("\r\n\r\n") + 4),
            "cmd=cddb+read+rock+0b012a02&hello=tester+example.org+Ripmarrow+0.1&proto=6\r\n");

  // Written back under the disc's key, so the disc is now known offline.
  platform::ProfileFile ini(kCdPlayerIniFile);
  EXPECT_EQ(ini.readString(kDiscKey, "artist", "?"), "Some Artist");
  EXPECT_EQ(ini.readInt(kDiscKey, "numtracks", 0), 2);
  ASSERT_EQ(Query(0), kCddbOk);
  ASSERT_EQ(list_.count, 1);
  EXPECT_STREQ(items_[0].category, "cdplayerini");
  EXPECT_STREQ(items_[0].discId, kDiscKey);
  ASSERT_EQ(CddbRead(&items_[0], text, 2999), kCddbOk);
  EXPECT_STREQ(text, "DTITLE=Some Artist / Some Album\r\nTTITLE0=First\r\nTTITLE1=Second\r\n");
  EXPECT_EQ(server_->requests().size(), 2u);  // nothing on the network offline
}

TEST_F(CddbClient, InexactMatchesAndNoMatch) {
  std::filesystem::remove_all(entries_);
  CddbTestServer::writeEntry(entries_, "misc", "0b012a01", Entry("Near / One", "a", 295));
  CddbTestServer::writeEntry(entries_, "jazz", "0c012a02", Entry("Near / Two", "b", 305));
  CddbTestServer::writeEntry(entries_, "rock", "0d012a02", Entry("Far / Away", "c", 900));
  ASSERT_EQ(Query(1), kCddbOk);
  ASSERT_EQ(list_.count, 2);
  EXPECT_EQ(items_[0].exact, 0);
  // Each match is linked to this disc's key, so a read of either is stored.
  char text[3000];
  ASSERT_EQ(CddbRead(&items_[1], text, sizeof text), kCddbOk);
  EXPECT_EQ(platform::ProfileFile(kCdPlayerIniFile).readString(kDiscKey, "title", "?"), items_[1].title);

  std::filesystem::remove_all(entries_);
  ASSERT_EQ(Query(1), kCddbOk);
  EXPECT_EQ(list_.count, 0);
  CddbMatch missing{};
  std::strcpy(missing.category, "rock");
  std::strcpy(missing.discId, "12345678");
  std::strcpy(text, "untouched");
  EXPECT_EQ(CddbRead(&missing, text, sizeof text), kCddbFail);  // 401
  EXPECT_STREQ(text, "untouched");
}

TEST_F(CddbClient, RepliesWithoutHeadersOrWithGarbageOrCutShort) {
  server_->setBehaviour(Behaviour::kWithoutHeaders);
  ASSERT_EQ(Query(1), kCddbOk);
  EXPECT_EQ(list_.count, 1);

  server_->setBehaviour(Behaviour::kGarbage);
  ASSERT_EQ(Query(1), kCddbOk);
  EXPECT_EQ(list_.count, 0);
  char text[3000];
  CddbMatch match = items_[0];
  std::strcpy(match.category, "rock");
  std::strcpy(match.discId, kDiscId);
  EXPECT_EQ(CddbRead(&match, text, sizeof text), kCddbFail);

  // Cut in the middle of the entry: still an entry, ending at its last whole line.
  server_->setBehaviour(Behaviour::kEarlyClose);
  ASSERT_EQ(CddbRead(&match, text, sizeof text), kCddbOk);
  const std::string cut = text;
  EXPECT_EQ(cut.substr(0, 6), "# xmcd");
  EXPECT_EQ(cut.find(".\r\n"), std::string::npos);

  server_->setBehaviour(Behaviour::kNormal);
  server_->setDelayMs(50);  // slow, but well inside the time-outs
  ASSERT_EQ(Query(1), kCddbOk);
  EXPECT_EQ(list_.count, 1);
}

TEST_F(CddbClient, OversizedRepliesAreCutToTheBuffer) {
  server_->setBehaviour(Behaviour::kOversized);
  ASSERT_EQ(Query(1), kCddbOk);
  EXPECT_EQ(list_.count, 1);
  char text[300];
  std::memset(text, 'q', sizeof text);
  // A reply cut to 299 bytes still counts when it starts with 210.
  ASSERT_EQ(CddbRead(&items_[0], text, sizeof text), kCddbOk);
  EXPECT_LT(std::strlen(text), sizeof text);

  // A 1 MB entry with a large buffer: cut as well, nothing outside the buffer.
  std::string big = Entry("Big / Entry", "x");
  for (int i = 0; i < 10000; ++i) big += "EXTT0=" + std::string(100, 'e') + "\n";
  CddbTestServer::writeEntry(entries_, "rock", kDiscId, big);
  server_->setBehaviour(Behaviour::kNormal);
  std::vector<char> large(5000, 'q');
  ASSERT_EQ(CddbRead(&items_[0], large.data(), int32_t(large.size())), kCddbOk);
  EXPECT_LT(std::strlen(large.data()), large.size());
}

TEST_F(CddbClient, LatinOneTextArrivesAsUtf8AndIsStoredSo) {
  CddbTestServer::writeEntry(entries_, "rock", kDiscId, Entry("Bj\xF6rk / D\xE9" "but", "V\xE9" "nus \x81\x9F"));
  ASSERT_EQ(Query(1), kCddbOk);
  ASSERT_EQ(list_.count, 1);
  EXPECT_STREQ(items_[0].artist, "Bj\xC3\xB6rk");
  EXPECT_STREQ(items_[0].title, "D\xC3\xA9" "but");
  char text[3000];
  ASSERT_EQ(CddbRead(&items_[0], text, sizeof text), kCddbOk);
  EXPECT_TRUE(platform::text::isValidUtf8(text));
  EXPECT_NE(std::strstr(text, "TTITLE0=V\xC3\xA9" "nus"), nullptr);
  const std::string stored = platform::ProfileFile(kCdPlayerIniFile).readString(kDiscKey, "0", "?");
  EXPECT_EQ(stored.substr(0, 6), "V\xC3\xA9" "nus");
  EXPECT_TRUE(platform::text::isValidUtf8(stored));
}

// Level 6 entries are UTF-8: Greek and Japanese titles arrive whole, and a
// title longer than its field is cut before a character, never inside one.
TEST_F(CddbClient, Utf8EntriesKeepEveryScriptAndAreCutOnCharacterBoundaries) {
  std::string longTitle;
  for (int i = 0; i < 30; ++i) longTitle += "\xE6\x97\xA5";  // 日 x 30: 90 bytes, longer than any field
  CddbTestServer::writeEntry(entries_, "rock", kDiscId,
                             Entry("\xCE\x9C\xCE\xB1\xCF\x81\xCE\xAF\xCE\xB1 / " + longTitle,
                                   "\xE3\x81\x95\xE3\x81\x8F\xE3\x82\x89"));
  ASSERT_EQ(Query(1), kCddbOk);
  ASSERT_EQ(list_.count, 1);
  EXPECT_STREQ(items_[0].artist, "\xCE\x9C\xCE\xB1\xCF\x81\xCE\xAF\xCE\xB1");  // Μαρία
  const std::string title = items_[0].title;  // the match line is byte-limited: cut, but on a boundary
  EXPECT_GE(title.size(), 30u);
  EXPECT_EQ(title.size() % 3, 0u);
  EXPECT_EQ(longTitle.substr(0, title.size()), title);
  char text[3000];
  ASSERT_EQ(CddbRead(&items_[0], text, sizeof text), kCddbOk);
  EXPECT_NE(std::strstr(text, "TTITLE0=\xE3\x81\x95\xE3\x81\x8F\xE3\x82\x89"), nullptr);  // さくら
  EXPECT_EQ(platform::ProfileFile(kCdPlayerIniFile).readString(kDiscKey, "0", "?"),
            "\xE3\x81\x95\xE3\x81\x8F\xE3\x82\x89");
  for (const std::string& request : server_->requests()) EXPECT_NE(request.find("&proto=6"), std::string::npos);
}

TEST_F(CddbClient, WriteBackOffStoresNothing) {
  CddbSetOption(CddbOption::kWriteBack, nullptr, 0);
  ASSERT_EQ(Query(1), kCddbOk);
  char text[3000];
  ASSERT_EQ(CddbRead(&items_[0], text, sizeof text), kCddbOk);
  EXPECT_FALSE(std::filesystem::exists(IniPath()));
}

std::vector<std::pair<int, long>> gTimeouts;
int RecordTimeouts(int fd, int level, int name, const void* value, socklen_t bytes) {
  const timeval* tv = static_cast<const timeval*>(value);
  gTimeouts.emplace_back(name, tv->tv_sec * 1000 + tv->tv_usec / 1000);
  return platform::sys::realSysCalls().setsockopt(fd, level, name, value, bytes);
}

TEST_F(CddbClient, TimeOutsAreAThirdAndTwoThirds) {
  platform::sys::ScopedSysCall guard(&platform::sys::SysCalls::setsockopt, RecordTimeouts);
  gTimeouts.clear();
  ASSERT_EQ(Query(1, 4000), kCddbOk);
  ASSERT_EQ(gTimeouts.size(), 2u);
  EXPECT_EQ(gTimeouts[0], std::make_pair(int(SO_SNDTIMEO), 1333L));
  EXPECT_EQ(gTimeouts[1], std::make_pair(int(SO_RCVTIMEO), 2666L));
  EXPECT_EQ(CurrentCddbOptions().timeoutMs, 4000);
}

TEST_F(CddbClient, SilentServerRefusedPortAndUnknownHostFindNothing) {
  server_->setBehaviour(Behaviour::kNeverAnswer);
  ASSERT_EQ(Query(1, 300), kCddbOk);  // ends by the receive time-out
  EXPECT_EQ(list_.count, 0);
  CddbMatch match{};
  std::strcpy(match.category, "rock");
  std::strcpy(match.discId, kDiscId);
  char text[100];
  EXPECT_EQ(CddbRead(&match, text, sizeof text), kCddbFail);

  const uint16_t port = server_->port();
  server_.reset();  // nobody listens there now
  CddbSetOption(CddbOption::kHttpPort, nullptr, port);
  ASSERT_EQ(Query(1), kCddbOk);
  EXPECT_EQ(list_.count, 0);
  CddbSetOption(CddbOption::kHttpPort, nullptr, 65536 + port);  // not a TCP port
  ASSERT_EQ(Query(1), kCddbOk);
  EXPECT_EQ(list_.count, 0);

  platform::sockets::ScopedHostLookup noNames([](const char*, in_addr*) { return false; });
  CddbSetOption(CddbOption::kServer, "cddb.invalid", 0);
  ASSERT_EQ(Query(1), kCddbOk);
  EXPECT_EQ(list_.count, 0);
}

TEST_F(CddbClient, NoDiscOrNoListGivesNoMatches) {
  CddbMatchList none{5, nullptr};
  EXPECT_EQ(CddbQuery(handle_, &none, 1, 4000), kCddbFail);
  EXPECT_EQ(none.count, 0);
  EXPECT_EQ(CddbQuery(handle_, nullptr, 1, 4000), kCddbFail);
  list_ = {5, items_};
  EXPECT_EQ(CddbQuery(12, &list_, 1, 4000), kCddbOk);  // not an open handle
  EXPECT_EQ(list_.count, 0);
  EXPECT_TRUE(server_->requests().empty());
  ASSERT_EQ(Query(0), kCddbOk);  // offline, nothing stored
  EXPECT_EQ(list_.count, 0);
}

}  // namespace
}  // namespace engine::cddb::testing
