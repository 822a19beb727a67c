// The rip batch's pure rules: the stored format settings with their
// defaults and out-of-range indexes, and file names from titles.
#include "frontend/format_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "frontend/rip_batch.h"
#include "frontend/settings/settings_store.h"

namespace {

class FormatSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm_format_settings.XXXXXX";
    folder_ = mkdtemp(pattern);
    path_ = folder_ + "/quavern.ini";
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  quavern::SettingsStore store(const std::string& text) {
    std::ofstream(path_) << text;
    return quavern::SettingsStore(path_);
  }
  std::string folder_, path_;
};

TEST_F(FormatSettingsTest, AMissingFileGivesTheDefaults) {
  const quavern::SettingsStore settings = store("");
  const quavern::Mp3Settings mp3 = quavern::readMp3Settings(settings);
  EXPECT_EQ(mp3.frequencyHz, 44100);
  EXPECT_EQ(mp3.bitrateKbps, 128);
  EXPECT_EQ(mp3.channels, 2);
  EXPECT_EQ(mp3.quality, 5);
  EXPECT_EQ(mp3.vbr, 0);
  EXPECT_EQ(mp3.vbrBitrateKbps, 128);
  EXPECT_EQ(mp3.vbrQuality, 5);
  EXPECT_EQ(quavern::readWmaProfile(settings), 10);
  const quavern::OggSettings ogg = quavern::readOggSettings(settings);
  EXPECT_FALSE(ogg.qualityMode);  // bit-rate mode unless the dialog stored "1"
  EXPECT_EQ(ogg.frequencyHz, 44100);
  EXPECT_EQ(ogg.nominalKbps, 128);
  EXPECT_EQ(ogg.minKbps, 128);
  EXPECT_EQ(ogg.maxKbps, 128);
  EXPECT_EQ(ogg.quality, 300);
  EXPECT_EQ(ogg.channels, 2);
  EXPECT_EQ(quavern::readFlacCompressionLevel(settings), 5);
}

TEST_F(FormatSettingsTest, StoredIndexesGoThroughTheTables) {
  const quavern::SettingsStore settings =
      store("[MP3]\nfrequency=0\nbitrate=16\nchannel=0\nquality=2\nenable vbr=1\nvbr bitrate=3\nvbr quality=9\n"
            "[wma]\nformat=46\n[ogg]\nenable quality=1\nfrequency=8\nbitrate=0\nmin bitrate=1\nmax bitrate=2\n"
            "quality=1000\nchannel=0\n[flac]\ncompression level=8\n");
  const quavern::Mp3Settings mp3 = quavern::readMp3Settings(settings);
  EXPECT_EQ(mp3.frequencyHz, 8000);
  EXPECT_EQ(mp3.bitrateKbps, 320);
  EXPECT_EQ(mp3.channels, 1);
  EXPECT_EQ(mp3.quality, 2);
  EXPECT_EQ(mp3.vbr, 1);
  EXPECT_EQ(mp3.vbrBitrateKbps, 32);
  EXPECT_EQ(mp3.vbrQuality, 9);
  EXPECT_EQ(quavern::readWmaProfile(settings), 47);
  const quavern::OggSettings ogg = quavern::readOggSettings(settings);
  EXPECT_TRUE(ogg.qualityMode);
  EXPECT_EQ(ogg.frequencyHz, 48000);
  EXPECT_EQ(ogg.nominalKbps, 8);
  EXPECT_EQ(ogg.minKbps, 16);
  EXPECT_EQ(ogg.maxKbps, 24);
  EXPECT_EQ(ogg.quality, 1000);
  EXPECT_EQ(ogg.channels, 1);
  EXPECT_EQ(quavern::readFlacCompressionLevel(settings), 8);
}

// Indexes outside the tables (a list left without a selection stores -1)
// read as the key's default instead of reading past the table.
TEST_F(FormatSettingsTest, IndexesOutsideTheTablesReadAsTheDefault) {
  const quavern::SettingsStore settings =
      store("[mp3]\nfrequency=9\nbitrate=-1\nvbr bitrate=17\n[wma]\nformat=47\n[ogg]\nfrequency=-1\nbitrate=99\n"
            "[flac]\ncompression level=12\n");
  const quavern::Mp3Settings mp3 = quavern::readMp3Settings(settings);
  EXPECT_EQ(mp3.frequencyHz, 44100);
  EXPECT_EQ(mp3.bitrateKbps, 128);
  EXPECT_EQ(mp3.vbrBitrateKbps, 128);
  EXPECT_EQ(quavern::readWmaProfile(settings), 10);
  EXPECT_EQ(quavern::readOggSettings(settings).frequencyHz, 44100);
  EXPECT_EQ(quavern::readOggSettings(settings).nominalKbps, 128);
  EXPECT_EQ(quavern::readFlacCompressionLevel(settings), 5);
}

TEST(RipFileNameTest, ForbiddenCharactersGoAndOnlyAnAudioExtensionOfTheTitleIsReplaced) {
  EXPECT_EQ(quavern::ripFileName("Mr. Blue", ".mp3"), "Mr. Blue.mp3");
  EXPECT_EQ(quavern::ripFileName("Mr. Blue.mp3", ".mp3"), "Mr. Blue.mp3");
  EXPECT_EQ(quavern::ripFileName("Mr. Blue.WAV", ".ogg"), "Mr. Blue.ogg");
  EXPECT_EQ(quavern::ripFileName(".hidden", ".wav"), "_.hidden.wav");
  EXPECT_EQ(quavern::ripFileName("?*", ".wav", "Track03"), "Track03.wav");
  EXPECT_EQ(quavern::ripFileName("A:B?C", ".mp3"), "ABC.mp3");
  EXPECT_EQ(quavern::ripFileName("Track01", ".wav"), "Track01.wav");
  EXPECT_EQ(quavern::ripFileName("a*b|c\"d/e\\f<g>h", ".ogg"), "abcdefgh.ogg");
  EXPECT_EQ(quavern::ripFileName("v1.2.3", ".wma"), "v1.2.3.wma");
}

TEST(RipFileNameTest, FailuresAreToldInWords) {
  EXPECT_EQ(quavern::ripFailureText(OPERATION_FAILED), "a part of the disc could not be read");
  EXPECT_NE(quavern::ripFailureText(FILE_ACCESS).find("output folder"), std::string::npos);
  EXPECT_NE(quavern::ripFailureText(-999).find("-999"), std::string::npos);
}

}  // namespace
