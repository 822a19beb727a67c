// Encoded rips through the engine object against virtual drives made in the
// test. With the real codec server: every format decodes to the track's
// length and audio, progress rises to one final 100, StopRip leaves a
// closed, decodable file, the MP3 settings object selects VBR, and WMA's
// default profile rips at the nearest setting. With the recording doubles: the codec
// calls of every RipTrackTo operation in order, and the pieces the timer
// thread's pump hands on.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>

#include "engine/com/audio_cd_ripper.h"
#include "engine/mp3settings/lame_mp3_encoder.h"
#include "engine/rip/pcm_buffer.h"
#include "outside/wavesmith2/test_signals.h"
#include "platform/deviceio/drive_table.h"
#include "platform/vdrive/disc_description.h"
#include "platform/vdrive/virtual_drive.h"
#include "tests/support/rip_event_sink.h"
#include "tests/support/scratch_home.h"

namespace engine {
namespace {

using platform::vdrive::VirtualDrive;

// The recording doubles are reached through dlopen, not linked: a linked
// library's exported DllGetClassObject would be the one the codec server's
// DllRegisterServer finds first, and it would register the doubles' path
// under the codec's classes.
struct Doubles {
  bool (*registerDoubles)() = nullptr;
  std::vector<std::string> (*recordedCalls)() = nullptr;
  void (*clearCalls)() = nullptr;
};
const Doubles& doublesLibrary() {
  static const Doubles d = [] {
    Doubles r;
    void* lib = dlopen(RIPMARROW_TEST_DOUBLES_PATH, RTLD_NOW | RTLD_LOCAL);  // kept open for the process
    if (lib == nullptr) return r;
    r.registerDoubles = reinterpret_cast<bool (*)()>(dlsym(lib, "_ZN7doubles15registerDoublesEv"));
    r.recordedCalls = reinterpret_cast<std::vector<std::string> (*)()>(dlsym(lib, "_ZN7doubles13recordedCallsB5cxx11Ev"));
    r.clearCalls = reinterpret_cast<void (*)()>(dlsym(lib, "_ZN7doubles10clearCallsEv"));
    return r;
  }();
  return d;
}
namespace doubles {
bool registerDoubles() { return doublesLibrary().registerDoubles != nullptr && doublesLibrary().registerDoubles(); }
std::vector<std::string> recordedCalls() { return doublesLibrary().recordedCalls(); }
void clearCalls() {
  if (doublesLibrary().clearCalls != nullptr) doublesLibrary().clearCalls();
}
}  // namespace doubles

using EventSink = ::testing_support::RipEventSink;

enum class Codec { kReal, kDoubles };

class EncodedRipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_.emplace("rm_ripenc_test");
    home_ = scratch_->path();
  }
  void TearDown() override {
    if (engine_) {
      engine_->DriverClose();
      point_->Unadvise(cookie_);
    }
    point_.reset();
    engine_.reset();
    CoFreeUnusedLibraries();
    scratch_.reset();
  }

  void openWith(const std::string& description, Codec codec) {
    if (codec == Codec::kDoubles) {
      ASSERT_TRUE(doubles::registerDoubles());
    } else {
      void* lib = dlopen(RIPMARROW_WAVESMITH2_PATH, RTLD_NOW | RTLD_LOCAL);
      ASSERT_NE(lib, nullptr) << dlerror();
      auto reg = reinterpret_cast<HRESULT (*)()>(dlsym(lib, "DllRegisterServer"));
      ASSERT_NE(reg, nullptr);
      ASSERT_EQ(reg(), S_OK);
      dlclose(lib);
    }
    disc_ = std::make_shared<platform::vdrive::Disc>(platform::vdrive::generateDisc(description, "test"));
    drive_ = std::make_shared<VirtualDrive>(disc_);
    drive_->setAddress({1, 0, 0, 0});
    platform::deviceio::registerDrive('E', drive_);
    engine_ = com::make<AudioCDRipper2>();
    sink_ = com::make<EventSink>();
    ASSERT_EQ(engine_->FindConnectionPoint(DIID__IAudioCDRipper2Events, point_.put()), S_OK);
    ASSERT_EQ(point_->Advise(sink_->identity(), &cookie_), S_OK);
    ASSERT_EQ(engine_->DriverOpen(), S_OK);
    ASSERT_EQ(engine_->Refresh(), S_OK);
    engine_->put_driveSpinUpTime(0);
    engine_->put_driveSpeed(200);  // paced, but briefly
    doubles::clearCalls();
  }

