// The engine object in-process, through its interface, against virtual
// drives made in the test. State that only later parts change (a disc
// change seen by the monitor, a running rip) is set through the probe.
#include "engine/com/audio_cd_ripper.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "engine/device/disc_id.h"
#include "platform/deviceio/drive_table.h"
#include "platform/registry/registry.h"
#include "platform/vdrive/disc_description.h"
#include "platform/vdrive/virtual_drive.h"
#include "tests/support/scratch_home.h"

namespace engine {

struct AudioCDRipper2Probe {
  static void setMediaChanged(AudioCDRipper2& e) { e.mediaChanged_.store(1); }
  static int32_t cdHandle(AudioCDRipper2& e) { return e.cdHandle_.load(); }
  static int32_t lastError(AudioCDRipper2& e) { return e.lastError_.load(); }
  static int32_t mediaCheckDisabled(AudioCDRipper2& e) { return e.mediaCheckDisabled_.load(); }
  static void setDisc(AudioCDRipper2& e, int32_t discClass, int32_t tracks, int16_t mediaState) {
    e.discClass_ = discClass;
    e.trackCount_ = tracks;
    e.mediaState_.store(mediaState);
  }
  static void raiseFromWorker(AudioCDRipper2& e, IAudioCDRipper2* own, int32_t code, int32_t value) {
    if (code == kEventError) e.lastError_.store(value);
    if (code == kEventRipProgress) e.ripPercent_.store(static_cast<int16_t>(value));
    if (code == kEventRipRetry) e.retryCount_.store(static_cast<int16_t>(value));
    e.raiseFromWorker(own, code);
  }
};

namespace {

using platform::vdrive::VirtualDrive;

// Records each event with its first argument and the thread it came on.
class EventSink final : public com::EventSink<EventSink, DIID__IAudioCDRipper2Events> {
 public:
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    const LONG first = params != nullptr && params->cArgs > 0 ? params->rgvarg[params->cArgs - 1].lVal : 0;
    events.emplace_back(id, first);
    threads.push_back(pthread_self());
    return S_OK;
  }
  std::vector<std::pair<DISPID, LONG>> events;
  std::vector<pthread_t> threads;
  std::vector<LONG> errors() const {
    std::vector<LONG> codes;
    for (auto [id, value] : events)
      if (id == DISPID_AudioCDRipper2_Error) codes.push_back(value);
    return codes;
  }
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_.emplace("rm_engine_test");
    home_ = scratch_->path();
  }
  void TearDown() override {
    if (engine_) {
      engine_->DriverClose();
      if (cookie_ != 0) point_->Unadvise(cookie_);
    }
    point_.reset();
    engine_.reset();
    scratch_.reset();
  }

