// What the rip report says of a rip and of the disc: the checksums of WAV
// rips against a small implementation of their own here, written from the
// checksums' definitions (not the engine's code); read offset correction on
// drives that deliver their audio early or late; the disc's identities and
// the layout from its sub-channel.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "engine/com/audio_cd_ripper.h"
#include "platform/deviceio/drive_table.h"
#include "proof/ctdb_crc.h"
#include "platform/vdrive/disc_description.h"
#include "platform/vdrive/drive_model.h"
#include "platform/vdrive/virtual_drive.h"
#include "tests/support/rip_event_sink.h"
#include "tests/support/scratch_home.h"

namespace engine {
namespace {

using platform::vdrive::Disc;
using platform::vdrive::DriveModel;
using platform::vdrive::VirtualDrive;

// ---- The checksums, from their definitions --------------------------------

uint32_t Crc32(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : bytes) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

uint32_t Word(const std::string& pcm, size_t sample) {
  const auto* b = reinterpret_cast<const unsigned char*>(pcm.data() + sample * 4);
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

struct Sums {
  uint32_t crc = 0, crcSkipZero = 0, v1 = 0, v2 = 0, frame450 = 0;
  bool operator==(const Sums&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Sums& s) {
  return out << std::hex << "{crc " << s.crc << ", skip-zero " << s.crcSkipZero << ", v1 " << s.v1 << ", v2 "
             << s.v2 << ", 450 " << s.frame450 << "}";
}

Sums Expected(const std::string& pcm, bool first, bool last) {
  Sums s;
  s.crc = Crc32(pcm);
  std::string nonZero;
  const size_t n = pcm.size() / 4;
  for (size_t i = 0; i < n; ++i) {
    if (Word(pcm, i) != 0) nonZero.append(pcm, i * 4, 4);
  }
  s.crcSkipZero = Crc32(nonZero);
  const uint64_t from = first ? 5 * 588 : 1;  // 1-based: 5 x 588 - 1 samples left out
  const uint64_t to = last ? n - 5 * 588 : n;
  for (uint64_t i = from; i <= to; ++i) {
    const uint64_t product = i * Word(pcm, i - 1);
    s.v1 += uint32_t(product);
    s.v2 += uint32_t(product) + uint32_t(product >> 32);
  }
  for (uint64_t k = 0; k < 588 && 450 * 588 + k < n; ++k) s.frame450 += uint32_t(k + 1) * Word(pcm, 450 * 588 + k);
  return s;
}

// ---- A disc in a virtual drive, ripped to WAV through the engine ----------

// The bytes of a WAVE file's data chunk.
std::string DataChunk(const std::string& wav) {
  size_t at = 12;
  while (at + 8 <= wav.size()) {
    const uint32_t size = Word(wav.substr(at + 4, 4), 0);
    if (wav.compare(at, 4, "data") == 0) return wav.substr(at + 8, size);
    at += 8 + size + (size & 1);
  }
  return {};
}

class ReportedRip {
 public:
  ReportedRip(const std::string& description, DriveModel model = DriveModel{}) {
    scratch_.emplace("rm_rip_checks_test");
    disc_ = std::make_shared<Disc>(platform::vdrive::generateDisc(description, "checks"));
    drive_ = std::make_shared<VirtualDrive>(disc_, model);
    drive_->setAddress({1, 0, 0, 0});
    platform::deviceio::registerDrive('E', drive_);
    engine_ = com::make<AudioCDRipper2>();
    sink_ = com::make<testing_support::RipEventSink>();
    engine_->FindConnectionPoint(DIID__IAudioCDRipper2Events, point_.put());
    point_->Advise(sink_->identity(), &cookie_);
    engine_->DriverOpen();
    engine_->Refresh();
    engine_->put_driveSpinUpTime(0);
    EXPECT_EQ(engine_->QueryInterface(IID_IAudioCDRipperReport, report_.putVoid()), S_OK);
  }
  ~ReportedRip() {
    engine_->DriverClose();
    point_->Unadvise(cookie_);
  }

  // The WAV's audio of a rip of audio track `track` (from 1).
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
    const std::string wav{std::istreambuf_iterator<char>(in), {}};
    std::remove(name.c_str());
    return DataChunk(wav);
  }

  Sums reported() {
    LONG v[5] = {};
    report_->get_trackCopyCRC(&v[0]);
    report_->get_trackCopyCRCSkipZero(&v[1]);
    report_->get_trackAccurateRipV1(&v[2]);
    report_->get_trackAccurateRipV2(&v[3]);
    report_->get_trackAccurateRipFrame450(&v[4]);
    return Sums{uint32_t(v[0]), uint32_t(v[1]), uint32_t(v[2]), uint32_t(v[3]), uint32_t(v[4])};
  }

  // The audio of disc track `index` (0-based) as the image holds it.
  std::string trackAudio(size_t index) const {
    const auto& t = disc_->tracks()[index];
    return sectors(t.start, t.end);
  }
  std::string sectors(platform::vdrive::Lba from, platform::vdrive::Lba to) const {
    std::string audio;
    std::array<uint8_t, 2352> sector{};
    for (platform::vdrive::Lba lba = from; lba < to; ++lba) {
      sector.fill(0);
      disc_->readSector(lba, sector);
      audio.append(reinterpret_cast<const char*>(sector.data()), sector.size());
    }
    return audio;
  }

  const Disc& disc() const { return *disc_; }
  IAudioCDRipper2* engine() { return engine_.get(); }
  IAudioCDRipperReport* report() { return report_.get(); }
  testing_support::RipEventSink& events() { return *sink_.get(); }

 private:
  std::optional<testing_support::ScratchHome> scratch_;
  std::shared_ptr<Disc> disc_;
  std::shared_ptr<VirtualDrive> drive_;
  com::ComPtr<AudioCDRipper2> engine_;
  com::ComPtr<testing_support::RipEventSink> sink_;
  com::ComPtr<IConnectionPoint> point_;
  com::ComPtr<IAudioCDRipperReport> report_;
  DWORD cookie_ = 0;
};

constexpr const char* kFourTracks =
    "disc seed=11\n"
    "track kind=music length=14s\n"
    "track kind=silence length=2s\n"
    "track kind=music length=12s tempo=130\n"
    "track kind=noise length=13s\n";

// First, middle and last track, in the plain and the secure mode: the report
// equals the checksums of the image's audio, and the WAV is that audio.
TEST(RipChecksTest, ChecksumsOfEveryRipEqualThoseOfTheDiscsAudio) {
  ReportedRip disc(kFourTracks);
  for (RipModePresetConstants mode : {BURST, SECURE}) {
    disc.engine()->put_ripModePreset(mode);
    for (LONG track : {1, 2, 3, 4}) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << ", track " << track);
      const std::string audio = disc.rip(track);
      const std::string image = disc.trackAudio(static_cast<size_t>(track - 1));
      EXPECT_TRUE(audio == image);
      EXPECT_EQ(disc.reported(), Expected(image, track == 1, track == 4));
    }
  }
}

// The CUETools database's CRC of each track: the disc's audio as one
// stream, each track's span of it (the first and last tracks' skips
// included) at shift 0.
TEST(RipChecksTest, TheCtdbCrcOfEachTrackIsItsSpanOfTheDisc) {
  ReportedRip disc(kFourTracks);
  std::string all;
  std::vector<uint64_t> starts;
  for (size_t t = 0; t < 4; ++t) {
    starts.push_back(all.size() / 4);
    all += disc.trackAudio(t);
  }
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(all.data()), all.size());
  for (LONG track : {1, 2, 3, 4}) {
    disc.rip(track);
    LONG crc = 0;
    ASSERT_EQ(disc.report()->get_trackCtdbCRC(&crc), S_OK);
    const proof::CtdbSpan span = proof::CtdbTrackSpan(starts, static_cast<size_t>(track - 1), all.size() / 4);
    EXPECT_EQ(static_cast<uint32_t>(crc),
              proof::CtdbShiftedCrcs(bytes, 0, all.size() / 4, span)[proof::kCtdbMaxShift])
        << "track " << track;
  }
}

