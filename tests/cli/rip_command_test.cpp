// `ripmarrow rip` through the built program against virtual drives holding
// small generated discs: exact WAV rips, MP3 files that are MP3, files that
// are never overwritten, titled file names from cdplayer.ini, a track that
// fails under "stop on error"; and the command's file naming and track list.
#include "ripmarrow/rip_command.h"
#include "ripmarrow/cue_sheet_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "client/testing/accuraterip_test_server.h"
#include "platform/vdrive/disc_description.h"
#include "proof/ctdb_crc.h"
#include "tests/cli/program_run.h"
#include "vdrive/demo_disc.h"

namespace {

namespace fs = std::filesystem;

constexpr char kDisc[] =
    "disc seed=11\n"
    "track kind=noise length=2s\n"
    "track kind=tone length=1s freq=440\n";

using cli_testing::readFile;
using cli_testing::Result;

class RipCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm_cli_rip.XXXXXX";
    home_ = mkdtemp(pattern);
    setenv("RIPMARROW_HOME", home_.c_str(), 1);
    std::ofstream(home_ + "/disc.txt") << kDisc;
    // The engine and the outside components built with the program.
    const Result registered = ripmarrow("register");
    ASSERT_EQ(registered.status, 0) << registered.out << registered.err;
  }
  void TearDown() override {
    fs::remove_all(home_);
    unsetenv("RIPMARROW_HOME");
  }

  Result ripmarrow(const std::string& arguments) { return cli_testing::runRipmarrow(home_, arguments); }

  // The audio of track `index` (0-based) of kDisc as the image holds it.
  static std::string trackAudio(size_t index) {
    const auto disc = platform::vdrive::generateDisc(kDisc, "disc.txt");
    const auto& track = disc.tracks()[index];
    std::string audio;
    std::array<uint8_t, platform::vdrive::kSectorBytes> sector{};
    for (auto lba = track.start; lba < track.end; ++lba) {
      disc.readSector(lba, sector);
      audio.append(reinterpret_cast<const char*>(sector.data()), sector.size());
    }
    return audio;
  }

  std::string home_;
};

// The audio of a ripped WAV file: the data chunk the engine writes at 46,
// whose size is at 42 (the tags follow it in chunks of their own).
std::string wavData(const std::string& file) {
  if (file.size() < 46) return {};
  const uint32_t size = static_cast<uint32_t>(static_cast<uint8_t>(file[42])) | static_cast<uint8_t>(file[43]) << 8 |
                        static_cast<uint8_t>(file[44]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(file[45])) << 24;
  return file.substr(46, size);
}

// The offset of the first MPEG audio frame header: after an ID3v2 tag when
// there is one, 11 sync bits, layer III.
bool startsWithMp3Frame(const std::string& file) {
  size_t at = 0;
  if (file.compare(0, 3, "ID3") == 0 && file.size() > 10) {
    at = 10 + ((static_cast<size_t>(file[6] & 0x7f) << 21) | (static_cast<size_t>(file[7] & 0x7f) << 14) |
               (static_cast<size_t>(file[8] & 0x7f) << 7) | static_cast<size_t>(file[9] & 0x7f));
  }
  return file.size() > at + 4 && static_cast<uint8_t>(file[at]) == 0xff &&
         (static_cast<uint8_t>(file[at + 1]) & 0xe6) == 0xe2;
}

