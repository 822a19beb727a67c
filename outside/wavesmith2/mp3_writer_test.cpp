#include "outside/wavesmith2/mp3_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "outside/wavesmith2/test_signals.h"

namespace wavesmith {
namespace {

constexpr double kSeconds = 2.0;

std::vector<unsigned char> encode(const LameSettings& s, const std::string& path) {
  Mp3Writer writer(s);
  std::string error;
  EXPECT_TRUE(writer.open(path, error)) << error;
  const auto pcm = test::tone(s.frequency_hz, s.channels, kSeconds, 1000);
  EXPECT_TRUE(writer.write(pcm.data(), pcm.size() / static_cast<size_t>(s.channels), error)) << error;
  EXPECT_TRUE(writer.close(error)) << error;
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The 32-bit header of the frame at `offset`.
uint32_t frameHeader(const std::vector<unsigned char>& f, size_t offset = 0) {
  return (uint32_t{f[offset]} << 24) | (uint32_t{f[offset + 1]} << 16) | (uint32_t{f[offset + 2]} << 8) | f[offset + 3];
}

bool contains(const std::vector<unsigned char>& f, const std::string& text, size_t limit) {
  const auto end = f.begin() + static_cast<ptrdiff_t>(std::min(limit, f.size()));
  return std::search(f.begin(), end, text.begin(), text.end()) != end;
}

double kbps(const std::string& path) { return std::filesystem::file_size(path) * 8.0 / kSeconds / 1000.0; }

class Mp3WriterTest : public ::testing::Test {
 protected:
  test::ScratchDir dir_;
};

TEST_F(Mp3WriterTest, EveryVbrMethodWritesAVbrHeaderAndStaysWithinItsRates) {
  for (int method : {0, 1, 2, 3}) {
    SCOPED_TRACE(method);
    LameSettings s;
    s.vbr_method = static_cast<int16_t>(method);
    s.vbr_quality = 4;
    s.bitrate_kbps = 32;
    s.vbr_bitrate_kbps = 192;
    const std::string path = dir_.file("vbr.mp3");
    const auto f = encode(s, path);
    ASSERT_GT(f.size(), 1000u);
    EXPECT_TRUE(contains(f, "Xing", 64));
    EXPECT_LT(kbps(path), 200);
    const auto d = test::decodeAll(path);
    // The header gives the exact length: encoder delay and padding are cut.
    EXPECT_NEAR(d.duration_ms, kSeconds * 1000, 30);
    EXPECT_NEAR(test::dominantHz(d.samples, 2, 0, 44100), 1000, 10);
  }
}

TEST_F(Mp3WriterTest, CbrAndAbrRatesLandWhereAsked) {
  LameSettings cbr;
  cbr.bitrate_kbps = 192;
  encode(cbr, dir_.file("cbr.mp3"));
  EXPECT_NEAR(kbps(dir_.file("cbr.mp3")), 192, 12);
  const auto f = encode(cbr, dir_.file("cbr.mp3"));
  EXPECT_EQ((frameHeader(f) >> 12) & 0xF, 11u);  // MPEG-1 Layer III index 11 = 192
  EXPECT_TRUE(contains(f, "Info", 64));          // CBR files carry the same header as "Info"

  LameSettings abr;
  abr.vbr_method = static_cast<int16_t>(VbrMethod::kAbr);
  abr.abr_bitrate_kbps = 96;
  const auto a = encode(abr, dir_.file("abr.mp3"));
  EXPECT_TRUE(contains(a, "Xing", 64));
  EXPECT_NEAR(kbps(dir_.file("abr.mp3")), 96, 25);
}

TEST_F(Mp3WriterTest, FrameHeaderBitsFollowTheSettings) {
  LameSettings s;
  s.write_vbr_header = 0;
  s.error_protection = 1;
  s.emphasis = 1;
  s.copyright = true;
  s.original = false;
  s.stereo_mode = static_cast<int16_t>(StereoMode::kDualChannel);
  const auto f = encode(s, dir_.file("bits.mp3"));
  EXPECT_FALSE(contains(f, "Xing", 64));
  EXPECT_FALSE(contains(f, "Info", 64));
  const uint32_t h = frameHeader(f);
  EXPECT_EQ(h >> 21, 0x7FFu);            // sync
  EXPECT_EQ((h >> 16) & 1, 0u);          // 0: protected by CRC
  EXPECT_EQ((h >> 6) & 3, 2u);           // dual channel
  EXPECT_EQ((h >> 3) & 1, 1u);           // copyright
  EXPECT_EQ((h >> 2) & 1, 0u);           // copy, not original
  EXPECT_EQ(h & 3, 1u);                  // 50/15 µs emphasis

  LameSettings mono;
  mono.channels = 1;
  mono.frequency_hz = 22050;
  mono.bitrate_kbps = 64;
  const auto m = encode(mono, dir_.file("mono.mp3"));
  const uint32_t mh = frameHeader(m);
  EXPECT_EQ((mh >> 6) & 3, 3u);          // mono
  EXPECT_EQ((mh >> 19) & 3, 2u);         // MPEG-2
}

TEST_F(Mp3WriterTest, FiltersAndSwitchesReachTheEncoder) {
  // A 1 kHz tone through a 400 Hz high-pass of narrow width is gone; with
  // no filter it is there.
  LameSettings s;
  s.highpass_hz = 3000;
  s.highpass_width_hz = 100;
  s.reservoir_off = 1;
  s.short_blocks_off = 1;
  s.block_type_control = 1;
  s.strict_iso = 1;
  s.ath_mode = 2;
  s.encoder_quality = 2;
  encode(s, dir_.file("hp.mp3"));
  const auto d = test::decodeAll(dir_.file("hp.mp3"));
  int peak = 0;
  for (size_t i = d.samples.size() / 4; i < d.samples.size() * 3 / 4; ++i) peak = std::max(peak, std::abs(int{d.samples[i]}));
  EXPECT_LT(peak, 3000);

  LameSettings low;
  low.lowpass_hz = 500;
  low.lowpass_width_hz = 100;
  encode(low, dir_.file("lp.mp3"));
  const auto l = test::decodeAll(dir_.file("lp.mp3"));
  peak = 0;
  for (size_t i = l.samples.size() / 4; i < l.samples.size() * 3 / 4; ++i) peak = std::max(peak, std::abs(int{l.samples[i]}));
  EXPECT_LT(peak, 3000);
}

TEST(Mp3WriterProbe, RefusesWhatLameWouldChange) {
  LameSettings s;
  EXPECT_EQ(Mp3Writer::probe(s), "");
  s.bitrate_kbps = 350;
  EXPECT_NE(Mp3Writer::probe(s), "");
  s.bitrate_kbps = 128;
  s.frequency_hz = 88200;
  EXPECT_NE(Mp3Writer::probe(s), "");
  s.frequency_hz = 8000;  // VBR ceiling 192 is capped at 64, not refused
  s.vbr_method = 0;
  s.bitrate_kbps = 0;
  EXPECT_EQ(Mp3Writer::probe(s), "");
  s.emphasis = 2;
  EXPECT_NE(Mp3Writer::probe(s), "");
}

}  // namespace
}  // namespace wavesmith