  using RipOp = HRESULT (STDMETHODCALLTYPE AudioCDRipper2::*)(BSTR);
  // Starts a rip of `track` into `name` and waits for its RipProgress(100).
  bool rip(RipOp op, const std::string& name, LONG track = 1) {
    engine_->put_trackNum(track);
    sink_->progress.clear();
    sink_->errors.clear();
    const std::u16string wide(name.begin(), name.end());
    BSTR file = SysAllocString(wide.c_str());
    (engine_.get()->*op)(file);
    SysFreeString(file);
    return waitForEnd();
  }
  bool waitForEnd() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (!sink_->finished() && std::chrono::steady_clock::now() < deadline) CoPumpCalls(10);
    CoPumpCalls(50);  // the rip thread's last calls
    return sink_->finished();
  }
  // Progress rises and reports 100 once, as its last value.
  void expectProgressRisesToOneFinal100() {
    const auto& p = sink_->progress;
    ASSERT_FALSE(p.empty());
    EXPECT_TRUE(std::is_sorted(p.begin(), p.end())) << ::testing::PrintToString(p);
    EXPECT_EQ(std::count(p.begin(), p.end(), 100), 1) << ::testing::PrintToString(p);
    EXPECT_EQ(p.back(), 100);
  }
  // The audio of track `index` (0-based) as it is on the disc, as samples.
  std::vector<int16_t> trackSamples(size_t index) {
    const auto& t = disc_->tracks()[index];
    std::vector<int16_t> audio;
    std::array<uint8_t, 2352> sector{};
    for (platform::vdrive::Lba lba = t.start; lba < t.end; ++lba) {
      disc_->readSector(lba, sector);
      const auto* s = reinterpret_cast<const int16_t*>(sector.data());
      audio.insert(audio.end(), s, s + sector.size() / 2);
    }
    return audio;
  }
  std::string path(const std::string& name) const { return home_ + "/" + name; }

  std::string home_;
  std::optional<::testing_support::ScratchHome> scratch_;
  std::shared_ptr<platform::vdrive::Disc> disc_;
  std::shared_ptr<VirtualDrive> drive_;
  com::ComPtr<AudioCDRipper2> engine_;
  com::ComPtr<EventSink> sink_;
  com::ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

// The lag (in sample frames, decoded behind original when positive) at
// which the left channels match best, and the normalised correlation there.
struct Match {
  int lagFrames = 0;
  double correlation = 0;
};
Match bestMatch(const std::vector<int16_t>& decoded, const std::vector<int16_t>& original) {
  constexpr int kMaxLag = 3000, kWindow = 8192;
  const int from = static_cast<int>(original.size() / 2) / 3;
  Match best;
  for (int lag = -kMaxLag; lag <= kMaxLag; ++lag) {
    double xy = 0, xx = 0, yy = 0;
    for (int i = from; i < from + kWindow; ++i) {
      const size_t d = static_cast<size_t>(i + lag) * 2;
      if (i + lag < 0 || d >= decoded.size()) continue;
      const double x = original[static_cast<size_t>(i) * 2], y = decoded[d];
      xy += x * y, xx += x * x, yy += y * y;
    }
    const double c = xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
    if (c > best.correlation) best = {lag, c};
  }
  return best;
}

constexpr const char* kDisc =
    "disc seed=5\n"
    "track kind=music length=3s\n"
    "track kind=noise length=6s\n";

