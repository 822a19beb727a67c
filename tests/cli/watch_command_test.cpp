// `ripmarrow watch` through the built program: several virtual drives
// ripped at once into exact files, each disc once into a folder of its own
// with its log, a drive that hangs failing only its own disc, a stack of
// discs changed by each eject, and Ctrl-C stopping every drive.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/vdrive/disc_description.h"
#include "tests/cli/program_run.h"

namespace {

namespace fs = std::filesystem;
using cli_testing::readFile;
using cli_testing::Result;

// Disc n: its own noise, so that each file tells which disc it came from.
std::string discText(int n, const std::string& noiseLength = "2s") {
  return "disc seed=" + std::to_string(100 + n) + "\ntrack kind=noise length=" + noiseLength +
         "\ntrack kind=tone length=1s freq=" + std::to_string(300 + 10 * n) + "\n";
}

std::string trackAudio(const std::string& description, size_t index) {
  const auto disc = platform::vdrive::generateDisc(description, "disc");
  const auto& track = disc.tracks()[index];
  std::string audio;
  std::array<uint8_t, platform::vdrive::kSectorBytes> sector{};
  for (auto lba = track.start; lba < track.end; ++lba) {
    disc.readSector(lba, sector);
    audio.append(reinterpret_cast<const char*>(sector.data()), sector.size());
  }
  return audio;
}

std::string wavData(const std::string& file) {
  if (file.size() < 46) return {};
  const uint32_t size = static_cast<uint32_t>(static_cast<uint8_t>(file[42])) | static_cast<uint8_t>(file[43]) << 8 |
                        static_cast<uint8_t>(file[44]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(file[45])) << 24;
  return file.substr(46, size);
}

class WatchCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm_cli_watch.XXXXXX";
    home_ = mkdtemp(pattern);
    setenv("RIPMARROW_HOME", home_.c_str(), 1);
    const Result registered = ripmarrow("register");
    ASSERT_EQ(registered.status, 0) << registered.out << registered.err;
  }
  void TearDown() override {
    fs::remove_all(home_);
    unsetenv("RIPMARROW_HOME");
  }

  Result ripmarrow(const std::string& arguments) { return cli_testing::runRipmarrow(home_, arguments); }

  void writeDisc(int n, const std::string& description) {
    std::ofstream(home_ + "/disc" + std::to_string(n) + ".txt") << description;
    discs_[n] = description;
  }

  // Which disc the folder holds: the one whose both tracks its files are,
  // exactly; 0 when none.
  int discIn(const fs::path& folder) const {
    const std::string one = wavData(readFile((folder / "01 Track 01.wav").string()));
    const std::string two = wavData(readFile((folder / "02 Track 02.wav").string()));
    for (const auto& [n, description] : discs_) {
      if (one == trackAudio(description, 0) && two == trackAudio(description, 1)) return n;
    }
    return 0;
  }

  // The disc of each folder the station made (0: not whole).
  std::map<std::string, int> folders() const {
    std::map<std::string, int> found;
    for (const auto& entry : fs::directory_iterator(home_ + "/out/Unknown Artist")) {
      found[entry.path().filename().string()] = discIn(entry.path());
      EXPECT_TRUE(fs::exists(entry.path() / "ripmarrow.log")) << entry.path();
    }
    return found;
  }

  std::string home_;
  std::map<int, std::string> discs_;
};

constexpr char kRip[] = "watch --format wav --titles none --out out --eject";

TEST_F(WatchCommandTest, TwoAndThreeDrivesAtOnceGiveExactFiles) {
  for (int drives : {2, 3}) {
    fs::remove_all(home_ + "/out");
    std::ofstream ini(home_ + "/vdrives.ini");
    for (int n = 1; n <= drives; ++n) {
      writeDisc(n, discText(n));
      ini << "[" << static_cast<char>('O' + n) << "]\nimage=disc" << n << ".txt\nspeed=32\n";
    }
    ini.close();
    const Result run = ripmarrow(std::string(kRip) + " --discs " + std::to_string(drives));
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    std::vector<int> seen;
    for (const auto& [folder, disc] : folders()) seen.push_back(disc);
    std::sort(seen.begin(), seen.end());
    std::vector<int> want(static_cast<size_t>(drives));
    for (int n = 1; n <= drives; ++n) want[static_cast<size_t>(n - 1)] = n;
    EXPECT_EQ(seen, want) << run.out;
    EXPECT_NE(run.out.find("watch: " + std::to_string(drives) + " discs ripped, 0 failed"), std::string::npos)
        << run.out;
  }
}