  std::shared_ptr<VirtualDrive> addDrive(char letter, const std::string& description,
                                         platform::vdrive::DriveModel model = {}) {
    auto disc = std::make_shared<platform::vdrive::Disc>(platform::vdrive::generateDisc(description, "test"));
    auto drive = std::make_shared<VirtualDrive>(disc, model);
    drive->setAddress({1, 0, 0, 0});
    platform::deviceio::registerDrive(letter, drive);
    return drive;
  }
  void setLog(const char* level) {
    platform::RegistryStore().setString("HKEY_LOCAL_MACHINE\\Software\\Veltrosa\\Cadmerion\\AudioCDRipper2", "Log",
                                        level);
  }
  void create() {
    engine_ = com::make<AudioCDRipper2>();
    sink_ = com::make<EventSink>();
    ASSERT_EQ(engine_->FindConnectionPoint(DIID__IAudioCDRipper2Events, point_.put()), S_OK);
    ASSERT_EQ(point_->Advise(sink_->identity(), &cookie_), S_OK);
  }
  void open() {
    create();
    ASSERT_EQ(engine_->DriverOpen(), S_OK);
  }
  std::string logText() const {
    std::ifstream in(home_ + "/audioripper.log", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  LONG getLong(HRESULT (STDMETHODCALLTYPE IAudioCDRipper2::*get)(LONG*), LONG initial = -12345) {
    LONG value = initial;
    EXPECT_EQ((engine_.get()->*get)(&value), S_OK);
    return value;
  }

  std::string home_;
  std::optional<::testing_support::ScratchHome> scratch_;
  com::ComPtr<AudioCDRipper2> engine_;
  com::ComPtr<EventSink> sink_;
  com::ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

constexpr const char* kFourTracks =
    "disc seed=3\n"
    "track kind=tone length=0:10:00 freq=440\n"
    "track kind=tone length=0:08:00 freq=550\n"
    "track kind=tone length=0:12:00 freq=660\n"
    "track kind=tone length=0:06:00 freq=330\n";

TEST_F(EngineTest, DriverOpenWithoutADriveSucceedsSilently) {
  open();
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_driveCount), 0);
  EXPECT_TRUE(sink_->events.empty());
  EXPECT_EQ(AudioCDRipper2Probe::lastError(*engine_.get()), INIT_FAILED);
  // With no drive the number is cut to 0 and raised to 1.
  EXPECT_EQ(engine_->put_driveNum(5), S_OK);
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_driveNum), 1);
  // No drive to talk to: one error, ASPI_DRIVER where no transport loads
  // (the device scan found nothing to serve), MEDIA_CHANGED where the
  // transport loads and no drive answers.
  EXPECT_EQ(engine_->Refresh(), S_OK);
  ASSERT_EQ(sink_->errors().size(), 1u);
  EXPECT_TRUE(sink_->errors()[0] == ASPI_DRIVER || sink_->errors()[0] == MEDIA_CHANGED) << sink_->errors()[0];
  EXPECT_EQ(engine_->DriverClose(), S_OK);
  EXPECT_EQ(engine_->DriverClose(), S_OK);
}

TEST_F(EngineTest, RefreshLearnsTheDiscAndItsIdentifier) {
  addDrive('E', kFourTracks);
  open();
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_driveCount), 1);
  ASSERT_EQ(engine_->Refresh(), S_OK);
  EXPECT_TRUE(sink_->events.empty());
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_trackCount), 4);
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_trackDuration), 10000);
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_trackSamples), 750 * 588);
  engine_->put_trackNum(3);
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_trackDuration), 12000);
  CDDiskTypeConstants type{};
  engine_->get_cdType(&type);
  EXPECT_EQ(type, REDBOOK);
  // Starts 0:02, 0:12, 0:20, 0:32 (digit sums 2+3+2+5), lead-out 0:38: 36 s.
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_cdID), static_cast<LONG>((12u << 24) | (36u << 8) | 4u));
  BSTR letter = nullptr;
  engine_->get_driveLetter(&letter);
  EXPECT_EQ(std::u16string(letter, SysStringLen(letter)), u"E:\\");
  SysFreeString(letter);
}

TEST_F(EngineTest, IdentifierOfTheWorkedExample) {
  // Tracks at MSF 00:02:00 and 03:00:00, lead-out 05:00:00.
  addDrive('E', "disc seed=1\ntrack kind=tone length=13350f freq=440\ntrack kind=tone length=9000f freq=440\n");
  open();
  engine_->Refresh();
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_cdID), 0x0B012A02);
}

TEST_F(EngineTest, MixedModeDiscLeavesTheDataTrackOut) {
  addDrive('E',
           "disc seed=1\ntrack kind=data length=0:20:00\ntrack kind=tone length=0:10:00 freq=440\n"
           "track kind=tone length=0:07:00 freq=440\n");
  open();
  engine_->Refresh();
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_trackCount), 2);
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_trackDuration), 10000);
  engine_->put_trackNum(2);
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_trackDuration), 7000);  // asked for as track 3
  CDDiskTypeConstants type{};
  engine_->get_cdType(&type);
  EXPECT_EQ(type, BLUEBOOK);
}

