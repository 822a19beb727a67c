// `ripmarrow lookup` and `rip` naming a disc from a loopback MusicBrainz
// server: the source named, the releases listed with their numbers, a
// release chosen by number or id, no rip when releases that differ share
// the disc (exit status 3), the page where an unknown disc is added, the
// front cover beside the files; and titles from the disc's own CD-TEXT.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>

#include <filesystem>
#include <fstream>

#include "client/testing/musicbrainz_answers.h"
#include "client/testing/musicbrainz_test_server.h"
#include "tests/cli/program_run.h"

namespace {

namespace fs = std::filesystem;
using client::testing::MusicBrainzTestServer;
using client::testing::ReleaseSpec;
using cli_testing::Result;

constexpr char kDisc[] =
    "disc seed=5\n"
    "track kind=noise length=2s\n"
    "track kind=tone length=1s freq=440\n"
    "track kind=tone length=1s freq=880\n";

class MusicBrainzTitlesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm_cli_mb.XXXXXX";
    home_ = mkdtemp(pattern);
    setenv("RIPMARROW_HOME", home_.c_str(), 1);
    std::ofstream(home_ + "/disc.txt") << kDisc;
    const Result registered = ripmarrow("register");
    ASSERT_EQ(registered.status, 0) << registered.out << registered.err;
    const Result info = ripmarrow("--vdrive disc.txt info");
    const size_t at = info.out.find("MusicBrainz ID: ");
    ASSERT_NE(at, std::string::npos) << info.out;
    discId_ = info.out.substr(at + 16, 28);
  }
  void TearDown() override {
    fs::remove_all(home_);
    unsetenv("RIPMARROW_HOME");
  }

  Result ripmarrow(const std::string& arguments) { return cli_testing::runRipmarrow(home_, arguments); }

  ReleaseSpec release(const std::string& id, const std::string& artist) const {
    ReleaseSpec r;
    r.id = id;
    r.artist = artist;
    r.discIds = {discId_};
    r.trackMs = {2000, 1000, 1000};
    return r;
  }

  void serve(MusicBrainzTestServer& server, const std::vector<ReleaseSpec>& releases) const {
    std::vector<std::string> json;
    for (const ReleaseSpec& r : releases) json.push_back(client::testing::ReleaseJson(r));
    MusicBrainzTestServer::Answer answer;
    answer.body = client::testing::ExactAnswer(discId_, json);
    server.add("/ws/2/discid/" + discId_, answer);
  }

  std::string home_;
  std::string discId_;
};

