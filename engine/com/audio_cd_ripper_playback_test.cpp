// Playing tracks from a virtual drive into the silent sink, through the
// engine's interface, with every event on the client's thread.
#include <algorithm>

#include "engine/com/playback_fixture.h"
#include "platform/vdrive/fault_plan.h"

namespace engine::testing_support {
namespace {

// Track 1 is 2 s and 40 frames long, so it ends in a partial second.
constexpr const char* kShortDisc =
    "disc seed=7\n"
    "track kind=tone length=0:02:40 freq=440\n"
    "track kind=tone length=0:09:00 freq=550\n";
constexpr LONG kTrackOneSamples = (2 * 75 + 40) * 588;

std::vector<LONG> timerPositions(const EventRecorder& r) {
  std::vector<LONG> positions;
  for (const Event& e : r.events)
    if (e.id == DISPID_AudioCDRipper2_Timer) positions.push_back(e.args.at(0));
  return positions;
}

std::vector<LONG> errors(const EventRecorder& r) {
  std::vector<LONG> codes;
  for (const Event& e : r.events)
    if (e.id == DISPID_AudioCDRipper2_Error) codes.push_back(e.args.at(0));
  return codes;
}

class EnginePlayback : public PlaybackTest {};

// The real player, except that it refuses every WriteSamples after the
// first `accepted` ones, as a sound system that went away would.
class RefusingPlayer final : public com::ComObject<RefusingPlayer, IAudioPlayer2> {
 public:
  RefusingPlayer(com::ComPtr<IAudioPlayer2> inner, int accepted) : inner_(std::move(inner)), left_(accepted) {}
  HRESULT STDMETHODCALLTYPE WriteSamples(SAFEARRAY* samples) override {
    if (left_ <= 0) return E_FAIL;
    --left_;
    return inner_->WriteSamples(samples);
  }
  HRESULT STDMETHODCALLTYPE get_OutputName(BSTR* v) override { return inner_->get_OutputName(v); }
  HRESULT STDMETHODCALLTYPE Play() override { return inner_->Play(); }
  HRESULT STDMETHODCALLTYPE Stop() override { return inner_->Stop(); }
  HRESULT STDMETHODCALLTYPE Flush() override { return inner_->Flush(); }
  HRESULT STDMETHODCALLTYPE SetFormat(LONG r, LONG c) override { return inner_->SetFormat(r, c); }
  HRESULT STDMETHODCALLTYPE SetBufferTime(LONG ms, LONG* v) override { return inner_->SetBufferTime(ms, v); }
  HRESULT STDMETHODCALLTYPE get_samplesPlayed(LONG* v) override { return inner_->get_samplesPlayed(v); }
  HRESULT STDMETHODCALLTYPE get_samplesQueued(LONG* v) override { return inner_->get_samplesQueued(v); }
  HRESULT STDMETHODCALLTYPE get_isPlaying(VARIANT_BOOL* v) override { return inner_->get_isPlaying(v); }
#define RESERVED(n) \
  HRESULT STDMETHODCALLTYPE n() override { return E_NOTIMPL; }
  RESERVED(Reserved17) RESERVED(Reserved18) RESERVED(Reserved19) RESERVED(Reserved20) RESERVED(Reserved21)
  RESERVED(Reserved22) RESERVED(Reserved23) RESERVED(Reserved24) RESERVED(Reserved25) RESERVED(Reserved26)
  RESERVED(Reserved27) RESERVED(Reserved28) RESERVED(Reserved29)
#undef RESERVED
  HRESULT STDMETHODCALLTYPE GetState(AudioPlayer2State* state) override { return inner_->GetState(state); }