TEST_F(EngineTest, CdExtraLastAudioTrackGetsItsOwnLength) {
  addDrive('E',
           "disc seed=1\ntrack kind=tone length=0:10:00 freq=440\ntrack kind=tone length=0:08:00 freq=440\n"
           "session\ntrack kind=data length=0:30:00\n");
  open();
  engine_->Refresh();
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_trackCount), 2);
  engine_->put_trackNum(2);
  // The table's distance to the data track would include the session gap.
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_trackSamples), 600 * 588);
  CDDiskTypeConstants type{};
  engine_->get_cdType(&type);
  EXPECT_EQ(type, BLUEBOOK);
}

TEST_F(EngineTest, TrackNumAndRetriesAreClampedOrRefused) {
  addDrive('E', kFourTracks);
  open();
  engine_->put_trackNum(3);  // no table yet: index 0
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_trackNum), 1);
  engine_->Refresh();
  engine_->put_trackNum(0);
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_trackNum), 1);
  engine_->put_trackNum(-7);
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_trackNum), 1);
  engine_->put_trackNum(99);
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_trackNum), 4);

  engine_->put_ripOnErrorRetries(254);
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_ripOnErrorRetries), 254);
  engine_->put_ripOnErrorRetries(0);
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_ripOnErrorRetries), 0);
  EXPECT_TRUE(sink_->events.empty());
  engine_->put_ripOnErrorRetries(255);
  engine_->put_ripOnErrorRetries(-1);
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_ripOnErrorRetries), 0);
  EXPECT_EQ(sink_->errors(), (std::vector<LONG>{INVALID_PARAM, INVALID_PARAM}));
}

TEST_F(EngineTest, DriveSettingsAreNormalised) {
  addDrive('E', kFourTracks);
  open();
  const std::pair<LONG, LONG> speeds[] = {{3, 2}, {7, 4}, {63, 60}, {65, 64}, {-5, 1}, {4, 4}, {64, 64}};
  for (auto [put, stored] : speeds) {
    engine_->put_driveSpeed(put);
    EXPECT_EQ(getLong(&IAudioCDRipper2::get_driveSpeed), stored) << put;
  }
  engine_->put_driveSpinUpTime(-1);
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_driveSpinUpTime), 0);
  engine_->put_driveSpinUpTime(2000000000);
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_driveSpinUpTime), 600000);
  VARIANT_BOOL lock = 0;
  engine_->put_driveLockCDTrayDuringRip(1);
  engine_->get_driveLockCDTrayDuringRip(&lock);
  EXPECT_EQ(lock, VARIANT_FALSE);
  engine_->put_driveLockCDTrayDuringRip(VARIANT_TRUE);
  engine_->get_driveLockCDTrayDuringRip(&lock);
  EXPECT_EQ(lock, VARIANT_TRUE);
  EXPECT_TRUE(sink_->events.empty());
}

TEST_F(EngineTest, PresetOutOfRangeLeavesNoHandleSoEjectFails) {
  addDrive('E', kFourTracks);
  open();
  engine_->Refresh();
  ASSERT_NE(AudioCDRipper2Probe::cdHandle(*engine_.get()), 0);
  engine_->put_ripModePreset(static_cast<RipModePresetConstants>(5));
  EXPECT_EQ(AudioCDRipper2Probe::cdHandle(*engine_.get()), 0);
  engine_->Eject();
  EXPECT_EQ(sink_->errors(), (std::vector<LONG>{INVALID_PARAM, OPERATION_FAILED}));
  // A valid preset makes a handle again and sets its values.
  engine_->put_ripModePreset(SECURE);
  EXPECT_NE(AudioCDRipper2Probe::cdHandle(*engine_.get()), 0);
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_driveSpeed), 16);
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_driveSpinUpTime), 3000);
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_ripOnErrorRetries), 85);
}

TEST_F(EngineTest, EjectOpensTheTray) {
  auto drive = addDrive('E', kFourTracks);
  open();
  engine_->Refresh();
  engine_->Eject();
  EXPECT_TRUE(sink_->events.empty());
  EXPECT_TRUE(drive->trayOpen());
}

