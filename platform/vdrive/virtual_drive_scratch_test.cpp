// Scratches: reads that succeed with wrong bytes, and the C2 pointers that
// flag them.
#include <gtest/gtest.h>

#include <set>

#include "platform/vdrive/disc_description.h"
#include "platform/vdrive/drive_settings.h"
#include "platform/vdrive/test_support.h"
#include "platform/vdrive/virtual_drive.h"
#include "vdrive/demo_disc.h"

namespace platform::vdrive {
namespace {

using testing::exec;
using testing::Exchange;

std::shared_ptr<const Disc> noiseDisc() {
  return std::make_shared<const Disc>(generateDisc("track kind=noise length=300f\n", "noise"));
}

// READ CD of one audio sector with the error field `errorField` (0, 1: 294 bytes, 2: 296).
std::vector<uint8_t> readCd(Lba lba, int errorField) {
  return {0xBE, 0x04, 0, 0, static_cast<uint8_t>(lba >> 8), static_cast<uint8_t>(lba), 0, 0, 1,
          static_cast<uint8_t>(0x10 | errorField << 1), 0, 0};
}

struct Rig {
  explicit Rig(FaultPlan plan) : disc(noiseDisc()), drive(disc, DriveModel{}, std::make_shared<ManualClock>()) {
    drive.setFaults(std::move(plan));
    exec(drive, {0, 0, 0, 0, 0, 0});  // the power-on attention
  }
  std::vector<uint8_t> truth(Lba lba) const {
    std::vector<uint8_t> s(kSectorBytes);
    disc->readSector(lba, std::span<uint8_t, kSectorBytes>(s.data(), kSectorBytes));
    return s;
  }
  std::shared_ptr<const Disc> disc;
  VirtualDrive drive;
};

struct Read {
  std::vector<uint8_t> audio;
  std::vector<uint8_t> c2;
};

Read readSector(Rig& rig, Lba lba, int errorField) {
  const size_t c2 = errorField == 1 ? 294 : errorField == 2 ? 296 : 0;
  Exchange x = exec(rig.drive, readCd(lba, errorField), kSectorBytes + c2);
  EXPECT_EQ(x.result.status, scsi::kStatusGood);
  EXPECT_EQ(x.data.size(), kSectorBytes + c2);
  return {std::vector<uint8_t>(x.data.begin(), x.data.begin() + kSectorBytes),
          std::vector<uint8_t>(x.data.begin() + kSectorBytes, x.data.end())};
}

std::set<size_t> wrongBytes(const std::vector<uint8_t>& got, const std::vector<uint8_t>& truth) {
  std::set<size_t> out;
  for (size_t i = 0; i < got.size(); ++i)
    if (got[i] != truth[i]) out.insert(i);
  return out;
}

std::set<size_t> flaggedBytes(const std::vector<uint8_t>& c2) {
  std::set<size_t> out;
  for (size_t i = 0; i < 294 * 8; ++i)
    if (c2[i / 8] & (0x80 >> (i % 8))) out.insert(i);
  return out;
}

TEST(DriveScratch, RandomScratchReadsRightOnItsShareAndWrongDifferentlyOtherwise) {
  FaultPlan plan;
  plan.scratch = {{100, 100, 0}};
  plan.scratchGoodPercent = 30;
  Rig rig(plan);
  int right = 0;
  std::set<std::vector<uint8_t>> wrongContents;
  for (int i = 0; i < 200; ++i) {
    const Read r = readSector(rig, 100, 0);
    if (r.audio == rig.truth(100)) ++right;
    else wrongContents.insert(r.audio);
  }
  EXPECT_GT(right, 35);
  EXPECT_LT(right, 85);
  EXPECT_GT(wrongContents.size(), 100u);  // never the same wrong twice, in practice
  EXPECT_EQ(readSector(rig, 101, 0).audio, rig.truth(101));  // next to it: clean
}

TEST(DriveScratch, StableScratchRepeatsItsWrongBytesAndPolishedOnesHeal) {
  FaultPlan plan;
  plan.scratch = {{50, 51, 0}, {200, 200, 2}};
  plan.scratchStable = true;
  Rig rig(plan);
  const Read first = readSector(rig, 50, 0);
  EXPECT_NE(first.audio, rig.truth(50));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(readSector(rig, 50, 0).audio, first.audio);
  EXPECT_NE(readSector(rig, 51, 0).audio, first.audio);  // each sector its own wrong bytes
  EXPECT_NE(readSector(rig, 200, 0).audio, rig.truth(200));
  EXPECT_NE(readSector(rig, 200, 0).audio, rig.truth(200));
  EXPECT_EQ(readSector(rig, 200, 0).audio, rig.truth(200));  // "x2": wrong on its first two reads only
}

TEST(DriveScratch, C2PointersFlagWrongBytesExactlyOrPartially) {
  for (C2Report mode : {C2Report::Exact, C2Report::Partial, C2Report::None}) {
    FaultPlan plan;
    plan.scratch = {{60, 60, 0}};
    plan.scratchGoodPercent = 0;
    plan.c2 = mode;
    Rig rig(plan);
    for (int field : {1, 2}) {
      for (int i = 0; i < 10; ++i) {
        const Read r = readSector(rig, 60, field);
        const auto wrong = wrongBytes(r.audio, rig.truth(60));
        const auto flagged = flaggedBytes(r.c2);
        ASSERT_GE(wrong.size(), 2u);
        if (mode == C2Report::Exact) {
          EXPECT_EQ(flagged, wrong);
        }
        if (mode == C2Report::None) {
          EXPECT_TRUE(flagged.empty());
        }
        if (mode == C2Report::Partial) {
          EXPECT_FALSE(flagged.empty());
          EXPECT_LT(flagged.size(), wrong.size());
          for (size_t at : flagged) EXPECT_TRUE(wrong.count(at)) << at;
        }
        if (field == 2) {
          EXPECT_EQ(r.c2[294] != 0, mode != C2Report::None);  // the block error byte
        }
      }
      const Read clean = readSector(rig, 61, field);
      EXPECT_EQ(clean.audio, rig.truth(61));
      EXPECT_TRUE(flaggedBytes(clean.c2).empty());
    }
  }
}

TEST(DriveScratch, ModeSenseSaysWhetherC2PointersAreSupported) {
  for (C2Report mode : {C2Report::None, C2Report::Exact}) {
    FaultPlan plan;
    plan.c2 = mode;
    Rig rig(plan);
    Exchange x = exec(rig.drive, {0x5A, 0x08, 0x2A, 0, 0, 0, 0, 0, 64, 0}, 64);
    ASSERT_EQ(x.result.status, scsi::kStatusGood);
    EXPECT_EQ((x.data[8 + 5] & 0x10) != 0, mode != C2Report::None);
  }
}

TEST(DriveScratch, SettingsKeysAndTheirErrors) {
  auto clock = std::make_shared<ManualClock>();
  auto drive = makeVirtualDrive({{"image", "demo.cue"}, {"scratch", "10-12, 40x3, random:5"},
                                 {"scratch-good", "0"}, {"scratch-stable", "1"}, {"c2", "Exact"}},
                                RIPMARROW_DEMO_DIR, clock);
  ASSERT_TRUE(drive->disc());
  const std::pair<std::map<std::string, std::string>, const char*> bad[] = {
      {{{"scratch", "9-3"}}, "'scratch'"},
      {{{"scratch", "random:x"}}, "'scratch'"},
      {{{"scratch-good", "101"}}, "'scratch-good'"},
      {{{"scratch-stable", "yes"}}, "'scratch-stable'"},
      {{{"c2", "some"}}, "'c2': 'some' is not none, exact or partial"},
  };
  for (const auto& [keys, message] : bad) {
    try {
      makeVirtualDrive(keys, ".", clock);
      ADD_FAILURE() << message;
    } catch (const DriveSettingsError& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace platform::vdrive