TEST_F(RipCommandTest, RipsExactWavAndMp3FilesAndNeverOverwrites) {
  Result run = ripmarrow("--vdrive disc.txt rip --format wav --titles none --out wav");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  for (size_t i = 0; i < 2; ++i) {
    const std::string file = readFile(home_ + "/wav/Track0" + std::to_string(i + 1) + ".wav");
    const std::string want = trackAudio(i);
    ASSERT_EQ(wavData(file).size(), want.size()) << i;
    EXPECT_TRUE(wavData(file) == want) << i;
  }
  EXPECT_NE(run.out.find("2 of 2 tracks ripped into wav"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  100 %\n"), std::string::npos) << run.out;  // a line per 10 % off a terminal

  run = ripmarrow("rip --vdrive disc.txt --format mp3 --titles none --out mp3");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  for (const char* name : {"/mp3/Track01.mp3", "/mp3/Track02.mp3"}) {
    const std::string file = readFile(home_ + name);
    EXPECT_GT(file.size(), 8000u) << name;  // 1 s at 128 kbit/s is 16000 bytes
    EXPECT_TRUE(startsWithMp3Frame(file)) << name;
  }

  // Ripped again: a new name, the first file kept.
  run = ripmarrow("--vdrive disc.txt rip --tracks 1 --format wav --titles none --out wav");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_TRUE(readFile(home_ + "/wav/Track01 (2).wav") == readFile(home_ + "/wav/Track01.wav"));
  EXPECT_FALSE(fs::exists(home_ + "/wav/Track02 (2).wav"));
}

TEST_F(RipCommandTest, NamesFilesAfterTheLocalTitles) {
  fs::copy_file(std::string(RIPMARROW_DEMO_DIR) + "/cdplayer.ini", home_ + "/cdplayer.ini");
  const Result run = ripmarrow("--vdrive rip --tracks 2 --format wav --titles local --out titled");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_TRUE(fs::exists(home_ + "/titled/02 Lanterns on the Water.wav")) << run.out;
  // The file and the rip's log.
  EXPECT_TRUE(fs::exists(home_ + "/titled/ripmarrow.log"));
  EXPECT_EQ(std::distance(fs::directory_iterator(home_ + "/titled"), fs::directory_iterator()), 2);
}

TEST_F(RipCommandTest, AnUnreadableSectorUnderStopFailsItsTrack) {
  // Track 2 starts at LBA 150.
  std::ofstream(home_ + "/vdrives.ini") << "[V]\nunreadable=180\n";
  const Result run = ripmarrow("--vdrive disc.txt rip --format wav --on-error stop --retries 1 --titles none --out bad");
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  const size_t failed = run.out.find("FAILED: OPERATION_FAILED");
  ASSERT_NE(failed, std::string::npos) << run.out;
  EXPECT_GT(failed, run.out.find("Track 2 (2 of 2): Track02.wav")) << run.out;
  EXPECT_NE(run.out.find("1 of 2 tracks ripped"), std::string::npos) << run.out;
  EXPECT_EQ(wavData(readFile(home_ + "/bad/Track01.wav")).size(), trackAudio(0).size());
}

// Each track says what the mode confirmed, in the mode's words; a drive
// that starts off on every read leaves frames unconfirmed, and the program
// says how many and ends with 1. BURST says once that it trusts the drive.
TEST_F(RipCommandTest, TracksSayWhatTheModeConfirmed) {
  Result run = ripmarrow("--vdrive disc.txt rip --format wav --mode secure --titles none --out secure");
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("every frame confirmed by two reads"), std::string::npos) << run.out;
  run = ripmarrow("--vdrive disc.txt rip --format wav --mode synch --titles none --out synch");
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("every block aligned on its neighbour"), std::string::npos) << run.out;
  run = ripmarrow("--vdrive disc.txt rip --format wav --titles none --out burst");
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("The burst mode trusts the drive: no frame is confirmed."), std::string::npos) << run.out;
  run = ripmarrow("--vdrive disc.txt rip --format wav --mode secure --speed max --titles none --out max");
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(wavData(readFile(home_ + "/max/Track01.wav")), trackAudio(0));

  std::ofstream(home_ + "/vdrives.ini") << "[V]\njitter=588\nseed=3\n";
  run = ripmarrow("--vdrive disc.txt rip --format wav --mode paranoid --retries 6 --titles none --out jitter");
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.out.find(" frames unconfirmed"), std::string::npos) << run.out;
}

