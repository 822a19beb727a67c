// The rip log: its text read back gives the same record, an existing log is
// never replaced, and text that is not a whole log is refused.
#include "client/rip_log.h"
#include "client/drive_offsets.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using proof::TrackVerdict;
using proof::VerdictKind;
using client::RipLog;
using client::RipLogTrack;

RipLog sampleLog() {
  RipLog log;
  log.programVersion = "ripmarrow 0.1.0";
  log.date = "2026-12-08 10:40:00 UTC";
  log.drive = "VIRTUAL VDRIVE +29B";
  log.readOffset = 667;
  log.mode = "secure";
  log.settings = {{"format", "wav"}, {"retries", "20"}};
  log.layout.tracks = {{1, 0, false}, {2, 11325, false}, {3, 40000, true}};
  log.layout.leadOutLba = 52000;
  log.accurateRipIdentity = "002-00002c3d-0000589f-0a00f402";
  log.cddbId = "0a00f402";
  log.musicBrainzId = "49HHV7Eb8UKF3aQiNmu1GR8vKTY-";
  log.accurateRipLookup = "found 2 records";
  RipLogTrack one;
  one.number = 1;
  one.file = "01 Dawn: \xC3\xA9t\xC3\xA9.wav";
  one.ripped = true;
  one.copyCrc = 0x89ABCDEF;
  one.copyCrcSkipZero = 0x01234567;
  one.testCrc = 0x89ABCDEF;
  one.accurateRipV1 = 0xFFFFFFFF;
  one.accurateRipV2 = 0;
  one.verdict = TrackVerdict{VerdictKind::kAccurate, 2, 12};
  RipLogTrack two;
  two.number = 2;
  two.file = "Track02.wav";
  two.ripped = false;
  two.failure = "OPERATION_FAILED";
  two.verdict = TrackVerdict{VerdictKind::kNotAccurate, 0, 7};
  two.retries = 3;
  two.unconfirmedFrames = 5;
  log.tracks = {one, two};
  return log;
}

void expectSameLog(const RipLog& a, const RipLog& b) {
  EXPECT_EQ(a.programVersion, b.programVersion);
  EXPECT_EQ(a.date, b.date);
  EXPECT_EQ(a.drive, b.drive);
  EXPECT_EQ(a.readOffset, b.readOffset);
  EXPECT_EQ(a.mode, b.mode);
  EXPECT_EQ(a.settings, b.settings);
  ASSERT_EQ(a.layout.tracks.size(), b.layout.tracks.size());
  for (size_t i = 0; i < a.layout.tracks.size(); ++i) {
    EXPECT_EQ(a.layout.tracks[i].number, b.layout.tracks[i].number);
    EXPECT_EQ(a.layout.tracks[i].startLba, b.layout.tracks[i].startLba);
    EXPECT_EQ(a.layout.tracks[i].data, b.layout.tracks[i].data);
  }
  EXPECT_EQ(a.layout.leadOutLba, b.layout.leadOutLba);
  EXPECT_EQ(a.accurateRipIdentity, b.accurateRipIdentity);
  EXPECT_EQ(a.cddbId, b.cddbId);
  EXPECT_EQ(a.musicBrainzId, b.musicBrainzId);
  ASSERT_EQ(a.tracks.size(), b.tracks.size());
  for (size_t i = 0; i < a.tracks.size(); ++i) {
    const RipLogTrack& x = a.tracks[i];
    const RipLogTrack& y = b.tracks[i];
    EXPECT_EQ(x.number, y.number);
    EXPECT_EQ(x.file, y.file);
    EXPECT_EQ(x.ripped, y.ripped);
    EXPECT_EQ(x.failure, y.failure);
    EXPECT_EQ(x.copyCrc, y.copyCrc);
    EXPECT_EQ(x.copyCrcSkipZero, y.copyCrcSkipZero);
    EXPECT_EQ(x.testCrc, y.testCrc);
    EXPECT_EQ(x.accurateRipV1, y.accurateRipV1);
    EXPECT_EQ(x.accurateRipV2, y.accurateRipV2);
    EXPECT_EQ(x.verdict.kind, y.verdict.kind);
    EXPECT_EQ(x.verdict.version, y.verdict.version);
    EXPECT_EQ(x.verdict.confidence, y.verdict.confidence);
    EXPECT_EQ(x.retries, y.retries);
    EXPECT_EQ(x.unconfirmedFrames, y.unconfirmedFrames);
  }
}

