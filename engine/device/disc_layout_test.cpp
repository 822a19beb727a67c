// The disc layout from the sub-channel against virtual drives holding
// generated discs (pregaps of 0, 1, 2 and more seconds, ISRCs on some
// tracks, a catalog number, flags, a data session at the end), a drive that
// refuses sub-channel reads, and the search itself against a drive whose Q
// answers are of other kinds now and then.
#include "engine/device/disc_layout.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <memory>
#include <string>

#include "engine/device/device_fixture.h"
#include "engine/device/drive_commands.h"
#include "engine/device/pregap_search.h"
#include "engine/device/subchannel_parser.h"
#include "platform/deviceio/drive_table.h"
#include "platform/vdrive/disc_description.h"

namespace engine::device::testing {
namespace {

// Twelve audio tracks and a data session (CD-Extra).
const char kTwelve[] =
    "disc title=\"Layout\" artist=\"Tester\" seed=3 catalog=0724384260927\n"
    "track kind=tone length=20s freq=440 isrc=USABC2600001\n"
    "track kind=noise length=20s pregap=1s\n"
    "track kind=tone length=20s pregap=2s isrc=GBXYZ2600003 preemphasis=yes\n"
    "track kind=noise length=20s\n"
    "track kind=tone length=20s pregap=2s copy=yes\n"
    "track kind=noise length=20s pregap=225f\n"
    "track kind=tone length=20s pregap=17f isrc=DEQ172600007\n"
    "track kind=noise length=20s pregap=2s\n"
    "track kind=tone length=20s pregap=1s\n"
    "track kind=noise length=20s\n"
    "track kind=tone length=20s pregap=2s isrc=FRZ032600011\n"
    "track kind=noise length=20s pregap=5s\n"
    "session\n"
    "track kind=data length=30s\n";

// Track 1 with room before its INDEX 01, a one-frame pregap, a last track
// straight after its neighbour.
const char kRoomBeforeOne[] =
    "disc seed=4\n"
    "track kind=tone length=3s pregap=2s\n"
    "track kind=noise length=2s pregap=1f\n"
    "track kind=tone length=1s\n";

class DiscLayoutTest : public DeviceTest {
 protected:
  // Puts the description into drive E (with extra vdrives.ini keys) and
  // opens a handle on it through the pass-through emulation.
  int32_t Insert(const char* description, const std::string& extra = "") {
    std::ofstream(home_ + "/disc.txt") << description;
    std::ofstream(home_ + "/vdrives.ini") << "[E]\nimage=disc.txt\naddress=1:0:0:0\n" << extra << "\n";
    setenv("RIPMARROW_DEVICE_DIR", home_.c_str(), 1);
    platform::deviceio::DriveTable::instance().rescan();
    EXPECT_EQ(LoadTransport(false), 1);
    const int32_t h = Open(1, CDRT_ANY);
    SendTestUnitReady(h);  // the power-on unit attention
    disc_ = std::make_unique<platform::vdrive::Disc>(platform::vdrive::generateDisc(description, "disc.txt"));
    return h;
  }

  // The layout the disc was made with. Pregaps and ISRCs only when the
  // drive can tell them.
  void ExpectLayoutOfDisc(const DiscLayout& layout, bool subChannel) {
    ASSERT_EQ(layout.tracks.size(), disc_->tracks().size());
    EXPECT_EQ(layout.leadOutLba, static_cast<uint32_t>(disc_->leadOut()));
    EXPECT_EQ(layout.catalog, subChannel ? disc_->text().catalog : "");
    for (size_t i = 0; i < layout.tracks.size(); ++i) {
      SCOPED_TRACE("track " + std::to_string(i + 1));
      const auto& want = disc_->tracks()[i];
      const LayoutTrack& got = layout.tracks[i];
      EXPECT_EQ(got.number, want.number);
      EXPECT_EQ(got.startLba, static_cast<uint32_t>(want.start));
      EXPECT_EQ(got.control, want.control());
      EXPECT_EQ(got.preEmphasis(), want.preEmphasis);
      EXPECT_EQ(got.copyPermitted(), want.copyPermitted);
      EXPECT_EQ(got.data(), platform::vdrive::isDataMode(want.mode));
      if (got.data()) {
        EXPECT_EQ(got.pregapFrames, LayoutTrack::kUnknown);
        EXPECT_EQ(got.isrc, "");
        continue;
      }
      EXPECT_EQ(got.isrc, subChannel ? want.isrc : "");
      if (subChannel || i == 0) {
        EXPECT_EQ(got.pregapFrames, want.start - want.pregapStart);
      } else {
        EXPECT_EQ(got.pregapFrames, LayoutTrack::kUnknown);
      }
    }
  }