// Each format decodes to the track's length and audio. The codecs' own
// start delay is measured: the decoder trims MP3's through its encoder
// header, so the audio lines up with the disc.
TEST_F(EncodedRipTest, EveryFormatDecodesToTheTracksLengthAndAudio) {
  openWith(kDisc, Codec::kReal);
  const std::vector<int16_t> want = trackSamples(0);
  const int64_t wantFrames = static_cast<int64_t>(want.size() / 2);
  engine_->SetFormatWMA(10);
  struct Case {
    RipOp op;
    const char* file;
    int maxLagFrames;  // the codec delay the decoder does not trim (MP2: 481)
    int64_t extraFrames;  // what the codec may add at the end (MP2: to a whole frame)
  };
  for (const Case& c : {Case{&AudioCDRipper2::RipTrackToMP3, "t.mp3", 0, 0},
                        Case{&AudioCDRipper2::RipTrackToMP2, "t.mp2", 481, 1152},
                        Case{&AudioCDRipper2::RipTrackToOGG, "t.ogg", 0, 0},
                        Case{&AudioCDRipper2::RipTrackToWMA, "t.wma", 2048, 2048}}) {
    SCOPED_TRACE(c.file);
    ASSERT_TRUE(rip(c.op, c.file));
    EXPECT_TRUE(sink_->errors.empty()) << ::testing::PrintToString(sink_->errors);
    expectProgressRisesToOneFinal100();
    const wavesmith::test::Decoded d = wavesmith::test::decodeAll(path(c.file));
    EXPECT_EQ(d.rate_hz, 44100);
    ASSERT_EQ(d.channels, 2);
    const int64_t gotFrames = static_cast<int64_t>(d.samples.size() / 2);
    EXPECT_GE(gotFrames, wantFrames);
    EXPECT_LE(gotFrames, wantFrames + c.extraFrames);
    const Match m = bestMatch(d.samples, want);
    std::printf("%s: %lld frames for %lld, best match at lag %d, correlation %.4f\n", c.file,
                static_cast<long long>(gotFrames), static_cast<long long>(wantFrames), m.lagFrames, m.correlation);
    EXPECT_GT(m.correlation, 0.95);
    EXPECT_LE(std::abs(m.lagFrames), c.maxLagFrames);
  }
}

// The checksums of an encoded rip are those of the disc's audio the codec
// was given, as a WAV rip's are; a range rip through the codec's PCM format
// gives the range's audio from the disc, reaching across a track boundary.
TEST_F(EncodedRipTest, EncodedAndRangeRipsCarryTheDiscsAudioAndChecksums) {
  openWith(kDisc, Codec::kReal);
  com::ComPtr<IAudioCDRipperReport> report;
  ASSERT_EQ(engine_->QueryInterface(IID_IAudioCDRipperReport, report.putVoid()), S_OK);
  auto sums = [&] {
    std::array<LONG, 5> v{};
    report->get_trackCopyCRC(&v[0]);
    report->get_trackCopyCRCSkipZero(&v[1]);
    report->get_trackAccurateRipV1(&v[2]);
    report->get_trackAccurateRipV2(&v[3]);
    report->get_trackAccurateRipFrame450(&v[4]);
    return v;
  };
  ASSERT_TRUE(rip(&AudioCDRipper2::RipTrackToWav, path("t.wav"), 2));
  const auto wav = sums();
  EXPECT_NE(wav[0], 0);
  ASSERT_TRUE(rip(&AudioCDRipper2::RipTrackToMP3, path("t.mp3"), 2));
  EXPECT_EQ(sums(), wav);

  com::ComPtr<IUnknown> unknown;
  ASSERT_EQ(engine_->GetAudioFile2Interface(unknown.put()), S_OK);
  com::ComPtr<IAudioFile2> codec;
  ASSERT_EQ(unknown->QueryInterface(IID_IAudioFile2, codec.putVoid()), S_OK);
  ASSERT_EQ(codec->SetFormatPCM(44100, 2, 16), S_OK);
  const auto& second = disc_->tracks()[1];
  const LONG first = static_cast<LONG>(second.start) - 40, frames = 120;
  sink_->progress.clear();
  sink_->errors.clear();
  const std::string name = path("range.wav");
  const std::u16string wide(name.begin(), name.end());
  BSTR file = SysAllocString(wide.c_str());
  engine_->RipRangeToAudioFile2Format(first, frames, file);
  SysFreeString(file);
  ASSERT_TRUE(waitForEnd());
  EXPECT_TRUE(sink_->errors.empty()) << ::testing::PrintToString(sink_->errors);
  const wavesmith::test::Decoded d = wavesmith::test::decodeAll(name);
  std::vector<int16_t> want;
  std::array<uint8_t, 2352> sector{};
  for (LONG lba = first; lba < first + frames; ++lba) {
    disc_->readSector(static_cast<platform::vdrive::Lba>(lba), sector);
    const auto* s = reinterpret_cast<const int16_t*>(sector.data());
    want.insert(want.end(), s, s + sector.size() / 2);
  }
  EXPECT_TRUE(d.samples == want);

  // A range off the disc is refused before anything is opened.
  sink_->errors.clear();
  BSTR other = SysAllocString(u"never.wav");
  engine_->RipRangeToAudioFile2Format(static_cast<LONG>(disc_->leadOut()) - 10, 11, other);
  SysFreeString(other);
  CoPumpCalls(20);
  EXPECT_EQ(sink_->errors, std::vector<LONG>{INVALID_PARAM});
}

