// The virtual drive's fault scenarios and timing model, each reproducible
// from its seed.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <set>
#include <thread>

#include "platform/vdrive/disc_description.h"
#include "platform/vdrive/drive_settings.h"
#include "platform/vdrive/image_error.h"
#include "platform/vdrive/test_support.h"
#include "platform/vdrive/virtual_drive.h"
#include "vdrive/demo_disc.h"

namespace platform::vdrive {
namespace {

using testing::exec;
using testing::Exchange;

// 300 sectors of audio (noise from 100 on, so every stretch is unique), then a data session.
std::shared_ptr<const Disc> noiseDisc() {
  return std::make_shared<const Disc>(generateDisc(
      "track kind=tone length=100f freq=997\ntrack kind=noise length=200f\nsession\ntrack kind=data length=20f\n",
      "noise"));
}

std::vector<uint8_t> readCd(Lba lba, uint32_t count) {
  return {0xBE, 0, static_cast<uint8_t>(lba >> 24), static_cast<uint8_t>(lba >> 16), static_cast<uint8_t>(lba >> 8),
          static_cast<uint8_t>(lba), 0, 0, static_cast<uint8_t>(count), 0x10, 0, 0};
}
const std::vector<uint8_t> kTur = {0, 0, 0, 0, 0, 0};

struct Rig {
  explicit Rig(FaultPlan plan = {}, std::shared_ptr<const Disc> d = noiseDisc())
      : disc(d), clock(std::make_shared<ManualClock>()), drive(d, DriveModel{}, clock) {
    drive.setFaults(std::move(plan));
    exec(drive, kTur);  // command 1: the power-on attention
  }
  std::shared_ptr<const Disc> disc;
  std::shared_ptr<ManualClock> clock;
  VirtualDrive drive;
};

uint8_t key(const Exchange& x) { return x.result.status == scsi::kStatusGood ? 0 : scsi::senseKey(x.result); }
uint8_t asc(const Exchange& x) { return scsi::senseAsc(x.result); }
uint32_t info(const Exchange& x) {
  return static_cast<uint32_t>(x.result.sense[3]) << 24 | x.result.sense[4] << 16 | x.result.sense[5] << 8 |
         x.result.sense[6];
}

// The disc's audio as one stream of bytes, to find where a jittered read started.
std::vector<uint8_t> audioStream(const Disc& disc) {
  std::vector<uint8_t> out;
  std::array<uint8_t, kSectorBytes> s{};
  for (Lba lba = 0; lba < 300; ++lba) {
    disc.readSector(lba, s);
    out.insert(out.end(), s.begin(), s.end());
  }
  return out;
}

int shiftOf(const std::vector<uint8_t>& stream, Lba lba, const std::vector<uint8_t>& data, int range) {
  for (int k = -range; k <= range; ++k) {
    size_t at = static_cast<size_t>(lba) * kSectorBytes + static_cast<size_t>(k * 4 + range * 4) - range * 4;
    if (std::equal(data.begin(), data.end(), stream.begin() + static_cast<long>(at))) return k;
  }
  return 9999;
}

TEST(DriveFaults, UnreadableSectorsAlwaysOrForTheFirstAttempts) {
  FaultPlan plan;
  plan.unreadable = {{120, 121, 0}, {150, 150, 2}};
  Rig rig(plan);
  for (int i = 0; i < 3; ++i) {
    Exchange x = exec(rig.drive, readCd(118, 6), 6 * kSectorBytes);
    EXPECT_EQ(key(x), 0x03);
    EXPECT_EQ(asc(x), 0x11);
    EXPECT_EQ(info(x), 120u);
    EXPECT_EQ(x.result.transferredBytes, 2 * kSectorBytes);  // the sectors before it arrived
  }
  EXPECT_EQ(key(exec(rig.drive, readCd(150, 1), kSectorBytes)), 0x03);
  EXPECT_EQ(key(exec(rig.drive, readCd(149, 2), 2 * kSectorBytes)), 0x03);
  Exchange third = exec(rig.drive, readCd(150, 1), kSectorBytes);
  EXPECT_EQ(key(third), 0);
  std::array<uint8_t, kSectorBytes> s{};
  rig.disc->readSector(150, s);
  EXPECT_TRUE(std::equal(s.begin(), s.end(), third.data.begin()));
}

std::set<Lba> randomBadSectors(uint64_t seed) {
  FaultPlan plan;
  plan.seed = seed;
  plan.randomUnreadableSectors = 4;
  Rig rig(plan);
  std::set<Lba> bad;
  for (Lba lba = 0; lba < 300; ++lba)
    if (key(exec(rig.drive, readCd(lba, 1), kSectorBytes)) == 0x03) bad.insert(lba);
  return bad;
}

TEST(DriveFaults, RandomUnreadableSectorsFollowTheSeed) {
  std::set<Lba> a = randomBadSectors(11);
  EXPECT_GE(a.size(), 1u);
  EXPECT_LE(a.size(), 4u);
  EXPECT_EQ(randomBadSectors(11), a);
  EXPECT_NE(randomBadSectors(12), a);
}

std::vector<int> jitterShifts(uint64_t seed, const std::vector<uint8_t>& stream, int lateMax = -1,
                              Lba at = 150, int ratePercent = 100, int reads = 12) {
  FaultPlan plan;
  plan.seed = seed;
  plan.jitterMaxSamples = 6;
  plan.jitterLateMaxSamples = lateMax;
  plan.jitterRatePercent = ratePercent;
  plan.jitterFirstLba = 150;
  plan.jitterLastLba = 160;
  Rig rig(plan);
  std::vector<int> shifts;
  for (int i = 0; i < reads; ++i) {
    Exchange x = exec(rig.drive, readCd(at, 4), 4 * kSectorBytes);
    shifts.push_back(shiftOf(stream, at, x.data, 6));
  }
  return shifts;
}

TEST(DriveFaults, JitterShiftsReadsByWholeSamplesWithinTheRange) {
  const auto stream = audioStream(*noiseDisc());
  std::vector<int> shifts = jitterShifts(3, stream);
  std::set<int> distinct(shifts.begin(), shifts.end());
  EXPECT_GT(distinct.size(), 2u);
  for (int k : shifts) EXPECT_LE(std::abs(k), 6);
  EXPECT_EQ(jitterShifts(3, stream), shifts);
  EXPECT_NE(jitterShifts(4, stream), shifts);
  // Early starts only, and only reads that start inside the range jitter.
  for (int k : jitterShifts(3, stream, 0)) EXPECT_LE(k, 0);
  for (int k : jitterShifts(3, stream, -1, 161)) EXPECT_EQ(k, 0);
}

TEST(DriveFaults, JitterRateSetsTheShareOfReadsThatStartOff) {
  const auto stream = audioStream(*noiseDisc());
  for (int rate : {0, 10, 30, 50}) {
    const std::vector<int> shifts = jitterShifts(7, stream, -1, 150, rate, 400);
    const auto off = std::count_if(shifts.begin(), shifts.end(), [](int k) { return k != 0; });
    EXPECT_NEAR(static_cast<double>(off) / 400.0, rate / 100.0, 0.06) << rate;
    for (int k : shifts) EXPECT_LE(std::abs(k), 6);
  }
  // Early starts only still holds at a rate: off means early.
  for (int k : jitterShifts(7, stream, 0, 150, 50, 100)) EXPECT_LE(k, 0);
}

// A drive's read offset shifts every audio read by whole samples, with zeros
// where the shifted read leaves the disc's audio.
TEST(DriveFaults, ReadOffsetShiftsAudioReadsAndZeroFillsBeyondTheDisc) {
  const auto disc = noiseDisc();
  const auto stream = audioStream(*disc);
  for (int offset : {6, 667, -1164}) {
    DriveModel model;
    model.readOffsetSamples = offset;
    VirtualDrive drive(disc, model, std::make_shared<ManualClock>());
    exec(drive, kTur);
    for (Lba lba : {0, 1, 120, 297}) {
      const Exchange x = exec(drive, readCd(lba, 3), 3 * kSectorBytes);
      ASSERT_EQ(x.data.size(), 3 * kSectorBytes);
      for (size_t sample = 0; sample < 3 * 588; ++sample) {
        const int64_t from = static_cast<int64_t>(lba) * 588 + static_cast<int64_t>(sample) - offset;
        const bool inside = from >= 0 && from < static_cast<int64_t>(stream.size() / 4);
        for (size_t b = 0; b < 4; ++b) {
          const uint8_t want = inside ? stream[static_cast<size_t>(from) * 4 + b] : 0;
          ASSERT_EQ(x.data[sample * 4 + b], want) << offset << " " << lba << " " << sample;
        }
      }
    }
  }
}

TEST(DriveFaults, StaleCacheRepeatsDataUntilAFarRead) {
  const auto stream = audioStream(*noiseDisc());
  FaultPlan plan;
  plan.seed = 3;
  plan.jitterMaxSamples = 6;
  plan.staleCacheSectors = 50;
  plan.cacheFlushDistance = 20;
  Rig rig(plan);
  Exchange first = exec(rig.drive, readCd(150, 4), 4 * kSectorBytes);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(exec(rig.drive, readCd(150, 4), 4 * kSectorBytes).data, first.data);
  std::set<int> shifts;
  for (int i = 0; i < 6; ++i) {
    exec(rig.drive, readCd(10, 1), kSectorBytes);  // far away: the cache is dropped
    shifts.insert(shiftOf(stream, 150, exec(rig.drive, readCd(150, 4), 4 * kSectorBytes).data, 6));
  }
  EXPECT_GT(shifts.size(), 1u);
  EXPECT_FALSE(shifts.count(9999));
}

TEST(DriveFaults, DiscRemovedAndInsertedAfterCommandsOrAtATime) {
  FaultPlan plan;
  plan.events = {{DriveEvent::Kind::Remove, DriveEvent::Trigger::AfterCommands, 3, 0},
                 {DriveEvent::Kind::Insert, DriveEvent::Trigger::AfterCommands, 6, 1}};
  Rig rig(plan);
  EXPECT_EQ(key(exec(rig.drive, kTur)), 0);   // 2
  EXPECT_EQ(key(exec(rig.drive, kTur)), 0);   // 3
  Exchange gone = exec(rig.drive, kTur);      // 4
  EXPECT_EQ(key(gone), 0x02);
  EXPECT_EQ(asc(gone), 0x3A);
  exec(rig.drive, kTur);                      // 5
  exec(rig.drive, kTur);                      // 6
  EXPECT_EQ(asc(exec(rig.drive, kTur)), 0x28);  // 7: the medium changed
  EXPECT_EQ(asc(exec(rig.drive, kTur)), 0x04);  // 8: becoming ready
  EXPECT_EQ(key(exec(rig.drive, kTur)), 0);

  FaultPlan timed;
  timed.events = {{DriveEvent::Kind::Remove, DriveEvent::Trigger::AtMs, 5000, 0}};
  Rig later(timed);
  later.clock->advanceMs(4999);
  EXPECT_EQ(key(exec(later.drive, kTur)), 0);
  later.clock->advanceMs(1);
  EXPECT_EQ(asc(exec(later.drive, kTur)), 0x3A);
  EXPECT_EQ(exec(later.drive, {0x1E, 0, 0, 0, 1, 0}).result.status, scsi::kStatusGood);
  later.drive.insertDisc(later.disc);
  EXPECT_EQ(asc(exec(later.drive, kTur)), 0x28);
}

TEST(DriveFaults, BusResetAnswersNotReadyForSomePolls) {
  FaultPlan plan;
  plan.events = {{DriveEvent::Kind::Reset, DriveEvent::Trigger::AfterCommands, 2, 2}};
  Rig rig(plan);
  exec(rig.drive, {0x1E, 0, 0, 0, 1, 0});  // 2: lock
  EXPECT_TRUE(rig.drive.trayLocked());
  EXPECT_EQ(asc(exec(rig.drive, kTur)), 0x29);
  EXPECT_FALSE(rig.drive.trayLocked());  // a reset clears the prevention
  EXPECT_EQ(asc(exec(rig.drive, kTur)), 0x04);
  EXPECT_EQ(asc(exec(rig.drive, kTur)), 0x04);
  EXPECT_EQ(key(exec(rig.drive, kTur)), 0);
}

TEST(DriveFaults, SlowAndNeverCompletingCommands) {
  FaultPlan slow;
  slow.slowCommandMs = 50;
  Rig rig(slow);
  double before = rig.clock->sleptMs();
  EXPECT_TRUE(exec(rig.drive, kTur, 0, scsi::Direction::None, 4000).result.completed);
  EXPECT_GE(rig.clock->sleptMs() - before, 50);
  EXPECT_FALSE(exec(rig.drive, kTur, 0, scsi::Direction::None, 20).result.completed);

  FaultPlan hang;
  hang.hangAfterCommands = 2;
  Rig stuck(hang);
  EXPECT_TRUE(exec(stuck.drive, kTur, 0, scsi::Direction::None, 4000).result.completed);   // 2
  EXPECT_FALSE(exec(stuck.drive, kTur, 0, scsi::Direction::None, 4000).result.completed);  // 3 times out
  EXPECT_TRUE(exec(stuck.drive, kTur, 0, scsi::Direction::None, 4000).result.completed);   // 4

  // Without a time-out only cancelPending() ends it.
  FaultPlan forever;
  forever.hangAfterCommands = 1;
  Rig blocked(forever);
  auto pending = std::async(std::launch::async, [&] { return exec(blocked.drive, kTur).result.completed; });
  for (int i = 0; i < 5000 && pending.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready; ++i)
    blocked.drive.cancelPending();
  ASSERT_EQ(pending.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_FALSE(pending.get());
  EXPECT_TRUE(exec(blocked.drive, kTur).result.completed);
}

TEST(DriveFaults, TimingModelReadsAtSpeedWithSeeks) {
  Rig rig;
  rig.drive.setTiming(TimingModel{4, 1000});
  double t0 = rig.clock->sleptMs();
  exec(rig.drive, readCd(0, 25), 25 * kSectorBytes);
  exec(rig.drive, readCd(25, 25), 25 * kSectorBytes);
  exec(rig.drive, readCd(50, 25), 25 * kSectorBytes);
  EXPECT_NEAR(rig.clock->sleptMs() - t0, 250, 1);  // 75 sectors at 4x: a quarter second
  double t1 = rig.clock->sleptMs();
  const Lba far = rig.disc->leadOut() - 10;
  exec(rig.drive, {0xBE, 0, 0, 0, static_cast<uint8_t>(far >> 8), static_cast<uint8_t>(far), 0, 0, 1, 0xF8, 0, 0},
       kSectorBytes);
  EXPECT_GT(rig.clock->sleptMs() - t1, 900);  // nearly a full stroke
  exec(rig.drive, {0xBB, 0, 0, 181, 0, 181, 0, 0, 0, 0, 0, 0});  // SET CD SPEED 1x
  double t2 = rig.clock->sleptMs();
  exec(rig.drive, readCd(far, 1), kSectorBytes);
  EXPECT_NEAR(rig.clock->sleptMs() - t2, 1000.0 / 75, 1);

  // Stopped, the disc spins up again before the next read.
  rig.drive.setTiming(TimingModel{0, 0, 1500});
  exec(rig.drive, {0x1B, 0, 0, 0, 0, 0});
  double t3 = rig.clock->sleptMs();
  exec(rig.drive, readCd(far, 1), kSectorBytes);
  exec(rig.drive, readCd(far, 1), kSectorBytes);
  EXPECT_NEAR(rig.clock->sleptMs() - t3, 1500, 1);
}

TEST(DriveSettings, BuildsADriveFromKeys) {
  auto clock = std::make_shared<ManualClock>();
  auto drive = makeVirtualDrive({{"Image", "demo.cue"}, {"model", "d8-only"}, {"address", "2:0:1:0"},
                                 {"unreadable", "100-101x1, 500, random:2"}, {"seed", "9"}, {"jitter", "4"},
                                 {"jitter-late", "0"}, {"jitter-range", "200-300"}, {"jitter-rate", "30"}, {"read-offset", "+667"},
                                 {"remove", "after:40"}, {"insert", "at:10000ms,not-ready:3"}, {"speed", "8"}},
                                RIPMARROW_DEMO_DIR, clock);
  EXPECT_EQ(drive->address().port, 2);
  EXPECT_EQ(drive->address().target, 1);
  const Exchange identity = exec(*drive, {0x12, 0, 0, 0, 36, 0}, 36);
  EXPECT_EQ(std::string(identity.data.begin() + 32, identity.data.begin() + 36), "+29B");  // the offset, in hex
  ASSERT_TRUE(drive->disc());
  EXPECT_EQ(drive->disc()->tracks().size(), 4u);
  exec(*drive, kTur);
  Exchange refused = exec(*drive, readCd(0, 1), kSectorBytes);
  EXPECT_EQ(asc(refused), 0x20);  // the model has no READ CD
  Exchange bad = exec(*drive, {0xD8, 0, 0, 0, 1, 244, 0, 0, 0, 1, 0, 0}, kSectorBytes);
  EXPECT_EQ(asc(bad), 0x11);

  auto empty = makeVirtualDrive({}, ".", clock);
  EXPECT_FALSE(empty->disc());

  const std::pair<std::map<std::string, std::string>, const char*> bad_cases[] = {
      {{{"colour", "blue"}}, "'colour': unknown key"},
      {{{"model", "turbo"}}, "'model': 'turbo'"},
      {{{"address", "1:2:3"}}, "'address'"},
      {{{"jitter", "-3"}}, "'jitter'"},
      {{{"jitter-range", "300"}}, "'jitter-range'"},
      {{{"jitter-rate", "101"}}, "'jitter-rate'"},
      {{{"read-offset", "2001"}}, "'read-offset'"},
      {{{"remove", "soon"}}, "'remove'"},
      {{{"unreadable", "12-4"}}, "'unreadable'"},
  };
  for (const auto& [keys, message] : bad_cases) {
    try {
      makeVirtualDrive(keys, ".", clock);
      ADD_FAILURE() << message;
    } catch (const DriveSettingsError& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(makeVirtualDrive({{"image", "missing.cue"}}, ".", clock), ImageError);
}

}  // namespace
}  // namespace platform::vdrive
