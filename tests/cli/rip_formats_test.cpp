// `ripmarrow rip` through the built program: every format's files carry the
// disc's tags (read back with TagLib, and once more from the bytes of the
// file by a small reader of our own), and FLAC rips at levels 0, 5 and 8
// decode to exactly the disc's audio with the audio's MD5 in STREAMINFO.
#include <FLAC/stream_decoder.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <taglib/fileref.h>
#include <taglib/mpegfile.h>
#include <taglib/mpegheader.h>
#include <taglib/vorbisfile.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/vdrive/disc_description.h"
#include "platform/vdrive/disc_identity.h"
#include "platform/vdrive/image_writer.h"
#include "tests/cli/program_run.h"

extern "C" {
#include <libavutil/md5.h>
}

namespace {

namespace fs = std::filesystem;
using cli_testing::readFile;
using cli_testing::Result;

constexpr char kDisc[] =
    "disc title=\"Small Rooms\" artist=\"Test Quartet\" seed=5\n"
    "track kind=music length=2s title=\"First Light\"\n"
    "track kind=noise length=1s title=\"Second Wind\"\n";

class RipFormatsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm_cli_formats.XXXXXX";
    home_ = mkdtemp(pattern);
    setenv("RIPMARROW_HOME", home_.c_str(), 1);
    std::ofstream(home_ + "/disc.txt") << kDisc;
    std::ofstream(home_ + "/cdplayer.ini", std::ios::binary) << platform::vdrive::titleSidecar(disc());
    const Result registered = ripmarrow("register");
    ASSERT_EQ(registered.status, 0) << registered.out << registered.err;
  }
  void TearDown() override {
    fs::remove_all(home_);
    unsetenv("RIPMARROW_HOME");
  }
  Result ripmarrow(const std::string& arguments) { return cli_testing::runRipmarrow(home_, arguments); }

  static platform::vdrive::Disc disc() { return platform::vdrive::generateDisc(kDisc, "disc.txt"); }

  static std::string trackAudio(size_t index) {
    const auto d = disc();
    const auto& track = d.tracks()[index];
    std::string audio;
    std::array<uint8_t, platform::vdrive::kSectorBytes> sector{};
    for (auto lba = track.start; lba < track.end; ++lba) {
      d.readSector(lba, sector);
      audio.append(reinterpret_cast<const char*>(sector.data()), sector.size());
    }
    return audio;
  }

  std::string home_;
};

// --- an independent reader of the two tag forms -------------------------

