// `ripmarrow rip --cue` on virtual drives: the sheet written beside the
// files from the disc's layout as the engine reads it (pregaps of 1 s, 2 s
// and none, ISRCs on some tracks, a catalog number, a pre-emphasis track, a
// data track in a second session), the hidden track before track 1 ripped
// byte for byte when it holds music and not at all when silent,
// de-emphasis of the flagged track only (against FFmpeg's own run of the
// filter), and a drive that refuses sub-channel reads.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "engine/device/device_fixture.h"
#include "platform/vdrive/disc.h"
#include "platform/vdrive/disc_description.h"
#include "platform/vdrive/image_writer.h"
#include "platform/vdrive/wave_file.h"
#include "tests/cli/program_run.h"

namespace {

namespace vd = platform::vdrive;

// Frames of the disc's audio session: the hidden track 0-149, track 1
// 150-449, track 2's pregap 375-449 and the track 450-899, track 3's pregap
// 750-899 and the track 900-2699 (pre-emphasis; 24 s, so that de-emphasis
// runs over several pieces), track 4 2700-3149; a data
// track in the second session. (The engine takes a last audio track before a
// data session of under 5 s for a wrong length and rips up to the data
// track's start instead, so track 4 is longer.)
constexpr vd::Lba kAudioFrames = 3150;
constexpr char kCue[] =
    "REM SESSION 01\n"
    "CATALOG 0724384260927\n"
    "FILE \"audio.bin\" BINARY\n"
    "  TRACK 01 AUDIO\n"
    "    ISRC USABC2600001\n"
    "    INDEX 00 00:00:00\n"
    "    INDEX 01 00:02:00\n"
    "  TRACK 02 AUDIO\n"
    "    INDEX 00 00:05:00\n"
    "    INDEX 01 00:06:00\n"
    "  TRACK 03 AUDIO\n"
    "    FLAGS PRE\n"
    "    ISRC GBXYZ2600003\n"
    "    INDEX 00 00:10:00\n"
    "    INDEX 01 00:12:00\n"
    "  TRACK 04 AUDIO\n"
    "    INDEX 01 00:36:00\n"
    "REM SESSION 02\n"
    "FILE \"data.bin\" BINARY\n"
    "  TRACK 05 MODE1/2048\n"
    "    INDEX 01 00:00:00\n";

class CueRip : public engine::device::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    setenv("RIPMARROW_DEVICE_DIR", home_.c_str(), 1);
    // The audio of a generated disc, cut into tracks by the sheet above.
    const vd::Disc source =
        vd::generateDisc("disc seed=21\ntrack kind=music length=42s\n", "source.txt");
    std::ofstream bin(home_ + "/audio.bin", std::ios::binary);
    std::array<uint8_t, vd::kSectorBytes> sector{};
    for (vd::Lba lba = 0; lba < kAudioFrames; ++lba) {
      ASSERT_TRUE(source.readSector(lba, sector));
      bin.write(reinterpret_cast<const char*>(sector.data()), sector.size());
    }
    bin.close();
    std::ofstream(home_ + "/data.bin", std::ios::binary) << std::string(300 * 2048, 'D');
    std::ofstream(home_ + "/disc.cue", std::ios::binary) << kCue;
    const cli_testing::Result run = cli_testing::runRipmarrow(home_, "register");
    ASSERT_EQ(run.status, 0) << run.out << run.err;
  }

  // The bytes of frames [first, first + count) of the image.
  std::string imageAudio(vd::Lba first, vd::Lba count) {
    return audioOf(vd::loadImage(home_ + "/disc.cue"), first, count);
  }
  static std::string audioOf(const vd::Disc& disc, vd::Lba first, vd::Lba count) {
    std::string bytes;
    std::array<uint8_t, vd::kSectorBytes> sector{};
    for (vd::Lba lba = first; lba < first + count; ++lba) {
      EXPECT_TRUE(disc.readSector(lba, sector));
      bytes.append(reinterpret_cast<const char*>(sector.data()), sector.size());
    }
    return bytes;
  }

  // The sample data of a WAVE file.
  static std::string waveData(const std::string& path) {
    const vd::WaveData data = vd::probeWaveFile(path);
    return cli_testing::readFile(path).substr(data.offsetBytes, data.sizeBytes);
  }

  // The names in a folder.
  static std::set<std::string> filesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      names.insert(entry.path().filename().string());
    return names;
  }
};

