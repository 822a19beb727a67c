// Exact rips on drives that jitter: every track of a generated disc (music,
// silence, constant samples, a one-second track, noise) ripped to WAV from
// an instant virtual drive and compared frame by frame with the disc, with
// the rip report read through IAudioCDRipperReport. Each cell of the matrix
// is its own test case, so CTest runs them side by side.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "engine/com/audio_cd_ripper.h"
#include "platform/deviceio/drive_table.h"
#include "platform/vdrive/disc_description.h"
#include "platform/vdrive/image_writer.h"
#include "platform/vdrive/virtual_drive.h"
#include "tests/support/rip_event_sink.h"
#include "tests/support/scratch_home.h"

namespace engine {
namespace {

using platform::vdrive::FaultPlan;

constexpr const char* kDisc =
    "disc seed=4\n"
    "track kind=music length=6s\n"
    "track kind=silence length=3s\n"
    "track kind=level length=3s value=-1234\n"
    "track kind=music length=1s tempo=140\n"
    "track kind=noise length=3s\n";

struct Report {
  LONG framesRead = 0, framesReread = 0, framesConfirmed = 0, framesUnconfirmed = 0, retries = 0,
       blocksGivenUp = 0, c2ErrorFrames = 0, framesReadTwice = 0, framesRetried = 0;
  LONG framesRetriedMidRip = 0;  // the most read between the rip's progress events, before its end
  VARIANT_BOOL c2Used = VARIANT_FALSE;
};

// What one rip of every track gave.
struct DiscRip {
  std::vector<bool> exact;       // per track
  std::vector<Report> reports;   // per track
  bool eventsInOrder = true;     // one RipProgress(100), last; RipRetry numbers in the reset cycle
  bool allExact() const { return std::all_of(exact.begin(), exact.end(), [](bool e) { return e; }); }
  LONG unconfirmed() const {
    LONG n = 0;
    for (const Report& r : reports) n += r.framesUnconfirmed;
    return n;
  }
};

class ExactRip {
 public:
  explicit ExactRip(const FaultPlan& faults) {
    scratch_.emplace("rm_rip_exact_test");
    // Written out once and read back as an image: the drive then copies
    // sectors instead of synthesising the music again on every read.
    platform::vdrive::writeCueImage(platform::vdrive::generateDisc(kDisc, "exact"), scratch_->path(), "exact");
    disc_ = std::make_shared<platform::vdrive::Disc>(platform::vdrive::loadImage(scratch_->path() + "/exact.cue"));
    drive_ = std::make_shared<platform::vdrive::VirtualDrive>(disc_);  // no timing model: instant
    drive_->setAddress({1, 0, 0, 0});
    drive_->setFaults(faults);
    platform::deviceio::registerDrive('E', drive_);
    engine_ = com::make<AudioCDRipper2>();
    sink_ = com::make<testing_support::RipEventSink>();
    engine_->FindConnectionPoint(DIID__IAudioCDRipper2Events, point_.put());
    point_->Advise(sink_->identity(), &cookie_);
    engine_->DriverOpen();
    engine_->Refresh();
  }
  ~ExactRip() {
    engine_->DriverClose();
    point_->Unadvise(cookie_);
  }

