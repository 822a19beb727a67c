#include "outside/wavesmith2/audio_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>

#include "outside/wavesmith2/test_signals.h"

namespace wavesmith {
namespace {

using test::decodeAll;
using test::dominantHz;
using test::tone;

constexpr double kToneHz = 1000.0;
constexpr double kSeconds = 1.5;

// Writes 1.5 s of a 1 kHz tone at 44100 Hz stereo (the engine's layout)
// through `file`'s chosen format, in two calls.
void writeTone(AudioFile& file, const std::string& path, bool input_first = false) {
  if (input_first) {
    ASSERT_TRUE(file.setInputFormat(44100, 2));
  }
  ASSERT_EQ(file.createOutputFile(path), 0) << file.lastError();
  if (!input_first) {
    ASSERT_TRUE(file.setInputFormat(44100, 2));
  }
  const auto pcm = tone(44100, 2, kSeconds, kToneHz);
  const size_t half = pcm.size() / 2 + 1;  // odd split: a frame crosses the calls
  ASSERT_TRUE(file.writeSamples(pcm.data(), half)) << file.lastError();
  ASSERT_TRUE(file.writeSamples(pcm.data() + half, pcm.size() - half)) << file.lastError();
  ASSERT_TRUE(file.closeFile()) << file.lastError();
}

// Decodes `path` and checks the layout, the length (within what encoder
// delay and padding add) and the tone.
void expectTone(const std::string& path, int rate_hz, int channels, int64_t slack_ms = 120) {
  const auto d = decodeAll(path);
  ASSERT_EQ(d.rate_hz, rate_hz) << path;
  ASSERT_EQ(d.channels, channels) << path;
  const int64_t decoded_ms = static_cast<int64_t>(d.samples.size() / static_cast<size_t>(channels)) * 1000 / rate_hz;
  EXPECT_NEAR(decoded_ms, kSeconds * 1000, slack_ms) << path;
  EXPECT_NEAR(d.duration_ms, kSeconds * 1000, slack_ms) << path;
  EXPECT_EQ(d.duration_ms, d.length_frames * 1000 / rate_hz);
  for (int c = 0; c < channels; ++c) EXPECT_NEAR(dominantHz(d.samples, channels, c, rate_hz), kToneHz, 10) << path;
}

class AudioFileTest : public ::testing::Test {
 protected:
  test::ScratchDir dir_;
  AudioFile file_;
};

TEST_F(AudioFileTest, WavRoundTripIsExact) {
  ASSERT_TRUE(file_.setFormatPCM(44100, 2, 16));
  const std::string path = dir_.file("a.wav");
  writeTone(file_, path);
  const auto d = decodeAll(path);
  EXPECT_EQ(d.samples, tone(44100, 2, kSeconds, kToneHz));
  EXPECT_EQ(d.length_frames, static_cast<int64_t>(kSeconds * 44100));
}

TEST_F(AudioFileTest, EveryFormatFamilyCarriesTheTone) {
  struct Case {
    const char* name;
    std::function<bool(AudioFile&)> choose;
    int rate_hz, channels;
  };
  const std::vector<Case> cases = {
      {"mono22.wav", [](AudioFile& f) { return f.setFormatPCM(22050, 1, 16); }, 22050, 1},
      {"cbr.mp3", [](AudioFile& f) { return f.setFormatMP3(44100, 128, 2); }, 44100, 2},
      {"mpeg2.mp3", [](AudioFile& f) { return f.setFormatMP3(22050, 64, 1); }, 22050, 1},
      {"mpeg25.mp3", [](AudioFile& f) { return f.setFormatMP3(11025, 32, 2); }, 11025, 2},
      {"a.mp2", [](AudioFile& f) { return f.setFormatMP2(44100, 192, 2); }, 44100, 2},
      {"lsf.mp2", [](AudioFile& f) { return f.setFormatMP2(24000, 64, 1); }, 24000, 1},
      {"q.ogg", [](AudioFile& f) { return f.setFormatOGG(44100, 2, 128, 0, 0, 300); }, 44100, 2},
      {"br.ogg", [](AudioFile& f) { return f.setFormatOGG(32000, 1, 64, 0, 0, -1); }, 32000, 1},
      {"minmax.ogg", [](AudioFile& f) { return f.setFormatOGG(44100, 2, 128, 96, 160, -1); }, 44100, 2},
      {"p10.wma", [](AudioFile& f) { return f.setFormatWMA(10); }, 44100, 2},
      {"p16.wma", [](AudioFile& f) { return f.setFormatWMA(16); }, 44100, 1},
      {"p1.wma", [](AudioFile& f) { return f.setFormatWMA(1); }, 48000, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AudioFile file;
    ASSERT_TRUE(c.choose(file)) << file.formatString();
    writeTone(file, dir_.file(c.name));
    expectTone(dir_.file(c.name), c.rate_hz, c.channels);
  }
}

TEST_F(AudioFileTest, OneFormatServesSeveralFilesInBothCallOrders) {
  ASSERT_TRUE(file_.setFormatOGG(44100, 2, 128, 0, 0, 400));
  writeTone(file_, dir_.file("1.ogg"), false);
  writeTone(file_, dir_.file("2.ogg"), true);
  expectTone(dir_.file("1.ogg"), 44100, 2);
  expectTone(dir_.file("2.ogg"), 44100, 2);
}

TEST_F(AudioFileTest, InputLayoutIsResampledAndRemixed) {
  ASSERT_TRUE(file_.setFormatPCM(22050, 1, 16));
  ASSERT_EQ(file_.createOutputFile(dir_.file("r.wav")), 0);
  ASSERT_TRUE(file_.setInputFormat(48000, 2));
  const auto pcm = tone(48000, 2, kSeconds, kToneHz);
  ASSERT_TRUE(file_.writeSamples(pcm.data(), pcm.size()));
  ASSERT_TRUE(file_.closeFile());
  expectTone(dir_.file("r.wav"), 22050, 1, 5);
}

TEST_F(AudioFileTest, OggBitRateModeLandsNearItsRates) {
  const auto pcm = test::noise(44100, 2, 3.0);
  auto kbps = [&](int nominal, int min, int max) {
    EXPECT_TRUE(file_.setFormatOGG(44100, 2, nominal, min, max, -1)) << file_.formatString();
    EXPECT_EQ(file_.createOutputFile(dir_.file("br.ogg")), 0);
    EXPECT_TRUE(file_.writeSamples(pcm.data(), pcm.size()));
    EXPECT_TRUE(file_.closeFile());
    return std::filesystem::file_size(dir_.file("br.ogg")) * 8.0 / 3.0 / 1000.0;
  };
  EXPECT_NEAR(kbps(128, 0, 0), 128, 20);
  EXPECT_NEAR(kbps(96, 0, 0), 96, 15);
  EXPECT_LT(kbps(128, 0, 136), 136 + 14);  // a hard limit; ~4 KB of headers on top
  EXPECT_FALSE(file_.setFormatOGG(44100, 2, 192, 0, 112, -1));
  EXPECT_FALSE(AudioFile::isAvailableFormatOGG(44100, 2, 128, 160, 0));
}

TEST_F(AudioFileTest, RefusedFormatNeverCreatesAFile) {
  EXPECT_FALSE(file_.setFormatMP3(96000, 128, 2));
  EXPECT_NE(file_.createOutputFile(dir_.file("x.mp3")), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("x.mp3")));
  EXPECT_NE(file_.formatString().find("96000"), std::string::npos);

  EXPECT_FALSE(file_.setFormatWMA(48));
  EXPECT_NE(file_.createOutputFile(dir_.file("x.wma")), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("x.wma")));
  EXPECT_NE(file_.formatString().find("48"), std::string::npos);