uint32_t be32(const std::string& s, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[at])) << 24 | static_cast<uint8_t>(s[at + 1]) << 16 |
         static_cast<uint8_t>(s[at + 2]) << 8 | static_cast<uint8_t>(s[at + 3]);
}
uint32_t le32(const std::string& s, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[at])) | static_cast<uint8_t>(s[at + 1]) << 8 |
         static_cast<uint8_t>(s[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}

// The text frames of the first ID3v2.3 tag in `file` (at its start, or in a
// WAV file's "id3 " chunk): TIT2, TRCK, ... and "TXXX:<description>".
// Latin-1 and UTF-16 texts with a byte order mark; ASCII is all we check.
std::map<std::string, std::string> id3Frames(const std::string& file) {
  std::map<std::string, std::string> frames;
  const size_t at = file.find("ID3\x03");
  if (at == std::string::npos || at + 10 > file.size()) return frames;
  const size_t size = (static_cast<size_t>(file[at + 6] & 0x7f) << 21) | (static_cast<size_t>(file[at + 7] & 0x7f) << 14) |
                      (static_cast<size_t>(file[at + 8] & 0x7f) << 7) | static_cast<size_t>(file[at + 9] & 0x7f);
  const size_t end = std::min(file.size(), at + 10 + size);
  for (size_t p = at + 10; p + 10 <= end && file[p] != '\0';) {
    const std::string id = file.substr(p, 4);
    const size_t length = be32(file, p + 4);
    if (p + 10 + length > end) break;
    const std::string body = file.substr(p + 10, length);
    p += 10 + length;
    if (id[0] != 'T' || body.empty()) continue;
    std::string text;
    if (body[0] == 0) {
      text = body.substr(1);
    } else {  // UTF-16, each string with its byte order mark
      bool little = true;
      for (size_t i = 1; i + 1 < body.size(); i += 2) {
        const auto b0 = static_cast<uint8_t>(body[i]), b1 = static_cast<uint8_t>(body[i + 1]);
        if ((b0 == 0xff && b1 == 0xfe) || (b0 == 0xfe && b1 == 0xff)) {
          little = b0 == 0xff;
          continue;
        }
        const unsigned unit = little ? (b1 << 8 | b0) : (b0 << 8 | b1);
        text += unit < 0x80 ? static_cast<char>(unit) : '?';
      }
    }
    std::string key = id;
    if (id == "TXXX") {
      const size_t zero = text.find('\0');
      key += ":" + text.substr(0, zero);
      text = zero == std::string::npos ? "" : text.substr(zero + 1);
    }
    while (!text.empty() && text.back() == '\0') text.pop_back();
    frames[key] = text;
  }
  return frames;
}

// The comments of the Vorbis comment structure in `file` (a FLAC block or
// the Vorbis comment header of an Ogg stream), found by its vendor string:
// KEY=value, keys in capitals.
std::map<std::string, std::string> vorbisComments(const std::string& file) {
  std::map<std::string, std::string> comments;
  size_t at = file.find("reference libFLAC");
  if (at == std::string::npos) at = file.find("Xiph.Org libVorbis");
  if (at == std::string::npos || at < 4) return comments;
  size_t p = at - 4;
  p += 4 + le32(file, p);
  if (p + 4 > file.size()) return comments;
  const uint32_t count = le32(file, p);
  p += 4;
  for (uint32_t i = 0; i < count && p + 4 <= file.size(); ++i) {
    const uint32_t length = le32(file, p);
    if (p + 4 + length > file.size()) break;
    const std::string comment = file.substr(p + 4, length);
    p += 4 + length;
    const size_t equals = comment.find('=');
    std::string key = comment.substr(0, equals);
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    comments[key] = equals == std::string::npos ? "" : comment.substr(equals + 1);
  }
  return comments;
}

std::u16string wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

TEST_F(RipFormatsTest, EveryFormatCarriesTheDiscsTags) {
  char id[16];
  std::snprintf(id, sizeof id, "%08x", platform::vdrive::cddbDiscId(disc()));
  const std::string cddbId = id;
  for (const char* format : {"wav", "mp3", "mp2", "ogg", "wma", "flac"}) {
    SCOPED_TRACE(format);
    const Result run = ripmarrow(std::string("--vdrive disc.txt rip --tracks 2 --format ") + format +
                                 " --titles local --out " + format);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out.find("not tagged"), std::string::npos) << run.out;
    const std::string path = home_ + "/" + format + "/02 Second Wind." + format;
    ASSERT_TRUE(fs::exists(path)) << run.out;

    TagLib::FileRef ref(path.c_str());
    ASSERT_FALSE(ref.isNull());
    ASSERT_NE(ref.tag(), nullptr);
    EXPECT_EQ(ref.tag()->title().to8Bit(true), "Second Wind");
    EXPECT_EQ(ref.tag()->artist().to8Bit(true), "Test Quartet");
    EXPECT_EQ(ref.tag()->album().to8Bit(true), "Small Rooms");
    EXPECT_EQ(ref.tag()->track(), 2u);
    EXPECT_EQ(ref.tag()->year(), 0u);  // the engine knows no year
    const TagLib::PropertyMap properties = ref.file()->properties();
    const std::string fmt = format;
    if (fmt != "wma") {
      // ID3v2 and Vorbis comments both show the id as DISCID.
      ASSERT_TRUE(properties.contains("DISCID")) << properties.toString().to8Bit(true);
      EXPECT_EQ(properties["DISCID"].front().to8Bit(true), cddbId);
    }

    // The same read from the bytes.
    const std::string file = readFile(path);
    if (fmt == "mp3" || fmt == "mp2" || fmt == "wav") {
      auto frames = id3Frames(file);
      EXPECT_EQ(frames["TIT2"], "Second Wind");
      EXPECT_EQ(frames["TPE1"], "Test Quartet");
      EXPECT_EQ(frames["TALB"], "Small Rooms");
      EXPECT_EQ(frames["TRCK"], "2/2");
      EXPECT_EQ(frames["TXXX:DISCID"], cddbId);
    } else if (fmt == "flac" || fmt == "ogg") {
      auto comments = vorbisComments(file);
      EXPECT_EQ(comments["TITLE"], "Second Wind");
      EXPECT_EQ(comments["ARTIST"], "Test Quartet");
      EXPECT_EQ(comments["ALBUM"], "Small Rooms");
      EXPECT_EQ(comments["TRACKNUMBER"], "2");
      EXPECT_EQ(comments["TRACKTOTAL"], "2");
      EXPECT_EQ(comments["DISCID"], cddbId);
    } else {  // ASF strings are UTF-16LE
      for (const char* text : {"Second Wind", "Test Quartet", "Small Rooms"}) {
        const std::u16string w = wide(text);
        EXPECT_NE(file.find(std::string(reinterpret_cast<const char*>(w.data()), w.size() * 2)), std::string::npos)
            << text;
      }
    }
  }
}