TEST_F(CueRip, SheetNamesTheHiddenTrackAndPregapsGoToThePreviousFile) {
  const cli_testing::Result run = cli_testing::runRipmarrow(
      home_,
      "--vdrive disc.cue rip --format wav --accuraterip-server none --titles none --cue --out rip");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Track 3 has pre-emphasis: kept as on the disc"), std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("not tagged"), std::string::npos) << run.out;
  EXPECT_EQ(cli_testing::readFile(home_ + "/rip/Disc.cue"),
            "CATALOG 0724384260927\r\n"
            "FILE \"00 Hidden Track.wav\" WAVE\r\n"
            "  TRACK 01 AUDIO\r\n"
            "    ISRC USABC2600001\r\n"
            "    INDEX 00 00:00:00\r\n"
            "FILE \"Track01.wav\" WAVE\r\n"
            "    INDEX 01 00:00:00\r\n"
            "  TRACK 02 AUDIO\r\n"
            "    INDEX 00 00:03:00\r\n"
            "FILE \"Track02.wav\" WAVE\r\n"
            "    INDEX 01 00:00:00\r\n"
            "  TRACK 03 AUDIO\r\n"
            "    FLAGS PRE\r\n"
            "    ISRC GBXYZ2600003\r\n"
            "    INDEX 00 00:04:00\r\n"
            "FILE \"Track03.wav\" WAVE\r\n"
            "    INDEX 01 00:00:00\r\n"
            "FILE \"Track04.wav\" WAVE\r\n"
            "  TRACK 04 AUDIO\r\n"
            "    INDEX 01 00:00:00\r\n");
  EXPECT_EQ(filesIn(home_ + "/rip"),
            (std::set<std::string>{"00 Hidden Track.wav", "Track01.wav", "Track02.wav",
                                   "Track03.wav", "Track04.wav", "Disc.cue", "ripmarrow.log"}));

  // The hidden track is the disc's audio before track 1, byte for byte, and
  // the sheet with the files plays back as the disc's audio session.
  EXPECT_TRUE(waveData(home_ + "/rip/00 Hidden Track.wav") == imageAudio(0, 150));
  const vd::Disc copy = vd::loadImage(home_ + "/rip/Disc.cue");
  ASSERT_EQ(copy.leadOut(), kAudioFrames);
  EXPECT_TRUE(audioOf(copy, 0, kAudioFrames) == imageAudio(0, kAudioFrames));

  // A second rip into the folder keeps the first sheet.
  const cli_testing::Result again =
      cli_testing::runRipmarrow(home_,
                                "--vdrive disc.cue rip --format wav --accuraterip-server none "
                                "--titles none --cue --tracks 1-4 --out rip");
  ASSERT_EQ(again.status, 0) << again.out << again.err;
  EXPECT_TRUE(std::filesystem::exists(home_ + "/rip/Disc (2).cue"));
  EXPECT_NE(
      cli_testing::readFile(home_ + "/rip/Disc (2).cue").find("FILE \"Track01 (2).wav\" WAVE"),
      std::string::npos);
}