// WMA's default profile (39, VBR quality 98) is one the encoder cannot make
// as named: the rip writes it at the nearest setting the codec makes (48 kHz
// stereo at a constant rate).
TEST_F(EncodedRipTest, DefaultWmaProfileRipsAtTheNearestSetting) {
  openWith(kDisc, Codec::kReal);
  ASSERT_TRUE(rip(&AudioCDRipper2::RipTrackToWMA, "default.wma"));
  EXPECT_TRUE(sink_->errors.empty());
  expectProgressRisesToOneFinal100();
  const auto decoded = wavesmith::test::decodeAll(path("default.wma"));
  EXPECT_EQ(decoded.rate_hz, 48000);
  EXPECT_EQ(decoded.channels, 2);
  EXPECT_GT(decoded.samples.size(), 0u);
}

// StopRip during an encoded rip: what was ripped is encoded, the file is
// closed and decodes to a shorter piece of the track's start.
TEST_F(EncodedRipTest, StopRipLeavesAClosedDecodableFile) {
  openWith(kDisc, Codec::kReal);
  drive_->setTiming({.speedX = 64});  // a drive that takes time is paced: 8x is slow enough to act mid-way
  engine_->put_driveSpeed(8);
  sink_->onProgress = [&](LONG percent) {
    if (percent >= 20 && percent < 100) engine_->StopRip();
  };
  ASSERT_TRUE(rip(&AudioCDRipper2::RipTrackToOGG, "stopped.ogg", 2));
  sink_->onProgress = nullptr;
  EXPECT_TRUE(sink_->errors.empty());
  EXPECT_EQ(std::count(sink_->progress.begin(), sink_->progress.end(), 100), 1);
  const wavesmith::test::Decoded d = wavesmith::test::decodeAll(path("stopped.ogg"));
  const size_t whole = trackSamples(1).size();
  EXPECT_GT(d.samples.size(), whole / 10);
  EXPECT_LT(d.samples.size(), whole * 9 / 10);
  // The engine rips again afterwards.
  engine_->put_driveSpeed(200);
  ASSERT_TRUE(rip(&AudioCDRipper2::RipTrackToOGG, "again.ogg", 1));
  EXPECT_TRUE(sink_->errors.empty());
}

// The folder of an MP3 rip is removed while the codec writes into it: the
// rip reports FILE_ACCESS instead of a file nobody can reach, and the engine
// rips again afterwards.
TEST_F(EncodedRipTest, AFolderThatVanishesDuringTheRipIsReported) {
  openWith(kDisc, Codec::kReal);
  engine_->put_driveSpeed(16);
  std::filesystem::create_directory(path("album"));
  sink_->onProgress = [&](LONG percent) {
    if (percent >= 20 && percent < 100) std::filesystem::remove_all(path("album"));
  };
  ASSERT_TRUE(rip(&AudioCDRipper2::RipTrackToMP3, "album/t.mp3", 2));
  sink_->onProgress = nullptr;
  EXPECT_EQ(sink_->errors, std::vector<LONG>{FILE_ACCESS});
  engine_->put_driveSpeed(200);
  ASSERT_TRUE(rip(&AudioCDRipper2::RipTrackToMP3, "again.mp3", 1));
  EXPECT_TRUE(sink_->errors.empty());
}

// The bit rates of the MPEG-1 layer III frames of a file.
std::set<int> frameBitrates(const std::string& bytes) {
  static constexpr int kKbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
  static constexpr int kRate[4] = {44100, 48000, 32000, 0};
  std::set<int> rates;
  size_t at = 0;
  if (bytes.compare(0, 3, "ID3") == 0 && bytes.size() > 10) {
    at = 10 + ((bytes[6] & 0x7f) << 21 | (bytes[7] & 0x7f) << 14 | (bytes[8] & 0x7f) << 7 | (bytes[9] & 0x7f));
  }
  while (at + 4 <= bytes.size()) {
    const auto b = [&](size_t i) { return static_cast<uint8_t>(bytes[at + i]); };
    if (b(0) != 0xff || (b(1) & 0xfe) != 0xfa) break;  // MPEG-1 layer III sync
    const int kbps = kKbps[b(2) >> 4], rate = kRate[(b(2) >> 2) & 3];
    if (kbps == 0 || rate == 0) break;
    rates.insert(kbps);
    at += static_cast<size_t>(144 * kbps * 1000 / rate + ((b(2) >> 1) & 1));
  }
  return rates;
}

