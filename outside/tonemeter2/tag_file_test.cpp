#include "outside/tonemeter2/tag_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

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
    if (ext == "flac") f.setFormatFLAC(5);
    const std::string path = dir_.file(name);
    EXPECT_EQ(f.createOutputFile(path), 0) << f.formatString();
    f.writeSamples(pcm_.data(), pcm_.size());
    f.closeFile();
    return path;
  }
  const std::vector<int16_t> pcm_ = wavesmith::test::tone(44100, 2, 0.5, 440);
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
  in.track_total = 12;
  in.musicbrainz_disc_id = "lwHl8fGzJyLXQR33ug60E8jhf4k-";
  in.cddb_id = "9a0b1c0b";
  for (const char* name : {"a.mp3", "a.mp2", "a.ogg", "a.flac", "a.wma", "a.wav"}) {
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
    EXPECT_EQ(out.track_total, 12);
    EXPECT_EQ(out.musicbrainz_disc_id, in.musicbrainz_disc_id);
    EXPECT_EQ(out.cddb_id, in.cddb_id);
    // The audio is still intact after the tag was written. (Decoded, not as
    // the header says: TagLib leaves the size an ASF header states as it
    // was, and for a file this short the grown tag makes FFmpeg distrust it.)
    EXPECT_NEAR(static_cast<double>(wavesmith::test::decodeAll(path).samples.size()) / 2 / 44100, 0.5, 0.08);
  }
}

// The release's fields go in and come back out in every format, and a
// second write without them removes them.
TEST_F(TagFileTest, ReleaseFieldsRoundTripAndEmptyValuesRemoveThem) {
  TagFields in;
  in.title = "T";
  in.album_artist = "Various Artists";
  in.disc_number = "2/3";
  in.label = "Label";
  in.catalog_number = "CAT 7";
  in.barcode = "5012345678900";
  in.isrc = "GBAAA0100001";
  in.musicbrainz_album_id = "album-id";
  in.musicbrainz_release_group_id = "group-id";
  in.musicbrainz_release_track_id = "release-track-id";
  in.musicbrainz_recording_id = "recording-id";
  in.musicbrainz_artist_ids = "a1; a2";
  in.musicbrainz_album_artist_ids = "va";
  const std::string TagFields::*fields[] = {
      &TagFields::album_artist, &TagFields::disc_number, &TagFields::label, &TagFields::catalog_number,
      &TagFields::barcode, &TagFields::isrc, &TagFields::musicbrainz_album_id, &TagFields::musicbrainz_release_group_id,
      &TagFields::musicbrainz_release_track_id, &TagFields::musicbrainz_recording_id,
      &TagFields::musicbrainz_artist_ids, &TagFields::musicbrainz_album_artist_ids};
  for (const char* name : {"r.mp3", "r.ogg", "r.flac", "r.wma", "r.wav"}) {
    SCOPED_TRACE(name);
    const std::string path = make(name);
    std::string error;
    ASSERT_TRUE(TagFile::write(path, in, error)) << error;
    TagFields out;
    ASSERT_TRUE(TagFile::read(path, out, error)) << error;
    for (const auto field : fields) EXPECT_EQ(out.*field, in.*field);
    TagFields bare;
    bare.title = "T";
    ASSERT_TRUE(TagFile::write(path, bare, error)) << error;
    ASSERT_TRUE(TagFile::read(path, out, error)) << error;
    for (const auto field : fields) EXPECT_EQ(out.*field, "");
  }
}

