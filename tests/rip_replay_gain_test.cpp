// ReplayGain in the rip report: off unless asked; asked, each WAV rip's
// gain and true peak are those of the audio it delivered (measured here
// from the file with the library itself), and the album's over the tracks
// a client names is the gating over all their audio together; a track not
// measured makes no album value, and a list that is not one is refused.
#include <ebur128.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "engine/com/audio_cd_ripper.h"
#include "platform/deviceio/drive_table.h"
#include "platform/vdrive/disc_description.h"
#include "platform/vdrive/virtual_drive.h"
#include "tests/support/rip_event_sink.h"
#include "tests/support/scratch_home.h"

namespace engine {
namespace {

using platform::vdrive::Disc;
using platform::vdrive::VirtualDrive;

// A loud track, a quieter one, and one of silence.
constexpr const char* kDisc =
    "disc seed=3\n"
    "track kind=noise length=5s\n"
    "track kind=music length=7s\n"
    "track kind=silence length=2s\n";

uint32_t Le32(const std::string& s, size_t at) {
  const auto* b = reinterpret_cast<const unsigned char*>(s.data() + at);
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

std::string DataChunk(const std::string& wav) {
  size_t at = 12;
  while (at + 8 <= wav.size()) {
    const uint32_t size = Le32(wav, at + 4);
    if (wav.compare(at, 4, "data") == 0) return wav.substr(at + 8, size);
    at += 8 + size + (size & 1);
  }
  return {};
}

// The library's own meter over a WAV's audio (little-endian stereo).
struct Meter {
  Meter() : state(ebur128_init(2, 44100, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK)) {}
  ~Meter() { ebur128_destroy(&state); }
  void add(const std::string& pcm) {
    std::vector<int16_t> samples(pcm.size() / 2);
    std::memcpy(samples.data(), pcm.data(), samples.size() * 2);
    ebur128_add_frames_short(state, samples.data(), samples.size() / 2);
  }
  double peak() const {
    double p0 = 0, p1 = 0;
    ebur128_true_peak(state, 0, &p0);
    ebur128_true_peak(state, 1, &p1);
    return std::max(p0, p1);
  }
  ebur128_state* state;
};

class ReplayGainRip : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_.emplace("rm_rip_replay_gain_test");
    drive_ = std::make_shared<VirtualDrive>(std::make_shared<Disc>(platform::vdrive::generateDisc(kDisc, "rg")));
    drive_->setAddress({1, 0, 0, 0});
    platform::deviceio::registerDrive('E', drive_);
    engine_ = com::make<AudioCDRipper2>();
    sink_ = com::make<testing_support::RipEventSink>();
    engine_->FindConnectionPoint(DIID__IAudioCDRipper2Events, point_.put());
    point_->Advise(sink_->identity(), &cookie_);
    engine_->DriverOpen();
    engine_->Refresh();
    engine_->put_driveSpinUpTime(0);
    ASSERT_EQ(engine_->QueryInterface(IID_IAudioCDRipperReport, report_.putVoid()), S_OK);
  }
  void TearDown() override {
    engine_->DriverClose();
    point_->Unadvise(cookie_);
  }
  std::string rip(LONG track) {
    sink_->progress.clear();
    engine_->put_trackNum(track);
    const std::string name = scratch_->path() + "/t.wav";
    const std::u16string wide(name.begin(), name.end());
    BSTR file = SysAllocString(wide.c_str());
    engine_->RipTrackToWav(file);
    SysFreeString(file);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!sink_->finished() && std::chrono::steady_clock::now() < deadline) CoPumpCalls(5);
    CoPumpCalls(20);
    std::ifstream in(name, std::ios::binary);
    return DataChunk(std::string{std::istreambuf_iterator<char>(in), {}});
  }
  double album(const char* tracks, bool gain) {
    BSTR text = SysAllocString(std::u16string(tracks, tracks + std::char_traits<char>::length(tracks)).c_str());
    double value = 12345;
    EXPECT_EQ(gain ? report_->get_albumGainDb(text, &value) : report_->get_albumPeak(text, &value), S_OK);
    SysFreeString(text);
    return value;
  }
  double trackGain() {
    double v = 12345;
    EXPECT_EQ(report_->get_trackGainDb(&v), S_OK);
    return v;
  }
  double trackPeak() {
    double v = 12345;
    EXPECT_EQ(report_->get_trackPeak(&v), S_OK);
    return v;
  }

  std::optional<testing_support::ScratchHome> scratch_;
  std::shared_ptr<VirtualDrive> drive_;
  com::ComPtr<AudioCDRipper2> engine_;
  com::ComPtr<testing_support::RipEventSink> sink_;
  com::ComPtr<IConnectionPoint> point_;
  com::ComPtr<IAudioCDRipperReport> report_;
  DWORD cookie_ = 0;
};

TEST_F(ReplayGainRip, NothingIsMeasuredUnlessAsked) {
  VARIANT_BOOL on = VARIANT_TRUE;
  ASSERT_EQ(report_->get_replayGain(&on), S_OK);
  EXPECT_EQ(on, VARIANT_FALSE);
  ASSERT_FALSE(rip(1).empty());
  EXPECT_EQ(trackPeak(), -1);
  EXPECT_EQ(trackGain(), 0);
  EXPECT_EQ(album("1", false), -1);
}

TEST_F(ReplayGainRip, TrackAndAlbumValuesAreThoseOfTheDeliveredAudio) {
  ASSERT_EQ(report_->put_replayGain(VARIANT_TRUE), S_OK);
  Meter first, second, both1, both2;
  const std::string a = rip(1);
  first.add(a);
  both1.add(a);
  double loudness = 0;
  ebur128_loudness_global(first.state, &loudness);
  EXPECT_NEAR(trackGain(), -18.0 - loudness, 1e-9);
  EXPECT_NEAR(trackPeak(), first.peak(), 1e-9);

  const std::string b = rip(2);
  second.add(b);
  both2.add(b);
  ebur128_loudness_global(second.state, &loudness);
  EXPECT_NEAR(trackGain(), -18.0 - loudness, 1e-9);
  ebur128_state* states[] = {both1.state, both2.state};
  double albumLoudness = 0;
  ebur128_loudness_global_multiple(states, 2, &albumLoudness);
  EXPECT_NEAR(album("1 2", true), -18.0 - albumLoudness, 1e-9);
  EXPECT_NEAR(album("2,1", true), -18.0 - albumLoudness, 1e-9);  // order and separators do not matter
  EXPECT_NEAR(album("1 2", false), std::max(first.peak(), second.peak()), 1e-9);
  EXPECT_GT(std::abs(album("1 2", true) - album("1", true)), 0.5);  // not track 1's alone

  // Silence: no track value, and it adds nothing to the album's gating.
  ASSERT_FALSE(rip(3).empty());
  EXPECT_EQ(trackPeak(), -1);
  EXPECT_NEAR(album("1 2 3", true), -18.0 - albumLoudness, 1e-9);

  // A track never measured: no album value. Not a list: refused.
  EXPECT_EQ(album("1 4", false), -1);
  EXPECT_EQ(album("1 4", true), 0);
  sink_->errors.clear();
  for (const char* bad : {"", "one", "1 -2", "0", "1;2", "12345"}) {
    EXPECT_EQ(album(bad, false), 12345) << bad;
    CoPumpCalls(5);
  }
  EXPECT_EQ(sink_->errors.size(), 6u);
}

}  // namespace
}  // namespace engine