TEST(RipLog, ItsTextReadsBackAsTheSameRecord) {
  const RipLog log = sampleLog();
  const std::string text = client::RipLogText(log);
  EXPECT_NE(text.find("  AccurateRip: accurate (v2), confidence 12\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  Test CRC: 89ABCDEF (equal)\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Read offset: +667 samples\n"), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with("\nNot every track is accurate: 1 of 2 tracks accurate.\n")) << text;
  std::string error;
  const auto back = client::ParseRipLog(text, error);
  ASSERT_TRUE(back) << error;
  expectSameLog(log, *back);

  // Every track accurate: the closing line says so; a test CRC that differs is not accurate.
  RipLog good = sampleLog();
  good.tracks.pop_back();
  EXPECT_TRUE(client::RipLogText(good).ends_with("\nEvery track is accurate.\n"));
  good.tracks[0].testCrc = 1;
  EXPECT_FALSE(good.allAccurate());
  EXPECT_NE(client::RipLogText(good).find("Test CRC: 00000001 (DIFFERS)"), std::string::npos);
  for (const TrackVerdict verdict : {TrackVerdict{VerdictKind::kNotInDatabase, 0, 0},
                                     TrackVerdict{VerdictKind::kNoAnswer, 0, 0}}) {
    good.tracks[0].verdict = verdict;
    const auto again = client::ParseRipLog(client::RipLogText(good), error);
    ASSERT_TRUE(again) << error;
    EXPECT_EQ(again->tracks[0].verdict.kind, verdict.kind);
  }
}

TEST(RipLog, ALineBreakInANameDoesNotBreakTheLog) {
  RipLog log = sampleLog();
  log.drive = "EVIL\nTrack 5\n";
  std::string error;
  const auto back = client::ParseRipLog(client::RipLogText(log), error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->tracks.size(), 2u);
  EXPECT_EQ(back->drive, "EVIL?Track 5?");
}

TEST(RipLog, WhatIsNotAWholeLogIsRefused) {
  const std::string text = client::RipLogText(sampleLog());
  std::string error;
  EXPECT_FALSE(client::ParseRipLog("", error));
  EXPECT_FALSE(client::ParseRipLog("some other file\n", error));
  // Cut before its closing line.
  EXPECT_FALSE(client::ParseRipLog(text.substr(0, text.rfind("Not every")), error));
  EXPECT_NE(error.find("ends early"), std::string::npos) << error;
  std::string bad = text;
  bad.replace(bad.find("89ABCDEF"), 8, "89ABCDEG");
  EXPECT_FALSE(client::ParseRipLog(bad, error));
  EXPECT_NE(error.find("Copy CRC"), std::string::npos) << error;
}

TEST(RipLog, AnExistingLogIsNeverReplaced) {
  char pattern[] = "/tmp/rm_rip_log.XXXXXX";
  const std::string folder = mkdtemp(pattern);
  std::string error;
  const RipLog log = sampleLog();
  EXPECT_EQ(client::WriteRipLog(folder, log, error), folder + "/ripmarrow.log") << error;
  EXPECT_EQ(client::WriteRipLog(folder, log, error), folder + "/ripmarrow (2).log") << error;
  EXPECT_EQ(client::WriteRipLog(folder, log, error), folder + "/ripmarrow (3).log") << error;
  std::ofstream(folder + "/ripmarrow (10).log") << "x";
  std::ofstream(folder + "/ripmarrow (x).log") << "x";
  const auto logs = client::RipLogsIn(folder);
  ASSERT_EQ(logs.size(), 4u);
  EXPECT_EQ(logs.front(), folder + "/ripmarrow.log");
  EXPECT_EQ(logs.back(), folder + "/ripmarrow (10).log");
  std::ifstream in(folder + "/ripmarrow.log");
  std::stringstream s;
  s << in.rdbuf();
  EXPECT_EQ(s.str(), client::RipLogText(log));
  EXPECT_TRUE(client::WriteRipLog(folder + "/missing", log, error).empty());
  EXPECT_FALSE(error.empty());
  std::filesystem::remove_all(folder);
}

}  // namespace

