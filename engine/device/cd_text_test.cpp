#include "engine/device/cd_text.h"

#include <gtest/gtest.h>

#include "platform/vdrive/cd_text_packs.h"
#include "platform/vdrive/disc_description.h"

namespace engine::device {
namespace {

// The answer a drive gives: the 4-byte header, then the packs.
std::vector<uint8_t> Answer(const std::vector<uint8_t>& packs) {
  std::vector<uint8_t> answer = {uint8_t((packs.size() + 2) >> 8), uint8_t(packs.size() + 2), 0, 0};
  answer.insert(answer.end(), packs.begin(), packs.end());
  return answer;
}

std::vector<uint8_t> Packs(const std::string& description) {
  return platform::vdrive::CdTextPacks(platform::vdrive::generateDisc(description, "test.disc"));
}

constexpr char kDisc[] =
    "disc title=\"Caf\xC3\xA9 Nights and a title longer than one pack\" artist=\"The Quartet\" songwriter=\"Ann\"\n"
    "track kind=tone length=2s title=\"One\" songwriter=\"Bo\"\n"
    "track kind=tone length=2s title=\"\" performer=\"Guest\"\n"
    "track kind=tone length=2s title=\"Three\"\n";

TEST(CdText, ReadsWhatTheVirtualDriveWrites) {
  const CdText text = ParseCdText(Answer(Packs(kDisc)));
  EXPECT_TRUE(text.notes.empty());
  EXPECT_EQ(text.entries.at(0).title, "Caf\xC3\xA9 Nights and a title longer than one pack");
  EXPECT_EQ(text.entries.at(0).performer, "The Quartet");
  EXPECT_EQ(text.entries.at(0).songwriter, "Ann");
  EXPECT_EQ(text.entries.at(1).title, "One");
  EXPECT_EQ(text.entries.at(1).songwriter, "Bo");
  EXPECT_EQ(text.entries.at(2).title, "");
  EXPECT_EQ(text.entries.at(2).performer, "Guest");
  EXPECT_EQ(text.entries.at(3).title, "Three");
  EXPECT_TRUE(Packs("disc\ntrack kind=tone length=2s\n").empty());
}

TEST(CdText, APackWithABadCrcIsDroppedNotTrusted) {
  std::vector<uint8_t> packs = Packs(kDisc);
  packs[4] ^= 0x20;  // the first pack's first text byte
  const CdText text = ParseCdText(Answer(packs));
  ASSERT_EQ(text.notes.size(), 1u);
  EXPECT_NE(text.notes[0].find("CRC"), std::string::npos);
  // The album title's first 12 bytes are gone: the rest of it is not kept
  // as a title, nor taken for another track's.
  EXPECT_EQ(text.entries.at(0).title, "");
  EXPECT_EQ(text.entries.at(0).performer, "The Quartet");
  EXPECT_EQ(text.entries.at(1).title, "One");
}

// A hand-made pack with its CRC.
std::vector<uint8_t> Pack(uint8_t type, uint8_t track, uint8_t sequence, uint8_t block, const std::string& text) {
  std::vector<uint8_t> pack(18, 0);
  pack[0] = type;
  pack[1] = track;
  pack[2] = sequence;
  pack[3] = uint8_t(block << 4);
  for (size_t k = 0; k < 12 && k < text.size(); ++k) pack[4 + k] = uint8_t(text[k]);
  const uint16_t crc = CdTextPackCrc(pack);
  pack[16] = uint8_t(crc >> 8);
  pack[17] = uint8_t(crc);
  return pack;
}

TEST(CdText, OtherCharacterSetsAreSkippedAndATabRepeatsTheTextBefore) {
  std::vector<uint8_t> packs;
  auto add = [&packs](const std::vector<uint8_t>& pack) { packs.insert(packs.end(), pack.begin(), pack.end()); };
  add(Pack(0x81, 0, 0, 0, std::string("Kana\0\0\0\0\0\0\0\0", 12)));
  add(Pack(0x8F, 0, 1, 0, std::string("\x80\x01\x01", 3)));  // block 0: MS-JIS
  add(Pack(0x81, 0, 0, 1, std::string("Band\0\t\0", 7)));    // block 1: album, track 1 the same
  add(Pack(0x8F, 0, 1, 1, std::string("\x00\x01\x01", 3)));
  const CdText text = ParseCdText(Answer(packs));
  ASSERT_EQ(text.notes.size(), 1u);
  EXPECT_NE(text.notes[0].find("block 0 skipped"), std::string::npos);
  EXPECT_EQ(text.entries.at(0).performer, "Band");
  EXPECT_EQ(text.entries.at(1).performer, "Band");
}

TEST(CdText, ShortAndEmptyAnswersGiveNothing) {
  EXPECT_TRUE(ParseCdText({}).empty());
  const std::vector<uint8_t> header = {0x00, 0x02, 0, 0};
  EXPECT_TRUE(ParseCdText(header).empty());
  std::vector<uint8_t> cut = Answer(Packs(kDisc));
  cut.resize(4 + 18 + 7);  // a pack and part of one
  EXPECT_EQ(ParseCdText(cut).entries.size(), 0u);  // the album title's first pack holds no whole string
}

}  // namespace
}  // namespace engine::device