// --- FLAC -----------------------------------------------------------------

struct Decoded {
  std::string pcm;  // 16-bit little-endian, interleaved
  std::array<uint8_t, 16> md5{};
  uint64_t totalSamples = 0;
  unsigned channels = 0, bits = 0, rate = 0;
  bool ok = false;
};

FLAC__StreamDecoderWriteStatus onWrite(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                       const FLAC__int32* const buffer[], void* data) {
  auto& d = *static_cast<Decoded*>(data);
  for (unsigned i = 0; i < frame->header.blocksize; ++i) {
    for (unsigned c = 0; c < frame->header.channels; ++c) {
      const auto s = static_cast<uint16_t>(static_cast<int16_t>(buffer[c][i]));
      d.pcm += static_cast<char>(s & 0xff);
      d.pcm += static_cast<char>(s >> 8);
    }
  }
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}
void onMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* m, void* data) {
  if (m->type != FLAC__METADATA_TYPE_STREAMINFO) return;
  auto& d = *static_cast<Decoded*>(data);
  std::memcpy(d.md5.data(), m->data.stream_info.md5sum, 16);
  d.totalSamples = m->data.stream_info.total_samples;
  d.channels = m->data.stream_info.channels;
  d.bits = m->data.stream_info.bits_per_sample;
  d.rate = m->data.stream_info.sample_rate;
}
void onError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* data) {
  static_cast<Decoded*>(data)->ok = false;
}

Decoded decodeFlac(const std::string& path) {
  Decoded d;
  FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
  FLAC__stream_decoder_set_md5_checking(decoder, true);
  if (FLAC__stream_decoder_init_file(decoder, path.c_str(), onWrite, onMetadata, onError, &d) ==
      FLAC__STREAM_DECODER_INIT_STATUS_OK) {
    d.ok = true;
    d.ok = FLAC__stream_decoder_process_until_end_of_stream(decoder) && d.ok;
    // False when the decoded audio does not match the MD5 in STREAMINFO.
    d.ok = FLAC__stream_decoder_finish(decoder) && d.ok;
  }
  FLAC__stream_decoder_delete(decoder);
  return d;
}