namespace {

TEST(DriveOffsets, ADriveIsKnownByItsIdentityNotItsAddress) {
  using client::DriveOffsets;
  EXPECT_EQ(DriveOffsets::identityOf("RIPMARRW, Virtual CD-ROM   v+29B (0:7:0)"), "RIPMARRW, Virtual CD-ROM   v+29B");
  EXPECT_EQ(DriveOffsets::identityOf("  PLEXTOR, DVDR PX-716A v1.11 (12:0:0) "), "PLEXTOR, DVDR PX-716A v1.11");
  EXPECT_EQ(DriveOffsets::identityOf("Odd (drive) (x:1)"), "Odd (drive) (x:1)");
  char pattern[] = "/tmp/rm_drive_offsets.XXXXXX";
  const std::string home = mkdtemp(pattern);
  setenv("RIPMARROW_HOME", home.c_str(), 1);
  EXPECT_TRUE(DriveOffsets::setOffset("HL-DT-ST, DVDRAM GH24NSD1 vLG00 (1:0:0)", 6));
  EXPECT_EQ(DriveOffsets::offsetOf("HL-DT-ST, DVDRAM GH24NSD1 vLG00 (2:0:0)"), 6);
  EXPECT_FALSE(DriveOffsets::offsetOf("HL-DT-ST, DVDRAM GH24NSD1 vLG01 (1:0:0)"));
  EXPECT_FALSE(DriveOffsets::setOffset("X", 2001));
  EXPECT_FALSE(DriveOffsets::setOffset("   ", 1));
  long samples = 0;
  for (const char* bad : {"", "+", "1e3", "2001", "-2001", "12345", " 5"}) {
    EXPECT_FALSE(DriveOffsets::parseOffset(bad, samples)) << bad;
  }
  EXPECT_TRUE(DriveOffsets::parseOffset("-2000", samples));
  EXPECT_EQ(samples, -2000);
  std::filesystem::remove_all(home);
  unsetenv("RIPMARROW_HOME");
}

// What the reads cost and the C2 pointers' flags: written as the row's
// "Reads" and "C2 flagged frames" lines, with the disc's C2 line, and read
// back; a Reads value that is not "N.NN frames per frame" is refused.
TEST(RipLog, ReadsAndC2LinesReadBack) {
  RipLog log = sampleLog();
  log.c2 = "used (the drive has them; drives.ini c2: auto)";
  log.tracks[0].readsPerFrame = 1.0666;
  log.tracks[0].c2ErrorFrames = 14;
  const std::string text = RipLogText(log);
  EXPECT_NE(text.find("\n  Reads: 1.07 frames per frame\n  C2 flagged frames: 14\n"), std::string::npos) << text;
  std::string error;
  const auto back = client::ParseRipLog(text, error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->c2, log.c2);
  ASSERT_TRUE(back->tracks[0].readsPerFrame);
  EXPECT_DOUBLE_EQ(*back->tracks[0].readsPerFrame, 1.07);
  EXPECT_EQ(back->tracks[0].c2ErrorFrames, 14);
  EXPECT_FALSE(back->tracks[1].readsPerFrame);
  for (const char* bad : {"x frames per frame", "1.07", "-1 frames per frame", ".5 frames per frame", "1e9 frames per frame"})
    EXPECT_FALSE(client::ParseReads(bad)) << bad;
}

TEST(DriveOffsets, C2SettingIsKeptPerDrive) {
  using client::DriveOffsets;
  char pattern[] = "/tmp/rm_drive_c2.XXXXXX";
  const std::string home = mkdtemp(pattern);
  setenv("RIPMARROW_HOME", home.c_str(), 1);
  std::ofstream(home + "/drives.ini") << "[PLEXTOR, DVDR PX-716A v1.11]\nc2 = Off\n[LITE-ON, X v1]\nc2 = on\n"
                                      << "[ODD, Y v1]\nc2 = maybe\n";
  EXPECT_EQ(DriveOffsets::c2ModeOf("PLEXTOR, DVDR PX-716A v1.11 (1:0:0)"), 2);
  EXPECT_EQ(DriveOffsets::c2ModeOf("LITE-ON, X v1"), 1);
  EXPECT_EQ(DriveOffsets::c2ModeOf("ODD, Y v1"), 0);  // not a setting: auto
  EXPECT_EQ(DriveOffsets::c2ModeOf("UNKNOWN, Z v1"), 0);
  EXPECT_STREQ(DriveOffsets::c2ModeName(2), "off");
  std::filesystem::remove_all(home);
  unsetenv("RIPMARROW_HOME");
}

}  // namespace