// The front cover goes in where each format keeps pictures, once; a file
// that is no JPEG or PNG is refused and the audio file left as it was.
TEST_F(TagFileTest, TheCoverIsEmbeddedOnceInEveryFormat) {
  const std::string png = dir_.file("cover.png");
  std::ofstream(png, std::ios::binary) << std::string("\x89PNG\r\n\x1A\n", 8) << std::string(1000, 'p');
  TagFields in;
  in.title = "Covered";
  in.cover_art_file = png;
  std::string error;
  for (int round = 0; round < 2; ++round) {  // a second write replaces the picture
    const std::string mp3 = round == 0 ? make("c.mp3") : dir_.file("c.mp3");
    const std::string flac = round == 0 ? make("c.flac") : dir_.file("c.flac");
    const std::string ogg = round == 0 ? make("c.ogg") : dir_.file("c.ogg");
    const std::string wma = round == 0 ? make("c.wma") : dir_.file("c.wma");
    for (const std::string& path : {mp3, flac, ogg, wma}) ASSERT_TRUE(TagFile::write(path, in, error)) << error;
    TagLib::MPEG::File m(mp3.c_str());
    ASSERT_EQ(m.ID3v2Tag()->frameList("APIC").size(), 1u);
    TagLib::FLAC::File f(flac.c_str());
    ASSERT_EQ(f.pictureList().size(), 1u);
    EXPECT_EQ(f.pictureList().front()->mimeType(), "image/png");
    TagLib::Ogg::Vorbis::File o(ogg.c_str());
    ASSERT_EQ(o.tag()->pictureList().size(), 1u);
    TagLib::ASF::File w(wma.c_str());
    ASSERT_EQ(w.tag()->attribute("WM/Picture").size(), 1u);
  }
  const std::string bad = dir_.file("cover.jpg");
  std::ofstream(bad) << "<html>not an image</html>";
  in.cover_art_file = bad;
  const std::string before = slurp(dir_.file("c.mp3"));
  EXPECT_FALSE(TagFile::write(dir_.file("c.mp3"), in, error));
  EXPECT_NE(error.find("not a JPEG or PNG"), std::string::npos) << error;
  EXPECT_EQ(slurp(dir_.file("c.mp3")), before);
}

// Other programs find the fields under the names the common taggers use:
// read here with TagLib's own format classes, not through TagFile.
TEST_F(TagFileTest, TotalAndDiscIdsSitWhereOtherTaggersLookForThem) {
  TagFields in;
  in.title = "Where";
  in.genre = "Chiptune";  // not in the list: written by name
  in.year = 2001;
  in.track = 4;
  in.track_total = 9;
  in.musicbrainz_disc_id = "Wn8eRBtfLDfM0qjYPdxrz.Zjs_U-";
  in.cddb_id = "6c0a3d09";
  std::string error;

  const std::string mp3 = make("x.mp3");
  ASSERT_TRUE(TagFile::write(mp3, in, error)) << error;
  {
    TagLib::MPEG::File f(mp3.c_str());
    TagLib::ID3v2::Tag* tag = f.ID3v2Tag();
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(tag->frameList("TRCK").front()->toString(), "4/9");
    EXPECT_EQ(tag->genre(), "Chiptune");
    auto* mb = TagLib::ID3v2::UserTextIdentificationFrame::find(tag, "MusicBrainz Disc Id");
    ASSERT_NE(mb, nullptr);
    EXPECT_EQ(mb->fieldList().back(), in.musicbrainz_disc_id);
    auto* cddb = TagLib::ID3v2::UserTextIdentificationFrame::find(tag, "DISCID");
    ASSERT_NE(cddb, nullptr);
    EXPECT_EQ(cddb->fieldList().back(), in.cddb_id);
  }
  for (const char* name : {"x.ogg", "x.flac"}) {
    SCOPED_TRACE(name);
    const std::string path = make(name);
    ASSERT_TRUE(TagFile::write(path, in, error)) << error;
    std::unique_ptr<TagLib::File> file;
    TagLib::Ogg::XiphComment* c = nullptr;
    if (std::string(name) == "x.ogg") {
      auto* f = new TagLib::Ogg::Vorbis::File(path.c_str());
      c = f->tag();
      file.reset(f);
    } else {
      auto* f = new TagLib::FLAC::File(path.c_str());
      c = f->xiphComment();
      file.reset(f);
    }
    ASSERT_NE(c, nullptr);
    const auto& m = c->fieldListMap();
    EXPECT_EQ(m["TITLE"].front(), "Where");
    EXPECT_EQ(m["DATE"].front(), "2001");
    EXPECT_EQ(m["GENRE"].front(), "Chiptune");
    EXPECT_EQ(m["TRACKNUMBER"].front(), "4");
    EXPECT_EQ(m["TRACKTOTAL"].front(), "9");
    EXPECT_EQ(m["MUSICBRAINZ_DISCID"].front(), in.musicbrainz_disc_id);
    EXPECT_EQ(m["DISCID"].front(), in.cddb_id);
  }
  const std::string wma = make("x.wma");
  ASSERT_TRUE(TagFile::write(wma, in, error)) << error;
  {
    TagLib::ASF::File f(wma.c_str());
    TagLib::ASF::Tag* tag = f.tag();
    EXPECT_EQ(tag->attribute("TotalTracks").front().toString(), "9");
    EXPECT_EQ(tag->attribute("MusicBrainz/Disc Id").front().toString(), in.musicbrainz_disc_id);
    EXPECT_EQ(tag->attribute("DISCID").front().toString(), in.cddb_id);
    EXPECT_EQ(tag->track(), 4u);
  }

  // Empty fields take the old values out again.
  TagFields cleared = in;
  cleared.track_total = 0;
  cleared.musicbrainz_disc_id.clear();
  cleared.cddb_id.clear();
  for (const std::string& path : {mp3, dir_.file("x.flac"), wma}) {
    SCOPED_TRACE(path);
    ASSERT_TRUE(TagFile::write(path, cleared, error)) << error;
    TagFields out;
    ASSERT_TRUE(TagFile::read(path, out, error)) << error;
    EXPECT_EQ(out.track, 4);
    EXPECT_EQ(out.track_total, 0);
    EXPECT_TRUE(out.musicbrainz_disc_id.empty());
    EXPECT_TRUE(out.cddb_id.empty());
  }
}