 private:
  com::ComPtr<IAudioPlayer2> inner_;
  int left_;
};

TEST_F(EnginePlayback, TrackZeroPlaysTrackOneToItsLastFrameThenStopReleasesTheDrive) {
  auto drive = addDrive(kShortDisc);
  open();
  engine()->Refresh();
  engine()->PlayTrack(0);
  LONG trackNum = 0;
  engine()->get_trackNum(&trackNum);
  EXPECT_EQ(trackNum, 1);
  ASSERT_EQ(AudioCDRipper2Probe::playing(object()), 1);
  EXPECT_TRUE(drive->trayLocked());
  EXPECT_EQ(gated_->readLbas().front(), AudioCDRipper2Probe::playStartLba(object()));

  // While playing: rips are refused without a word, a second PlayTrack is not.
  engine()->RipTrackToWav(nullptr);
  EXPECT_TRUE(errors(*recorder_.get()).empty());
  engine()->PlayTrack(1);
  EXPECT_EQ(errors(*recorder_.get()), std::vector<LONG>{OPERATION_FAILED});

  ASSERT_TRUE(waitFor([&] { return recorder_->count(DISPID_AudioCDRipper2_EndTrackPlay) == 1; }));
  // The last partial second was played (padded with silence) before the end.
  const std::vector<LONG> positions = timerPositions(*recorder_.get());
  ASSERT_FALSE(positions.empty());
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
  EXPECT_GE(positions.back(), kTrackOneSamples);
  EXPECT_LT(positions.back(), kTrackOneSamples + 44100);
  EXPECT_EQ(recorder_->events.back().id, DISPID_AudioCDRipper2_EndTrackPlay);
  // Every frame of the track was read, the last one included.
  const std::vector<uint32_t> reads = gated_->readLbas();
  const uint32_t start = AudioCDRipper2Probe::playStartLba(object());
  EXPECT_EQ(*std::max_element(reads.begin(), reads.end()), start + 175);  // the last 15-frame chunk

  // EndTrackPlay leaves the drive held until StopPlay.
  EXPECT_EQ(AudioCDRipper2Probe::ripInProgress(object()), 1);
  engine()->StopPlay();
  EXPECT_EQ(AudioCDRipper2Probe::ripInProgress(object()), 0);
  EXPECT_EQ(AudioCDRipper2Probe::playing(object()), 0);
  EXPECT_FALSE(drive->trayLocked());
  EXPECT_TRUE(allEventsOnThisThread());
}

// A player that stops taking samples while the track is fed ends the
// playback as StopPlay does (drive released, tray unlocked) and says so
// with EndTrackPlay; the next playback works again.
TEST_F(EnginePlayback, APlayerThatRefusesSamplesEndsThePlaybackCleanly) {
  auto drive = addDrive(kShortDisc);
  open();
  engine()->Refresh();
  auto real = AudioCDRipper2Probe::swapPlayer(object(), nullptr);
  auto refusing = com::make<RefusingPlayer>(real, 3);
  AudioCDRipper2Probe::swapPlayer(object(), com::ComPtr<IAudioPlayer2>(refusing.get()));
  engine()->PlayTrack(2);
  ASSERT_EQ(AudioCDRipper2Probe::playing(object()), 1);
  ASSERT_TRUE(waitFor([&] { return recorder_->count(DISPID_AudioCDRipper2_EndTrackPlay) == 1; }));
  EXPECT_EQ(AudioCDRipper2Probe::playing(object()), 0);
  EXPECT_EQ(AudioCDRipper2Probe::ripInProgress(object()), 0);
  EXPECT_FALSE(drive->trayLocked());
  // Three seconds were queued, far from the 9-second track's end.
  const std::vector<LONG> positions = timerPositions(*recorder_.get());
  for (LONG at : positions) EXPECT_LE(at, 3 * 44100);

  AudioCDRipper2Probe::swapPlayer(object(), real);
  engine()->PlayTrack(1);
  EXPECT_EQ(AudioCDRipper2Probe::playing(object()), 1);
  engine()->StopPlay();
  EXPECT_TRUE(errors(*recorder_.get()).empty());
  EXPECT_TRUE(allEventsOnThisThread());
}

TEST_F(EnginePlayback, MisusesRaiseOperationFailedAndATrackAboveTheCountIsLogged) {
  setLog("Extended");
  addDrive(kShortDisc);
  open();
  engine()->Refresh();
  engine()->PauseTrack();
  engine()->SeekTrack(44100);
  engine()->StopPlay();  // nothing to stop: no event
  engine()->PlayTrack(3);
  EXPECT_EQ(errors(*recorder_.get()), (std::vector<LONG>{OPERATION_FAILED, OPERATION_FAILED, OPERATION_FAILED}));
  EXPECT_NE(logText().find("Track Num exceeds track count"), std::string::npos);
  EXPECT_EQ(AudioCDRipper2Probe::ripInProgress(object()), 0);
}

TEST_F(EnginePlayback, PauseTwiceResumesWhereItPaused) {
  addDrive(kShortDisc);
  open();
  engine()->Refresh();
  engine()->PlayTrack(2);
  ASSERT_TRUE(waitFor([&] {
    const auto p = timerPositions(*recorder_.get());
    return !p.empty() && p.back() >= 44100;
  }));
  engine()->PauseTrack();
  const LONG pausedAt = timerPositions(*recorder_.get()).back();
  const uint32_t start = AudioCDRipper2Probe::playStartLba(object());
  EXPECT_EQ(AudioCDRipper2Probe::playCurLba(object()), start + pausedAt / 588);

  const size_t before = recorder_->events.size();
  gated_->clearReads();
  engine()->PauseTrack();
  ASSERT_FALSE(gated_->readLbas().empty());
  EXPECT_EQ(gated_->readLbas().front(), start + pausedAt / 588);
  ASSERT_TRUE(waitFor([&] { return recorder_->events.size() > before + 2; }));
  std::vector<LONG> after;
  for (size_t i = before; i < recorder_->events.size(); ++i)
    if (recorder_->events[i].id == DISPID_AudioCDRipper2_Timer) after.push_back(recorder_->events[i].args[0]);
  ASSERT_FALSE(after.empty());
  EXPECT_GE(after.front(), pausedAt);
  engine()->StopPlay();
}

TEST_F(EnginePlayback, SeekReadsFromThePositionAndTimerAddsThePlayersCount) {
  addDrive(kShortDisc);
  open();
  engine()->Refresh();
  engine()->PlayTrack(2);
  gated_->clearReads();
  const size_t before = recorder_->events.size();
  engine()->SeekTrack(44100);
  const uint32_t start = AudioCDRipper2Probe::playStartLba(object());
  ASSERT_FALSE(gated_->readLbas().empty());
  EXPECT_EQ(gated_->readLbas().front(), start + 75);
  ASSERT_TRUE(waitFor([&] {
    for (size_t i = before; i < recorder_->events.size(); ++i)
      if (recorder_->events[i].id == DISPID_AudioCDRipper2_Timer) return true;
    return false;
  }));
  LONG next = -1;
  for (size_t i = before; i < recorder_->events.size() && next < 0; ++i)
    if (recorder_->events[i].id == DISPID_AudioCDRipper2_Timer) next = recorder_->events[i].args[0];
  EXPECT_GE(next, 44100);
  EXPECT_LT(next, 2 * 44100);

  // A position beyond the track is taken as its end, not as another track's audio.
  gated_->clearReads();
  engine()->SeekTrack(100000000);
  for (uint32_t lba : gated_->readLbas()) EXPECT_LT(lba, start + 9 * 75);
  engine()->StopPlay();
}

TEST_F(EnginePlayback, UnreadableChunksPlayAsSilenceAndPlaybackGoesOn) {
  platform::vdrive::FaultPlan faults;
  // One second in the middle of track 1 (its audio starts at LBA 0) can never be read.
  faults.unreadable.push_back({60, 134, 0});
  addDrive(kShortDisc, faults);
  open();
  engine()->Refresh();
  engine()->PlayTrack(1);
  ASSERT_TRUE(waitFor([&] { return recorder_->count(DISPID_AudioCDRipper2_EndTrackPlay) == 1; }));
  bool silentMidway = false;
  bool loudBefore = false;
  for (const Event& e : recorder_->events) {
    if (e.id != DISPID_AudioCDRipper2_Timer) continue;
    if (e.args[0] < 50 * 588 && e.args[1] > 0) loudBefore = true;
    if (e.args[0] > 80 * 588 && e.args[0] < 120 * 588 && e.args[1] == 0 && e.args[2] == 0) silentMidway = true;
  }
  EXPECT_TRUE(loudBefore);
  EXPECT_TRUE(silentMidway);
  EXPECT_GE(timerPositions(*recorder_.get()).back(), kTrackOneSamples);
  engine()->StopPlay();
  EXPECT_TRUE(errors(*recorder_.get()).empty());
}

}  // namespace
}  // namespace engine::testing_support