TEST_F(EngineTest, AfterADiscChangeEveryPropertyAndEjectRaiseMediaChangedAndChangeNothing) {
  addDrive('E', kFourTracks);
  open();
  engine_->Refresh();
  AudioCDRipper2Probe::setMediaChanged(*engine_.get());
  using Get = HRESULT (STDMETHODCALLTYPE IAudioCDRipper2::*)(LONG*);
  const Get gets[] = {&IAudioCDRipper2::get_driveNum,      &IAudioCDRipper2::get_driveCount,
                      &IAudioCDRipper2::get_driveSpeed,    &IAudioCDRipper2::get_driveSpinUpTime,
                      &IAudioCDRipper2::get_cdID,          &IAudioCDRipper2::get_ripOnErrorRetries,
                      &IAudioCDRipper2::get_trackNum,      &IAudioCDRipper2::get_trackCount,
                      &IAudioCDRipper2::get_trackDuration, &IAudioCDRipper2::get_trackSamples};
  for (Get get : gets) EXPECT_EQ(getLong(get, -777), -777);
  engine_->put_trackNum(3);
  engine_->put_driveSpeed(8);
  engine_->put_ripOnErrorRetries(3);
  engine_->Eject();
  EXPECT_EQ(sink_->errors().size(), std::size(gets) + 4);
  for (LONG code : sink_->errors()) EXPECT_EQ(code, MEDIA_CHANGED);
  engine_->Refresh();  // clears the change
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_trackNum), 1);
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_driveSpeed), 32);
  EXPECT_EQ(getLong(&IAudioCDRipper2::get_ripOnErrorRetries), 20);
}

TEST_F(EngineTest, ReadingTheNameOfAnUnsafeDriveSwitchesPollingOff) {
  platform::vdrive::DriveModel model;
  model.vendor = "HP";
  model.product = "CD-Writer+ 8100";
  model.revision = "1.0g";
  addDrive('E', kFourTracks, model);
  open();
  BSTR name = nullptr;
  engine_->get_driveName(&name);
  EXPECT_EQ(std::u16string(name, SysStringLen(name)), u"HP      , CD-Writer+ 8100  v1.0g (1:0:0)");
  SysFreeString(name);
  EXPECT_EQ(AudioCDRipper2Probe::mediaCheckDisabled(*engine_.get()), 1);
  engine_->put_driveNum(1);
  EXPECT_EQ(AudioCDRipper2Probe::mediaCheckDisabled(*engine_.get()), 0);
}

TEST_F(EngineTest, CdTypeFollowsTheClassTable) {
  open();
  struct Row {
    int32_t discClass, tracks;
    CDDiskTypeConstants type;
  };
  const Row rows[] = {{0, 0, YELLOWBOOK}, {0, 3, UNRECOGNIZED}, {1, 0, REDBOOK},    {1, 50, REDBOOK},
                      {1, 51, BLUEBOOK},  {2, 0, YELLOWBOOK},   {2, 1, BLUEBOOK},   {3, 0, ORANGEBOOK},
                      {3, 9, BLUEBOOK},   {4, 0, GREENBOOK},    {4, 2, GREENBOOK},  {5, 0, ORANGEBOOK},
                      {5, 4, BLUEBOOK},   {7, 4, UNRECOGNIZED}};
  for (const Row& row : rows) {
    AudioCDRipper2Probe::setDisc(*engine_.get(), row.discClass, row.tracks, kMediaIn);
    CDDiskTypeConstants type = static_cast<CDDiskTypeConstants>(-1);
    engine_->get_cdType(&type);
    EXPECT_EQ(type, row.type) << row.discClass << " " << row.tracks;
  }
  AudioCDRipper2Probe::setDisc(*engine_.get(), 1, 3, kNoMedia);
  CDDiskTypeConstants type = static_cast<CDDiskTypeConstants>(-1);
  engine_->get_cdType(&type);
  EXPECT_EQ(type, UNRECOGNIZED);
}

