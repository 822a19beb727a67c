#include "outside/wavesmith2/audio_reader.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "outside/wavesmith2/audio_file.h"
#include "outside/wavesmith2/test_signals.h"

namespace wavesmith {
namespace {

std::vector<char> slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void spit(const std::string& path, const std::vector<char>& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class AudioReaderTest : public ::testing::Test {
 protected:
  // A 1 s tone file in the given format.
  std::string make(const std::string& name, const std::function<bool(AudioFile&)>& choose) {
    AudioFile f;
    EXPECT_TRUE(choose(f));
    const std::string path = dir_.file(name);
    EXPECT_EQ(f.createOutputFile(path), 0);
    const auto pcm = test::tone(44100, 2, 1.0, 440);
    EXPECT_TRUE(f.writeSamples(pcm.data(), pcm.size()));
    EXPECT_TRUE(f.closeFile());
    return path;
  }

  // Reads to the end; fails the test if the reads do not end.
  int64_t readAll(AudioReader& r) {
    int64_t frames = 0;
    for (int i = 0; i < 100000; ++i) {
      const auto block = r.read(4410);
      if (block.empty()) return frames;
      EXPECT_EQ(block.size() % static_cast<size_t>(r.frameSize()), 0u);
      frames += static_cast<int64_t>(block.size()) / r.frameSize();
    }
    ADD_FAILURE() << "reads never ended";
    return frames;
  }

  test::ScratchDir dir_;
};

TEST_F(AudioReaderTest, PropertiesAgreeAndReadsEndEmpty) {
  const std::string path = make("a.ogg", [](AudioFile& f) { return f.setFormatOGG(44100, 2, 128, 0, 0, 300); });
  AudioReader r;
  std::string error;
  ASSERT_TRUE(r.open(path, error)) << error;
  EXPECT_EQ(r.frameSize(), 2);
  EXPECT_EQ(r.durationMs(), r.lengthFrames() * 1000 / 44100);
  // The decoder may drop a part of the first block; never more.
  EXPECT_NEAR(static_cast<double>(readAll(r)), static_cast<double>(r.lengthFrames()), 1024);
  EXPECT_TRUE(r.read(100).empty());
  EXPECT_TRUE(r.read(100).empty());
}

TEST_F(AudioReaderTest, RequestedLayoutIsDeliveredResampled) {
  const std::string path = make("a.wav", [](AudioFile& f) { return f.setFormatPCM(44100, 2, 16); });
  AudioReader r;
  std::string error;
  ASSERT_TRUE(r.open(path, error, {22050, 1})) << error;
  EXPECT_EQ(r.layout(), (PcmLayout{22050, 1}));
  EXPECT_EQ(r.lengthFrames(), 22050);
  std::vector<int16_t> all;
  for (auto b = r.read(22050); !b.empty(); b = r.read(22050)) all.insert(all.end(), b.begin(), b.end());
  EXPECT_NEAR(static_cast<double>(all.size()), 22050, 50);
  EXPECT_NEAR(test::dominantHz(all, 1, 0, 22050), 440, 5);
}

TEST_F(AudioReaderTest, BadInputFailsToOpen) {
  AudioReader r;
  std::string error;
  EXPECT_FALSE(r.open(dir_.file("missing.mp3"), error));
  spit(dir_.file("empty.mp3"), {});
  EXPECT_FALSE(r.open(dir_.file("empty.mp3"), error));
  const std::string text = "This is not audio at all, just a few words of text.\n";
  spit(dir_.file("text.mp3"), std::vector<char>(text.begin(), text.end()));
  EXPECT_FALSE(r.open(dir_.file("text.mp3"), error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(r.open(dir_.file(""), error));  // a folder
  // A format we do not read (AU) is refused even though FFmpeg knows it.
  std::vector<char> au = {'.', 's', 'n', 'd', 0, 0, 0, 24, -1, -1, -1, -1, 0, 0, 0, 3, 0, 0, 0x1f, 0x40, 0, 0, 0, 1};
  au.resize(24 + 8000, 0);
  spit(dir_.file("a.au"), au);
  EXPECT_FALSE(r.open(dir_.file("a.au"), error));

  // Truncated inside the headers.
  for (const char* name : {"t.ogg", "t.wma", "t.wav"}) {
    const std::string ext = std::string(name).substr(2);
    const std::string full = make(std::string("full.") + ext, [&](AudioFile& f) {
      return ext == "ogg" ? f.setFormatOGG(44100, 2, 128, 0, 0, 300)
             : ext == "wma" ? f.setFormatWMA(10) : f.setFormatPCM(44100, 2, 16);
    });
    auto bytes = slurp(full);
    bytes.resize(30);
    spit(dir_.file(name), bytes);
    EXPECT_FALSE(r.open(dir_.file(name), error)) << name;
  }
}

TEST_F(AudioReaderTest, TruncatedAndLyingFilesEndTheirReads) {
  for (const char* ext : {"mp3", "mp2", "ogg", "wma", "wav"}) {
    SCOPED_TRACE(ext);
    const std::string e = ext;
    const std::string full = make("full." + e, [&](AudioFile& f) {
      if (e == "mp3") return f.setFormatMP3(44100, 128, 2);
      if (e == "mp2") return f.setFormatMP2(44100, 128, 2);
      if (e == "ogg") return f.setFormatOGG(44100, 2, 128, 0, 0, 300);
      if (e == "wma") return f.setFormatWMA(10);
      return f.setFormatPCM(44100, 2, 16);
    });
    auto bytes = slurp(full);
    // Cut in the middle of the audio: opens, reads end early.
    auto half = bytes;
    half.resize(bytes.size() / 2);
    spit(dir_.file("half." + e), half);
    AudioReader r;
    std::string error;
    if (r.open(dir_.file("half." + e), error)) {
      EXPECT_LT(readAll(r), 44100);
    }
    // Garbage after the audio changes nothing for the caller.
    auto tail = bytes;
    for (int i = 0; i < 20000; ++i) tail.push_back(static_cast<char>(i * 7919));
    spit(dir_.file("tail." + e), tail);
    ASSERT_TRUE(r.open(dir_.file("tail." + e), error)) << error;
    EXPECT_LT(readAll(r), 44100 * 3);
  }
}

TEST_F(AudioReaderTest, WavClaimingMoreThanItHoldsReportsWhatItHolds) {
  auto bytes = slurp(make("a.wav", [](AudioFile& f) { return f.setFormatPCM(44100, 2, 16); }));
  ASSERT_GT(bytes.size(), 44u);
  // RIFF and data sizes claim ~2 GB.
  for (size_t at : {size_t{4}, size_t{40}}) {
    bytes[at] = 0x00; bytes[at + 1] = 0x00; bytes[at + 2] = 0x00; bytes[at + 3] = 0x7f;
  }
  spit(dir_.file("lying.wav"), bytes);
  AudioReader r;
  std::string error;
  ASSERT_TRUE(r.open(dir_.file("lying.wav"), error)) << error;
  EXPECT_LE(r.lengthFrames(), 44100 + 16);
  EXPECT_EQ(readAll(r), 44100);
}

}  // namespace
}  // namespace wavesmith
