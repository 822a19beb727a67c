// The log reader and the file checks against what a hostile log or folder
// holds: repeated and stray track sections, impossible tables of contents,
// FIFOs, sparse files far longer than their track.
#include "client/rip_check.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "client/audio_stream.h"
#include "tests/support/fifo_watchdog.h"

namespace {

namespace fs = std::filesystem;
using client::TrackCheck;

constexpr uint32_t kTrackFrames = 10;
constexpr size_t kTrackBytes = kTrackFrames * 588 * 4;

std::string le32(uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>(value >> (8 * i) & 0xff);
  return bytes;
}

// The header of a 16-bit stereo 44.1 kHz WAV file whose data chunk claims `dataBytes`.
std::string wavHeader(uint32_t dataBytes) {
  return "RIFF" + le32(36 + dataBytes) + "WAVEfmt " + le32(16) + std::string("\x01\x00\x02\x00", 4) + le32(44100) +
         le32(44100 * 4) + std::string("\x04\x00\x10\x00", 4) + "data" + le32(dataBytes);
}

std::string trackAudio(int track) {
  std::string pcm(kTrackBytes, '\0');
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<char>((i * 7 + static_cast<size_t>(track) * 13) & 0xff);
  return pcm;
}

// Three audio tracks of kTrackFrames each, their files "0N.wav" as the log says.
client::RipLog threeTrackLog() {
  client::RipLog log;
  log.programVersion = "ripmarrow test";
  for (uint8_t n = 1; n <= 3; ++n) log.layout.tracks.push_back({n, (n - 1u) * kTrackFrames, false});
  log.layout.leadOutLba = 3 * kTrackFrames;
  for (int n = 1; n <= 3; ++n) {
    proof::TrackChecksums sums(kTrackBytes / 4, proof::TrackPlaceOf(static_cast<size_t>(n - 1), 3));
    const std::string pcm = trackAudio(n);
    sums.add({reinterpret_cast<const uint8_t*>(pcm.data()), pcm.size()});
    client::RipLogTrack track;
    track.number = n;
    track.file = "0" + std::to_string(n) + ".wav";
    track.ripped = true;
    track.copyCrc = sums.values().copyCrc;
    track.accurateRipV1 = sums.values().accurateRipV1;
    track.accurateRipV2 = sums.values().accurateRipV2;
    log.tracks.push_back(track);
  }
  return log;
}

class RipCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm_rip_check.XXXXXX";
    folder_ = mkdtemp(pattern);
    for (int n = 1; n <= 3; ++n) {
      std::ofstream(path(n), std::ios::binary) << wavHeader(kTrackBytes) << trackAudio(n);
    }
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string path(int track) const { return folder_ + "/0" + std::to_string(track) + ".wav"; }
  std::vector<TrackCheck> check(const client::RipLog& log) const {
    std::vector<TrackCheck> checks;
    client::CheckRipFiles(folder_, log, [&](const TrackCheck& c) { checks.push_back(c); });
    return checks;
  }
  std::string folder_;
};

TEST_F(RipCheckTest, EveryFileOfARipMatchesItsLog) {
  const auto checks = check(threeTrackLog());
  ASSERT_EQ(checks.size(), 3u);
  for (const TrackCheck& c : checks) {
    EXPECT_EQ(c.kind, TrackCheck::Kind::kChecked) << c.detail;
    EXPECT_TRUE(c.matchesLog);
    EXPECT_EQ(c.pcmBytes, kTrackBytes);
  }
}

