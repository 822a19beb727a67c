// ReplayGain 2.0 against an independent measurement: FFmpeg's ebur128
// filter measures the same audio (two tracks of different loudness, and
// the album as the two played one after the other); the gains agree within
// 0.1 dB. Also silence, too little audio, and the tag texts.
#include "client/replay_gain.h"
#include "tests/support/ffmpeg_loudness.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// `seconds` of a chord of sines plus noise at `level` (0..1), stereo.
std::vector<int16_t> music(double seconds, double level, uint32_t seed) {
  std::vector<int16_t> pcm;
  const size_t frames = static_cast<size_t>(seconds * 44100);
  uint32_t lcg = seed;
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / 44100.0;
    lcg = lcg * 1664525u + 1013904223u;
    const double noise = (static_cast<double>(lcg >> 8) / 16777216.0 - 0.5) * 0.3;
    // A slow swell, so that the gate has quieter blocks to weigh.
    const double swell = 0.6 + 0.4 * std::sin(2 * M_PI * 0.3 * t);
    const double left = level * swell * (0.5 * std::sin(2 * M_PI * 220 * t) + 0.3 * std::sin(2 * M_PI * 1760 * t) + noise);
    const double right = level * swell * (0.5 * std::sin(2 * M_PI * 330 * t) + 0.2 * std::sin(2 * M_PI * 5000 * t) + noise);
    pcm.push_back(static_cast<int16_t>(std::lround(left * 32767)));
    pcm.push_back(static_cast<int16_t>(std::lround(right * 32767)));
  }
  return pcm;
}

void putLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}

void writeWav(const std::string& path, const std::vector<int16_t>& pcm) {
  std::string wav = "RIFF";
  putLe(wav, static_cast<uint32_t>(36 + pcm.size() * 2), 4);
  wav += "WAVEfmt ";
  putLe(wav, 16, 4);
  putLe(wav, 1, 2);
  putLe(wav, 2, 2);
  putLe(wav, 44100, 4);
  putLe(wav, 44100 * 4, 4);
  putLe(wav, 4, 2);
  putLe(wav, 16, 2);
  wav += "data";
  putLe(wav, static_cast<uint32_t>(pcm.size() * 2), 4);
  std::ofstream out(path, std::ios::binary);
  out << wav;
  out.write(reinterpret_cast<const char*>(pcm.data()), static_cast<std::streamsize>(pcm.size() * 2));
}

// FFmpeg's integrated loudness of a file.
std::optional<double> ffmpegLoudness(const std::string& wav) {
  return test_support::FfmpegLoudness("-i '" + wav + "' -af ebur128");
}

class ReplayGainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm_replay_gain.XXXXXX";
    dir_ = mkdtemp(pattern);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string dir_;
};

TEST_F(ReplayGainTest, TracksAndAlbumAgreeWithFfmpegWithinATenthOfADecibel) {
  if (std::system("command -v ffmpeg > /dev/null") != 0) GTEST_SKIP() << "no ffmpeg to measure with";
  const std::vector<int16_t> loud = music(12, 0.7, 1);
  const std::vector<int16_t> quiet = music(9, 0.3, 2);
  std::vector<int16_t> both = loud;
  both.insert(both.end(), quiet.begin(), quiet.end());
  writeWav(dir_ + "/loud.wav", loud);
  writeWav(dir_ + "/quiet.wav", quiet);
  writeWav(dir_ + "/album.wav", both);

  client::LoudnessMeter first, second;
  // Fed as a rip feeds it, in blocks of sectors (588 frames each).
  for (size_t at = 0; at < loud.size(); at += 588 * 2 * 13)
    first.add(loud.data() + at, std::min<size_t>(588 * 13, (loud.size() - at) / 2));
  for (size_t at = 0; at < quiet.size(); at += 588 * 2 * 7)
    second.add(quiet.data() + at, std::min<size_t>(588 * 7, (quiet.size() - at) / 2));
  const auto a = client::TrackGain(first);
  const auto b = client::TrackGain(second);
  const auto album = client::AlbumGain({&first, &second});
  ASSERT_TRUE(a && b && album);

  const auto fa = ffmpegLoudness(dir_ + "/loud.wav");
  const auto fb = ffmpegLoudness(dir_ + "/quiet.wav");
  const auto falbum = ffmpegLoudness(dir_ + "/album.wav");
  ASSERT_TRUE(fa && fb && falbum);
  EXPECT_NEAR(a->gainDb, -18.0 - *fa, 0.1) << a->loudness << " LUFS, FFmpeg " << *fa;
  EXPECT_NEAR(b->gainDb, -18.0 - *fb, 0.1) << b->loudness << " LUFS, FFmpeg " << *fb;
  EXPECT_NEAR(album->gainDb, -18.0 - *falbum, 0.1) << album->loudness << " LUFS, FFmpeg " << *falbum;
  // The two tracks differ by some 7 dB; the album lies between them.
  EXPECT_GT(b->gainDb - a->gainDb, 6);
  EXPECT_GT(album->gainDb, a->gainDb);
  EXPECT_LT(album->gainDb, b->gainDb);
  // Peaks: the loud track's, linear, and the album's is the larger one.
  EXPECT_GT(a->peak, 0.5);
  EXPECT_LT(a->peak, 1.2);
  EXPECT_DOUBLE_EQ(album->peak, std::max(a->peak, b->peak));
}

TEST_F(ReplayGainTest, SilenceAndTooLittleAudioHaveNoGain) {
  client::LoudnessMeter silent, empty, brief;
  const std::vector<int16_t> zeros(44100 * 2 * 2, 0);
  silent.add(zeros.data(), zeros.size() / 2);
  const std::vector<int16_t> blip = music(0.1, 0.5, 3);
  brief.add(blip.data(), blip.size() / 2);
  EXPECT_FALSE(client::TrackGain(silent));
  EXPECT_FALSE(client::TrackGain(empty));
  EXPECT_FALSE(client::TrackGain(brief));
  EXPECT_FALSE(client::AlbumGain({&empty}));
  EXPECT_FALSE(client::AlbumGain({}));
  // Bytes as the disc holds them read as the same samples.
  client::LoudnessMeter fromSamples, fromBytes;
  const std::vector<int16_t> tone = music(2, 0.4, 4);
  fromSamples.add(tone.data(), tone.size() / 2);
  fromBytes.addBytes(reinterpret_cast<const uint8_t*>(tone.data()), tone.size() * 2);
  ASSERT_TRUE(client::TrackGain(fromSamples));
  EXPECT_DOUBLE_EQ(client::TrackGain(fromSamples)->loudness, client::TrackGain(fromBytes)->loudness);
}

TEST(ReplayGainText, TagsHaveTheirFormats) {
  EXPECT_EQ(client::GainText(-3.123), "-3.12 dB");
  EXPECT_EQ(client::GainText(4.5), "4.50 dB");
  EXPECT_EQ(client::PeakText(0.98852539), "0.988525");
  EXPECT_EQ(client::PeakText(1.0), "1.000000");
}

}  // namespace
