// Cue sheets: the writer's text for a small layout, and the round trip: WAV
// files ripped by `ripmarrow rip` from a generated disc, with the sheet the
// writer makes from the disc's layout (read through the device layer), load
// into a virtual drive as a new image that has the same TOC, pregaps, ISRCs,
// catalog number, flags and audio.
#include "ripmarrow/cue_sheet_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>

#include "engine/device/device_fixture.h"
#include "engine/device/disc_layout.h"
#include "engine/device/drive_commands.h"
#include "platform/deviceio/drive_table.h"
#include "platform/vdrive/disc_description.h"
#include "platform/vdrive/image_writer.h"
#include "ripmarrow/rip_command.h"
#include "tests/cli/program_run.h"

namespace {

using ripmarrow::CueSheetWriter;

TEST(CueSheetWriter, PregapsGoToThePreviousFileAndTrackOnesToPregap) {
  CueSheetWriter::Disc disc;
  disc.catalog = "0724384260927";
  disc.performer = "The \"Quartet\"";
  disc.title = "Rooms";
  CueSheetWriter::Track one;
  one.number = 1;
  one.startLba = 32;
  one.pregapFrames = 32;
  one.isrc = "USABC2600001";
  one.title = "First";
  one.file = "01 First.wav";
  CueSheetWriter::Track two;
  two.number = 2;
  two.startLba = 32 + 4500;
  two.pregapFrames = 150;
  two.preEmphasis = two.copyPermitted = true;
  two.title = "Second";
  two.performer = "Guest";
  two.file = "02 Second.wav";
  CueSheetWriter::Track three;
  three.number = 3;
  three.startLba = 32 + 9000;
  three.pregapFrames = 0;
  three.file = "03.wav";
  CueSheetWriter::Track four;  // pregap not known: none written
  four.number = 4;
  four.startLba = 32 + 9750;
  four.file = "04.wav";
  CueSheetWriter::Track data;
  data.number = 5;
  data.startLba = 40000;
  data.data = true;
  disc.tracks = {one, two, three, four, data};
  EXPECT_EQ(CueSheetWriter::write(disc),
            "CATALOG 0724384260927\r\n"
            "PERFORMER \"The 'Quartet'\"\r\n"
            "TITLE \"Rooms\"\r\n"
            "FILE \"01 First.wav\" WAVE\r\n"
            "  TRACK 01 AUDIO\r\n"
            "    ISRC USABC2600001\r\n"
            "    TITLE \"First\"\r\n"
            "    PREGAP 00:00:32\r\n"
            "    INDEX 01 00:00:00\r\n"
            "  TRACK 02 AUDIO\r\n"
            "    FLAGS DCP PRE\r\n"
            "    TITLE \"Second\"\r\n"
            "    PERFORMER \"Guest\"\r\n"
            "    INDEX 00 00:58:00\r\n"
            "FILE \"02 Second.wav\" WAVE\r\n"
            "    INDEX 01 00:00:00\r\n"
            "FILE \"03.wav\" WAVE\r\n"
            "  TRACK 03 AUDIO\r\n"
            "    INDEX 01 00:00:00\r\n"
            "FILE \"04.wav\" WAVE\r\n"
            "  TRACK 04 AUDIO\r\n"
            "    INDEX 01 00:00:00\r\n");
}

// The hidden track's file holds track 1's INDEX 00; a sheet whose pregaps
// the drive would not tell says so, and writes none; MP3 files are named as
// such.
TEST(CueSheetWriter, HiddenTrackFileHoldsTrackOnesIndexZero) {
  CueSheetWriter::Disc disc;
  CueSheetWriter::Track one;
  one.number = 1;
  one.startLba = 600;
  one.pregapFrames = 600;
  one.file = "01 First.wav";
  CueSheetWriter::Track two;
  two.number = 2;
  two.startLba = 5000;
  two.pregapFrames = 75;
  two.file = "02 Second.wav";
  disc.tracks = {one, two};
  disc.hiddenTrackFile = "00 Hidden Track.wav";
  EXPECT_EQ(CueSheetWriter::write(disc),
            "FILE \"00 Hidden Track.wav\" WAVE\r\n"
            "  TRACK 01 AUDIO\r\n"
            "    INDEX 00 00:00:00\r\n"
            "FILE \"01 First.wav\" WAVE\r\n"
            "    INDEX 01 00:00:00\r\n"
            "  TRACK 02 AUDIO\r\n"
            "    INDEX 00 00:57:50\r\n"
            "FILE \"02 Second.wav\" WAVE\r\n"
            "    INDEX 01 00:00:00\r\n");

  disc.hiddenTrackFile.clear();
  disc.pregapsUnknown = true;
  disc.fileType = "MP3";
  disc.tracks[0].pregapFrames = disc.tracks[1].pregapFrames = -1;
  disc.tracks[0].file = "01 First.mp3";
  disc.tracks[1].file = "02 Second.mp3";
  EXPECT_EQ(CueSheetWriter::write(disc),
            "REM PREGAPS UNKNOWN: the drive did not tell them\r\n"
            "FILE \"01 First.mp3\" MP3\r\n"
            "  TRACK 01 AUDIO\r\n"
            "    INDEX 01 00:00:00\r\n"
            "FILE \"02 Second.mp3\" MP3\r\n"
            "  TRACK 02 AUDIO\r\n"
            "    INDEX 01 00:00:00\r\n");
}

// Pregaps of 1 s, 2 s, 0 and one frame; room before track 1; ISRCs on some
// tracks; pre-emphasis and copy flags; a catalog number.
constexpr char kDisc[] =
    "disc title=\"Round Trip\" artist=\"Tester\" seed=9 catalog=0724384260927\n"
    "track kind=music length=3s title=\"One\" isrc=USABC2600001 pregap=20f\n"
    "track kind=noise length=2s pregap=1s title=\"Two\"\n"
    "track kind=tone length=2s pregap=2s title=\"Three\" isrc=GBXYZ2600003 preemphasis=yes\n"
    "track kind=noise length=1s title=\"Four\" copy=yes\n"
    "track kind=music length=2s pregap=1f title=\"Five\" isrc=DEQ172600005\n";

class CueRoundTrip : public engine::device::testing::DeviceTest {
 protected:
  // The layout of the image in a virtual drive at E.
  engine::device::DiscLayout LayoutOf(const std::string& image) {
    std::ofstream(home_ + "/vdrives.ini") << "[E]\nimage=" << image << "\naddress=1:0:0:0\n";
    platform::deviceio::DriveTable::instance().rescan();
    EXPECT_EQ(engine::device::LoadTransport(false), 1);
    const int32_t h = Open(1, CDRT_ANY);
    engine::device::SendTestUnitReady(h);
    engine::device::DiscLayout layout;
    EXPECT_EQ(engine::device::ReadDiscLayout(h, layout), engine::device::kResultOk);
    engine::device::CloseDevice(h);
    engine::device::UnloadTransport(false);
    return layout;
  }
};

TEST_F(CueRoundTrip, RippedWavFilesAndTheirSheetMakeTheSameDisc) {
  setenv("RIPMARROW_DEVICE_DIR", home_.c_str(), 1);
  std::ofstream(home_ + "/disc.txt") << kDisc;
  const platform::vdrive::Disc original = platform::vdrive::generateDisc(kDisc, "disc.txt");
  std::ofstream(home_ + "/cdplayer.ini", std::ios::binary) << platform::vdrive::titleSidecar(original);
  cli_testing::Result run = cli_testing::runRipmarrow(home_, "register");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  run = cli_testing::runRipmarrow(home_, "--vdrive disc.txt rip --format wav --titles local --out rip");
  ASSERT_EQ(run.status, 0) << run.out << run.err;

  const engine::device::DiscLayout layout = LayoutOf("disc.txt");
  ASSERT_EQ(layout.tracks.size(), 5u);
  CueSheetWriter::Disc sheet;
  sheet.catalog = layout.catalog;
  sheet.title = original.text().title;
  sheet.performer = original.text().performer;
  for (const engine::device::LayoutTrack& t : layout.tracks) {
    CueSheetWriter::Track track;
    track.number = t.number;
    track.startLba = t.startLba;
    track.pregapFrames = t.pregapFrames;
    track.data = t.data();
    track.preEmphasis = t.preEmphasis();
    track.copyPermitted = t.copyPermitted();
    track.fourChannel = t.fourChannel();
    track.isrc = t.isrc;
    track.title = original.tracks()[t.number - 1].title;
    track.file = ripmarrow::RipCommand::fileName(t.number, track.title, ".wav");
    ASSERT_TRUE(std::filesystem::exists(home_ + "/rip/" + track.file)) << track.file << "\n" << run.out;
    sheet.tracks.push_back(track);
  }
  std::ofstream(home_ + "/rip/disc.cue", std::ios::binary) << CueSheetWriter::write(sheet);

  const engine::device::DiscLayout again = LayoutOf("rip/disc.cue");
  EXPECT_EQ(again.catalog, "0724384260927");
  EXPECT_EQ(again.leadOutLba, layout.leadOutLba);
  ASSERT_EQ(again.tracks.size(), layout.tracks.size());
  for (size_t i = 0; i < layout.tracks.size(); ++i) {
    SCOPED_TRACE("track " + std::to_string(i + 1));
    EXPECT_EQ(again.tracks[i].startLba, layout.tracks[i].startLba);
    EXPECT_EQ(again.tracks[i].control, layout.tracks[i].control);
    EXPECT_EQ(again.tracks[i].pregapFrames, layout.tracks[i].pregapFrames);
    EXPECT_EQ(again.tracks[i].isrc, layout.tracks[i].isrc);
    EXPECT_EQ(again.tracks[i].pregapFrames, original.tracks()[i].start - original.tracks()[i].pregapStart);
  }

  const platform::vdrive::Disc copy = platform::vdrive::loadImage(home_ + "/rip/disc.cue");
  ASSERT_EQ(copy.leadOut(), original.leadOut());
  std::array<uint8_t, platform::vdrive::kSectorBytes> a{}, b{};
  size_t differing = 0;
  for (platform::vdrive::Lba lba = 0; lba < original.leadOut(); ++lba) {
    ASSERT_TRUE(original.readSector(lba, a));
    ASSERT_TRUE(copy.readSector(lba, b)) << lba;
    if (a != b) ++differing;
  }
  EXPECT_EQ(differing, 0u);
}

}  // namespace