// SetFormatMP3Ex with the engine's MP3 settings object set to VBR: the file
// has a VBR header and frames of several bit rates; without it (the
// default format) every frame has the same rate.
TEST_F(EncodedRipTest, SetFormatMP3ExWithVbrSettingsGivesAVbrFile) {
  openWith(kDisc, Codec::kReal);
  ASSERT_TRUE(rip(&AudioCDRipper2::RipTrackToMP3, "cbr.mp3"));
  std::ifstream cbrIn(path("cbr.mp3"), std::ios::binary);
  const std::string cbr{std::istreambuf_iterator<char>(cbrIn), {}};
  EXPECT_EQ(frameBitrates(cbr), std::set<int>{128});

  auto settings = com::make<AudioCDRipperLameMP3Encoder2>();
  settings->put_VbrCodingMethod(VBR_NEW);
  settings->put_VbrQuality(2);
  settings->put_WritingVBRHeader(VARIANT_TRUE);
  ASSERT_EQ(engine_->SetFormatMP3Ex(settings.get()), S_OK);
  ASSERT_TRUE(rip(&AudioCDRipper2::RipTrackToMP3, "vbr.mp3"));
  EXPECT_TRUE(sink_->errors.empty());
  std::ifstream in(path("vbr.mp3"), std::ios::binary);
  const std::string vbr{std::istreambuf_iterator<char>(in), {}};
  EXPECT_NE(vbr.find("Xing"), std::string::npos);
  EXPECT_GT(frameBitrates(vbr).size(), 2u);
  const wavesmith::test::Decoded d = wavesmith::test::decodeAll(path("vbr.mp3"));
  EXPECT_EQ(d.samples.size(), trackSamples(0).size());
}

// --- With the recording doubles --------------------------------------------

// The codec calls since the last clear, WriteSamples left out.
std::vector<std::string> codecCalls() {
  std::vector<std::string> calls;
  for (const std::string& c : doubles::recordedCalls()) {
    if (c.rfind("AudioFile2.", 0) == 0 && c.rfind("AudioFile2.WriteSamples", 0) != 0) calls.push_back(c.substr(11));
  }
  return calls;
}
// The element counts of the WriteSamples calls since the last clear.
std::vector<size_t> pieces() {
  std::vector<size_t> sizes;
  for (const std::string& c : doubles::recordedCalls()) {
    if (c.rfind("AudioFile2.WriteSamples(", 0) == 0) sizes.push_back(std::stoul(c.substr(24)));
  }
  return sizes;
}
using Calls = std::vector<std::string>;