TEST(RipChecksTest, AOneTrackDiscSkipsAtBothEnds) {
  ReportedRip disc("disc seed=3\ntrack kind=music length=16s\n");
  const std::string image = disc.trackAudio(0);
  EXPECT_TRUE(disc.rip(1) == image);
  const Sums expected = Expected(image, true, true);
  EXPECT_EQ(disc.reported(), expected);
  EXPECT_NE(expected.v1, Expected(image, false, false).v1);  // the skips count
}

// A rip that is stopped reports no checksums: they would not be the track's.
TEST(RipChecksTest, AStoppedRipReportsNoChecksums) {
  ReportedRip disc(kFourTracks);
  disc.engine()->put_driveSpeed(8);  // paced, so the stop comes early
  disc.events().onProgress = [&](LONG percent) {
    if (percent > 0 && percent < 100) disc.engine()->StopRip();
  };
  (void)disc.rip(1);
  EXPECT_EQ(disc.reported(), Sums{});
}

// Drives that deliver their audio early (+) or late (-): the corrected rip
// equals the disc's audio, apart from the samples the drive cannot read past
// the disc's ends (zero), and its AccurateRip checksums are the image's.
TEST(RipChecksTest, ACorrectedRipOfAnOffsetDriveEqualsTheDisc) {
  for (int offset : {6, 667, -1164}) {
    SCOPED_TRACE(testing::Message() << "read offset " << offset);
    DriveModel model;
    model.readOffsetSamples = offset;
    ReportedRip disc(kFourTracks, model);
    disc.engine()->put_ripModePreset(SECURE);
    ASSERT_EQ(disc.report()->put_readOffsetSamples(offset), S_OK);
    const int64_t discSamples = int64_t{disc.disc().leadOut()} * 588;
    for (LONG track = 1; track <= 4; ++track) {
      const auto& t = disc.disc().tracks()[static_cast<size_t>(track - 1)];
      std::string expected = disc.trackAudio(static_cast<size_t>(track - 1));
      // Sample s comes from the drive's position s + offset, which must lie on the disc.
      for (int64_t i = 0; i < static_cast<int64_t>(expected.size() / 4); ++i) {
        const int64_t position = int64_t{t.start} * 588 + i + offset;
        if (position < 0 || position >= discSamples) expected.replace(static_cast<size_t>(i) * 4, 4, 4, '\0');
      }
      const std::string audio = disc.rip(track);
      EXPECT_EQ(audio.size(), expected.size()) << "track " << track;
      EXPECT_TRUE(audio == expected) << "track " << track;
      const Sums image = Expected(disc.trackAudio(static_cast<size_t>(track - 1)), track == 1, track == 4);
      const Sums ripped = disc.reported();
      EXPECT_EQ(ripped.v1, image.v1) << "track " << track;
      EXPECT_EQ(ripped.v2, image.v2) << "track " << track;
    }
  }
}