// The CUETools database on a loopback server, asked by the disc's TOC: a
// track whose CRC an entry holds is accurate with the entry's confidence,
// the other is not; the log keeps both verdicts and CRCs.
TEST_F(RipCommandTest, TheCuetoolsDatabaseJudgesEachTrack) {
  const std::string disc = trackAudio(0) + trackAudio(1);
  const uint64_t samples = disc.size() / 4;
  const std::vector<uint64_t> starts = {0, trackAudio(0).size() / 4};
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(disc.data()), disc.size());
  const uint32_t first =
      proof::CtdbShiftedCrcs(bytes, 0, samples, proof::CtdbTrackSpan(starts, 0, samples))[proof::kCtdbMaxShift];
  char entry[256];
  std::snprintf(entry, sizeof entry,
                "<ctdb xmlns=\"http://db.cuetools.net/ns/mmd-1.0#\"><entry id=\"7\" crc32=\"0\" confidence=\"5\" "
                "npar=\"8\" stride=\"5880\" trackcrcs=\"%08x 12345678\"/></ctdb>",
                first);
  client::testing::AccurateRipTestServer server;
  server.putFile("/lookup2.php?version=3&ctdb=1&fuzzy=1&toc=0:150:225", entry);
  const Result run = ripmarrow("--vdrive disc.txt rip --format wav --titles none --out ctdb --ctdb-server 127.0.0.1:" +
                               std::to_string(server.port()));
  EXPECT_NE(run.out.find("CTDB 0:150:225: found 1 entry"), std::string::npos) << run.out << run.err;
  EXPECT_NE(run.out.find("Track 1: copy CRC"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("CTDB: accurate (CTDB), confidence 5\n  Track 2"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("CTDB: not accurate (CTDB)\n"), std::string::npos) << run.out;
  const std::string log = readFile(home_ + "/ctdb/ripmarrow.log");
  char crcLine[32];
  std::snprintf(crcLine, sizeof crcLine, "  CTDB CRC: %08X\n", first);
  EXPECT_NE(log.find(crcLine), std::string::npos) << log;
  EXPECT_NE(log.find("  CTDB: accurate (CTDB), confidence 5\n"), std::string::npos) << log;

  // verify reads the verdicts back and checks the files' CTDB CRCs.
  const Result verify = ripmarrow("verify ctdb --accuraterip-server none");
  std::snprintf(crcLine, sizeof crcLine, "%08X as in the log", first);
  EXPECT_NE(verify.out.find(std::string("CTDB: accurate (CTDB), confidence 5 (CRC ") + crcLine + ")"),
            std::string::npos)
      << verify.out << verify.err;
  EXPECT_NE(verify.out.find("CTDB: not accurate (CTDB) (CRC "), std::string::npos) << verify.out;
}

// Verified mode: with the databases asked first, a track CTDB confirms
// (confidence 5) keeps its burst rip, the other is read again in secure mode
// and its log row says why; with no database that knows the disc every
// track is secure from the start, and the log says so. The files are the
// disc's audio either way.
TEST_F(RipCommandTest, VerifiedModeReadsAgainOnlyWhatNoDatabaseConfirms) {
  const std::string disc = trackAudio(0) + trackAudio(1);
  const uint64_t samples = disc.size() / 4;
  const std::vector<uint64_t> starts = {0, trackAudio(0).size() / 4};
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(disc.data()), disc.size());
  const uint32_t first =
      proof::CtdbShiftedCrcs(bytes, 0, samples, proof::CtdbTrackSpan(starts, 0, samples))[proof::kCtdbMaxShift];
  char entry[256];
  std::snprintf(entry, sizeof entry,
                "<ctdb><entry id=\"7\" crc32=\"0\" confidence=\"5\" trackcrcs=\"%08x 12345678\"/></ctdb>", first);
  client::testing::AccurateRipTestServer server;
  server.putFile("/lookup2.php?version=3&ctdb=1&fuzzy=1&toc=0:150:225", entry);
  Result run = ripmarrow("--vdrive disc.txt rip --format wav --mode verified --titles none --out known --ctdb-server 127.0.0.1:" +
                         std::to_string(server.port()));
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  const size_t second = run.out.find("Track 2 (2 of 2)");
  ASSERT_NE(second, std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("re-read: not confirmed by AccurateRip or CTDB"), run.out.find("re-read", second)) << run.out;
  EXPECT_NE(run.out.find("every frame confirmed by two reads", second), std::string::npos) << run.out;
  std::string log = readFile(home_ + "/known/ripmarrow.log");
  EXPECT_NE(log.find("Mode: verified\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Setting verified mode: CTDB knows the disc, AccurateRip does not\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Track 2\n"), std::string::npos);
  EXPECT_NE(log.find("  Verified mode: re-read: not confirmed by AccurateRip or CTDB\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("Verified mode: re-read"), log.rfind("Verified mode: re-read"));  // track 2's alone
  EXPECT_EQ(wavData(readFile(home_ + "/known/Track01.wav")), trackAudio(0));
  EXPECT_EQ(wavData(readFile(home_ + "/known/Track02.wav")), trackAudio(1));
  EXPECT_FALSE(fs::exists(home_ + "/known/Track02 (2).wav"));

  run = ripmarrow("--vdrive disc.txt rip --format wav --mode verified --titles none --out unknown --ctdb-server none");
  EXPECT_NE(run.out.find("every track is ripped in secure mode"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("re-read:"), std::string::npos) << run.out;
  log = readFile(home_ + "/unknown/ripmarrow.log");
  EXPECT_NE(log.find("neither database knows the disc: secure from the start"), std::string::npos) << log;
  EXPECT_EQ(wavData(readFile(home_ + "/unknown/Track02.wav")), trackAudio(1));
}

// A stable scratch (every read gives the same wrong bytes, no C2 pointers)
// in track 2: its burst rip is not what the database holds, so verified
// mode reads it again; the secure reads agree on the wrong bytes, and the
// database still calls the track not accurate.
TEST_F(RipCommandTest, VerifiedModeCatchesAStableScratch) {
  const std::string disc = trackAudio(0) + trackAudio(1);
  const uint64_t samples = disc.size() / 4;
  const std::vector<uint64_t> starts = {0, trackAudio(0).size() / 4};
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(disc.data()), disc.size());
  uint32_t crcs[2];
  for (size_t t = 0; t < 2; ++t)
    crcs[t] = proof::CtdbShiftedCrcs(bytes, 0, samples, proof::CtdbTrackSpan(starts, t, samples))[proof::kCtdbMaxShift];
  char entry[256];
  std::snprintf(entry, sizeof entry,
                "<ctdb><entry id=\"7\" crc32=\"0\" confidence=\"5\" trackcrcs=\"%08x %08x\"/></ctdb>", crcs[0], crcs[1]);
  client::testing::AccurateRipTestServer server;
  server.putFile("/lookup2.php?version=3&ctdb=1&fuzzy=1&toc=0:150:225", entry);
  std::ofstream(home_ + "/vdrives.ini") << "[V]\nscratch=170\nscratch-stable=1\n";
  const Result run = ripmarrow("--vdrive disc.txt rip --format wav --mode verified --titles none --out scratch "
                               "--ctdb-server 127.0.0.1:" + std::to_string(server.port()));
  const size_t second = run.out.find("Track 2 (2 of 2)");
  ASSERT_NE(second, std::string::npos) << run.out << run.err;
  EXPECT_EQ(run.out.find("re-read:"), run.out.find("re-read:", second)) << run.out;  // track 2 alone
  EXPECT_NE(run.out.find("Track 1: copy CRC"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("CTDB: accurate (CTDB), confidence 5\n  Track 2"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("CTDB: not accurate (CTDB)\n"), std::string::npos) << run.out;
  EXPECT_NE(wavData(readFile(home_ + "/scratch/Track02.wav")), trackAudio(1));
}

// Ctrl-C as soon as the first track's file exists, while the engine's rip
// thread still takes the drive (every command of the drive is slowed): the
// stop is kept, the program ends with 130 and the partial file is a closed
// WAV file shorter than the track.
TEST_F(RipCommandTest, CtrlCAtTheStartOfATrackStopsTheRip) {
  std::ofstream(home_ + "/vdrives.ini") << "[V]\nslow-ms=40\n";
  const std::string command = "cd '" + home_ + "' && exec env ASAN_OPTIONS=detect_leaks=0 RIPMARROW_DEVICE_DIR='" +
                              home_ + "' '" + RIPMARROW_CLI_PATH +
                              "' --vdrive disc.txt rip --format wav --titles none --out int > out.txt 2> err.txt";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  const std::string file = home_ + "/int/Track01.wav";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!fs::exists(file) && std::chrono::steady_clock::now() < deadline) usleep(2000);
  ASSERT_TRUE(fs::exists(file));
  kill(child, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130) << readFile(home_ + "/out.txt") << readFile(home_ + "/err.txt");
  const std::string wav = readFile(file);
  ASSERT_GE(wav.size(), 46u);
  EXPECT_LT(wav.size(), 46 + trackAudio(0).size());
  const auto le32 = [&](size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(wav[at])) | static_cast<uint8_t>(wav[at + 1]) << 8 |
           static_cast<uint8_t>(wav[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(wav[at + 3])) << 24;
  };
  EXPECT_EQ(le32(4), wav.size() - 8);
  EXPECT_EQ(le32(42), wav.size() - 46);
  EXPECT_FALSE(fs::exists(home_ + "/int/Track02.wav"));
}

TEST_F(RipCommandTest, BadArgumentsAreRefused) {
  for (const char* arguments : {"rip --format aiff", "rip --flac-level 9", "rip --mode fast", "rip --tracks 0", "rip --tracks 3-1",
                                "rip --retries 255", "rip --on-error ignore", "rip --speed 0", "rip --unknown"}) {
    EXPECT_EQ(ripmarrow(arguments).status, 2) << arguments;
  }
  const Result run = ripmarrow("--vdrive disc.txt rip --tracks 3 --out none");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("there is no track 3"), std::string::npos) << run.err;
}

TEST(RipCommandNames, FileNamesAndTrackLists) {
  using ripmarrow::RipCommand;
  EXPECT_EQ(RipCommand::fileName(1, "A:B?C", ".mp3"), "01 ABC.mp3");
  // A dot in a title is part of it, not an extension to replace.
  EXPECT_EQ(RipCommand::fileName(12, "Mr. Blue", ".mp3"), "12 Mr. Blue.mp3");
  EXPECT_EQ(RipCommand::fileName(3, "", ".wav"), "Track03.wav");
  EXPECT_EQ(RipCommand::fileName(3, " */?\"<> ", ".wav"), "Track03.wav");
  EXPECT_EQ(RipCommand::fileName(4, "../../etc/passwd", ".ogg"), "04 ....etcpasswd.ogg");
  EXPECT_EQ(RipCommand::fileName(5, "Line\nbreak\t", ".wav"), "05 Linebreak.wav");
  // Invisible and reordering characters go: "a<RLO>wav.exe" would show as "aexe.vaw".
  EXPECT_EQ(RipCommand::fileName(2, "a\u202Ewav.exe", ".wav"), "02 awav.exe.wav");
  EXPECT_EQ(RipCommand::fileName(2, "C1\u0085\u009b \u2067x\u2069", ".wav"), "02 C1 x.wav");
  EXPECT_EQ(RipCommand::fileName(7, "-", ".wav"), "Track07.wav");
  EXPECT_EQ(RipCommand::fileName(7, "\u202E - ", ".wav"), "Track07.wav");
  // The cue sheet's name neither hides nor vanishes.
  EXPECT_EQ(ripmarrow::CueSheetFile::name(".hidden", "Album"), "_.hidden - Album.cue");
  EXPECT_EQ(ripmarrow::CueSheetFile::name("", "-"), "Disc.cue");
  EXPECT_EQ(ripmarrow::CueSheetFile::name("*", "?"), "Disc.cue");
  EXPECT_EQ(ripmarrow::CueSheetFile::name("Artist", "Album"), "Artist - Album.cue");
  // Long titles are cut at a character boundary (é is two bytes).
  const std::string longName = RipCommand::fileName(6, std::string(199, 'a') + "\xC3\xA9" + "z", ".mp3");
  EXPECT_EQ(longName, "06 " + std::string(199, 'a') + ".mp3");

  std::vector<long> tracks;
  ASSERT_TRUE(RipCommand::parseTracks("1,3-4,2", tracks));
  EXPECT_EQ(tracks, (std::vector<long>{1, 3, 4, 2}));
  for (const char* bad : {"", ",", "1,", "0", "a", "2-", "-2", "4-3", "1-100", "1--2"}) {
    EXPECT_FALSE(RipCommand::parseTracks(bad, tracks)) << bad;
  }
}

}  // namespace

// On a terminal each track is one line redrawn in place, with the read speed
// and the time left; off a terminal plain lines. Both end with the batch's
// total: the audio ripped, the time taken and the speed.
TEST_F(RipCommandTest, ATerminalGetsOneUpdatingLinePerTrackAndTheBatchTotal) {
  std::ofstream(home_ + "/vdrives.ini") << "[V]\nspeed=2\n";  // 3 s of audio in about 1.5 s
  Result plain = ripmarrow("--vdrive disc.txt rip --format wav --titles none --out plain");
  ASSERT_EQ(plain.status, 0) << plain.out << plain.err;
  EXPECT_NE(plain.out.find("\nBatch: 0:03 of audio in 0:0"), std::string::npos) << plain.out;
  EXPECT_EQ(plain.out.find('\r'), std::string::npos) << plain.out;
  if (std::system("command -v script > /dev/null") != 0) GTEST_SKIP() << "no script(1) to give a terminal";
  // script(1) runs the program on a pseudo-terminal and copies what it wrote.
  const std::string command = std::string("cd '") + home_ + "' && RIPMARROW_ACCURATERIP_SERVER=none RIPMARROW_DEVICE_DIR='" +
                              home_ + "' script -qec \"'" + RIPMARROW_CLI_PATH +
                              "' --vdrive disc.txt rip --format wav --titles none --out tty\" /dev/null > tty.txt < /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string tty = readFile(home_ + "/tty.txt");
  EXPECT_NE(tty.find("\r  ["), std::string::npos) << tty;
  EXPECT_NE(tty.find("x \u00b7 0:0"), std::string::npos) << tty;  // "1.9x · 0:00 left"
  EXPECT_NE(tty.find(" left"), std::string::npos) << tty;
  EXPECT_NE(tty.find("Batch: 0:03 of audio in 0:0"), std::string::npos) << tty;
}

// Secure mode on a scratched disc: the terminal line says how many frames
// it reads again while it does; a clean disc's line never says it, and off
// a terminal the plain lines stay as they were.
TEST_F(RipCommandTest, ATerminalLineSaysWhileSecureModeReadsFramesAgain) {
  if (std::system("command -v script > /dev/null") != 0) GTEST_SKIP() << "no script(1) to give a terminal";
  const auto onTerminal = [&](const std::string& drive, const std::string& out) {
    std::ofstream(home_ + "/vdrives.ini") << "[V]\n" << drive;
    const std::string command = std::string("cd '") + home_ + "' && RIPMARROW_ACCURATERIP_SERVER=none RIPMARROW_CTDB_SERVER=none " +
                                "RIPMARROW_DEVICE_DIR='" + home_ + "' script -qec \"'" + RIPMARROW_CLI_PATH +
                                "' --vdrive disc.txt rip --mode secure --format wav --titles none --out " + out +
                                "\" /dev/null > " + out + ".txt < /dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << readFile(home_ + "/" + out + ".txt");
    return readFile(home_ + "/" + out + ".txt");
  };
  const std::string scratched = onTerminal("scratch=20-23,random:6\nseed=3\n", "scratched");
  const size_t at = scratched.find(" re-reading ");
  ASSERT_NE(at, std::string::npos) << scratched;
  EXPECT_NE(scratched.find(" frame", at + 12), std::string::npos) << scratched;
  EXPECT_EQ(scratched.rfind("\r  [", at), scratched.rfind('\r', at)) << scratched;  // on the redrawn line
  const std::string clean = onTerminal("", "clean");
  EXPECT_NE(clean.find("\r  ["), std::string::npos) << clean;
  EXPECT_EQ(clean.find("re-reading"), std::string::npos) << clean;

  std::ofstream(home_ + "/vdrives.ini") << "[V]\nscratch=20-23,random:6\nseed=3\n";
  const Result plain = ripmarrow("--vdrive disc.txt rip --mode secure --format wav --titles none --out plain");
  EXPECT_EQ(plain.out.find("re-reading"), std::string::npos) << plain.out;
}