  DiscRip ripAll(RipModePresetConstants mode, RipActionOnErrorConstants action = SILENCE) {
    engine_->put_ripModePreset(mode);
    engine_->put_ripOnErrorAction(action);
    DiscRip out;
    com::ComPtr<IAudioCDRipperReport> report;
    EXPECT_EQ(engine_->QueryInterface(IID_IAudioCDRipperReport, report.putVoid()), S_OK);
    for (size_t t = 0; t < disc_->tracks().size(); ++t) {
      sink_->progress.clear();
      sink_->retries.clear();
      engine_->put_trackNum(static_cast<LONG>(t + 1));
      const std::string name = scratch_->path() + "/t.wav";
      const std::u16string wide(name.begin(), name.end());
      BSTR file = SysAllocString(wide.c_str());
      engine_->RipTrackToWav(file);
      SysFreeString(file);
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      Report r;
      // Read in each progress event's handler before the last, as a client's
      // progress line reads it.
      sink_->onProgress = [&](LONG percent) {
        LONG now = 0;
        if (percent < 100 && SUCCEEDED(report->get_framesRetried(&now)))
          r.framesRetriedMidRip = std::max(r.framesRetriedMidRip, now);
      };
      while (!sink_->finished() && std::chrono::steady_clock::now() < deadline) CoPumpCalls(5);
      CoPumpCalls(20);
      sink_->onProgress = nullptr;
      std::ifstream in(name, std::ios::binary);
      const std::string wav{std::istreambuf_iterator<char>(in), {}};
      out.exact.push_back(wav.size() > 46 && wav.substr(46) == trackAudio(t));
      report->get_framesRead(&r.framesRead);
      report->get_framesRetried(&r.framesRetried);
      report->get_framesReread(&r.framesReread);
      report->get_framesConfirmed(&r.framesConfirmed);
      report->get_framesUnconfirmed(&r.framesUnconfirmed);
      report->get_retries(&r.retries);
      report->get_blocksGivenUp(&r.blocksGivenUp);
      report->get_c2ErrorFrames(&r.c2ErrorFrames);
      report->get_framesReadTwice(&r.framesReadTwice);
      report->get_c2Used(&r.c2Used);
      out.reports.push_back(r);
      const auto& p = sink_->progress;
      out.eventsInOrder = out.eventsInOrder && std::count(p.begin(), p.end(), 100) == 1 && !p.empty() &&
                          p.back() == 100 && static_cast<LONG>(sink_->retries.size()) == r.retries &&
                          std::all_of(sink_->retries.begin(), sink_->retries.end(),
                                      [](LONG k) { return k >= 1 && k <= 9; });
      std::remove(name.c_str());
    }
    return out;
  }

  std::string trackAudio(size_t index) const {
    const auto& t = disc_->tracks()[index];
    std::string audio;
    std::array<uint8_t, 2352> sector{};
    for (platform::vdrive::Lba lba = t.start; lba < t.end; ++lba) {
      disc_->readSector(lba, sector);
      audio.append(reinterpret_cast<const char*>(sector.data()), sector.size());
    }
    return audio;
  }

