#include "client/file_names.h"

#include <gtest/gtest.h>

namespace {

using client::TitleFileName;

TEST(FileNames, InvisibleAndReorderingCharactersGo) {
  // "a<RLO>wav.exe" would show as "aexe.vaw"; C1 controls (U+0085, U+009B) show as nothing or act.
  EXPECT_EQ(client::WithoutForbiddenChars("02 a\u202Ewav.exe"), "02 awav.exe");
  EXPECT_EQ(client::WithoutForbiddenChars("x\u2066y\u2069z\u200F\u061C"), "xyz");
  EXPECT_EQ(client::WithoutForbiddenChars("Bell\a Esc\x1b[31m C1\u0085\u009b end"), "Bell Esc[31m C1 end");
  // Letters of other scripts stay, U+00A0 and up among them.
  EXPECT_EQ(client::WithoutForbiddenChars("Caf\u00e9 \u00a0\u05e9\u05dc\u05d5\u05dd"), "Caf\u00e9 \u00a0\u05e9\u05dc\u05d5\u05dd");
}

TEST(FileNames, NamesNeitherHideNorVanish) {
  EXPECT_EQ(client::SafeStem(".hidden - Album", "Disc"), "_.hidden - Album");
  EXPECT_EQ(client::SafeStem("-", "Disc"), "Disc");
  EXPECT_EQ(client::SafeStem(" - ", "Disc"), "Disc");
  EXPECT_EQ(client::SafeStem("", "Track03"), "Track03");
  EXPECT_EQ(client::CleanTitle("  \u202E ?* "), "");
  EXPECT_EQ(TitleFileName("\u202E", ".wav", "Track03"), "Track03.wav");
}

TEST(FileNames, OnlyAnAudioExtensionOfTheTitlesOwnIsDropped) {
  EXPECT_EQ(TitleFileName("Mr. Blue", ".mp3", "Track01"), "Mr. Blue.mp3");
  EXPECT_EQ(TitleFileName("Mr. Blue.mp3", ".mp3", "Track01"), "Mr. Blue.mp3");
  EXPECT_EQ(TitleFileName("Mr. Blue.FLAC", ".ogg", "Track01"), "Mr. Blue.ogg");
  EXPECT_EQ(TitleFileName("v1.2.3", ".wma", "Track01"), "v1.2.3.wma");
  EXPECT_EQ(TitleFileName("Live at St. Mary's.txt", ".wav", "Track01"), "Live at St. Mary's.txt.wav");
  EXPECT_EQ(TitleFileName(".mp3", ".mp3", "Track01"), "_.mp3.mp3");
}

}  // namespace
