#include "outside/tonemeter2/tag_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "outside/tonemeter2/genre_names.h"
#include "outside/wavesmith2/audio_file.h"
#include "outside/wavesmith2/test_signals.h"

namespace tonemeter {
namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class TagFileTest : public ::testing::Test {
 protected:
  std::string make(const std::string& name) {
    wavesmith::AudioFile f;
    const std::string ext = name.substr(name.find('.') + 1);
    if (ext == "mp3") f.setFormatMP3(44100, 128, 2);
    if (ext == "mp2") f.setFormatMP2(44100, 128, 2);
    if (ext == "ogg") f.setFormatOGG(44100, 2, 128, 0, 0, 300);
    if (ext == "wma") f.setFormatWMA(10);
    if (ext == "wav") f.setFormatPCM(44100, 2, 16);
    const std::string path = dir_.file(name);
    EXPECT_EQ(f.createOutputFile(path), 0) << f.formatString();
    const auto pcm = wavesmith::test::tone(44100, 2, 0.5, 440);
    f.writeSamples(pcm.data(), pcm.size());
    f.closeFile();
    return path;
  }
  wavesmith::test::ScratchDir dir_;
};

TEST_F(TagFileTest, FieldsWrittenAreReadBackInEveryFormat) {
  TagFields in;
  in.title = "Nöel ♪ title";
  in.artist = "Artist";
  in.album = "Album";
  in.comment = "A comment";
  in.genre = genreName(17);
  in.year = 1999;
  in.track = 7;
  for (const char* name : {"a.mp3", "a.mp2", "a.ogg", "a.wma", "a.wav"}) {
    SCOPED_TRACE(name);
    const std::string path = make(name);
    std::string error;
    ASSERT_TRUE(TagFile::write(path, in, error)) << error;
    TagFields out;
    ASSERT_TRUE(TagFile::read(path, out, error)) << error;
    EXPECT_EQ(out.title, in.title);
    EXPECT_EQ(out.artist, in.artist);
    EXPECT_EQ(out.album, in.album);
    EXPECT_EQ(out.comment, in.comment);
    EXPECT_EQ(out.genre, in.genre);
    EXPECT_EQ(out.year, 1999);
    EXPECT_EQ(out.track, 7);
    // The audio is still intact after the tag was written.
    EXPECT_NEAR(wavesmith::test::decodeAll(path).duration_ms, 500, 80);
  }
}

TEST_F(TagFileTest, Mp3CarriesBothId3Versions) {
  const std::string path = make("b.mp3");
  TagFields in;
  in.title = "Both";
  in.genre = "Rock";
  std::string error;
  ASSERT_TRUE(TagFile::write(path, in, error)) << error;
  const std::string bytes = slurp(path);
  EXPECT_EQ(bytes.substr(0, 3), "ID3");
  ASSERT_GT(bytes.size(), 128u);
  EXPECT_EQ(bytes.substr(bytes.size() - 128, 3), "TAG");
  EXPECT_EQ(static_cast<unsigned char>(bytes.back()), 17u);  // ID3v1 genre byte
}

TEST_F(TagFileTest, ReadOnlyOrNonAudioFilesFailAndStayUnchanged) {
  TagFields in;
  in.title = "x";
  std::string error;

  const std::string ro = make("ro.mp3");
  const std::string before = slurp(ro);
  ::chmod(ro.c_str(), 0444);
  EXPECT_FALSE(TagFile::write(ro, in, error));
  EXPECT_EQ(slurp(ro), before);

  const std::string text = dir_.file("notes.mp3");
  std::ofstream(text) << "just some text, no audio frames here\n";
  const std::string text_before = slurp(text);
  EXPECT_FALSE(TagFile::write(text, in, error));
  EXPECT_EQ(slurp(text), text_before);
  TagFields out;
  EXPECT_FALSE(TagFile::read(text, out, error));

  EXPECT_FALSE(TagFile::write(dir_.file("missing.ogg"), in, error));
  EXPECT_FALSE(std::filesystem::exists(dir_.file("missing.ogg")));
  const std::string other = dir_.file("a.flac");
  std::ofstream(other) << "fLaC";
  EXPECT_FALSE(TagFile::write(other, in, error));
}

}  // namespace
}  // namespace tonemeter
