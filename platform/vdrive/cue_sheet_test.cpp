#include "platform/vdrive/cue_sheet.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/vdrive/cue_image.h"
#include "platform/vdrive/image_error.h"
#include "platform/vdrive/test_support.h"

namespace platform::vdrive {
namespace {

using testing::patternBytes;
using testing::TempDir;

std::vector<uint8_t> sector(const Disc& disc, Lba lba) {
  std::array<uint8_t, kSectorBytes> s{};
  EXPECT_TRUE(disc.readSector(lba, s)) << lba;
  return {s.begin(), s.end()};
}

std::vector<uint8_t> frameOf(const std::vector<uint8_t>& file, uint32_t frame, uint32_t bytes = kSectorBytes) {
  return {file.begin() + frame * bytes, file.begin() + (frame + 1) * bytes};
}

TEST(CueImage, OneFileWithPregapsInsideIt) {
  TempDir dir;
  auto bin = patternBytes(1000);
  dir.write("album.bin", bin);
  dir.write("album.cue",
            "\xEF\xBB\xBFPERFORMER \"The Band\"\r\nTITLE \"Album\"\r\nCATALOG 0724384960650\r\n"
            "FILE \"album.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n    TITLE \"One\"\r\n    INDEX 01 00:00:00\r\n"
            "  TRACK 02 AUDIO\r\n    FLAGS DCP PRE\r\n    ISRC GBAYE0000351\r\n    INDEX 00 00:04:00\r\n"
            "    INDEX 01 00:06:00\r\n    INDEX 02 00:08:10\r\n  TRACK 03 AUDIO\r\n    INDEX 01 00:10:00\r\n");
  Disc disc = loadCueImage(dir.file("album.cue"));
  ASSERT_EQ(disc.tracks().size(), 3u);
  EXPECT_EQ(disc.text().performer, "The Band");
  EXPECT_EQ(disc.text().catalog, "0724384960650");
  const Track& t2 = disc.tracks()[1];
  EXPECT_EQ(t2.pregapStart, 300);
  EXPECT_EQ(t2.start, 450);
  EXPECT_EQ(t2.indexStarts, (std::vector<Lba>{450, 610}));
  EXPECT_EQ(t2.control(), kControlCopyPermitted | kControlPreEmphasis);
  EXPECT_EQ(t2.isrc, "GBAYE0000351");
  EXPECT_EQ(disc.tracks()[0].title, "One");
  EXPECT_EQ(disc.tocLengthFrames(disc.tracks()[0]), 450);  // up to track 2's start, its pregap included
  EXPECT_EQ(disc.leadOut(), 1000);
  EXPECT_EQ(sector(disc, 0), frameOf(bin, 0));
  EXPECT_EQ(sector(disc, 999), frameOf(bin, 999));
  std::array<uint8_t, kSectorBytes> s{};
  EXPECT_FALSE(disc.readSector(1000, s));  // the lead-out
}

TEST(CueImage, SeveralFilesWithPregapStatementsWaveAndMotorola) {
  TempDir dir;
  auto a = patternBytes(100, kSectorBytes, 1);
  auto b = patternBytes(80, kSectorBytes, 2);
  auto c = patternBytes(50, kSectorBytes, 3);
  dir.write("a.wav", testing::waveFile(a));
  dir.write("b.wav", testing::waveFile(b));
  dir.write("c.bin", c);
  // EAC's layout: track 2's pregap at the end of the first file.
  dir.write("x.cue",
            "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 00 00:01:15\n"
            "FILE \"b.wav\" WAVE\nINDEX 01 00:00:00\nFILE \"c.bin\" MOTOROLA\nTRACK 03 AUDIO\nPREGAP 00:00:20\n"
            "INDEX 01 00:00:00\nPOSTGAP 00:00:10\n");
  Disc disc = loadCueImage(dir.file("x.cue"));
  ASSERT_EQ(disc.tracks().size(), 3u);
  EXPECT_EQ(disc.tracks()[1].pregapStart, 90);
  EXPECT_EQ(disc.tracks()[1].start, 100);
  EXPECT_EQ(disc.tracks()[2].pregapStart, 180);
  EXPECT_EQ(disc.tracks()[2].start, 200);
  EXPECT_EQ(disc.leadOut(), 260);
  EXPECT_EQ(sector(disc, 99), frameOf(a, 99));
  EXPECT_EQ(sector(disc, 100), frameOf(b, 0));
  EXPECT_EQ(sector(disc, 185), std::vector<uint8_t>(kSectorBytes, 0));  // PREGAP is silence
  auto swapped = frameOf(c, 0);
  for (size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
  EXPECT_EQ(sector(disc, 200), swapped);
  EXPECT_EQ(sector(disc, 255), std::vector<uint8_t>(kSectorBytes, 0));  // POSTGAP
}

TEST(CueImage, CdExtraSecondSessionAndCookedData) {
  TempDir dir;
  dir.write("audio.bin", patternBytes(300));
  auto iso = patternBytes(40, 2048);
  dir.write("data.iso", iso);
  dir.write("x.cue",
            "REM SESSION 01\nFILE \"audio.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
            "  TRACK 02 AUDIO\n    INDEX 01 00:02:00\nREM SESSION 02\nFILE \"data.iso\" BINARY\n"
            "  TRACK 03 MODE1/2048\n    INDEX 01 00:00:00\n");
  Disc disc = loadCueImage(dir.file("x.cue"));
  ASSERT_EQ(disc.sessions().size(), 2u);
  EXPECT_EQ(disc.sessions()[0].leadOut, 300);
  EXPECT_EQ(disc.sessions()[0].lastTrack, 2);
  const Track& data = disc.tracks()[2];
  EXPECT_EQ(data.session, 2);
  EXPECT_EQ(data.start, 300 + 11400);  // lead-out, lead-in and the 150-frame pregap
  EXPECT_EQ(data.control(), kControlData);
  EXPECT_EQ(disc.tocLengthFrames(disc.tracks()[1]), 150);  // ends at its own session's lead-out
  EXPECT_EQ(disc.leadOut(), 300 + 11400 + 40);
  auto raw = sector(disc, data.start + 3);
  EXPECT_EQ(std::vector<uint8_t>(raw.begin(), raw.begin() + 12),
            (std::vector<uint8_t>{0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0}));
  EXPECT_EQ(raw[15], 1);  // mode byte
  EXPECT_EQ(std::vector<uint8_t>(raw.begin() + 16, raw.begin() + 2064), frameOf(iso, 3, 2048));
  std::array<uint8_t, kSectorBytes> s{};
  EXPECT_FALSE(disc.readSector(400, s));  // between the sessions
}

struct BadSheet {
  const char* text;
  const char* message;
};

TEST(CueImage, MalformedSheetsNameTheLine) {
  TempDir dir;
  dir.write("a.bin", patternBytes(100));
  dir.write("mono.wav", testing::waveFile(patternBytes(10), 1));
  dir.write("junk.wav", std::string("RIFF\x10\0\0\0JUNKJUNKJUNK", 20));
  const BadSheet cases[] = {
      {"FILE \"gone.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", "x.cue:1: cannot open"},
      {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 03 AUDIO\nINDEX 01 00:01:00\n",
       "x.cue:4: TRACK 03 out of order"},
      {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:02:00\n",
       "x.cue:5: INDEX 01 beyond the end of 'a.bin'"},
      {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:50\nTRACK 02 AUDIO\nINDEX 01 00:00:20\n",
       "x.cue:5: INDEX 01 lies before the previous track"},
      {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nthis is not a cue sheet\n",
       "x.cue:4: unknown command 'this'"},
      {"FILE \"a.bin\" BINARY\nTRACK 99999999999999 AUDIO\n", "x.cue:2: track number"},
      {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 99999999999:00:00\n", "x.cue:3: '99999999999:00:00' is not a time"},
      {"TRACK 01 AUDIO\n", "x.cue:1: TRACK before any FILE"},
      {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nPREGAP 00:02:00\n", "x.cue:2: TRACK 1 has no INDEX 01"},
      {"FILE \"a.bin\" BINARY\nTRACK 01 CDG\n", "x.cue:2: track mode CDG"},
      {"FILE \"a.bin\n", "x.cue:1: unterminated"},
      {"FILE \"a.bin\" MP3\n", "x.cue:1: FILE type MP3"},
      {"FILE \"mono.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", "x.cue:1: '" },
      {"FILE \"junk.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", "not a RIFF WAVE file"},
      {"", "x.cue:1: the sheet has no TRACK"},
      {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nISRC 123\nINDEX 01 00:00:00\n", "x.cue:3: ISRC"},
      {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 02 00:00:00\n", "x.cue:3: INDEX 02 out of order"},
  };
  for (const BadSheet& c : cases) {
    dir.write("x.cue", c.text);
    try {
      loadCueImage(dir.file("x.cue"));
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const ImageError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

TEST(CueImage, WaveFormatsOtherThanCdAudioAreRefusedClearly) {
  TempDir dir;
  dir.write("m.wav", testing::waveFile(patternBytes(2), 1, 44100, 16));
  dir.write("x.cue", "FILE \"m.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
  try {
    loadCueImage(dir.file("x.cue"));
    FAIL();
  } catch (const ImageError& e) {
    EXPECT_NE(std::string(e.what()).find("only 16-bit stereo 44.1 kHz PCM"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace platform::vdrive