TEST_F(CueRip, DeemphasisChangesOnlyTheFlaggedTrackAsFfmpegsFilterDoes) {
  const cli_testing::Result run =
      cli_testing::runRipmarrow(home_,
                                "--vdrive disc.cue rip --format wav --accuraterip-server none "
                                "--titles none --cue --deemphasis --out rip");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Track 3 has pre-emphasis: de-emphasised"), std::string::npos) << run.out;
  // No intermediate file stays behind.
  EXPECT_EQ(filesIn(home_ + "/rip"),
            (std::set<std::string>{"00 Hidden Track.wav", "Track01.wav", "Track02.wav",
                                   "Track03.wav", "Track04.wav", "Disc.cue", "ripmarrow.log"}));
  EXPECT_TRUE(waveData(home_ + "/rip/00 Hidden Track.wav") == imageAudio(0, 150));
  EXPECT_TRUE(waveData(home_ + "/rip/Track01.wav") == imageAudio(150, 300));
  EXPECT_TRUE(waveData(home_ + "/rip/Track02.wav") == imageAudio(450, 450));
  EXPECT_TRUE(waveData(home_ + "/rip/Track04.wav") == imageAudio(2700, 450));

  const std::string original = imageAudio(900, 1800);
  const std::string track3 = waveData(home_ + "/rip/Track03.wav");
  ASSERT_EQ(track3.size(), original.size());
  EXPECT_FALSE(track3 == original);
  std::ofstream(home_ + "/track3.raw", std::ios::binary) << original;
  const std::string command =
      "ffmpeg -nostdin -v error -f s16le -ar 44100 -ac 2 -i '" + home_ +
      "/track3.raw' -af aemphasis=mode=reproduction:type=cd -f s16le -ar 44100 -ac 2 '" + home_ +
      "/filtered.raw'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  EXPECT_TRUE(track3 == cli_testing::readFile(home_ + "/filtered.raw"));

  // The log keeps the disc's checksums and says which file was
  // de-emphasised.
  const std::string log = cli_testing::readFile(home_ + "/rip/ripmarrow.log");
  EXPECT_NE(log.find("De-emphasised: yes"), std::string::npos) << log;
  EXPECT_EQ(log.find("De-emphasised: yes"), log.rfind("De-emphasised: yes")) << log;

  // The sheet does not have players de-emphasise the track again.
  const std::string sheet = cli_testing::readFile(home_ + "/rip/Disc.cue");
  EXPECT_EQ(sheet.find("PRE"), std::string::npos) << sheet;
  EXPECT_NE(sheet.find("ISRC GBXYZ2600003"), std::string::npos) << sheet;

  // In another format the filtered audio goes through the codec object: the
  // FLAC file decodes to the same samples. A sheet needs the whole disc.
  const cli_testing::Result flac =
      cli_testing::runRipmarrow(home_,
                                "--vdrive disc.cue rip --format flac --accuraterip-server none "
                                "--tracks 3 --titles none --cue --deemphasis --out flac");
  ASSERT_EQ(flac.status, 0) << flac.out << flac.err;
  EXPECT_NE(flac.out.find("No cue sheet"), std::string::npos) << flac.out;
  EXPECT_EQ(filesIn(home_ + "/flac"), (std::set<std::string>{"Track03.flac", "ripmarrow.log"}));
  const std::string decode = "ffmpeg -nostdin -v error -i '" + home_ +
                             "/flac/Track03.flac' -f s16le '" + home_ + "/decoded.raw'";
  ASSERT_EQ(std::system(decode.c_str()), 0) << decode;
  EXPECT_TRUE(track3 == cli_testing::readFile(home_ + "/decoded.raw"));
  // verify passes over the de-emphasised file instead of calling it
  // different from the disc.
  const cli_testing::Result verify = cli_testing::runRipmarrow(home_, "verify flac --accuraterip-server none");
  EXPECT_EQ(verify.status, 0) << verify.out << verify.err;
  EXPECT_NE(verify.out.find("not checked: de-emphasised"), std::string::npos) << verify.out;
  EXPECT_NE(verify.out.find("(1 de-emphasised file not checked)"), std::string::npos) << verify.out;
}

// Ctrl-C while the engine rips a track for de-emphasis into its
// intermediate WAV: the rip stops, and neither the intermediate nor an empty
// file of the track stays behind.
TEST_F(CueRip, CtrlCDuringADeemphasisRipLeavesNothingBehind) {
  std::ofstream(home_ + "/vdrives.ini") << "[V]\nslow-ms=40\n";
  const std::string command = "cd '" + home_ +
                              "' && exec env ASAN_OPTIONS=detect_leaks=0 RIPMARROW_DEVICE_DIR='" +
                              home_ + "' '" + RIPMARROW_CLI_PATH +
                              "' --vdrive disc.cue rip --format wav --accuraterip-server none "
                              "--tracks 3 --deemphasis --titles none --out int"
                              " > out.txt 2> err.txt";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  auto intermediate = [&] {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(home_ + "/int", ec)) {
      if (entry.path().filename().string().rfind(".ripmarrow-", 0) == 0) return true;
    }
    return false;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!intermediate() && std::chrono::steady_clock::now() < deadline) usleep(2000);
  ASSERT_TRUE(intermediate());
  kill(child, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130) << cli_testing::readFile(home_ + "/out.txt");
  EXPECT_EQ(filesIn(home_ + "/int"), std::set<std::string>{"ripmarrow.log"})
      << cli_testing::readFile(home_ + "/out.txt");
}

