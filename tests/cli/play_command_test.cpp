// `ripmarrow play` through the built program, with the demo disc in the
// virtual drive and the silent sink: keys come as lines on standard input,
// as a script would send them.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "tests/cli/program_run.h"

namespace {

using cli_testing::Result;

class PlayCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm_cli_play.XXXXXX";
    home_ = mkdtemp(pattern);
    setenv("RIPMARROW_HOME", home_.c_str(), 1);
    setenv("RIPMARROW_AUDIO", "silent", 1);
    const Result registered = cli_testing::runRipmarrow(home_, "register");
    ASSERT_EQ(registered.status, 0) << registered.out << registered.err;
  }
  void TearDown() override {
    std::filesystem::remove_all(home_);
    unsetenv("RIPMARROW_HOME");
    unsetenv("RIPMARROW_AUDIO");
  }
  Result play(const std::string& arguments, const std::string& keys) {
    const std::string input = home_ + "/keys.txt";
    std::ofstream(input) << keys;
    return cli_testing::runRipmarrow(home_, arguments, input);
  }

  std::string home_;
};

// The demo disc's last track is 24 s long: a seek to 0:22 plays its end,
// showing the position, and the command ends with the track.
TEST_F(PlayCommandTest, PlaysATrackToItsEndAfterASeek) {
  const Result run = play("--vdrive play 4", "seek 22\n");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Playing track 4 of 4 (0:24) on silent"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("0:23 / 0:24  L "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("End of track.\n"), std::string::npos) << run.out;
}

TEST_F(PlayCommandTest, PauseResumeAndStopFromTheKeys) {
  const Result run = play("--vdrive play 1", "p\np\nq\n");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Playing track 1 of 4 (0:32)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Stopped.\n"), std::string::npos) << run.out;
}

TEST_F(PlayCommandTest, ATrackTheDiscDoesNotHaveIsRefused) {
  Result run = play("--vdrive play 9", "");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Track 9 cannot be played (the disc has 4 audio tracks)."), std::string::npos) << run.err;
  run = play("--vdrive play", "");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("usage: ripmarrow"), std::string::npos);
}

}  // namespace
