#include "platform/vdrive/disc_description.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/vdrive/cue_image.h"
#include "platform/vdrive/disc_identity.h"
#include "platform/vdrive/image_error.h"
#include "platform/vdrive/image_writer.h"
#include "platform/vdrive/test_support.h"
#include "platform/vdrive/toc_report.h"
#include "vdrive/demo_disc.h"

namespace platform::vdrive {
namespace {

std::vector<uint8_t> allSectors(const Disc& disc) {
  std::vector<uint8_t> out;
  std::array<uint8_t, kSectorBytes> s{};
  for (Lba lba = 0; lba < disc.leadOut(); ++lba)
    if (disc.readSector(lba, s)) out.insert(out.end(), s.begin(), s.end());
  return out;
}

constexpr const char* kMixed =
    "disc title=\"Shapes\" artist=\"Tester\" seed=5\n"
    "track kind=tone length=2s freq=1000 title=\"Tone\" preemphasis=yes  # a comment\n"
    "track kind=noise length=150f pregap=1s\n"
    "track kind=silence length=00:01:00\n"
    "session\n"
    "track kind=data length=30f\n";

TEST(DiscDescription, GeneratesTheSameDiscEveryTime) {
  Disc a = generateDisc(kMixed, "mixed.disc");
  Disc b = generateDisc(kMixed, "mixed.disc");
  EXPECT_EQ(allSectors(a), allSectors(b));
  ASSERT_EQ(a.tracks().size(), 4u);
  EXPECT_TRUE(a.tracks()[0].preEmphasis);
  EXPECT_EQ(a.tracks()[1].pregapStart, 150);
  EXPECT_EQ(a.tracks()[1].start, 225);
  EXPECT_EQ(a.sessions()[0].leadOut, 450);
  EXPECT_EQ(a.tracks()[3].start, 450 + 11400);
  EXPECT_EQ(a.tracks()[3].mode, TrackMode::Mode1Cooked);
  // A different seed gives different noise.
  std::string other = kMixed;
  other.replace(other.find("seed=5"), 6, "seed=6");
  Disc c = generateDisc(other, "mixed.disc");
  std::array<uint8_t, kSectorBytes> x{}, y{};
  ASSERT_TRUE(a.readSector(230, x));
  ASSERT_TRUE(c.readSector(230, y));
  EXPECT_NE(x, y);
}

TEST(DiscDescription, MistakesNameTheLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"track kind=music length=10s\ntrack kind=flute\n", "d.disc:2: unknown kind 'flute'"},
      {"track length=99:99:99\n", "d.disc:1: length '99:99:99'"},
      {"session\n", "d.disc:1: 'session' needs tracks"},
      {"track kind=music key=H\n", "d.disc:1: 'H' is not a key"},
      {"track kind=music progression=I-X\n", "d.disc:1: 'X' is not a scale degree"},
      {"track kind=tone colour=blue\n", "d.disc:1: unknown key 'colour'"},
      {"track kind=tone length=0f\n", "d.disc:1: a track needs at least one frame"},
      {"frobnicate\n", "d.disc:1: unknown statement"},
      {"track kind=music length=100:00:00\n", "d.disc:1:"},
      {"# nothing\n", "no track"},
  };
  for (const auto& [text, message] : cases) {
    try {
      generateDisc(text, "d.disc");
      ADD_FAILURE() << "accepted: " << text;
    } catch (const ImageError& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
}

TEST(DiscDescription, WrittenImageReadsBackTheSame) {
  testing::TempDir dir;
  Disc disc = generateDisc(kMixed, "mixed.disc");
  writeCueImage(disc, dir.path(), "mixed");
  Disc back = loadCueImage(dir.file("mixed.cue"));
  ASSERT_EQ(back.tracks().size(), disc.tracks().size());
  for (size_t i = 0; i < disc.tracks().size(); ++i) {
    EXPECT_EQ(back.tracks()[i].start, disc.tracks()[i].start) << i;
    EXPECT_EQ(back.tracks()[i].pregapStart, disc.tracks()[i].pregapStart) << i;
    EXPECT_EQ(back.tracks()[i].control(), disc.tracks()[i].control()) << i;
  }
  EXPECT_EQ(back.leadOut(), disc.leadOut());
  EXPECT_EQ(allSectors(back), allSectors(disc));
}

TEST(DiscIdentity, KnownIdentifiers) {
  // Two tracks at 00:02:00 and 03:00:00, lead-out at 05:00:00.
  Disc two = generateDisc("track kind=silence length=13350f\ntrack kind=silence length=9000f\n", "two");
  EXPECT_EQ(cddbDiscId(two), 0x0B012A02u);
  // Audio tracks at 00:02:00, 04:10:33 and 08:00:12; the data session does not count.
  Disc three = generateDisc(
      "track kind=silence length=18633f\ntrack kind=silence length=17229f\ntrack kind=silence length=100f\n"
      "session\ntrack kind=data length=100f\n",
      "three");
  EXPECT_EQ(cdPlayerKey(three), 789549u);
}

TEST(DemoDisc, BuiltWithFourPiecesAndTheirTitles) {
  Disc demo = loadCueImage(std::string(RIPMARROW_DEMO_DIR) + "/demo.cue");
  ASSERT_EQ(demo.tracks().size(), 4u);
  for (const Track& t : demo.tracks()) {
    EXPECT_EQ(t.mode, TrackMode::Audio);
    EXPECT_GE(demo.tocLengthFrames(t), 20 * 75);
    EXPECT_LE(demo.tocLengthFrames(t), 40 * 75);
    EXPECT_FALSE(t.title.empty());
  }
  std::ifstream ini(std::string(RIPMARROW_DEMO_DIR) + "/cdplayer.ini");
  std::string text((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
  char key[16];
  std::snprintf(key, sizeof key, "[%X]", cdPlayerKey(demo));
  EXPECT_NE(text.find(key), std::string::npos);
  EXPECT_NE(text.find("numtracks=4"), std::string::npos);
  EXPECT_NE(text.find("3=" + demo.tracks()[3].title), std::string::npos);
  // Music, not silence: every track carries sound.
  std::array<uint8_t, kSectorBytes> s{};
  for (const Track& t : demo.tracks()) {
    ASSERT_TRUE(demo.readSector(t.start + 300, s));
    EXPECT_NE(std::count(s.begin(), s.end(), 0), static_cast<long>(s.size()));
  }
  std::string toc = formatTableOfContents(demo);
  EXPECT_NE(toc.find("lead-out at LBA " + std::to_string(demo.leadOut())), std::string::npos) << toc;
}

}  // namespace
}  // namespace platform::vdrive