TEST_F(RipCheckTest, ALogThatRepeatsATrackIsRefusedAndAFileIsReadOnce) {
  // The campaign's flooded log: one track's section again and again.
  std::string text = client::RipLogText(threeTrackLog());
  const size_t section = text.find("\nTrack 2\n");
  const size_t next = text.find("\nTrack 3\n");
  text.insert(next, text.substr(section, next - section));
  std::string error;
  EXPECT_FALSE(client::ParseRipLog(text, error));
  EXPECT_NE(error.find("track 2 again (its section is at line"), std::string::npos) << error;

  // A track the table of contents does not hold.
  text = client::RipLogText(threeTrackLog());
  text.replace(text.find("\nTrack 3\n"), 9, "\nTrack 7\n");
  EXPECT_FALSE(client::ParseRipLog(text, error));
  EXPECT_NE(error.find("track 7 is not among the table of contents' 3 audio tracks"), std::string::npos) << error;

  // Tables of contents no CD has: backwards, or far longer than a CD.
  client::RipLog log = threeTrackLog();
  log.layout.tracks[2].startLba = 5;
  EXPECT_FALSE(client::ParseRipLog(client::RipLogText(log), error));
  EXPECT_NE(error.find("runs backwards at track 3"), std::string::npos) << error;
  log = threeTrackLog();
  log.layout.leadOutLba = 1'000'000'000;
  EXPECT_FALSE(client::ParseRipLog(client::RipLogText(log), error));
  EXPECT_NE(error.find("longer than a CD can be"), std::string::npos) << error;

  // A log made in memory with one file under several tracks: read once.
  log = threeTrackLog();
  log.tracks[1].file = log.tracks[2].file = log.tracks[0].file;
  log.tracks.push_back(log.tracks[0]);
  const auto checks = check(log);
  ASSERT_EQ(checks.size(), 4u);
  EXPECT_EQ(checks[0].kind, TrackCheck::Kind::kChecked);
  EXPECT_EQ(checks[1].detail, "the file of track 1, checked already");
  EXPECT_EQ(checks[3].detail, "the log names this track twice");
  uint64_t read = 0;
  for (const TrackCheck& c : checks) read += c.pcmBytes;
  EXPECT_EQ(read, kTrackBytes);
}

TEST_F(RipCheckTest, OnlyRegularFilesAreOpened) {
  fs::remove(path(2));
  ASSERT_EQ(mkfifo(path(2).c_str(), 0600), 0);  // a writer never comes: opening it would wait for ever
  fs::remove(path(3));
  fs::create_directory(path(3));
  const testing_support::FifoWatchdog watchdog(path(2));
  const auto checks = check(threeTrackLog());
  ASSERT_EQ(checks.size(), 3u);
  EXPECT_TRUE(checks[0].matchesLog);
  EXPECT_EQ(checks[1].kind, TrackCheck::Kind::kCannotCheck);
  EXPECT_EQ(checks[1].detail, "not a regular file");
  EXPECT_EQ(checks[2].detail, "not a regular file");
  std::string error;
  EXPECT_FALSE(client::ReadRegularFile(path(2), 1000, error));
  EXPECT_EQ(error, "not a regular file");
}

TEST_F(RipCheckTest, AFileLongerThanItsTrackIsRefusedBeforeItsAudioIsRead) {
  // The campaign's sparse WAV: 1.5 GB that take no disc space (truncate).
  std::ofstream(path(1), std::ios::binary | std::ios::trunc) << wavHeader(1'500'000'000u);
  fs::resize_file(path(1), 1'500'000'044u);
  // A data chunk longer than the track in a file small enough to pass the size check.
  std::ofstream(path(2), std::ios::binary | std::ios::trunc) << wavHeader(2 * kTrackBytes) << trackAudio(2)
                                                               << trackAudio(2);
  const auto checks = check(threeTrackLog());
  ASSERT_EQ(checks.size(), 3u);
  EXPECT_EQ(checks[0].detail, "larger than its track can be (1500000044 bytes; the track holds 23520 bytes of audio)");
  EXPECT_EQ(checks[1].detail, "it holds more audio than its track (47040 bytes; the track 23520)");
  EXPECT_EQ(checks[0].pcmBytes + checks[1].pcmBytes, 0u);
  EXPECT_TRUE(checks[2].matchesLog);
}

}  // namespace
