#include "engine/cddb/cdplayer_ini.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "engine/cddb/cddb_fixture.h"
#include "engine/cddb/disc_key.h"
#include "engine/device/toc_parser.h"
#include "platform/profile/profile_file.h"
#include "platform/text/utf.h"

namespace engine::cddb::testing {
namespace {

CddbMatch MatchFor(const char* category, const char* discId) {
  CddbMatch m{};
  std::strcpy(m.category, category);
  std::strcpy(m.discId, discId);
  return m;
}

// An MSF-form TOC: each track as {control, minutes, seconds, frames}, the last one the lead-out.
std::array<uint8_t, device::kTocBufferBytes> MsfToc(std::vector<std::array<uint8_t, 4>> tracks) {
  std::array<uint8_t, device::kTocBufferBytes> toc{};
  const size_t length = 2 + tracks.size() * 8;
  toc[0] = uint8_t(length >> 8);
  toc[1] = uint8_t(length);
  toc[2] = 1;
  toc[3] = uint8_t(tracks.size() - 1);
  for (size_t i = 0; i < tracks.size(); ++i) {
    uint8_t* d = toc.data() + 4 + 8 * i;
    d[1] = tracks[i][0];
    d[2] = uint8_t(i + 1 < tracks.size() ? i + 1 : 0xAA);
    d[5] = tracks[i][1];
    d[6] = tracks[i][2];
    d[7] = tracks[i][3];
  }
  return toc;
}

TEST_F(CddbTest, KeySumsAudioTrackStartsAndLeavesDataTracksOut) {
  const auto toc = MsfToc({{0x10, 0, 2, 0}, {0x14, 2, 0, 0}, {0x10, 4, 10, 33}, {0x10, 8, 0, 12}, {0x10, 9, 0, 0}});
  EXPECT_EQ(CdPlayerKeyFromToc(toc), 0xC0C2Du);

  // Through a drive: the same answer, and the handle's addressing restored.
  auto drive = AddDrive('E', {1000});
  drive->tocOverride.assign(toc.begin(), toc.end());
  ASSERT_EQ(device::LoadTransport(false), 1);
  const int32_t h = Open(1, device::CDRT_ATAPI2);
  EXPECT_EQ(CdPlayerKey(h), 0xC0C2Du);
  EXPECT_EQ(device::FindOpenHandle(h)->msfAddressing, 0);
  EXPECT_EQ(CdPlayerKey(9), 0u);
}

TEST_F(CddbTest, ReadGivesTheDiscTitleAndTrackLinesWithDefaults) {
  WriteIni("[C0C2D]\r\nNUMTRACKS=3\r\nARTIST=A\r\nTITLE=B\r\n1=Stored\r\n"
           "[5]\r\nNUMTRACKS=3\r\nARTIST=" + std::string(30, 'a') + "\r\n1=Stored\r\n");
  CddbMatch m = MatchFor("cdplayerini", "C0C2D");
  char text[3000];
  ASSERT_EQ(CdPlayerIniRead(&m, text, sizeof text), kCddbOk);
  EXPECT_STREQ(text, "DTITLE=A / B\r\nTTITLE0=Track 1\r\nTTITLE1=Stored\r\nTTITLE2=Track 3\r\n");
  EXPECT_STREQ(m.category, "rock");
  EXPECT_EQ(m.exact, 1);
  EXPECT_STREQ(m.artist, "A");

  // A small buffer: a disc title that does not fit is left out, and track
  // lines stop unless 12 bytes remain to spare.
  char small[30];
  std::memset(small, 'z', sizeof small);
  CddbMatch longArtist = MatchFor("cdplayerini", "5");
  ASSERT_EQ(CdPlayerIniRead(&longArtist, small, sizeof small), kCddbOk);
  EXPECT_STREQ(small, "TTITLE0=Track 1\r\n");
  ASSERT_EQ(CdPlayerIniRead(&m, small, 20), kCddbOk);
  EXPECT_STREQ(small, "DTITLE=A / B\r\n");

  CddbMatch absent = MatchFor("cdplayerini", "ABC");
  EXPECT_EQ(CdPlayerIniRead(&absent, text, sizeof text), kCddbFail);
  EXPECT_STREQ(absent.category, "cdplayerini");
  WriteIni("[1]\r\nNUMTRACKS=none\r\n[2]\r\nNUMTRACKS=-4\r\n");
  EXPECT_EQ(CdPlayerIniTrackCount("1"), 0);
  EXPECT_EQ(CdPlayerIniTrackCount("2"), 0);
  EXPECT_EQ(CdPlayerIniRead(&m, nullptr, 10), kCddbFail);
}

TEST_F(CddbTest, TextOfOtherProgramsIsReadAsValidUtf8) {
  WriteIni("[10]\r\nnumtracks=1\r\nartist=Bj\xF6rk\r\n0=\xC3\xA9t\xC3\xA9\r\n");
  CddbMatch m = MatchFor("cdplayerini", "10");
  char text[200];
  ASSERT_EQ(CdPlayerIniRead(&m, text, sizeof text), kCddbOk);
  EXPECT_TRUE(platform::text::isValidUtf8(m.artist));
  EXPECT_NE(std::strstr(text, "TTITLE0=\xC3\xA9t\xC3\xA9\r\n"), nullptr);
}

TEST_F(CddbTest, WriteStoresTrackKeysAndTheirOrder) {
  DiscKeyCacheRecord(0xC0C2D, 0x0b012a02, 10);
  CddbMatch m = MatchFor("rock", "0b012a02");
  std::strcpy(m.artist, "Artist");
  std::strcpy(m.title, "Album");
  std::string entry = "# xmcd\r\nDTITLE=Artist / Album\r\n";
  for (int i = 0; i < 10; ++i) entry += "TTITLE" + std::to_string(i) + "=Song " + std::to_string(i) + "\r\n";
  entry += "TTITLE=no number\r\nTTITLE5 no equals\r\nttitle6=lower case\r\nEXTD=\r\n.\r\n";
  CdPlayerIniWrite(m, entry);

  platform::ProfileFile ini(kCdPlayerIniFile);
  EXPECT_EQ(ini.readString("C0C2D", "artist", "?"), "Artist");
  EXPECT_EQ(ini.readString("C0C2D", "title", "?"), "Album");
  EXPECT_EQ(ini.readInt("C0C2D", "numtracks", -1), 10);
  EXPECT_EQ(ini.readString("C0C2D", "9", "?"), "Song 9");
  EXPECT_EQ(ini.readString("C0C2D", "order", "?"), "0 1 2 3 4 5 6 7 8 9");  // read back trimmed
  EXPECT_NE(IniText().find("order=0 1 2 3 4 5 6 7 8 9 \n"), std::string::npos);
  EXPECT_EQ(ini.keys("C0C2D").size(), 14u);
}

TEST_F(CddbTest, WriteJoinsATitleSplitOverSeveralLines) {
  DiscKeyCacheRecord(0xC0C2D, 0x0b012a02, 2);
  CddbMatch m = MatchFor("rock", "0b012a02");
  CdPlayerIniWrite(m, "TTITLE0=First\r\nTTITLE1=Sec\r\nTTITLE1=ond half\r\n.\r\n");
  platform::ProfileFile ini(kCdPlayerIniFile);
  EXPECT_EQ(ini.readString("C0C2D", "0", "?"), "First");
  EXPECT_EQ(ini.readString("C0C2D", "1", "?"), "Second half");
  EXPECT_EQ(ini.readString("C0C2D", "order", "?"), "0 1");
}

TEST_F(CddbTest, NetworkTextCannotBreakTheFileOrAddKeys) {
  WriteIni("[OTHER]\r\nkeep=me\r\n");
  DiscKeyCacheRecord(0x1234, 0xabc, 2);
  CddbMatch m = MatchFor("rock", "abc");
  std::strcpy(m.artist, "Evil\r\n[OTHER]\r\nkeep=gone");
  std::strcpy(m.title, "x=y [z]");
  CdPlayerIniWrite(m,
                   "TTITLE0=One\nnumtracks=99\r\n"  // a bare LF inside a line
                   "TTITLE1=[OTHER]\r\n"
                   "TTITLEnumtracks=99\r\nTTITLEartist=Evil\r\nTTITLE[x]=y\r\nTTITLE1 =z\r\n");
  platform::ProfileFile ini(kCdPlayerIniFile);
  EXPECT_EQ(ini.readString("OTHER", "keep", "?"), "me");
  EXPECT_EQ(ini.sections().size(), 2u);
  EXPECT_EQ(ini.readInt("1234", "numtracks", -1), 2);
  EXPECT_EQ(ini.readString("1234", "title", "?"), "x=y [z]");
  EXPECT_EQ(ini.readString("1234", "1", "?"), "[OTHER]");
  EXPECT_EQ(ini.keys("1234").size(), 6u);  // artist, title, numtracks, 0, 1, order
  EXPECT_EQ(ini.readString("1234", "order", "?"), "0 1");
}

// Titles from another source go into the disc's section as a server's
// entry would, and read back through the engine's reader as given: other
// discs are kept, and no title can break its line, add a key or lose its
// own quotes.
TEST_F(CddbTest, StoredTitlesReadBackAndKeepOtherDiscs) {
  EXPECT_EQ(CdPlayerKeyTerm(0), 0x200u);  // 00:02:00
  EXPECT_EQ(CdPlayerKeyTerm(18633), 0x40A21u);  // 04:10:33
  WriteIni("; shared with other players\r\n[OTHER]\r\nnumtracks=1\r\n0=Theirs\r\n[C0C2D]\r\nnumtracks=9\r\n7=old\r\n");
  const std::vector<std::string> titles = {"One\r\n[OTHER]\r\n0=gone", "a=b\tc", "\"Heroes\"", "", "  'x'  "};
  ASSERT_TRUE(CdPlayerIniStore(0xC0C2D, 5, "Art\nist", "Alb\x01um", titles));

  CddbMatch m = MatchFor("cdplayerini", "C0C2D");
  char text[3000];
  ASSERT_EQ(CdPlayerIniRead(&m, text, sizeof text), kCddbOk);
  EXPECT_STREQ(text,
               "DTITLE=Art ist / Alb um\r\nTTITLE0=One  [OTHER]  0=gone\r\nTTITLE1=a=b c\r\n"
               "TTITLE2=\"Heroes\"\r\nTTITLE3=\r\nTTITLE4='x'\r\n");
  platform::ProfileFile ini(kCdPlayerIniFile);
  EXPECT_EQ(ini.readString("OTHER", "0", "?"), "Theirs");
  EXPECT_EQ(ini.sections().size(), 2u);
  EXPECT_EQ(ini.readString("C0C2D", "order", "?"), "0 1 2 3 4");
  EXPECT_NE(IniText().find("; shared with other players\r\n"), std::string::npos);

  // Nothing to key the disc by: the file is not touched.
  const std::string before = IniText();
  EXPECT_FALSE(CdPlayerIniStore(0, 5, "a", "b", titles));
  EXPECT_FALSE(CdPlayerIniStore(0x10, 0, "a", "b", titles));
  EXPECT_EQ(IniText(), before);
}

TEST_F(CddbTest, TheRingForgetsAnAssociationAfterTwentyMore) {
  DiscKeyCacheRecord(0x111, 0xaaa, 3);
  uint32_t tracks = 0;
  EXPECT_EQ(DiscKeyCacheLookup("aaa", &tracks), 0x111u);
  EXPECT_EQ(tracks, 3u);
  for (uint32_t i = 0; i < 19; ++i) DiscKeyCacheRecord(0x200 + i, 0xb00 + i, 1);
  EXPECT_EQ(DiscKeyCacheLookup("AAA", nullptr), 0x111u);  // 19 more: still there
  DiscKeyCacheRecord(0x300, 0xc00, 1);
  EXPECT_EQ(DiscKeyCacheLookup("aaa", &tracks), 0u);

  CddbMatch m = MatchFor("rock", "aaa");
  CdPlayerIniWrite(m, "TTITLE0=x\r\n");
  EXPECT_TRUE(platform::ProfileFile(kCdPlayerIniFile).sections().empty());
}

}  // namespace
}  // namespace engine::cddb::testing
