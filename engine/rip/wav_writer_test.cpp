#include "engine/rip/wav_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/rip/format_rules.h"
#include "engine/rip/pcm_buffer.h"

namespace engine {
namespace {

namespace fs = std::filesystem;

uint32_t le32(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 |
         static_cast<uint8_t>(s[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}

TEST(WavWriter, HeaderIs46BytesWithAnEighteenByteFormatChunk) {
  const fs::path path = fs::temp_directory_path() / ("wav_writer_" + std::to_string(::getpid()) + ".wav");
  WavWriter w;
  ASSERT_TRUE(w.open(path.string()));
  std::string pcm(2352 * 3, '\x7f');
  ASSERT_TRUE(w.append(pcm.data(), pcm.size()));
  EXPECT_TRUE(w.closeData());
  EXPECT_TRUE(w.closeRiff());
  EXPECT_TRUE(w.closeFile());
  std::ifstream in(path, std::ios::binary);
  const std::string f{std::istreambuf_iterator<char>(in), {}};
  fs::remove(path);
  ASSERT_EQ(f.size(), 46 + pcm.size());
  const std::string header =
      std::string("RIFF") + std::string(4, '\0') + "WAVEfmt " + std::string("\x12\0\0\0\x01\0\x02\0\x44\xac\0\0\x10\xb1\x02\0\x04\0\x10\0\0\0", 22) + "data";
  EXPECT_EQ(f.substr(8, 34), header.substr(8, 34));
  EXPECT_EQ(le32(f, 4), f.size() - 8);
  EXPECT_EQ(le32(f, 42), pcm.size());
  EXPECT_EQ(f.substr(46), pcm);
}

TEST(WavWriter, AFolderThatDoesNotExistIsRefused) {
  WavWriter w;
  EXPECT_FALSE(w.open("/nonexistent-folder-of-ripmarrow/x.wav"));
  EXPECT_FALSE(w.isOpen());
}

TEST(FormatRules, UnknownValuesBecomeTheDefaults) {
  EXPECT_EQ(normaliseFrequency(44000), 44100);
  EXPECT_EQ(normaliseFrequency(22050), 22050);
  EXPECT_EQ(normaliseFrequency(0), 44100);
  EXPECT_EQ(normaliseBitrate(130), 0);
  EXPECT_EQ(normaliseBitrate(350), 350);
  EXPECT_EQ(normaliseChannels(3), 2);
  EXPECT_EQ(normaliseChannels(1), 1);
  EXPECT_EQ(normaliseStereoMode(4), 4);
  EXPECT_EQ(normaliseStereoMode(5), 1);
  EXPECT_EQ(normaliseVbrMethod(5), -1);
  EXPECT_EQ(normaliseVbrMethod(0), 0);
}

TEST(PcmBuffer, TheConsumerSeesOnlyWholeSampleFramesAndNeverPastTheEnd) {
  PcmBuffer b;
  ASSERT_TRUE(b.allocate(10));
  EXPECT_TRUE(b.append("abcdef", 6));
  EXPECT_EQ(b.pendingBytes(), 4u);
  EXPECT_FALSE(b.append("abcdef", 6));  // full: nothing written
  b.advanceRead(4);
  EXPECT_EQ(b.pendingBytes(), 0u);
  EXPECT_TRUE(b.append(nullptr, 2));
  EXPECT_EQ(b.pendingBytes(), 4u);
}

TEST(PcmBuffer, TheRingIsBoundedWrapsAndHandsOnEveryByteInOrder) {
  PcmBuffer big;
  ASSERT_TRUE(big.allocate(size_t{900} << 20));  // a 79-minute track asks for this much
  EXPECT_EQ(big.capacityBytes(), PcmBuffer::kMaxRingBytes);
  big.release();

  PcmBuffer b;
  ASSERT_TRUE(b.allocate(16));
  std::string out;
  uint8_t next = 0;
  for (int round = 0; round < 20; ++round) {
    uint8_t chunk[12];
    for (uint8_t& c : chunk) c = next++;
    size_t put = 0;
    while (put < sizeof chunk) {
      const size_t n = b.appendSome(chunk + put, sizeof chunk - put);
      put += n;
      if (n == 0) {
        ASSERT_FALSE(b.append(chunk, 4));  // full: the producer waits
        // The consumer takes what lies in one piece, then the rest.
        for (size_t p = b.pendingBytes(); p > 0; p = b.pendingBytes()) {
          out.append(reinterpret_cast<const char*>(b.readPointer()), p);
          b.advanceRead(p);
        }
      }
    }
  }
  for (size_t p = b.pendingBytes(); p > 0; p = b.pendingBytes()) {
    out.append(reinterpret_cast<const char*>(b.readPointer()), p);
    b.advanceRead(p);
  }
  ASSERT_EQ(out.size(), 240u);
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(static_cast<uint8_t>(out[i]), static_cast<uint8_t>(i)) << i;
  EXPECT_EQ(b.readOffset(), 240u);
}

}  // namespace
}  // namespace engine