TEST_F(EncodedRipTest, EachRipOperationCallsTheCodecInItsOrder) {
  openWith(kDisc, Codec::kDoubles);
  const Calls open = {"CreateOutputFile(0)", "FileStatus", "SetInputFormat(44100,2)"};
  auto expectRip = [&](RipOp op, const char* file, Calls before, Calls opening) {
    SCOPED_TRACE(file);
    doubles::clearCalls();
    ASSERT_TRUE(rip(op, file));
    EXPECT_TRUE(sink_->errors.empty());
    before.insert(before.end(), opening.begin(), opening.end());
    before.push_back("CloseFile()");
    EXPECT_EQ(codecCalls(), before);
  };
  // The defaults, applied before every rip while the format was never set.
  expectRip(&AudioCDRipper2::RipTrackToMP3, "a.mp3", {"SetFormatMP3(44100,128,2)"}, open);
  expectRip(&AudioCDRipper2::RipTrackToMP3, "b.mp3", {"SetFormatMP3(44100,128,2)"}, open);
  expectRip(&AudioCDRipper2::RipTrackToMP2, "a.mp2", {"SetFormatMP2(44100,128,2)"}, open);
  expectRip(&AudioCDRipper2::RipTrackToOGG, "a.ogg", {"SetFormatOGG(44100,2,128,0,0,-1)"}, open);
  // WMA's default goes through the engine's own SetFormatWMA, which marks
  // the format set: the next rip keeps the profile the codec holds.
  expectRip(&AudioCDRipper2::RipTrackToWMA, "a.wma",
            {"SetInputFormat(44100,2)", "codecOption=-1", "SetFormatWMA(39)", "SetInputFormat(44100,2)"}, open);
  expectRip(&AudioCDRipper2::RipTrackToWMA, "b.wma", {"SetInputFormat(44100,2)", "SetInputFormat(44100,2)"}, open);
  expectRip(&AudioCDRipper2::RipTrackToAudioFile2Format, "a.any", {"SetInputFormat(44100,2)"},
            {"CreateOutputFile(0)", "FileStatus"});

  // A format set by the client, normalised, and no default after it.
  doubles::clearCalls();
  engine_->SetFormatMP3(static_cast<RipFrequencyConstants>(44000), static_cast<RipBitrateConstants>(130),
                        static_cast<RipChannelsConstants>(3));
  engine_->SetFormatMP2(static_cast<RipFrequencyConstants>(32000), static_cast<RipBitrateConstants>(192),
                        static_cast<RipChannelsConstants>(1));
  engine_->SetFormatOGG(static_cast<RipFrequencyConstants>(48000), static_cast<RipChannelsConstants>(1),
                        static_cast<RipBitrateConstants>(96), static_cast<RipBitrateConstants>(100),
                        static_cast<RipBitrateConstants>(320), 4);
  EXPECT_EQ(codecCalls(), (Calls{"SetFormatMP3(44100,0,2)", "SetFormatMP2(32000,192,1)",
                                 "SetFormatOGG(48000,1,96,0,320,4)"}));
  expectRip(&AudioCDRipper2::RipTrackToMP3, "c.mp3", {}, open);
  expectRip(&AudioCDRipper2::RipTrackToMP2, "c.mp2", {}, open);
  expectRip(&AudioCDRipper2::RipTrackToOGG, "c.ogg", {}, open);
  doubles::clearCalls();
  engine_->SetFormatWMA(10);
  EXPECT_EQ(codecCalls(), (Calls{"codecOption=-1", "SetFormatWMA(10)"}));
  expectRip(&AudioCDRipper2::RipTrackToWMA, "c.wma", {"SetInputFormat(44100,2)", "SetInputFormat(44100,2)"}, open);

  // SetFormatMP3Ex: the settings reach the codec's settings object, which
  // is then attached; the MP3 default is not applied after it.
  auto settings = com::make<AudioCDRipperLameMP3Encoder2>();
  settings->put_Bitrate(static_cast<RipBitrateConstants>(100));
  settings->put_Frequency(static_cast<RipFrequencyConstants>(44000));
  settings->put_Channels(static_cast<RipChannelsConstants>(0));
  doubles::clearCalls();
  ASSERT_EQ(engine_->SetFormatMP3Ex(settings.get()), S_OK);
  const Calls all = doubles::recordedCalls();
  EXPECT_NE(std::find(all.begin(), all.end(), "AudioFile2LameEnc.Bitrate=0"), all.end());
  EXPECT_NE(std::find(all.begin(), all.end(), "AudioFile2LameEnc.Frequency=44100"), all.end());
  EXPECT_NE(std::find(all.begin(), all.end(), "AudioFile2LameEnc.Channels=2"), all.end());
  EXPECT_EQ(codecCalls(), Calls{"SetLameEncoder(AudioFile2LameEnc)"});
  RipBitrateConstants back{};
  settings->get_Bitrate(&back);
  EXPECT_EQ(back, 0);
}