TEST_F(MusicBrainzTitlesTest, LookupListsTheReleasesAndTakesTheOneChosen) {
  MusicBrainzTestServer server;
  serve(server, {release("aaaa1111-0000", "Artist"), release("bbbb2222-0000", "Artist")});
  const std::string mb = " --musicbrainz-server " + server.address();
  Result run = ripmarrow("--vdrive disc.txt lookup" + mb);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find(" 1  aaaa1111-0000  Album / Artist, 2001-05-01, GB, Label One CAT 1; Label Two CAT 2, "
                         "barcode 5012345678900, CD (club edition)\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(" 2  bbbb2222-0000"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Took release 1; choose another with --release N|MBID.\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Source: MusicBrainz\nArtist: Artist\nAlbum:  Album\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(" 2  Song 2 / Guest 2 & Artist\n"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("Asking MusicBrainz (" + server.address() + ")...\n"), std::string::npos) << run.err;

  run = ripmarrow("--vdrive disc.txt lookup --release bbbb" + mb);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Release: bbbb2222-0000\n"), std::string::npos) << run.out;
  run = ripmarrow("--vdrive disc.txt lookup --release 7" + mb);
  EXPECT_EQ(run.status, 3) << run.out << run.err;
}

TEST_F(MusicBrainzTitlesTest, ReleasesThatDifferStopTheRipUntilOneIsChosen) {
  MusicBrainzTestServer server;
  serve(server, {release("aaaa1111-0000", "Artist"), release("bbbb2222-0000", "Someone Else")});
  const std::string rip = "--vdrive disc.txt rip --format wav --titles online --musicbrainz-server " + server.address();
  Result run = ripmarrow(rip + " --out first");
  EXPECT_EQ(run.status, 3) << run.out << run.err;
  EXPECT_NE(run.out.find("differ in artist or album"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(" 2  bbbb2222-0000  Album / Someone Else"), std::string::npos) << run.out;
  EXPECT_FALSE(fs::exists(home_ + "/first/01 Song 1.wav"));

  run = ripmarrow(rip + " --release 2 --out second");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Titles (MusicBrainz): Someone Else / Album\n"), std::string::npos) << run.out;
  EXPECT_TRUE(fs::exists(home_ + "/second/01 Song 1.wav"));
  EXPECT_TRUE(fs::exists(home_ + "/second/03 Song 3.wav"));
  const std::string log = cli_testing::readFile(home_ + "/second/ripmarrow.log");
  EXPECT_NE(log.find("titles: MusicBrainz release bbbb2222-0000 (disc id)"), std::string::npos) << log;
}

// Nobody at a station to choose: `watch` takes the best-ranked release and
// names the others in its output and the disc's log.
TEST_F(MusicBrainzTitlesTest, WatchTakesTheBestOfReleasesThatDifferAndLogsTheOthers) {
  MusicBrainzTestServer server;
  serve(server, {release("aaaa1111-0000", "Artist"), release("bbbb2222-0000", "Someone Else")});
  std::ofstream(home_ + "/vdrives.ini") << "[S]\nimage=disc.txt\n";
  const Result run = ripmarrow("watch --discs 1 --mode burst --format wav --titles online"
                               " --musicbrainz-server " + server.address() + " --out station");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const std::string folder = home_ + "/station/Artist/Album";
  EXPECT_TRUE(fs::exists(folder + "/01 Song 1.wav")) << run.out << run.err;
  const std::string log = cli_testing::readFile(folder + "/ripmarrow.log");
  EXPECT_NE(log.find("titles: MusicBrainz release aaaa1111-0000 (disc id); passed over: bbbb2222-0000"),
            std::string::npos)
      << log;
}

TEST_F(MusicBrainzTitlesTest, TheFrontCoverIsWrittenBesideTheFilesAndNeverReplaced) {
  MusicBrainzTestServer server;
  serve(server, {release("aaaa1111-0000", "Artist")});
  const std::string png = std::string("\x89PNG\r\n\x1A\n", 8) + std::string(300, 'p');
  MusicBrainzTestServer::Answer redirect;
  redirect.status = 307;
  redirect.location = server.address() + "/images/front.png";
  server.add("/release/aaaa1111-0000/front-500", redirect);
  MusicBrainzTestServer::Answer image;
  image.body = png;
  image.contentType = "image/png";
  server.add("/images/front.png", image);
  const std::string rip = "--vdrive disc.txt rip --tracks 1 --format wav --musicbrainz-server " + server.address() +
                          " --coverart-server " + server.address() + " --out album";
  Result run = ripmarrow(rip);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Cover art: embedded, cover.png (308 bytes)\n"), std::string::npos) << run.out;
  EXPECT_FALSE(fs::exists(home_ + "/album/.ripmarrow-cover.png"));  // the embedding's own copy went
  EXPECT_EQ(cli_testing::readFile(home_ + "/album/cover.png"), png);
  {
    // The track's own artist and the disc id MusicBrainz matched it by.
    TagLib::FileRef file((home_ + "/album/01 Song 1.wav").c_str());
    ASSERT_FALSE(file.isNull());
    EXPECT_EQ(file.tag()->artist().to8Bit(true), "Guest 1 & Artist");
    EXPECT_EQ(file.tag()->album().to8Bit(true), "Album");
    const TagLib::PropertyMap properties = file.file()->properties();
    const std::string all = properties.toString().to8Bit(true);
    EXPECT_NE(all.find(discId_), std::string::npos) << all;
    const auto first = [&properties](const char* key) {
      return properties.contains(key) ? properties[key].front().to8Bit(true) : std::string("(none)");
    };
    EXPECT_EQ(first("ALBUMARTIST"), "Artist");
    EXPECT_EQ(first("DISCNUMBER"), "1/1");
    EXPECT_EQ(first("LABEL"), "Label One");
    EXPECT_EQ(first("CATALOGNUMBER"), "CAT 1");
    EXPECT_EQ(first("BARCODE"), "5012345678900");
    EXPECT_EQ(first("ISRC"), "GBAAA010001");  // the release's: the disc has none
    EXPECT_EQ(first("MUSICBRAINZ_ALBUMID"), "aaaa1111-0000");
    EXPECT_EQ(first("MUSICBRAINZ_RELEASEGROUPID"), "rg1");
    EXPECT_EQ(first("MUSICBRAINZ_RELEASETRACKID"), "t1-1");
    EXPECT_EQ(first("MUSICBRAINZ_ALBUMARTISTID"), "a1");
    TagLib::RIFF::WAV::File wav((home_ + "/album/01 Song 1.wav").c_str());
    ASSERT_TRUE(wav.hasID3v2Tag());
    const TagLib::ID3v2::FrameList pictures = wav.ID3v2Tag()->frameList("APIC");
    ASSERT_EQ(pictures.size(), 1u);
    const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(pictures.front());
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->mimeType().to8Bit(), "image/png");
    EXPECT_EQ(picture->picture().size(), png.size());
  }
  EXPECT_NE(cli_testing::readFile(home_ + "/album/ripmarrow.log").find("cover art: embedded, cover.png"), std::string::npos);

  std::ofstream(home_ + "/album/cover.png") << "mine";
  run = ripmarrow(rip + " --titles online");  // cdplayer.ini now knows the disc, without its cover
  EXPECT_NE(run.out.find("No cover file: the folder holds a cover.png already.\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Cover art: embedded (308 bytes)\n"), std::string::npos) << run.out;
  EXPECT_EQ(cli_testing::readFile(home_ + "/album/cover.png"), "mine");
}

// With a naming template the disc's folder is made once its titles are
// known: the cover goes there, beside its files, not into the folder above.
TEST_F(MusicBrainzTitlesTest, TheCoverGoesIntoTheDiscsOwnFolder) {
  MusicBrainzTestServer server;
  serve(server, {release("aaaa1111-0000", "Artist")});
  const std::string png = std::string("\x89PNG\r\n\x1A\n", 8) + std::string(300, 'p');
  MusicBrainzTestServer::Answer image;
  image.body = png;
  image.contentType = "image/png";
  server.add("/release/aaaa1111-0000/front-500", image);
  const Result run = ripmarrow("--vdrive disc.txt rip --tracks 1 --format wav --naming \"%A/%D/%N %T\" --musicbrainz-server " +
                               server.address() + " --coverart-server " + server.address() + " --out top");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(cli_testing::readFile(home_ + "/top/Artist/Album/cover.png"), png);
  EXPECT_FALSE(fs::exists(home_ + "/top/cover.png"));
  EXPECT_FALSE(fs::exists(home_ + "/top/Artist/Album/.ripmarrow-cover.png"));
  EXPECT_FALSE(fs::exists(home_ + "/top/.ripmarrow-cover.png"));
}

// The release taken is written back to cdplayer.ini, beside the other
// discs it holds: the next look-up of the disc names it with every server
// off, and a rip takes its file names from there.
TEST_F(MusicBrainzTitlesTest, TheReleaseTakenNamesTheDiscOfflineFromThenOn) {
  std::ofstream(home_ + "/cdplayer.ini") << "[ABC]\nnumtracks=1\n0=Another disc\n";
  MusicBrainzTestServer server;
  ReleaseSpec r = release("aaaa1111-0000", "Artist");
  r.title = R"(Side \"A\"\n[ABC] = C)";  // a quote, a line break and what looks like a section
  serve(server, {r});
  Result run = ripmarrow("--vdrive disc.txt lookup --source online --musicbrainz-server " + server.address());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Source: MusicBrainz\n"), std::string::npos) << run.out;

  run = ripmarrow("--vdrive disc.txt lookup --musicbrainz-server none");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Source: cdplayer.ini\nArtist: Artist\nAlbum:  Side \"A\" [ABC] = C\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(" 1  Song 1\n 2  Song 2\n 3  Song 3\n"), std::string::npos) << run.out;
  EXPECT_EQ(server.requests().size(), 1u);
  const std::string ini = cli_testing::readFile(home_ + "/cdplayer.ini");
  EXPECT_NE(ini.find("[ABC]\nnumtracks=1\n0=Another disc\n"), std::string::npos) << ini;

  run = ripmarrow("--vdrive disc.txt rip --tracks 2 --format wav --titles local --out offline");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_TRUE(fs::exists(home_ + "/offline/02 Song 2.wav")) << run.out;
}

TEST_F(MusicBrainzTitlesTest, AnUnknownDiscShowsWhereToAddIt) {
  MusicBrainzTestServer server;  // 404 for every disc
  const Result run = ripmarrow("--vdrive disc.txt lookup --source online --musicbrainz-server " + server.address());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("MusicBrainz does not know this disc (" + discId_ + "); add it at " + server.address() +
                         "/cdtoc/attach?toc=1+3+"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.err.find("No titles found for the disc.\n"), std::string::npos) << run.err;
}

TEST_F(MusicBrainzTitlesTest, CdTextNamesADiscNoOtherSourceHas) {
  std::ofstream(home_ + "/text.txt") << "disc seed=3 title=\"Tinned Air\" artist=\"The Cans\"\n"
                                        "track kind=tone length=1s title=\"Opener\"\n"
                                        "track kind=tone length=1s title=\"Closer\" performer=\"Guest\"\n";
  // The harness turns MusicBrainz and the CDDB server off: CD-TEXT comes last in "all".
  Result run = ripmarrow("--vdrive text.txt rip --format wav --out all");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Titles (CD-TEXT): The Cans / Tinned Air\n"), std::string::npos) << run.out;
  EXPECT_TRUE(fs::exists(home_ + "/all/01 Opener.wav"));
  EXPECT_TRUE(fs::exists(home_ + "/all/02 Closer.wav"));
  EXPECT_NE(cli_testing::readFile(home_ + "/all/ripmarrow.log").find("titles: CD-TEXT"), std::string::npos);

  run = ripmarrow("--vdrive text.txt rip --format wav --titles cdtext --tracks 2 --out only");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_TRUE(fs::exists(home_ + "/only/02 Closer.wav"));
  run = ripmarrow("--vdrive disc.txt rip --format wav --titles cdtext --tracks 1 --out none");
  EXPECT_NE(run.out.find("No titles found for the disc"), std::string::npos) << run.out;
}

}  // namespace