  std::unique_ptr<platform::vdrive::Disc> disc_;
};

TEST_F(DiscLayoutTest, TwelveTracksWithADataSessionInFewReads) {
  const int32_t h = Insert(kTwelve);
  DiscLayout layout;
  ASSERT_EQ(ReadDiscLayout(h, layout), kResultOk);
  ExpectLayoutOfDisc(layout, true);
  EXPECT_TRUE(layout.subChannelRead);
  EXPECT_TRUE(layout.qRead);
  // A search, not a scan: at most 5 % of the audio session's sectors.
  const uint32_t audioSectors = static_cast<uint32_t>(disc_->sessions().front().leadOut);
  EXPECT_LE(layout.qSectorsRead, audioSectors / 20) << layout.qSectorsRead << " of " << audioSectors;
  RecordProperty("qSectorsRead", static_cast<int>(layout.qSectorsRead));
  std::cout << "pregap search: " << layout.qSectorsRead << " sectors read of " << audioSectors << "\n";
}

TEST_F(DiscLayoutTest, RoomBeforeTrackOneAndAOneFramePregap) {
  const int32_t h = Insert(kRoomBeforeOne);
  DiscLayout layout;
  ASSERT_EQ(ReadDiscLayout(h, layout), kResultOk);
  ExpectLayoutOfDisc(layout, true);
  EXPECT_EQ(layout.tracks[0].pregapFrames, 150);
  EXPECT_EQ(layout.tracks[1].pregapFrames, 1);
  EXPECT_EQ(layout.tracks[2].pregapFrames, 0);
  EXPECT_EQ(layout.catalog, "");
  EXPECT_TRUE(layout.subChannelRead);
}

// Refused with CHECK CONDITION, or swallowed with GOOD status and no data:
// the TOC's part stays, the sub-channel's parts are unknown, and the drive
// is not asked for every track.
TEST_F(DiscLayoutTest, ADriveThatRefusesTheSubChannelGivesTheTocAlone) {
  for (const char* refusal : {"", "refuse=silent\n"}) {
    SCOPED_TRACE(refusal);
    const int32_t h = Insert(kTwelve, std::string("model=no-subchannel\n") + refusal);
    DiscLayout layout;
    ASSERT_EQ(ReadDiscLayout(h, layout), kResultOk);
    ExpectLayoutOfDisc(layout, false);
    EXPECT_FALSE(layout.subChannelRead);
    EXPECT_FALSE(layout.qRead);
    EXPECT_LE(layout.qSectorsRead, 4u);
    CloseDevice(h);
    UnloadTransport(false);
  }
}

TEST_F(DiscLayoutTest, NoDiscOrABadHandleFails) {
  DiscLayout layout;
  EXPECT_EQ(ReadDiscLayout(9, layout), kResultFail);
  EXPECT_EQ(LastDeviceError(), DEVERR_BAD_HANDLE);
}

// --- the search alone ------------------------------------------------------

// Q of a disc whose track 2 starts at 1000 with a pregap from 900; every
// seventh sector carries an ISRC entry instead of a position, and the drive
// answers for the sector after the one asked for.
TEST(PregapSearch, CopesWithOtherEntriesAndAShiftedDrive) {
  std::vector<int32_t> asked;
  const QProbe probe = [&](int32_t lba) -> std::optional<QPosition> {
    asked.push_back(lba);
    if (lba % 7 == 0) return std::nullopt;
    const int32_t at = lba + 1;
    QPosition q;
    q.track = at >= 900 ? 2 : 1;
    q.index = at >= 1000 ? 1 : at >= 900 ? 0 : 1;
    q.lba = at;
    return q;
  };
  const PregapSearch search = FindPregap(2, 0, 1000, probe);
  ASSERT_TRUE(search.pregapFrames.has_value());
  EXPECT_EQ(*search.pregapFrames, 100);
  EXPECT_EQ(search.sectorsRead, asked.size());
  EXPECT_LE(search.sectorsRead, 20u);
  EXPECT_FALSE(search.refused);
}

TEST(PregapSearch, CommonPregapsTakeFewReads) {
  for (const int32_t pregap : {0, 150}) {
    const QProbe probe = [&](int32_t lba) -> std::optional<QPosition> {
      return QPosition{0, static_cast<uint8_t>(lba >= 5000 - pregap ? 3 : 2), 1, lba};
    };
    const PregapSearch search = FindPregap(3, 2000, 5000, probe);
    EXPECT_EQ(search.pregapFrames, pregap);
    EXPECT_LE(search.sectorsRead, pregap == 0 ? 1u : 3u);
  }
  const PregapSearch none = FindPregap(3, 2000, 5000, [](int32_t) { return std::optional<QPosition>(); });
  EXPECT_TRUE(none.refused);
  EXPECT_FALSE(none.pregapFrames.has_value());
}

TEST(SubchannelParser, CatalogIsrcAndFormattedQ) {
  std::vector<uint8_t> answer(24, 0);
  answer[4] = 2;
  answer[8] = 0x80;
  const char* digits = "0724384260927";
  std::copy(digits, digits + 13, answer.begin() + 9);
  EXPECT_EQ(CatalogFromSubChannel(answer), "0724384260927");
  std::fill(answer.begin() + 9, answer.begin() + 22, '0');
  EXPECT_EQ(CatalogFromSubChannel(answer), "");  // all zeros: none
  answer[8] = 0;
  EXPECT_EQ(CatalogFromSubChannel(answer), "");  // MCVal clear
  const char* isrc = "USABC2600001";
  std::copy(isrc, isrc + 12, answer.begin() + 9);
  answer[8] = 0x80;
  EXPECT_EQ(IsrcFromSubChannel(answer), "USABC2600001");
  answer[10] = 's';
  EXPECT_EQ(IsrcFromSubChannel(answer), "");

  // Track 2, index 0, absolute 00:04:10 (LBA 310 - 150 = 160), CRC zero.
  uint8_t q[16] = {0x01, 0x02, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x04, 0x10};
  auto position = PositionFromFormattedQ(q);
  ASSERT_TRUE(position.has_value());
  EXPECT_EQ(position->track, 2);
  EXPECT_EQ(position->index, 0);
  EXPECT_EQ(position->lba, 4 * 75 + 10 - 150);
  q[11] = 0x12;  // a CRC that is wrong
  EXPECT_FALSE(PositionFromFormattedQ(q).has_value());
  q[11] = 0;
  q[0] = 0x03;  // an ISRC entry
  EXPECT_FALSE(PositionFromFormattedQ(q).has_value());
  q[0] = 0x01;
  q[8] = 0x4A;  // not BCD
  EXPECT_FALSE(PositionFromFormattedQ(q).has_value());
}

}  // namespace
}  // namespace engine::device::testing