// Tagging a FLAC file keeps its cover picture and leaves its audio, and the
// audio's signature, as they were.
// ReplayGain: read back from every format as written, the other fields
// untouched, and an empty field removes what the file held.
TEST_F(TagFileTest, ReplayGainIsReadBackAndAnEmptyFieldRemovesIt) {
  for (const char* name : {"r.mp3", "r.mp2", "r.wav", "r.ogg", "r.flac", "r.wma"}) {
    SCOPED_TRACE(name);
    const std::string path = make(name);
    TagFields in;
    in.title = "Level";
    in.track = 2;
    in.replaygain_track_gain = "-3.12 dB";
    in.replaygain_track_peak = "0.988525";
    in.replaygain_album_gain = "-4.50 dB";
    in.replaygain_album_peak = "1.012000";
    std::string error;
    ASSERT_TRUE(TagFile::write(path, in, error)) << error;
    TagFields out;
    ASSERT_TRUE(TagFile::read(path, out, error)) << error;
    EXPECT_EQ(out.replaygain_track_gain, in.replaygain_track_gain);
    EXPECT_EQ(out.replaygain_track_peak, in.replaygain_track_peak);
    EXPECT_EQ(out.replaygain_album_gain, in.replaygain_album_gain);
    EXPECT_EQ(out.replaygain_album_peak, in.replaygain_album_peak);
    EXPECT_EQ(out.title, "Level");
    EXPECT_EQ(out.track, 2);

    out.replaygain_album_gain.clear();
    out.replaygain_album_peak.clear();
    ASSERT_TRUE(TagFile::write(path, out, error)) << error;
    TagFields again;
    ASSERT_TRUE(TagFile::read(path, again, error)) << error;
    EXPECT_EQ(again.replaygain_track_gain, in.replaygain_track_gain);
    EXPECT_EQ(again.replaygain_album_gain, "");
    EXPECT_EQ(again.replaygain_album_peak, "");
    EXPECT_EQ(slurp(path).find("REPLAYGAIN_ALBUM"), std::string::npos);
  }
}

TEST_F(TagFileTest, FlacKeepsItsPictureAndItsAudio) {
  const std::string path = make("cover.flac");
  const std::string jpeg = "\xFF\xD8\xFF\xE0 not really a JPEG, but bytes to keep";
  {
    TagLib::FLAC::File f(path.c_str());
    auto* picture = new TagLib::FLAC::Picture;
    picture->setType(TagLib::FLAC::Picture::FrontCover);
    picture->setMimeType("image/jpeg");
    picture->setData(TagLib::ByteVector(jpeg.data(), static_cast<unsigned>(jpeg.size())));
    f.addPicture(picture);  // the file owns it
    ASSERT_TRUE(f.save());
  }
  TagFields in;
  in.title = "With a cover";
  in.track = 1;
  in.track_total = 2;
  std::string error;
  ASSERT_TRUE(TagFile::write(path, in, error)) << error;
  in.title = "Tagged twice";
  ASSERT_TRUE(TagFile::write(path, in, error)) << error;

  TagLib::FLAC::File f(path.c_str());
  ASSERT_TRUE(f.isValid());
  ASSERT_EQ(f.pictureList().size(), 1u);
  EXPECT_EQ(f.pictureList().front()->type(), TagLib::FLAC::Picture::FrontCover);
  EXPECT_EQ(f.pictureList().front()->data(), TagLib::ByteVector(jpeg.data(), static_cast<unsigned>(jpeg.size())));
  EXPECT_EQ(f.xiphComment()->title(), "Tagged twice");
  EXPECT_EQ(wavesmith::test::decodeAll(path).samples, pcm_);
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