  EXPECT_FALSE(file_.setFormatPCM(44100, 2, 12));
  EXPECT_FALSE(file_.setFormatOGG(44100, 2, 0, 0, 0, -1));
  EXPECT_FALSE(file_.setFormatMP2(44100, 100, 2));
}

TEST_F(AudioFileTest, UncreatablePathGivesNonZeroStatus) {
  ASSERT_TRUE(file_.setFormatMP3(44100, 128, 2));
  EXPECT_EQ(file_.createOutputFile(dir_.file("no/such/folder/x.mp3")), AudioFile::kStatusCannotCreate);
  ASSERT_TRUE(file_.setFormatPCM(44100, 2, 16));
  EXPECT_EQ(file_.createOutputFile(dir_.file("no/such/folder/x.wav")), AudioFile::kStatusCannotCreate);
  EXPECT_FALSE(file_.isOpen());
  EXPECT_FALSE(file_.writeSamples(nullptr, 0));
}

// The folder is removed while each format writes into it: closing fails
// with a non-zero status instead of reporting a file nobody can reach.
TEST_F(AudioFileTest, AFileRemovedWhileItWasWrittenDoesNotCloseAsASuccess) {
  const auto pcm = tone(44100, 2, 0.5, kToneHz);
  for (int format = 0; format < 6; ++format) {
    SCOPED_TRACE(format);
    const bool chosen = format == 0   ? file_.setFormatPCM(44100, 2, 16)
                        : format == 1 ? file_.setFormatMP3(44100, 128, 2)
                        : format == 2 ? file_.setFormatOGG(44100, 2, 128, 0, 0, -1)
                        : format == 3 ? file_.setFormatMP2(44100, 192, 2)
                        : format == 4 ? file_.setFormatWMA(10)
                                      : file_.setFormatFLAC(5);
    ASSERT_TRUE(chosen);
    const std::string folder = dir_.file("album" + std::to_string(format));
    std::filesystem::create_directory(folder);
    ASSERT_EQ(file_.createOutputFile(folder + "/a"), 0) << file_.lastError();
    ASSERT_TRUE(file_.setInputFormat(44100, 2));
    ASSERT_TRUE(file_.writeSamples(pcm.data(), pcm.size()));
    std::filesystem::remove_all(folder);
    file_.writeSamples(pcm.data(), pcm.size());
    EXPECT_FALSE(file_.closeFile());
    EXPECT_EQ(file_.fileStatus(), AudioFile::kStatusWriteFailed);
  }
}

TEST(AudioFileAvailability, Mp3AnswersFollowTheMpegVersionOfTheRate) {
  EXPECT_TRUE(AudioFile::isAvailableFormatMP3(44100, 320, 2));
  EXPECT_FALSE(AudioFile::isAvailableFormatMP3(44100, 16, 2));   // MPEG-1 has no 16
  EXPECT_TRUE(AudioFile::isAvailableFormatMP3(22050, 16, 1));
  EXPECT_FALSE(AudioFile::isAvailableFormatMP3(22050, 192, 2));  // MPEG-2 tops at 160
  EXPECT_TRUE(AudioFile::isAvailableFormatMP3(22050, 144, 2));
  EXPECT_FALSE(AudioFile::isAvailableFormatMP3(8000, 80, 1));    // MPEG-2.5 tops at 64
  EXPECT_FALSE(AudioFile::isAvailableFormatMP3(96000, 128, 2));
  EXPECT_FALSE(AudioFile::isAvailableFormatMP3(44100, 350, 2));
  EXPECT_FALSE(AudioFile::isAvailableFormatMP3(44100, 0, 2));
  EXPECT_FALSE(AudioFile::isAvailableFormatMP3(44100, 128, 3));
}

// Every combination the availability questions accept must encode.
TEST(AudioFileAvailability, EveryAcceptedCombinationEncodes) {
  test::ScratchDir dir;
  const int rates[] = {6000, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 88200, 96000};
  const int bitrates[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 350};
  int accepted_mp3 = 0, accepted_ogg = 0;
  for (int rate : rates) {
    for (int channels : {1, 2}) {
      const auto pcm = tone(44100, 2, 0.05, kToneHz);
      for (int br : bitrates) {
        if (AudioFile::isAvailableFormatMP3(rate, br, channels)) {
          ++accepted_mp3;
          AudioFile f;
          ASSERT_TRUE(f.setFormatMP3(rate, br, channels)) << rate << " " << br << " " << f.formatString();
          ASSERT_EQ(f.createOutputFile(dir.file("a.mp3")), 0);
          ASSERT_TRUE(f.writeSamples(pcm.data(), pcm.size()));
          ASSERT_TRUE(f.closeFile());
        }
        for (int min_br : {0, br / 2}) {
          for (int max_br : {0, br * 2}) {
            if (!AudioFile::isAvailableFormatOGG(rate, channels, br, min_br, max_br)) continue;
            ++accepted_ogg;
            AudioFile f;
            ASSERT_TRUE(f.setFormatOGG(rate, channels, br, min_br, max_br, -1)) << f.formatString();
            ASSERT_EQ(f.createOutputFile(dir.file("a.ogg")), 0);
            ASSERT_TRUE(f.writeSamples(pcm.data(), pcm.size()));
            ASSERT_TRUE(f.closeFile());
          }
        }
      }
    }
  }
  EXPECT_GT(accepted_mp3, 100);
  EXPECT_GT(accepted_ogg, 50);
  EXPECT_FALSE(AudioFile::isAvailableFormatOGG(44100, 2, 8, 0, 0));  // libvorbis has no 8 kbit/s stereo at 44.1 kHz
}

}  // namespace
}  // namespace wavesmith
