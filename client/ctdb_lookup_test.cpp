// The CUETools database look-up against a loopback server: found (one and
// several entries), not found, garbage, a body too large, a slow drip; the
// server settings' forms; the TOC parameter; track verdicts.
#include "client/ctdb_lookup.h"

#include <gtest/gtest.h>

#include <chrono>

#include "client/testing/accuraterip_test_server.h"

namespace client {
namespace {

using Server = testing::AccurateRipTestServer;

proof::DiscLayout FourTracks() {
  proof::DiscLayout layout;
  layout.tracks = {{1, 0, false}, {2, 16032, false}, {3, 32072, false}, {4, 47282, false}};
  layout.leadOutLba = 62810;
  return layout;
}

const char* kPath = "/lookup2.php?version=3&ctdb=1&fuzzy=1&toc=0:16032:32072:47282:62810";

const char* kTwoEntries =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<ctdb xmlns=\"http://db.cuetools.net/ns/mmd-1.0#\">"
    "<entry confidence=\"8\" crc32=\"5457b143\" hasparity=\"/parity/3117474\" id=\"3117474\" npar=\"8\" "
    "stride=\"5880\" syndrome=\"tSkrv39Oah9FufT3Z+uMHQ==\" toc=\"0:16032:32072:47282:62810\" "
    "trackcrcs=\"97217ee6 dc8a2af2 338369b1 2eac339c\"/>"
    "<entry confidence=\"1\" crc32=\"00000001\" id=\"5\" trackcrcs=\"97217ee6 11111111 22222222 33333333\"/>"
    "<entry confidence=\"x\" crc32=\"zz\" id=\"6\" trackcrcs=\"1\"/>"
    "<metadata source=\"musicbrainz\" artist=\"A\"><track name=\"T\"/></metadata>"
    "</ctdb>";

CtdbServer Loopback(uint16_t port) {
  std::string error;
  return *ParseCtdbServer("http://127.0.0.1:" + std::to_string(port), error);
}

TEST(CtdbLookup, FoundEntriesKeepTheirParityFieldsAndJudgeTracks) {
  Server server;
  server.putFile(kPath, kTwoEntries);
  const CtdbLookup lookup = LookUpCtdb(Loopback(server.port()), FourTracks());
  ASSERT_EQ(lookup.status, CtdbStatus::kFound) << lookup.why;
  ASSERT_EQ(lookup.entries.size(), 2u);  // the third cannot be judged by
  const CtdbEntry& e = lookup.entries[0];
  EXPECT_EQ(e.id, 3117474u);
  EXPECT_EQ(e.crc32, 0x5457b143u);
  EXPECT_EQ(e.npar, 8);
  EXPECT_EQ(e.stride, 5880);
  EXPECT_EQ(e.hasParity, "/parity/3117474");
  EXPECT_EQ(e.syndrome, "tSkrv39Oah9FufT3Z+uMHQ==");
  EXPECT_EQ(e.trackCrcs, (std::vector<uint32_t>{0x97217ee6, 0xdc8a2af2, 0x338369b1, 0x2eac339c}));
  // Track 1 matches both entries: the best confidence counts.
  EXPECT_EQ(CtdbTrackConfidence(lookup, 0, {0x1234, 0x97217ee6}), 8);
  EXPECT_EQ(CtdbVerdictText(lookup, 8), "accurate (CTDB), confidence 8");
  EXPECT_EQ(CtdbTrackConfidence(lookup, 1, {0x11111111}), 1);
  EXPECT_EQ(CtdbTrackConfidence(lookup, 2, {0x1}), 0);
  EXPECT_EQ(CtdbVerdictText(lookup, 0), "not accurate (CTDB)");
  EXPECT_EQ(CtdbTrackConfidence(lookup, 9, {0x97217ee6}), 0);  // no such track
}

TEST(CtdbLookup, NotFoundGarbageTooLargeAndSlowAnswers) {
  Server server;
  const CtdbServer at = Loopback(server.port());
  EXPECT_EQ(LookUpCtdb(at, FourTracks()).status, CtdbStatus::kNotInDatabase);  // 404

  server.putFile(kPath, "<html><body>Internal error</body></html>");
  CtdbLookup wrong = LookUpCtdb(at, FourTracks());
  EXPECT_EQ(wrong.status, CtdbStatus::kNoAnswer);
  EXPECT_EQ(wrong.why, "not a CUETools database answer");

  server.putFile(kPath, "<ctdb><entry id=\"1\"");
  EXPECT_EQ(LookUpCtdb(at, FourTracks()).status, CtdbStatus::kNoAnswer);

  server.putFile(kPath, "<ctdb xmlns=\"http://db.cuetools.net/ns/mmd-1.0#\"></ctdb>");
  EXPECT_EQ(LookUpCtdb(at, FourTracks()).status, CtdbStatus::kNotInDatabase);  // no entries

  server.setBehaviour(Server::Behaviour::kGarbage);
  EXPECT_EQ(LookUpCtdb(at, FourTracks()).status, CtdbStatus::kNoAnswer);

  server.setBehaviour(Server::Behaviour::kNormal);
  server.putFile(kPath, std::string(2 << 20, ' '));
  HttpLimits small;
  small.maxBodyBytes = 64 * 1024;
  const CtdbLookup huge = LookUpCtdb(at, FourTracks(), small);
  EXPECT_EQ(huge.status, CtdbStatus::kNoAnswer);

  server.putFile(kPath, kTwoEntries);
  server.setBehaviour(Server::Behaviour::kSlowDrip);
  const auto began = std::chrono::steady_clock::now();
  HttpLimits patient;
  patient.timeoutMs = 60000;  // the look-up's own 3 s bound applies
  const CtdbLookup slow = LookUpCtdb(at, FourTracks(), patient);
  EXPECT_EQ(slow.status, CtdbStatus::kNoAnswer);
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(5));
}

TEST(CtdbLookup, ServerFormsTocAndNone) {
  std::string error;
  const auto plain = ParseCtdbServer("db.example:8080", error);
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->server.host, "db.example");
  EXPECT_EQ(plain->server.port, 8080);
  const auto withPath = ParseCtdbServer("http://db.example/ctdb/", error);
  ASSERT_TRUE(withPath);
  EXPECT_EQ(withPath->server.port, 80);
  EXPECT_EQ(withPath->pathPrefix, "/ctdb");
  EXPECT_TRUE(ParseCtdbServer("none", error)->none);
  const auto secure = ParseCtdbServer("https://db.example/ctdb", error);
  ASSERT_TRUE(secure);
  EXPECT_TRUE(secure->https);
  EXPECT_EQ(secure->server.port, 443);
  EXPECT_EQ(secure->pathPrefix, "/ctdb");
  EXPECT_FALSE(ParseCtdbServer("ftp://db.example", error));
  EXPECT_NE(error.find("https://"), std::string::npos);
  EXPECT_FALSE(ParseCtdbServer("http://:80", error));
  EXPECT_FALSE(ParseCtdbServer("db.example:99999", error));
  EXPECT_FALSE(ParseCtdbServer("db.example/a b", error));
  EXPECT_EQ(LookUpCtdb(*ParseCtdbServer("none", error), FourTracks()).status, CtdbStatus::kNotAsked);

  proof::DiscLayout extra = FourTracks();
  extra.tracks.push_back({5, 74210, true});
  extra.leadOutLba = 90000;
  EXPECT_EQ(CtdbToc(extra), "0:16032:32072:47282:-74210:90000");
}

}  // namespace
}  // namespace client