// Without the correction the same drive's rip is off, and its AccurateRip
// checksum tells.
TEST(RipChecksTest, AnUncorrectedOffsetDriveGivesOtherChecksums) {
  DriveModel model;
  model.readOffsetSamples = 667;
  ReportedRip disc(kFourTracks, model);
  EXPECT_FALSE(disc.rip(3) == disc.trackAudio(2));
  EXPECT_NE(disc.reported().v1, Expected(disc.trackAudio(2), false, false).v1);
}

TEST(RipChecksTest, AReadOffsetOutsideTheRangeIsRefused) {
  ReportedRip disc(kFourTracks);
  ASSERT_EQ(disc.report()->put_readOffsetSamples(-2000), S_OK);
  disc.events().errors.clear();
  disc.report()->put_readOffsetSamples(2001);
  CoPumpCalls(10);
  LONG offset = 0;
  disc.report()->get_readOffsetSamples(&offset);
  EXPECT_EQ(offset, -2000);
  EXPECT_EQ(disc.events().errors, std::vector<LONG>{INVALID_PARAM});
}

// A CD-Extra disc: the AccurateRip identifiers count the audio tracks and the
// last session's lead-out; the MusicBrainz identifier is a 28-character one.
TEST(RipChecksTest, TheDiscsIdentitiesComeFromItsTableOfContents) {
  ReportedRip disc(
      "disc seed=2\n"
      "track kind=music length=5s\n"
      "track kind=tone length=4s pregap=2s\n"
      "track kind=noise length=3s\n"
      "session\n"
      "track kind=data length=10s\n");
  uint32_t id1 = 0, id2 = 0, n = 0;
  for (const auto& t : disc.disc().tracks()) {
    if (t.mode != platform::vdrive::TrackMode::Audio) continue;
    ++n;
    id1 += t.start;
    id2 += std::max<uint32_t>(t.start, 1) * n;
  }
  const uint32_t leadOut = disc.disc().leadOut();
  id1 += leadOut;
  id2 += leadOut * (n + 1);
  LONG got1 = 0, got2 = 0, reportedLeadOut = 0;
  disc.report()->get_accurateRipId1(&got1);
  disc.report()->get_accurateRipId2(&got2);
  disc.report()->get_leadOutLba(&reportedLeadOut);
  EXPECT_EQ(uint32_t(got1), id1);
  EXPECT_EQ(uint32_t(got2), id2);
  EXPECT_EQ(uint32_t(reportedLeadOut), leadOut);
  for (LONG track = 1; track <= 3; ++track) {
    LONG start = -1;
    disc.report()->get_trackStartLba(track, &start);
    EXPECT_EQ(start, static_cast<LONG>(disc.disc().tracks()[static_cast<size_t>(track - 1)].start));
  }
  BSTR mb = nullptr;
  disc.report()->get_musicBrainzDiscId(&mb);
  ASSERT_NE(mb, nullptr);
  EXPECT_EQ(SysStringLen(mb), 28u);
  SysFreeString(mb);
  disc.events().errors.clear();
  LONG untouched = 77;
  disc.report()->get_trackStartLba(4, &untouched);  // the data track is not an audio track
  CoPumpCalls(10);
  EXPECT_EQ(untouched, 77);
  EXPECT_EQ(disc.events().errors, std::vector<LONG>{INVALID_PARAM});

  // The last audio track, shorter than the CD audio device tells, ends
  // before the gap between the sessions, and its rip is its audio alone.
  disc.engine()->put_trackNum(3);
  LONG samples = 0;
  disc.engine()->get_trackSamples(&samples);
  EXPECT_EQ(samples, 3 * 75 * 588);
  EXPECT_TRUE(disc.rip(3) == disc.trackAudio(2));
}