 private:
  std::optional<testing_support::ScratchHome> scratch_;
  std::shared_ptr<platform::vdrive::Disc> disc_;
  std::shared_ptr<platform::vdrive::VirtualDrive> drive_;
  com::ComPtr<AudioCDRipper2> engine_;
  com::ComPtr<testing_support::RipEventSink> sink_;
  com::ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

FaultPlan Jitter(int ratePercent, uint64_t seed) {
  FaultPlan f;
  f.seed = seed;
  f.jitterMaxSamples = 588;  // a whole frame, early and late
  f.jitterRatePercent = ratePercent;
  return f;
}

const char* ModeName(RipModePresetConstants m) {
  switch (m) {
    case PLAY: return "Play";
    case BURST: return "Burst";
    case SYNCH: return "Synch";
    case SECURE: return "Secure";
    case PARANOID: return "Paranoid";
  }
  return "Mode";
}

std::string ModeParamName(const ::testing::TestParamInfo<RipModePresetConstants>& mode) {
  return ModeName(mode.param);
}

// Jitter on a minority of reads: SECURE and PARANOID exact at 10, 30 and 50 %,
// SYNCH at 10 and 30 %; every frame confirmed, and the events as always.
struct JitterCell {
  RipModePresetConstants mode;
  int rate;
};
class JitterMatrix : public ::testing::TestWithParam<JitterCell> {};

TEST_P(JitterMatrix, EveryTrackEqualsTheDiscAndEveryFrameIsConfirmed) {
  const JitterCell c = GetParam();
  ExactRip rip(Jitter(c.rate, 1000 + c.rate));
  const DiscRip r = rip.ripAll(c.mode);
  for (size_t t = 0; t < r.exact.size(); ++t) {
    EXPECT_TRUE(r.exact[t]) << "track " << t + 1;
    EXPECT_EQ(r.reports[t].framesUnconfirmed, 0) << "track " << t + 1;
    EXPECT_GT(r.reports[t].framesConfirmed, 0) << "track " << t + 1;
  }
  EXPECT_TRUE(r.eventsInOrder);
}

INSTANTIATE_TEST_SUITE_P(Modes, JitterMatrix,
                         ::testing::Values(JitterCell{SECURE, 10}, JitterCell{SECURE, 30}, JitterCell{SECURE, 50},
                                           JitterCell{PARANOID, 10}, JitterCell{PARANOID, 30},
                                           JitterCell{PARANOID, 50}, JitterCell{SYNCH, 10}, JitterCell{SYNCH, 30}),
                         [](const ::testing::TestParamInfo<JitterCell>& cell) {
                           return std::string(ModeName(cell.param.mode)) + std::to_string(cell.param.rate);
                         });

// BURST trusts the drive and shows what the jitter did.
TEST(ExactRipTest, BurstKeepsTheJitter) {
  ExactRip rip(Jitter(30, 7));
  const DiscRip r = rip.ripAll(BURST);
  EXPECT_FALSE(r.exact[0]);
  EXPECT_EQ(r.reports[0].framesConfirmed, 0);
  EXPECT_TRUE(r.eventsInOrder);
}

// SYNCH at 50 %, beyond what it promises: whatever it delivers, a track it
// calls confirmed is exact.
TEST(ExactRipTest, SynchNeverCallsAWrongTrackConfirmed) {
  ExactRip rip(Jitter(50, 1050));
  const DiscRip r = rip.ripAll(SYNCH);
  for (size_t t = 0; t < r.exact.size(); ++t)
    if (r.reports[t].framesUnconfirmed == 0) {
      EXPECT_TRUE(r.exact[t]) << "track " << t + 1;
    }
}

// Jitter on every read: no anchor finds a plurality, so no overlapped mode
// claims the disc; the frames it could not confirm are counted.
class EveryReadJitters : public ::testing::TestWithParam<RipModePresetConstants> {};
TEST_P(EveryReadJitters, NoModeClaimsExactness) {
  FaultPlan f = Jitter(100, 99);
  ExactRip rip(f);
  const DiscRip r = rip.ripAll(GetParam());
  EXPECT_GT(r.unconfirmed(), 0);
  for (size_t t = 0; t < r.exact.size(); ++t)
    if (r.reports[t].framesUnconfirmed == 0) {
      EXPECT_TRUE(r.exact[t]) << "track " << t + 1;
    }
  EXPECT_TRUE(r.eventsInOrder);
}
INSTANTIATE_TEST_SUITE_P(Modes, EveryReadJitters, ::testing::Values(SYNCH, SECURE, PARANOID),
                         ModeParamName);

// A stale cache with jitter: the second read of SECURE and PARANOID comes
// from the disc, not from the cache, so they stay exact.
class StaleCacheWithJitter : public ::testing::TestWithParam<RipModePresetConstants> {};
TEST_P(StaleCacheWithJitter, SecondReadsAreRealReads) {
  FaultPlan f = Jitter(30, 31);
  f.staleCacheSectors = 40;
  f.cacheFlushDistance = 300;
  ExactRip rip(f);
  const DiscRip r = rip.ripAll(GetParam());
  EXPECT_TRUE(r.allExact());
  EXPECT_EQ(r.unconfirmed(), 0);
}
INSTANTIATE_TEST_SUITE_P(Modes, StaleCacheWithJitter, ::testing::Values(SECURE, PARANOID),
                         ModeParamName);

// A clean disc: no mode reads a frame again for doubt, so a progress line
// never says it re-reads.
class CleanDisc : public ::testing::TestWithParam<RipModePresetConstants> {};
TEST_P(CleanDisc, NoFrameIsRetried) {
  ExactRip rip(FaultPlan{});
  const DiscRip r = rip.ripAll(GetParam());
  EXPECT_TRUE(r.allExact());
  for (size_t t = 0; t < r.reports.size(); ++t) {
    EXPECT_EQ(r.reports[t].framesRetried, 0) << "track " << t + 1;
    EXPECT_EQ(r.reports[t].framesRetriedMidRip, 0) << "track " << t + 1;
  }
}
INSTANTIATE_TEST_SUITE_P(Modes, CleanDisc, ::testing::Values(BURST, SYNCH, SECURE, PARANOID), ModeParamName);

// A stale cache alone hands back what the disc holds: every mode is exact.
class StaleCacheAlone : public ::testing::TestWithParam<RipModePresetConstants> {};
TEST_P(StaleCacheAlone, EveryModeIsExact) {
  FaultPlan f;
  f.staleCacheSectors = 40;
  ExactRip rip(f);
  EXPECT_TRUE(rip.ripAll(GetParam()).allExact());
}
INSTANTIATE_TEST_SUITE_P(Modes, StaleCacheAlone, ::testing::Values(PLAY, BURST, SYNCH, SECURE, PARANOID),
                         ModeParamName);

// Sectors that fail their first reads, in the music and at a track's
// start, with jitter: read again until they give in, and exact.
class RecoveringSectors : public ::testing::TestWithParam<RipModePresetConstants> {};
TEST_P(RecoveringSectors, AreReadAgainUntilExact) {
  FaultPlan f = Jitter(10, 5);
  f.unreadable.push_back({200, 210, 3});
  f.unreadable.push_back({450, 452, 3});  // the first frames of the second track
  ExactRip rip(f);
  const DiscRip r = rip.ripAll(GetParam());
  EXPECT_TRUE(r.allExact());
  EXPECT_EQ(r.unconfirmed(), 0);
  EXPECT_GT(r.reports[0].retries, 0);
  EXPECT_TRUE(r.eventsInOrder);
}
INSTANTIATE_TEST_SUITE_P(Modes, RecoveringSectors, ::testing::Values(SYNCH, SECURE, PARANOID),
                         ModeParamName);

// Sectors that never read: the on-error action's silence takes their
// block's place, the block is counted as given up and its frames as
// unconfirmed, and the rest of the track is still exact.
class UnreadableSectors : public ::testing::TestWithParam<RipModePresetConstants> {};
TEST_P(UnreadableSectors, GetTheOnErrorActionAndAreCounted) {
  FaultPlan f;
  f.unreadable.push_back({300, 300, 0});
  ExactRip rip(f);
  const DiscRip r = rip.ripAll(GetParam(), SILENCE);
  EXPECT_FALSE(r.exact[0]);
  EXPECT_GT(r.reports[0].blocksGivenUp, 0);
  EXPECT_GT(r.reports[0].framesUnconfirmed, 0);
  EXPECT_EQ(r.reports[0].framesUnconfirmed + r.reports[0].framesConfirmed, 450);
  for (size_t t = 1; t < r.exact.size(); ++t) EXPECT_TRUE(r.exact[t]) << "track " << t + 1;
  EXPECT_TRUE(r.eventsInOrder);
}
INSTANTIATE_TEST_SUITE_P(Modes, UnreadableSectors, ::testing::Values(SYNCH, SECURE, PARANOID),
                         ModeParamName);

// Scratches that read wrong without an error on half their reads, with
// jitter: two reads that agree are right ones (wrong reads differ each
// time), so SECURE and PARANOID stay exact; never a wrong track confirmed.
class RandomScratches : public ::testing::TestWithParam<RipModePresetConstants> {};
TEST_P(RandomScratches, AreReadAgainUntilTwoReadsAgree) {
  FaultPlan f = Jitter(10, 77);
  f.randomScratchSectors = 12;
  f.scratch.push_back({100, 103, 0});  // in the music of the first track
  f.scratch.push_back({1000, 1000, 0});  // in the noise
  ExactRip rip(f);
  const DiscRip r = rip.ripAll(GetParam());
  for (size_t t = 0; t < r.exact.size(); ++t) {
    EXPECT_TRUE(r.exact[t]) << "track " << t + 1 << ": " << r.reports[t].framesUnconfirmed << " unconfirmed, "
                            << r.reports[t].retries << " retries, " << r.reports[t].blocksGivenUp << " given up";
    if (r.reports[t].framesUnconfirmed == 0) {
      EXPECT_TRUE(r.exact[t]) << "track " << t + 1;
    }
    // Frames read again for doubt are among the frames read again, and
    // counted while the track rips, not only at its end.
    EXPECT_LE(r.reports[t].framesRetried, r.reports[t].framesReread) << "track " << t + 1;
    EXPECT_LE(r.reports[t].framesRetriedMidRip, r.reports[t].framesRetried) << "track " << t + 1;
  }
  EXPECT_GT(r.reports[0].framesRetried, 0);
  EXPECT_GT(r.reports[0].framesRetriedMidRip, 0);
  EXPECT_TRUE(r.eventsInOrder);
}
INSTANTIATE_TEST_SUITE_P(Modes, RandomScratches, ::testing::Values(SECURE, PARANOID), ModeParamName);

// With C2 error pointers (exact, or under-reported: at least one wrong byte
// of a bad frame flagged): a flagged frame is never taken, so random
// scratches end exact, most blocks are read once in SECURE, and the report
// counts the flagged frames.
struct C2Cell {
  RipModePresetConstants mode;
  platform::vdrive::C2Report c2;
};
std::string C2CellName(const ::testing::TestParamInfo<C2Cell>& cell) {
  return std::string(ModeName(cell.param.mode)) +
         (cell.param.c2 == platform::vdrive::C2Report::Exact ? "Exact" : "Partial");
}
const auto kC2Cells = ::testing::Values(C2Cell{SECURE, platform::vdrive::C2Report::Exact},
                                        C2Cell{SECURE, platform::vdrive::C2Report::Partial},
                                        C2Cell{PARANOID, platform::vdrive::C2Report::Exact},
                                        C2Cell{PARANOID, platform::vdrive::C2Report::Partial});

class C2RandomScratches : public ::testing::TestWithParam<C2Cell> {};
TEST_P(C2RandomScratches, FlaggedFramesAreReadAgainAndTheRipIsExact) {
  FaultPlan f = Jitter(10, 78);
  f.randomScratchSectors = 12;
  f.scratch.push_back({100, 103, 0});
  f.c2 = GetParam().c2;
  ExactRip rip(f);
  const DiscRip r = rip.ripAll(GetParam().mode);
  LONG flaggedFrames = 0;
  for (size_t t = 0; t < r.exact.size(); ++t) {
    EXPECT_TRUE(r.exact[t]) << "track " << t + 1 << ": " << r.reports[t].framesUnconfirmed << " unconfirmed";
    EXPECT_EQ(r.reports[t].c2Used, VARIANT_TRUE);
    flaggedFrames += r.reports[t].c2ErrorFrames;
  }
  EXPECT_GE(flaggedFrames, 4);
  if (GetParam().mode == SECURE) {
    // Only flagged blocks (and anchors, by three reads) are read twice.
    EXPECT_LT(r.reports[0].framesReadTwice, r.reports[0].framesConfirmed / 2);
  }
  EXPECT_TRUE(r.eventsInOrder);
}
INSTANTIATE_TEST_SUITE_P(Modes, C2RandomScratches, kC2Cells, C2CellName);

// A stable scratch gives the same wrong bytes on every read: reads agree on
// it, and only the C2 pointers show it. Its frames are never confirmed: the
// track is counted unconfirmed, never called exact; the others are exact.
class C2StableScratch : public ::testing::TestWithParam<C2Cell> {};
TEST_P(C2StableScratch, IsNeverConfirmed) {
  FaultPlan f;
  f.scratch.push_back({200, 200, 0});
  f.scratchStable = true;
  f.c2 = GetParam().c2;
  ExactRip rip(f);
  const DiscRip r = rip.ripAll(GetParam().mode);
  EXPECT_FALSE(r.exact[0]);
  EXPECT_GT(r.reports[0].framesUnconfirmed, 0);
  EXPECT_GT(r.reports[0].c2ErrorFrames, 0);
  for (size_t t = 1; t < r.exact.size(); ++t) EXPECT_TRUE(r.exact[t]) << "track " << t + 1;
  EXPECT_TRUE(r.eventsInOrder);
}
INSTANTIATE_TEST_SUITE_P(Modes, C2StableScratch, kC2Cells, C2CellName);

}  // namespace
}  // namespace engine