std::array<uint8_t, 16> md5Of(const std::string& bytes) {
  std::array<uint8_t, 16> sum{};
  av_md5_sum(sum.data(), reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return sum;
}

TEST_F(RipFormatsTest, FlacRipsDecodeToTheDiscsAudioAtEveryLevel) {
  std::map<std::string, uintmax_t> sizes;
  for (const char* level : {"0", "5", "8"}) {
    SCOPED_TRACE(level);
    const std::string folder = std::string("flac") + level;
    const Result run =
        ripmarrow(std::string("--vdrive disc.txt rip --format flac --flac-level ") + level + " --titles none --out " + folder);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    for (size_t i = 0; i < 2; ++i) {
      const std::string path = home_ + "/" + folder + "/Track0" + std::to_string(i + 1) + ".flac";
      const Decoded d = decodeFlac(path);
      ASSERT_TRUE(d.ok) << path;
      const std::string want = trackAudio(i);
      EXPECT_EQ(d.channels, 2u);
      EXPECT_EQ(d.bits, 16u);
      EXPECT_EQ(d.rate, 44100u);
      EXPECT_EQ(d.totalSamples, want.size() / 4);
      ASSERT_EQ(d.pcm.size(), want.size());
      EXPECT_TRUE(d.pcm == want);
      EXPECT_EQ(d.md5, md5Of(want));
    }
    sizes[level] = fs::file_size(home_ + "/" + folder + "/Track01.flac");
  }
  // The level reaches the encoder: the fastest level does not compress music better.
  EXPECT_GE(sizes["0"], sizes["8"]);
}

TEST_F(RipFormatsTest, FlacLevelOutOfRangeIsRefused) {
  EXPECT_EQ(ripmarrow("--vdrive disc.txt rip --format flac --flac-level 9").status, 2);
  EXPECT_EQ(ripmarrow("--vdrive disc.txt rip --format flac --flac-level -1").status, 2);
}

// --encoder-settings: the desktop program's encoder sections reach the
// encoder (read back from the files), a file without the option keeps the
// program's own 128 kbit/s, and a bad value is refused by name, nothing ripped.
TEST_F(RipFormatsTest, EncoderSettingsFromAFileReachTheEncoderAndBadValuesAreNamed) {
  auto ripWith = [this](const std::string& format, const std::string& ini, const std::string& folder) {
    std::string options;
    if (!ini.empty()) {
      std::ofstream(home_ + "/" + folder + ".ini") << ini;
      options = " --encoder-settings " + folder + ".ini";
    }
    const Result run = ripmarrow("--vdrive disc.txt rip --tracks 1 --titles none --format " + format + options +
                                 " --out " + folder);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    return home_ + "/" + folder + "/Track01." + format;
  };
  // The bit rate of the audio's first frame (after LAME's Info or Xing frame).
  auto mp3Bitrate = [](const std::string& path) {
    TagLib::MPEG::File file(path.c_str());
    if (!file.isValid()) return -1;
    return TagLib::MPEG::Header(&file, file.nextFrameOffset(file.firstFrameOffset() + 1), false).bitrate();
  };

  EXPECT_EQ(mp3Bitrate(ripWith("mp3", "", "plain")), 128);
  const std::string cbr = ripWith("mp3", "[mp3]\nbitrate=16\nquality=2\n", "cbr");
  EXPECT_EQ(mp3Bitrate(cbr), 320);
  EXPECT_EQ(readFile(cbr).find("Xing"), std::string::npos);
  // VBR: a VBR header, and more bits on average than the CBR default's.
  const std::string vbr = ripWith("mp3", "[mp3]\nenable vbr=1\nvbr quality=0\nvbr bitrate=16\n", "vbr");
  EXPECT_NE(readFile(vbr).find("Xing"), std::string::npos);
  EXPECT_GT(TagLib::MPEG::File(vbr.c_str()).audioProperties()->bitrate(), 160);
  // OGG in quality mode: the stream says it was not made at a set bit rate.
  const std::string ogg = ripWith("ogg", "[ogg]\nenable quality=1\nquality=900\n", "ogg");
  const std::string oggPlain = ripWith("ogg", "", "oggplain");
  TagLib::Ogg::Vorbis::File quality(ogg.c_str()), plain(oggPlain.c_str());
  ASSERT_TRUE(quality.isValid() && plain.isValid());
  EXPECT_NE(quality.audioProperties()->bitrateNominal(), plain.audioProperties()->bitrateNominal());
  EXPECT_GT(fs::file_size(ogg), fs::file_size(oggPlain));

  std::ofstream(home_ + "/bad.ini") << "[mp3]\nbitrate=320\n[flac]\ncompression level=5\n";
  const Result bad = ripmarrow("--vdrive disc.txt rip --format mp3 --encoder-settings bad.ini --out bad");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("[mp3] bitrate=320: not a position in the bit-rate list, 0 (8 kbit/s) to 16 (320 kbit/s)"),
            std::string::npos)
      << bad.err;
  EXPECT_FALSE(fs::exists(home_ + "/bad"));
  const Result missing = ripmarrow("--vdrive disc.txt rip --encoder-settings nowhere.ini --out missing");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("cannot read nowhere.ini"), std::string::npos) << missing.err;
}

}  // namespace