constexpr const char* kLayoutDisc =
    "disc seed=6 catalog=0123456789012\n"
    "track kind=music length=6s pregap=1s\n"
    "track kind=tone length=5s pregap=2s isrc=USXYZ2600001 preemphasis=yes\n"
    "track kind=noise length=4s isrc=GBABC2600002\n";

TEST(RipChecksTest, TheSubChannelGivesCatalogIsrcsAndPregaps) {
  ReportedRip disc(kLayoutDisc);
  BSTR text = nullptr;
  disc.report()->get_discCatalog(&text);
  EXPECT_EQ(std::u16string(text), u"0123456789012");
  SysFreeString(text);
  const char16_t* isrcs[] = {u"", u"USXYZ2600001", u"GBABC2600002"};
  const LONG pregaps[] = {75, 150, 0};
  const bool emphasis[] = {false, true, false};
  for (LONG track = 1; track <= 3; ++track) {
    disc.report()->get_trackIsrc(track, &text);
    EXPECT_EQ(std::u16string(text), isrcs[track - 1]) << track;
    SysFreeString(text);
    LONG pregap = -2;
    disc.report()->get_trackPregapFrames(track, &pregap);
    EXPECT_EQ(pregap, pregaps[track - 1]) << track;
    VARIANT_BOOL flag = VARIANT_FALSE;
    disc.report()->get_trackPreEmphasis(track, &flag);
    EXPECT_EQ(flag == VARIANT_TRUE, emphasis[track - 1]) << track;
  }
}

// A drive that will not read the sub-channel still tells the TOC's flags;
// pregaps are unknown, and its rips are whole.
TEST(RipChecksTest, ADriveWithoutSubChannelGivesUnknownPregaps) {
  ReportedRip disc(kLayoutDisc, *platform::vdrive::driveModelByName("no-subchannel"));
  LONG pregap = 0;
  disc.report()->get_trackPregapFrames(2, &pregap);
  EXPECT_EQ(pregap, -1);
  VARIANT_BOOL flag = VARIANT_FALSE;
  disc.report()->get_trackPreEmphasis(2, &flag);
  EXPECT_EQ(flag, VARIANT_TRUE);
  EXPECT_TRUE(disc.rip(2) == disc.trackAudio(1));
}

}  // namespace
}  // namespace engine
