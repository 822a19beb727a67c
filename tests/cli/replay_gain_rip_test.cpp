// `ripmarrow rip --replaygain` through the built program: the gains the
// engine measured while ripping, tagged once the batch ends, against
// FFmpeg's own ebur128 measurement of the files (each track and the two
// joined as the album); and the four tags in each container family
// (ID3v2 TXXX in MP3, MP2 and WAV, Vorbis comments in OGG and FLAC, ASF
// attributes in WMA).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <taglib/asffile.h>
#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "tests/cli/program_run.h"
#include "tests/support/ffmpeg_loudness.h"

namespace {

namespace fs = std::filesystem;
using cli_testing::Result;

// A loud track of noise and a quieter one of music, long enough for the
// gating to matter.
constexpr char kDisc[] =
    "disc title=\"Two Levels\" artist=\"Test Duo\" seed=9\n"
    "track kind=noise length=6s title=\"Loud\"\n"
    "track kind=music length=8s title=\"Soft\"\n";

constexpr const char* kTags[] = {"REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK", "REPLAYGAIN_ALBUM_GAIN",
                                 "REPLAYGAIN_ALBUM_PEAK"};

class ReplayGainRipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm_cli_replaygain.XXXXXX";
    home_ = mkdtemp(pattern);
    setenv("RIPMARROW_HOME", home_.c_str(), 1);
    std::ofstream(home_ + "/disc.txt") << kDisc;
    const Result registered = cli_testing::runRipmarrow(home_, "register");
    ASSERT_EQ(registered.status, 0) << registered.out << registered.err;
  }
  void TearDown() override {
    fs::remove_all(home_);
    unsetenv("RIPMARROW_HOME");
  }
  Result rip(const std::string& format, const std::string& more = "") {
    return cli_testing::runRipmarrow(home_, "--vdrive disc.txt rip --format " + format +
                                                " --titles none --accuraterip-server none --out " + format + more);
  }
  std::string path(const std::string& format, int track) const {
    return home_ + "/" + format + "/Track0" + std::to_string(track) + "." + format;
  }
  std::string home_;
};

// The tags as TagLib shows them; ASF's attributes by their names.
std::map<std::string, std::string> replayGainTags(const std::string& path) {
  std::map<std::string, std::string> tags;
  if (path.ends_with(".wma")) {
    TagLib::ASF::File file(path.c_str());
    for (const char* name : kTags)
      if (file.tag() && file.tag()->contains(name)) tags[name] = file.tag()->attribute(name).front().toString().to8Bit(true);
    return tags;
  }
  TagLib::FileRef ref(path.c_str());
  if (ref.isNull()) return tags;
  const TagLib::PropertyMap properties = ref.file()->properties();
  for (const char* name : kTags)
    if (properties.contains(name)) tags[name] = properties[name].front().to8Bit(true);
  return tags;
}

using test_support::FfmpegLoudness;

double gainOf(const std::string& text) {
  EXPECT_TRUE(text.ends_with(" dB")) << text;
  return std::stod(text);
}

TEST_F(ReplayGainRipTest, TrackAndAlbumGainsAgreeWithFfmpeg) {
  if (std::system("command -v ffmpeg > /dev/null") != 0) GTEST_SKIP() << "no ffmpeg to measure with";
  const Result run = rip("wav", " --replaygain");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Album ReplayGain: "), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("not tagged"), std::string::npos) << run.out;
  const auto first = replayGainTags(path("wav", 1));
  const auto second = replayGainTags(path("wav", 2));
  ASSERT_EQ(first.size(), 4u) << run.out;
  ASSERT_EQ(second.size(), 4u) << run.out;

  const auto f1 = FfmpegLoudness("-i '" + path("wav", 1) + "' -af ebur128");
  const auto f2 = FfmpegLoudness("-i '" + path("wav", 2) + "' -af ebur128");
  const auto fAlbum = FfmpegLoudness("-i '" + path("wav", 1) + "' -i '" + path("wav", 2) +
                                     "' -filter_complex '[0:a][1:a]concat=n=2:v=0:a=1,ebur128'");
  ASSERT_TRUE(f1 && f2 && fAlbum);
  EXPECT_NEAR(gainOf(first.at("REPLAYGAIN_TRACK_GAIN")), -18.0 - *f1, 0.1);
  EXPECT_NEAR(gainOf(second.at("REPLAYGAIN_TRACK_GAIN")), -18.0 - *f2, 0.1);
  EXPECT_NEAR(gainOf(first.at("REPLAYGAIN_ALBUM_GAIN")), -18.0 - *fAlbum, 0.1);
  // The tracks differ, the album lies between them, and both files carry it.
  EXPECT_GT(std::fabs(*f1 - *f2), 3.0);
  EXPECT_EQ(first.at("REPLAYGAIN_ALBUM_GAIN"), second.at("REPLAYGAIN_ALBUM_GAIN"));
  EXPECT_EQ(first.at("REPLAYGAIN_ALBUM_PEAK"), second.at("REPLAYGAIN_ALBUM_PEAK"));
  // Peaks: linear, six decimals, the album's the larger of the two.
  EXPECT_TRUE(test_support::IsPeakText(first.at("REPLAYGAIN_TRACK_PEAK"))) << first.at("REPLAYGAIN_TRACK_PEAK");
  EXPECT_EQ(std::stod(first.at("REPLAYGAIN_ALBUM_PEAK")),
            std::max(std::stod(first.at("REPLAYGAIN_TRACK_PEAK")), std::stod(second.at("REPLAYGAIN_TRACK_PEAK"))));
}

TEST_F(ReplayGainRipTest, EveryContainerFamilyCarriesTheTags) {
  for (const char* format : {"mp3", "mp2", "ogg", "wma", "flac"}) {
    SCOPED_TRACE(format);
    const Result run = rip(format, " --tracks 1 --replaygain");
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const auto tags = replayGainTags(path(format, 1));
    EXPECT_EQ(tags.size(), 4u) << run.out;
    // The other tags stay as the rip wrote them.
    TagLib::FileRef ref(path(format, 1).c_str());
    ASSERT_FALSE(ref.isNull());
    EXPECT_EQ(ref.tag()->track(), 1u);
  }
}

TEST_F(ReplayGainRipTest, WithoutTheOptionNothingIsMeasured) {
  const Result run = rip("flac", " --tracks 1");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out.find("ReplayGain"), std::string::npos) << run.out;
  EXPECT_TRUE(replayGainTags(path("flac", 1)).empty());
}

}  // namespace