TEST_F(EngineTest, WorkerEventsArriveOnTheClientThreadInOrder) {
  open();
  IStream* stream = nullptr;
  ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IAudioCDRipper2, static_cast<IAudioCDRipper2*>(engine_.get()),
                                                  &stream),
            S_OK);
  AudioCDRipper2* engine = engine_.get();
  com::ComThread worker([engine, stream] {
    IAudioCDRipper2* own = nullptr;
    if (FAILED(CoGetInterfaceAndReleaseStream(stream, IID_IAudioCDRipper2, reinterpret_cast<void**>(&own)))) return;
    AudioCDRipper2Probe::raiseFromWorker(*engine, own, kEventRipProgress, 10);
    AudioCDRipper2Probe::raiseFromWorker(*engine, own, kEventRipRetry, 2);
    AudioCDRipper2Probe::raiseFromWorker(*engine, own, kEventError, OPERATION_FAILED);
    AudioCDRipper2Probe::raiseFromWorker(*engine, own, kEventMediaChange, 0);
    own->Release();
  });
  ASSERT_EQ(worker.join(), S_OK);
  const std::vector<std::pair<DISPID, LONG>> expected = {{DISPID_AudioCDRipper2_RipProgress, 10},
                                                         {DISPID_AudioCDRipper2_RipRetry, 2},
                                                         {DISPID_AudioCDRipper2_Error, OPERATION_FAILED},
                                                         {DISPID_AudioCDRipper2_MediaChange, 0}};
  EXPECT_EQ(sink_->events, expected);
  for (pthread_t thread : sink_->threads) EXPECT_TRUE(pthread_equal(thread, pthread_self()));
}

TEST_F(EngineTest, LogHoldsTheExactLinesOfDriverOpenAPropertyAndRefresh) {
  setLog("Normal");
  addDrive('E', kFourTracks);
  open();
  engine_->put_ripOnErrorRetries(7);
  engine_->Refresh();
  const std::string text = logText();
  const std::string rule(64, '_');
  const std::string expectedInOrder[] = {
      "Cadmerion 1.2.4 Dedug. Send this log file on support@ripmarrow.example if you experied problems in "
      "AudioCDRipper2 work.\r\n\r\nAudioCDRipper2 Constructor end\r\n\r\n",
      "AudioCDRipper2 Constructor\r\nGet Heap pointer...\r\nSet internal variables\r\n",
      "Load SCSI Manager, external ASPI = FALSE\r\nLoad SCSI Manager\r\nGet Drive list\r\nFound Drives:  1\r\n"
      "Set curent Drive num in 1\r\nPutDriveNum Property. Parameter:  1\r\nDrive Num Set in: 0\r\n"
      "PutDriveNum Property End.\r\n\r\nSet CDDB default parameters\r\n"
      "Set default rip Mode Preset in BURST COPY\r\nBURST\r\n",
      "AudioFile create instance error!\r\nSet internal check media timer\r\n",
      "PutRipOnErrorRetries Property. Parameter:  7\r\nNum Retries now: 7\r\nPutRipOnErrorRetries Property end.\r\n",
      (rule + "\r\nMethod RefreshCD:\r\n\r\nUnloadSCSI Manager\r\nLoad SCSI Manager\r\nRefresh CD Handle\r\n"
              "Release CD Handle\r\nCreate CD Handle\r\nRead CD TOC Structure\r\n"),
      // A drive may answer the first command after the reload with a unit
      // attention; the table is then read a second time.
      ("Read TOC Successfull. Track Count: 4\r\nCheck for data tracks interleaved with audio tracks\r\n"
              "Result Track Count: 4\r\nLast Track Byte: 450\r\n"
              "Check for last track size, if there No or wrong Lead-out.\r\nLoad MCI\r\nUnload MCI\r\n"
              "Last Track Byte(MCI): 450\r\n\r\n\tMethod RefreshCD complete. Current State: MEDIA IN\r\n" + rule +
              "\r\n"),
  };
  size_t at = 0;
  for (const std::string& part : expectedInOrder) {
    const size_t found = text.find(part, at);
    ASSERT_NE(found, std::string::npos) << "missing after " << at << ":\n" << part << "\n--- log:\n" << text;
    at = found + part.size();
  }
}

}  // namespace
}  // namespace engine
