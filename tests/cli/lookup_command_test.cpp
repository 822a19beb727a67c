// `ripmarrow lookup` through the built program: titles from the demo disc's
// cdplayer.ini, from a loopback CDDB server (and then from cdplayer.ini, where
// the on-line lookup stored them), and the command's argument checks.
#include "ripmarrow/lookup_command.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "engine/cddb/testing/cddb_test_server.h"
#include "tests/cli/program_run.h"
#include "vdrive/demo_disc.h"

namespace {

using engine::cddb::testing::CddbTestServer;

// The demo disc's CDDB identifier (its four tracks, 2:00 in all).
constexpr char kDemoDiscId[] = "22007804";

using cli_testing::readFile;
using cli_testing::Result;

class LookupCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm_cli_lookup.XXXXXX";
    home_ = mkdtemp(pattern);
    setenv("RIPMARROW_HOME", home_.c_str(), 1);
    // The engine alone is registered: no outside components, no audio output.
    void* library = dlopen(RIPMARROW_TRACKMILL2_PATH, RTLD_NOW);
    ASSERT_NE(library, nullptr) << dlerror();
    auto entry = reinterpret_cast<HRESULT (*)()>(dlsym(library, "DllRegisterServer"));
    ASSERT_NE(entry, nullptr);
    ASSERT_EQ(entry(), S_OK);
    dlclose(library);
  }
  void TearDown() override {
    std::filesystem::remove_all(home_);
    unsetenv("RIPMARROW_HOME");
  }

  Result ripmarrow(const std::string& arguments) { return cli_testing::runRipmarrow(home_, arguments); }

  std::string home_;
};

TEST_F(LookupCommandTest, LocalTitlesOfTheDemoDisc) {
  std::filesystem::copy_file(std::string(RIPMARROW_DEMO_DIR) + "/cdplayer.ini", home_ + "/cdplayer.ini");
  const Result run = ripmarrow("lookup --source local --vdrive");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out,
            "Source: cdplayer.ini\n"
            "Artist: The Virtual Quartet\n"
            "Album:  Four Small Rooms\n"
            "Genre:  rock\n"
            " 1  Morning Over the Ridge\n"
            " 2  Lanterns on the Water\n"
            " 3  The Clockmaker's Garden\n"
            " 4  Quiet Road Home\n");
  EXPECT_EQ(run.err, "Looking in cdplayer.ini...\nReading the entry...\n");
}

TEST_F(LookupCommandTest, OnlineWhenAbsentLocallyThenFoundLocally) {
  const std::string entries = home_ + "/entries";
  // ISO-8859-1 on the wire, as the protocol level asks; a title split over two lines.
  CddbTestServer::writeEntry(entries, "jazz", kDemoDiscId,
                             "# xmcd\n#\n# Disc length: 122 seconds\n#\nDISCID=22007804\n"
                             "DTITLE=Bj\xF6rn Quartet / Caf\xE9 Nights\nTTITLE0=First\nTTITLE1=Sec\nTTITLE1=ond\n"
                             "TTITLE2=Third\nTTITLE3=Fourth\nEXTD=\nPLAYORDER=\n");
  auto server = std::make_unique<CddbTestServer>(entries);
  const std::string address = "127.0.0.1:" + std::to_string(server->port());

  Result run = ripmarrow("--vdrive lookup --server " + address);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out,
            "Source: CDDB server\nArtist: Bj\xC3\xB6rn Quartet\nAlbum:  Caf\xC3\xA9 Nights\nGenre:  jazz\n"
            " 1  First\n 2  Second\n 3  Third\n 4  Fourth\n");
  EXPECT_EQ(run.err, "Looking in cdplayer.ini...\nQuerying " + address + "...\nReading the entry...\n");
  EXPECT_EQ(server->requests().size(), 2u);  // query and read

  // Stored by the on-line lookup: answered without the server.
  server.reset();
  run = ripmarrow("lookup --vdrive --source local");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Artist: Bj\xC3\xB6rn Quartet\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(" 2  Second\n"), std::string::npos) << run.out;  // the split title, whole
  EXPECT_NE(run.out.find(" 3  Third\n"), std::string::npos) << run.out;
}

TEST_F(LookupCommandTest, ControlCharactersOfAServersTitlesNeverReachTheTerminal) {
  const std::string entries = home_ + "/entries";
  // A hostile server: a window title and the bell, a tab, a C1 CSI (0x9B in ISO-8859-1).
  CddbTestServer::writeEntry(entries, "rock", kDemoDiscId,
                             "# xmcd\n#\n# Disc length: 122 seconds\n#\nDISCID=22007804\n"
                             "DTITLE=\x1b]0;owned\x07 / Album\x1b[2J\nTTITLE0=Red\x1b[31m\nTTITLE1=Tab\there\n"
                             "TTITLE2=C1\x9b" "2J\nTTITLE3=Fourth\x7f\nEXTD=\nPLAYORDER=\n");
  CddbTestServer server(entries);
  const Result run = ripmarrow("--vdrive lookup --server 127.0.0.1:" + std::to_string(server.port()));
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out,
            "Source: CDDB server\nArtist: ?]0;owned?\nAlbum:  Album?[2J\nGenre:  rock\n"
            " 1  Red?[31m\n 2  Tab?here\n 3  C1?2J\n 4  Fourth?\n");
}

