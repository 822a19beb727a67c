#include "outside/wavesmith2/flac_writer.h"

#include <gtest/gtest.h>

#include <FLAC/stream_decoder.h>

extern "C" {
#include <libavutil/md5.h>
}

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "outside/wavesmith2/audio_file.h"
#include "outside/wavesmith2/test_signals.h"

namespace wavesmith {
namespace {

// What libFLAC's own decoder finds in a file.
struct LibFlacDecoded {
  bool ok = false;  // decoded to the end, MD5 checked, no error reported
  FLAC__StreamMetadata_StreamInfo info{};
  std::vector<FLAC__StreamMetadata_SeekPoint> seek_points;
  std::vector<int16_t> samples;
};

FLAC__StreamDecoderWriteStatus onFrame(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                       const FLAC__int32* const buffer[], void* data) {
  auto& d = *static_cast<LibFlacDecoded*>(data);
  for (uint32_t i = 0; i < frame->header.blocksize; ++i)
    for (uint32_t c = 0; c < frame->header.channels; ++c) d.samples.push_back(static_cast<int16_t>(buffer[c][i]));
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void onMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block, void* data) {
  auto& d = *static_cast<LibFlacDecoded*>(data);
  if (block->type == FLAC__METADATA_TYPE_STREAMINFO) d.info = block->data.stream_info;
  if (block->type == FLAC__METADATA_TYPE_SEEKTABLE)
    d.seek_points.assign(block->data.seek_table.points, block->data.seek_table.points + block->data.seek_table.num_points);
}

void onError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* data) {
  static_cast<LibFlacDecoded*>(data)->ok = false;
}

// Decodes `path` with libFLAC from the start, or from `seek_to` (a sample
// frame) after the metadata.
LibFlacDecoded decodeWithLibFlac(const std::string& path, int64_t seek_to = -1) {
  LibFlacDecoded d;
  FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
  FLAC__stream_decoder_set_md5_checking(decoder, seek_to < 0);
  FLAC__stream_decoder_set_metadata_respond(decoder, FLAC__METADATA_TYPE_SEEKTABLE);
  if (FLAC__stream_decoder_init_file(decoder, path.c_str(), onFrame, onMetadata, onError, &d) ==
      FLAC__STREAM_DECODER_INIT_STATUS_OK) {
    d.ok = true;
    bool done = FLAC__stream_decoder_process_until_end_of_metadata(decoder);
    if (done && seek_to >= 0) done = FLAC__stream_decoder_seek_absolute(decoder, static_cast<FLAC__uint64>(seek_to));
    done = done && FLAC__stream_decoder_process_until_end_of_stream(decoder);
    // finish answers false when the MD5 of the decoded audio differs.
    d.ok = FLAC__stream_decoder_finish(decoder) && done && d.ok;
  }
  FLAC__stream_decoder_delete(decoder);
  return d;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The file offset of the first audio frame: past "fLaC" and the metadata blocks.
size_t audioOffset(const std::string& bytes) {
  size_t at = 4;
  for (bool last = false; !last && at + 4 <= bytes.size();) {
    const auto* h = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    last = (h[0] & 0x80) != 0;
    at += 4 + ((size_t{h[1]} << 16) | (size_t{h[2]} << 8) | h[3]);
  }
  return at;
}

std::array<uint8_t, 16> md5Of(const std::vector<int16_t>& pcm) {
  std::array<uint8_t, 16> sum{};
  av_md5_sum(sum.data(), reinterpret_cast<const uint8_t*>(pcm.data()), pcm.size() * sizeof(int16_t));
  return sum;
}

// Music-like test audio that no encoder shrinks to nothing: a tone over noise.
std::vector<int16_t> program(int rate_hz, int channels, double seconds) {
  auto pcm = test::tone(rate_hz, channels, seconds, 440);
  const auto hiss = test::noise(rate_hz, channels, seconds);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>(pcm[i] / 2 + hiss[i] / 4);
  return pcm;
}

// Writes `pcm` through the codec facade in uneven pieces.
void writeFlac(AudioFile& file, const std::string& path, const std::vector<int16_t>& pcm, PcmLayout input) {
  ASSERT_EQ(file.createOutputFile(path), 0) << file.lastError();
  ASSERT_TRUE(file.setInputFormat(input.rate_hz, input.channels));
  size_t at = 0;
  for (size_t piece = 88199; at < pcm.size(); piece = piece * 3 / 2) {
    const size_t n = std::min(piece, pcm.size() - at);
    ASSERT_TRUE(file.writeSamples(pcm.data() + at, n)) << file.lastError();
    at += n;
  }
  ASSERT_TRUE(file.closeFile()) << file.lastError();
}

class FlacWriterTest : public ::testing::Test {
 protected:
  test::ScratchDir dir_;
};

// Byte-exact through both decoders at the fastest, the default and the
// smallest level; STREAMINFO holds the length and the MD5 of the PCM fed;
// the seek table points at frames, one every ten seconds, and seeking lands.
TEST_F(FlacWriterTest, LevelsZeroFiveEightDecodeExactlyWithSignatureAndSeekTable) {
  const auto pcm = program(44100, 2, 25.0);
  const int64_t frames = static_cast<int64_t>(pcm.size() / 2);
  uintmax_t previous_size = 0;
  for (int level : {0, 5, 8}) {
    SCOPED_TRACE(level);
    AudioFile file;
    ASSERT_TRUE(file.setFormatFLAC(level)) << file.formatString();
    EXPECT_EQ(file.formatString(), "FLAC, compression level " + std::to_string(level));
    const std::string path = dir_.file("l" + std::to_string(level) + ".flac");
    writeFlac(file, path, pcm, {44100, 2});

    const LibFlacDecoded d = decodeWithLibFlac(path);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.samples, pcm);
    EXPECT_EQ(d.info.total_samples, static_cast<uint64_t>(frames));
    EXPECT_EQ(d.info.sample_rate, 44100u);
    EXPECT_EQ(d.info.channels, 2u);
    EXPECT_EQ(d.info.bits_per_sample, 16u);
    const auto md5 = md5Of(pcm);
    EXPECT_TRUE(std::equal(md5.begin(), md5.end(), d.info.md5sum));

    const test::Decoded ff = test::decodeAll(path);  // FFmpeg, as the converter and playback read it
    EXPECT_EQ(ff.samples, pcm);
    EXPECT_EQ(ff.length_frames, frames);

    const std::string bytes = slurp(path);
    const size_t audio = audioOffset(bytes);
    std::vector<uint64_t> points;
    for (const auto& p : d.seek_points) {
      if (p.sample_number == FLAC__STREAM_METADATA_SEEKPOINT_PLACEHOLDER) continue;
      points.push_back(p.sample_number);
      ASSERT_LT(audio + p.stream_offset + 1, bytes.size());
      EXPECT_EQ(static_cast<unsigned char>(bytes[audio + p.stream_offset]), 0xFF);  // a frame's sync code
      EXPECT_EQ(static_cast<unsigned char>(bytes[audio + p.stream_offset + 1]) & 0xFE, 0xF8);
      EXPECT_GT(p.frame_samples, 0u);
    }
    ASSERT_EQ(points.size(), 3u);  // 0, 10 and 20 s
    EXPECT_EQ(points[0], 0u);
    EXPECT_LE(points[1], 441000u);
    EXPECT_GT(points[1] + 4608, 441000u);

    const int64_t target = 20 * 44100 + 123;
    const LibFlacDecoded from = decodeWithLibFlac(path, target);
    ASSERT_TRUE(from.ok);
    ASSERT_EQ(from.samples.size(), pcm.size() - static_cast<size_t>(target) * 2);
    EXPECT_TRUE(std::equal(from.samples.begin(), from.samples.end(), pcm.begin() + target * 2));

    // Higher levels never make the file bigger here.
    const uintmax_t size = std::filesystem::file_size(path);
    if (previous_size) {
      EXPECT_LE(size, previous_size);
    }
    previous_size = size;
  }
}

TEST_F(FlacWriterTest, TheCallersLayoutIsKeptInEitherCallOrder) {
  const auto pcm = program(48000, 1, 1.5);
  AudioFile file;
  ASSERT_TRUE(file.setFormatFLAC(-1));
  EXPECT_EQ(file.formatString(), "FLAC, compression level 5");
  writeFlac(file, dir_.file("mono48.flac"), pcm, {48000, 1});
  // Input layout given before the file is created.
  ASSERT_TRUE(file.setInputFormat(22050, 2));
  const auto stereo = program(22050, 2, 0.5);
  ASSERT_EQ(file.createOutputFile(dir_.file("s22.flac")), 0);
  ASSERT_TRUE(file.writeSamples(stereo.data(), stereo.size()));
  ASSERT_TRUE(file.closeFile());

  const LibFlacDecoded mono = decodeWithLibFlac(dir_.file("mono48.flac"));
  ASSERT_TRUE(mono.ok);
  EXPECT_EQ(mono.info.sample_rate, 48000u);
  EXPECT_EQ(mono.info.channels, 1u);
  EXPECT_EQ(mono.samples, pcm);
  const auto mono_md5 = md5Of(pcm);
  EXPECT_TRUE(std::equal(mono_md5.begin(), mono_md5.end(), mono.info.md5sum));
  const LibFlacDecoded s22 = decodeWithLibFlac(dir_.file("s22.flac"));
  ASSERT_TRUE(s22.ok);
  EXPECT_EQ(s22.info.sample_rate, 22050u);
  EXPECT_EQ(s22.samples, stereo);
}

// A minute of digital silence packs into a few kilobytes; the reader must
// still deliver all of it (and a file without audio is a valid, empty stream).
TEST_F(FlacWriterTest, SilenceAndEmptyFilesReadBackWhole) {
  const std::vector<int16_t> silence(44100 * 2 * 60, 0);
  AudioFile file;
  ASSERT_TRUE(file.setFormatFLAC(8));
  writeFlac(file, dir_.file("quiet.flac"), silence, {44100, 2});
  EXPECT_LT(std::filesystem::file_size(dir_.file("quiet.flac")), 64u * 1024);
  const test::Decoded d = test::decodeAll(dir_.file("quiet.flac"));
  EXPECT_EQ(d.samples.size(), silence.size());

  ASSERT_EQ(file.createOutputFile(dir_.file("empty.flac")), 0);
  ASSERT_TRUE(file.closeFile());
  const LibFlacDecoded empty = decodeWithLibFlac(dir_.file("empty.flac"));
  EXPECT_TRUE(empty.ok);
  EXPECT_EQ(empty.info.total_samples, 0u);
  EXPECT_TRUE(empty.samples.empty());
  const auto nothing = md5Of({});  // the signature of no samples, as libFLAC sums it
  EXPECT_TRUE(std::equal(nothing.begin(), nothing.end(), empty.info.md5sum));
}

// A device that takes no bytes (the disk is full): the failure reaches the
// caller, at a later write or at the close, never a success.
TEST_F(FlacWriterTest, AFullDiskFailsTheWriteOrTheClose) {
  const auto pcm = program(44100, 2, 10.0);
  AudioFile file;
  ASSERT_TRUE(file.setFormatFLAC(0));
  ASSERT_EQ(file.createOutputFile("/dev/full"), 0) << file.lastError();
  bool written = true;
  for (size_t at = 0; at < pcm.size() && written; at += 88200)
    written = file.writeSamples(pcm.data() + at, std::min<size_t>(88200, pcm.size() - at));
  const bool closed = file.closeFile();
  EXPECT_FALSE(written && closed);
  EXPECT_FALSE(closed);
  EXPECT_NE(file.fileStatus(), AudioFile::kStatusOk);
}

TEST_F(FlacWriterTest, LevelsOutsideZeroToEightAreRefusedByName) {
  AudioFile file;
  EXPECT_FALSE(file.setFormatFLAC(9));
  EXPECT_NE(file.formatString().find("0 to 8"), std::string::npos) << file.formatString();
  EXPECT_NE(file.createOutputFile(dir_.file("x.flac")), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("x.flac")));
  EXPECT_FALSE(file.setFormatFLAC(-2));
  EXPECT_FALSE(FlacWriter::probe({{44100, 9}, 5}).empty());
  EXPECT_TRUE(FlacWriter::probe({{96000, 6}, 8}).empty());
}

}  // namespace
}  // namespace wavesmith