// The pump hands the whole track on in pieces of at most 88200 bytes of
// whole sample frames, in order, and the codec's file is closed after the
// last; a stopped rip still closes it.
TEST_F(EncodedRipTest, ThePumpHandsWholeSampleFramesInPiecesOfAtMostHalfASecond) {
  openWith(kDisc, Codec::kDoubles);
  ASSERT_TRUE(rip(&AudioCDRipper2::RipTrackToMP3, "p.mp3", 2));
  const std::vector<size_t> sizes = pieces();
  ASSERT_FALSE(sizes.empty());
  size_t total = 0;
  for (size_t elements : sizes) {
    EXPECT_LE(elements * 2, 88200u);
    EXPECT_EQ(elements % 2, 0u);  // whole stereo sample frames
    total += elements * 2;
  }
  EXPECT_EQ(total, trackSamples(1).size() * 2);  // every byte of the track, the remainder included
  EXPECT_EQ(doubles::recordedCalls().back(), "AudioFile2.CloseFile()");

  doubles::clearCalls();
  drive_->setTiming({.speedX = 64});  // paced at 8x, so the stop lands mid-way
  engine_->put_driveSpeed(8);
  sink_->onProgress = [&](LONG percent) {
    if (percent >= 20 && percent < 100) engine_->StopRip();
  };
  ASSERT_TRUE(rip(&AudioCDRipper2::RipTrackToMP3, "s.mp3", 2));
  sink_->onProgress = nullptr;
  size_t stoppedTotal = 0;
  for (size_t elements : pieces()) stoppedTotal += elements * 2;
  EXPECT_GT(stoppedTotal, 0u);
  EXPECT_LT(stoppedTotal, total);
  EXPECT_EQ(stoppedTotal % 4, 0u);
  EXPECT_EQ(codecCalls().back(), "CloseFile()");
}

// An encoded rip stopped while its thread still takes the drive (every
// command slowed), and one whose thread finds no drive at all: both close
// the codec's file and end with one RipProgress(100), the second after its
// Error.
TEST_F(EncodedRipTest, ARipStoppedOrRefusedAtItsStartClosesTheCodecsFile) {
  openWith(kDisc, Codec::kDoubles);
  platform::vdrive::FaultPlan slow;
  slow.slowCommandMs = 40;
  drive_->setFaults(slow);
  engine_->put_trackNum(2);
  sink_->progress.clear();
  BSTR file = SysAllocString(u"start.mp3");
  engine_->RipTrackToMP3(file);
  SysFreeString(file);
  engine_->StopRip();
  ASSERT_TRUE(waitForEnd());
  drive_->setFaults({});
  EXPECT_TRUE(sink_->errors.empty());
  EXPECT_EQ(std::count(sink_->progress.begin(), sink_->progress.end(), 100), 1);
  size_t stopped = 0;
  for (size_t elements : pieces()) stopped += elements * 2;
  EXPECT_LT(stopped, trackSamples(1).size() * 2 / 2);
  EXPECT_EQ(codecCalls().back(), "CloseFile()");

  doubles::clearCalls();
  platform::deviceio::registerDrive('E', nullptr);
  ASSERT_TRUE(rip(&AudioCDRipper2::RipTrackToMP3, "none.mp3", 2));
  platform::deviceio::registerDrive('E', drive_);
  ASSERT_EQ(sink_->errors.size(), 1u);
  EXPECT_TRUE(sink_->errors[0] == ASPI_DRIVER || sink_->errors[0] == DRIVE_BUSY) << sink_->errors[0];
  EXPECT_EQ(sink_->progress, std::vector<LONG>{100});
  EXPECT_EQ(codecCalls().back(), "CloseFile()");
}

}  // namespace
}  // namespace engine

namespace engine {
namespace {

// A track longer than the encoder's ring (about 48 seconds of audio): the
// rip thread waits whenever the ring is full, the pump takes it in pieces
// across the ring's end, and the file still holds the track's audio sample
// for sample, with progress rising to one final 100.
TEST_F(EncodedRipTest, ATrackLongerThanTheRingArrivesWholeAndInOrder) {
  openWith("disc seed=12\ntrack kind=noise length=1:02:00\n", Codec::kReal);
  const auto& track = disc_->tracks()[0];
  ASSERT_GT(static_cast<size_t>(track.end - track.start) * 2352, PcmBuffer::kMaxRingBytes);
  com::ComPtr<IUnknown> unknown;
  ASSERT_EQ(engine_->GetAudioFile2Interface(unknown.put()), S_OK);
  com::ComPtr<IAudioFile2> codec;
  ASSERT_EQ(unknown->QueryInterface(IID_IAudioFile2, codec.putVoid()), S_OK);
  ASSERT_EQ(codec->SetFormatPCM(44100, 2, 16), S_OK);
  ASSERT_TRUE(rip(&AudioCDRipper2::RipTrackToAudioFile2Format, path("long.wav"), 1));
  EXPECT_TRUE(sink_->errors.empty()) << ::testing::PrintToString(sink_->errors);
  expectProgressRisesToOneFinal100();
  const wavesmith::test::Decoded d = wavesmith::test::decodeAll(path("long.wav"));
  EXPECT_TRUE(d.samples == trackSamples(0));
}

}  // namespace
}  // namespace engine