// A silent room before track 1 is not ripped (and its frames are written
// as PREGAP); titles from the lookup name the files, the sheet and its
// entries.
TEST_F(CueRip, SilentRoomBeforeTrackOneLeavesNoFile) {
  constexpr char kSilent[] =
      "disc seed=3 title=\"Quiet\" artist=\"Tester\"\n"
      "track kind=music length=2s pregap=40f title=\"One\"\n"
      "track kind=tone length=1s pregap=1s title=\"Two\"\n";
  std::ofstream(home_ + "/silent.txt") << kSilent;
  std::ofstream(home_ + "/cdplayer.ini", std::ios::binary)
      << vd::titleSidecar(vd::generateDisc(kSilent, "silent.txt"));
  const cli_testing::Result run =
      cli_testing::runRipmarrow(home_,
                                "--vdrive silent.txt rip --format flac --accuraterip-server none "
                                "--titles local --cue --out rip");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("digital silence: not ripped"), std::string::npos) << run.out;
  EXPECT_EQ(
      filesIn(home_ + "/rip"),
      (std::set<std::string>{"01 One.flac", "02 Two.flac", "Tester - Quiet.cue", "ripmarrow.log"}));
  EXPECT_EQ(cli_testing::readFile(home_ + "/rip/Tester - Quiet.cue"),
            "PERFORMER \"Tester\"\r\n"
            "TITLE \"Quiet\"\r\n"
            "FILE \"01 One.flac\" WAVE\r\n"
            "  TRACK 01 AUDIO\r\n"
            "    TITLE \"One\"\r\n"
            "    PREGAP 00:00:40\r\n"
            "    INDEX 01 00:00:00\r\n"
            "  TRACK 02 AUDIO\r\n"
            "    TITLE \"Two\"\r\n"
            "    INDEX 00 00:02:00\r\n"
            "FILE \"02 Two.flac\" WAVE\r\n"
            "    INDEX 01 00:00:00\r\n");
}

// Before the first audio track of a mixed-mode disc lies its data track:
// nothing there is ripped as a hidden track.
TEST_F(CueRip, DataBeforeTheFirstAudioTrackIsNoHiddenTrack) {
  std::ofstream(home_ + "/mixed.txt") << "disc seed=4\n"
                                         "track kind=data length=10s\n"
                                         "track kind=music length=3s pregap=2s\n"
                                         "track kind=tone length=2s pregap=1s\n";
  const cli_testing::Result run =
      cli_testing::runRipmarrow(home_,
                                "--vdrive mixed.txt rip --format wav --accuraterip-server none "
                                "--titles none --cue --out rip");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out.find("Hidden track"), std::string::npos) << run.out;
  EXPECT_EQ(filesIn(home_ + "/rip"),
            (std::set<std::string>{"Track01.wav", "Track02.wav", "Disc.cue", "ripmarrow.log"}));
  EXPECT_EQ(cli_testing::readFile(home_ + "/rip/Disc.cue"),
            "FILE \"Track01.wav\" WAVE\r\n"
            "  TRACK 01 AUDIO\r\n"
            "    INDEX 01 00:00:00\r\n"
            "  TRACK 02 AUDIO\r\n"
            "    INDEX 00 00:03:00\r\n"
            "FILE \"Track02.wav\" WAVE\r\n"
            "    INDEX 01 00:00:00\r\n");
}

TEST_F(CueRip, DriveWithoutSubChannelStillRipsWithPregapsMarkedUnknown) {
  std::ofstream(home_ + "/vdrives.ini")
      << "[E]\nimage=disc.cue\nmodel=no-subchannel\naddress=0:0:7:0\n";
  const cli_testing::Result run = cli_testing::runRipmarrow(
      home_, "rip --format wav --accuraterip-server none --titles none --cue --out rip");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  // The room before track 1 is in the TOC: the hidden track is still found.
  EXPECT_TRUE(waveData(home_ + "/rip/00 Hidden Track.wav") == imageAudio(0, 150));
  EXPECT_EQ(cli_testing::readFile(home_ + "/rip/Disc.cue"),
            "REM PREGAPS UNKNOWN: the drive did not tell them\r\n"
            "FILE \"00 Hidden Track.wav\" WAVE\r\n"
            "  TRACK 01 AUDIO\r\n"
            "    INDEX 00 00:00:00\r\n"
            "FILE \"Track01.wav\" WAVE\r\n"
            "    INDEX 01 00:00:00\r\n"
            "FILE \"Track02.wav\" WAVE\r\n"
            "  TRACK 02 AUDIO\r\n"
            "    INDEX 01 00:00:00\r\n"
            "FILE \"Track03.wav\" WAVE\r\n"
            "  TRACK 03 AUDIO\r\n"
            "    FLAGS PRE\r\n"
            "    INDEX 01 00:00:00\r\n"
            "FILE \"Track04.wav\" WAVE\r\n"
            "  TRACK 04 AUDIO\r\n"
            "    INDEX 01 00:00:00\r\n");
}

}  // namespace