// Four drives; each disc is put in, taken out and put in again before it
// settles; the first drive holds a stack of two discs, the last one hangs
// in the middle of its rip.
TEST_F(WatchCommandTest, StationRipsEveryDiscOnceAndAHungDriveFailsOnlyItsOwn) {
  for (int n = 1; n <= 4; ++n) writeDisc(n, discText(n));
  writeDisc(5, discText(5, "60s"));  // long enough to hang in the middle
  std::ofstream(home_ + "/vdrives.ini") << "[S]\nimages=disc1.txt,disc4.txt\nremove=at:100ms\ninsert=at:2000ms\n"
                                           "[T]\nimage=disc2.txt\nremove=at:100ms\ninsert=at:2500ms\n"
                                           "[U]\nimage=disc3.txt\nremove=at:100ms\ninsert=at:1500ms\n"
                                           "[W]\nimage=disc5.txt\nremove=at:100ms\ninsert=at:1500ms\n"
                                           "hang-after=120\nhang-count=4\n";
  const Result run = ripmarrow(std::string(kRip) + " --discs 5 --retries 1 --on-error stop");
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  const std::map<std::string, int> made = folders();
  std::map<int, int> copies;
  for (const auto& [folder, disc] : made) ++copies[disc];
  // Discs 1 to 4 once each, exact; the hung drive's disc 5 failed, its
  // folder holds a part of it.
  EXPECT_EQ(made.size(), 5u) << run.out;
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(copies[n], 1) << "disc " << n << "\n" << run.out;
  EXPECT_EQ(copies[0], 1) << run.out;
  EXPECT_NE(run.out.find("watch: 4 discs ripped, 1 failed"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  failed: drive 4: Unknown Artist/Unknown Album"), std::string::npos) << run.out;
}

TEST_F(WatchCommandTest, CtrlCStopsEveryDrive) {
  std::ofstream ini(home_ + "/vdrives.ini");
  for (int n = 1; n <= 2; ++n) {
    writeDisc(n, discText(n));
    ini << "[" << static_cast<char>('U' + n) << "]\nimage=disc" << n << ".txt\nslow-ms=40\n";
  }
  ini.close();
  const std::string command = "cd '" + home_ + "' && exec env ASAN_OPTIONS=detect_leaks=0 RIPMARROW_DEVICE_DIR='" +
                              home_ + "' RIPMARROW_ACCURATERIP_SERVER=none '" + RIPMARROW_CLI_PATH + "' " + kRip +
                              " > out.txt 2> err.txt";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // Both drives ripping: both folders have a file.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  auto ripping = [&] {
    int files = 0;
    for (const char* folder : {"/out/Unknown Artist/Unknown Album", "/out/Unknown Artist/Unknown Album (2)"})
      files += fs::exists(home_ + folder + "/01 Track 01.wav") ? 1 : 0;
    return files == 2;
  };
  while (!ripping() && std::chrono::steady_clock::now() < deadline) usleep(5000);
  ASSERT_TRUE(ripping()) << readFile(home_ + "/out.txt") << readFile(home_ + "/err.txt");
  kill(child, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  const std::string out = readFile(home_ + "/out.txt");
  EXPECT_EQ(WEXITSTATUS(status), 130) << out << readFile(home_ + "/err.txt");
  size_t stopped = 0;
  for (size_t at = out.find(" stopped\n"); at != std::string::npos; at = out.find(" stopped\n", at + 1)) ++stopped;
  EXPECT_EQ(stopped, 2u) << out;
  EXPECT_NE(out.find("watch: 0 discs ripped, 0 failed (stopped)"), std::string::npos) << out;
}

TEST_F(WatchCommandTest, RipNamesByTemplateAndNeverSharesADiscFolder) {
  writeDisc(1, discText(1));
  for (const char* folder : {"Unknown Album", "Unknown Album (2)"}) {
    const Result run = ripmarrow("--vdrive disc1.txt rip --format wav --titles none --out out --naming '%A/%D/%N - %T'");
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const std::string path = home_ + "/out/Unknown Artist/" + folder + "/01 - Track 01.wav";
    EXPECT_EQ(wavData(readFile(path)), trackAudio(discs_[1], 0)) << path << "\n" << run.out;
  }
}

TEST_F(WatchCommandTest, BadArgumentsAreRefused) {
  for (const char* arguments : {"watch --drive 0", "watch --drive some", "watch --discs 0", "watch --naming /x/%T",
                                "watch --naming %Q", "watch --tracks 1", "watch --mode fast", "watch word"}) {
    const Result run = ripmarrow(arguments);
    EXPECT_EQ(run.status, 2) << arguments << "\n" << run.err;
  }
  std::ofstream(home_ + "/vdrives.ini") << "[V]\nimage=none.txt\n";
  EXPECT_EQ(ripmarrow("watch --drive 3 --out out").status, 1);
}

}  // namespace