TEST_F(LookupCommandTest, NothingFoundOnlineOrLocally) {
  CddbTestServer server(home_ + "/entries");  // no entries: 202
  Result run = ripmarrow("lookup --vdrive --source online --server 127.0.0.1:" + std::to_string(server.port()));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("No titles found for the disc.\n"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("Looking in cdplayer.ini"), std::string::npos) << run.err;

  run = ripmarrow("lookup --vdrive --source local");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Looking in cdplayer.ini...\nNo titles found for the disc.\n");
}

// Every request carries the user's address: --email, else the desktop
// program's [cddb] "email".
TEST_F(LookupCommandTest, RequestsCarryTheUsersEMail) {
  std::ofstream(home_ + "/quavern.ini") << "[cddb]\nemail=ann@example.org\n";
  {
    CddbTestServer server(home_ + "/entries");
    ripmarrow("lookup --vdrive --source online --server 127.0.0.1:" + std::to_string(server.port()));
    ASSERT_FALSE(server.requests().empty());
    const std::string request = server.requests().front();
    EXPECT_NE(request.find("hello=ann+example.org+"), std::string::npos) << request;
  }
  CddbTestServer server(home_ + "/entries");
  ripmarrow("lookup --vdrive --source online --email bo@example.net --server 127.0.0.1:" +
            std::to_string(server.port()));
  ASSERT_FALSE(server.requests().empty());
  const std::string request = server.requests().front();
  EXPECT_NE(request.find("hello=bo+example.net+"), std::string::npos) << request;
}

// `rip` (and so each drive's worker of the desktop program) asks the CDDB
// server named with --cddb-server, even where the environment turns the
// default server off, and waits for it as long as --cddb-timeout says.
TEST_F(LookupCommandTest, RipAsksTheCddbServerItIsGivenWithinItsTimeOut) {
  const std::string entries = home_ + "/entries";
  CddbTestServer::writeEntry(entries, "rock", kDemoDiscId,
                             "# xmcd\n#\n# Disc length: 122 seconds\n#\nDISCID=22007804\n"
                             "DTITLE=Given Server / Its Album\nTTITLE0=One\nTTITLE1=Two\nTTITLE2=Three\n"
                             "TTITLE3=Four\nEXTD=\nPLAYORDER=\n");
  CddbTestServer server(entries);
  const std::string address = "127.0.0.1:" + std::to_string(server.port());
  Result run = ripmarrow("--vdrive rip --titles online --tracks 1 --format wav --out given --cddb-server " + address);
  ASSERT_FALSE(server.requests().empty()) << run.out << run.err;
  EXPECT_NE(run.out.find("Given Server"), std::string::npos) << run.out << run.err;

  // A server slower than the engine's own time-out (4 s) is waited for
  // with a longer one.
  server.setDelayMs(4500);
  std::filesystem::remove(home_ + "/cdplayer.ini");
  run = ripmarrow("--vdrive rip --titles online --tracks 1 --format wav --out slow --cddb-timeout 20000 --cddb-server " +
                  address);
  EXPECT_NE(run.out.find("Given Server"), std::string::npos) << run.out << run.err;

  EXPECT_EQ(ripmarrow("rip --cddb-server example.org:0").status, 2);
  EXPECT_EQ(ripmarrow("rip --cddb-server http://example.org/").status, 2);
  EXPECT_EQ(ripmarrow("watch --cddb-timeout 0").status, 2);
}

TEST_F(LookupCommandTest, ArgumentsAreChecked) {
  EXPECT_EQ(ripmarrow("lookup --source everywhere").status, 2);
  EXPECT_EQ(ripmarrow("lookup --server example.org:0").status, 2);
  EXPECT_EQ(ripmarrow("lookup --unknown").status, 2);

  std::string host;
  long port = -1;
  EXPECT_TRUE(ripmarrow::LookupCommand::parseServer("cddb.example.org", host, port));
  EXPECT_EQ(host, "cddb.example.org");
  EXPECT_EQ(port, 0);
  EXPECT_TRUE(ripmarrow::LookupCommand::parseServer("127.0.0.1:8880", host, port));
  EXPECT_EQ(host, "127.0.0.1");
  EXPECT_EQ(port, 8880);
  for (const char* bad : {"", ":80", "host:", "host:65536", "host:8x", "http://host", "host:123456"}) {
    EXPECT_FALSE(ripmarrow::LookupCommand::parseServer(bad, host, port)) << bad;
  }
}

}  // namespace
