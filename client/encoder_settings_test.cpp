// The encoder sections read leniently (the desktop program's batch) and
// strictly (a file named on ripmarrow's command line).
#include "client/encoder_settings.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace {

client::StoredValue storedIn(const std::map<std::string, std::string>& values) {
  return [values](std::string_view section, std::string_view key) -> std::optional<std::string> {
    const auto found = values.find(std::string(section) + "/" + std::string(key));
    return found == values.end() ? std::nullopt : std::optional<std::string>(found->second);
  };
}

TEST(EncoderSettings, LenientReadingGivesOddValuesTheirDefaultsAndStrictReadingNamesThem) {
  const auto stored = storedIn({{"mp3/bitrate", "12abc"},
                                {"mp3/frequency", "9"},
                                {"mp3/enable vbr", "2"},
                                {"ogg/quality", "1200"},
                                {"flac/compression level", "eight"},
                                {"wma/format", "46"}});
  const client::EncoderSettings lenient = client::ReadEncoderSettings(stored);
  EXPECT_EQ(lenient.mp3.bitrateKbps, 160);  // "12abc" reads as 12
  EXPECT_EQ(lenient.mp3.frequencyHz, 44100);
  EXPECT_EQ(lenient.mp3.vbr, 2);  // leaves the VBR properties as they are
  EXPECT_EQ(lenient.ogg.quality, 1200);
  EXPECT_EQ(lenient.flacLevel, 5);
  EXPECT_EQ(lenient.wmaProfile, 47);

  std::vector<std::string> problems;
  const client::EncoderSettings strict = client::ReadEncoderSettings(stored, &problems);
  EXPECT_EQ(problems, (std::vector<std::string>{
                          "[mp3] frequency=9: not a position in the frequency list, 0 (8000 Hz) to 8 (48000 Hz)",
                          "[mp3] bitrate=12abc: not a position in the bit-rate list, 0 (8 kbit/s) to 16 (320 kbit/s)",
                          "[mp3] enable vbr=2: not 0 or 1",
                          "[ogg] quality=1200: not a quality from 0 to 1000",
                          "[flac] compression level=eight: not a compression level from 0 to 8",
                      }));
  EXPECT_EQ(strict.mp3.bitrateKbps, 128);
  EXPECT_EQ(strict.mp3.vbr, 0);
  EXPECT_EQ(strict.wmaProfile, 47);
}

TEST(EncoderSettings, AFileInTheDesktopsFormGivesItsValuesAndMissingKeysTheirDefaults) {
  char pattern[] = "/tmp/rm_encoder_settings.XXXXXX";
  const std::string folder = mkdtemp(pattern);
  const std::string path = folder + "/quavern.ini";
  std::ofstream(path) << "[basic]\nformat=0\n[MP3]\nBitrate = 16\nchannel=0\nenable vbr=1\nvbr quality=\"2\"\n"
                         "[ogg]\nenable quality=1\nquality=800\n[flac]\ncompression level=8\n";
  std::string error;
  const auto settings = client::LoadEncoderSettingsFile(path, error);
  ASSERT_TRUE(settings.has_value()) << error;
  EXPECT_EQ(settings->mp3.bitrateKbps, 320);
  EXPECT_EQ(settings->mp3.channels, 1);
  EXPECT_EQ(settings->mp3.vbr, 1);
  EXPECT_EQ(settings->mp3.vbrQuality, 2);
  EXPECT_EQ(settings->mp3.vbrBitrateKbps, 128);
  EXPECT_EQ(settings->mp3.frequencyHz, 44100);
  EXPECT_TRUE(settings->ogg.qualityMode);
  EXPECT_EQ(settings->ogg.quality, 800);
  EXPECT_EQ(settings->flacLevel, 8);
  EXPECT_EQ(settings->wmaProfile, 10);

  EXPECT_FALSE(client::LoadEncoderSettingsFile(folder, error).has_value());
  EXPECT_EQ(error, "cannot read " + folder);
  std::filesystem::remove_all(folder);
}

}  // namespace
