// Title lookup through the engine object's interface: a virtual drive with a
// generated disc, a loopback CDDB server, and cdplayer.ini in a fresh
// $RIPMARROW_HOME.
#include <gtest/gtest.h>
#include <pthread.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/cddb/testing/cddb_test_server.h"
#include "engine/com/audio_cd_ripper.h"
#include "platform/deviceio/drive_table.h"
#include "platform/profile/profile_file.h"
#include "platform/text/utf.h"
#include "platform/vdrive/disc_description.h"
#include "platform/vdrive/virtual_drive.h"
#include "tests/support/scratch_home.h"

namespace engine {
namespace {

using cddb::testing::CddbTestServer;

// Records each event's dispid and first argument.
class LookupSink final : public com::EventSink<LookupSink, DIID__IAudioCDRipper2Events> {
 public:
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    events.emplace_back(id, params != nullptr && params->cArgs > 0 ? params->rgvarg[params->cArgs - 1].lVal : 0);
    threads.push_back(pthread_self());
    return S_OK;
  }
  // The look-ups BeginCDDBInfo started that have ended.
  int ends() const {
    int n = 0;
    for (LONG value : status()) n += value >= CDDBANSWERED;
    return n;
  }
  bool saw(DISPID id, LONG value) const {
    return std::find(events.begin(), events.end(), std::make_pair(id, value)) != events.end();
  }
  std::vector<pthread_t> threads;
  std::vector<LONG> status() const {
    std::vector<LONG> s;
    for (auto [id, value] : events)
      if (id == DISPID_AudioCDRipper2_CDDBQueryStatus) s.push_back(value);
    return s;
  }
  std::vector<std::pair<DISPID, LONG>> events;
};

constexpr char kDisc[] = "disc seed=1\ntrack kind=tone length=13350f freq=440\ntrack kind=tone length=9000f freq=440\n";

class EngineLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_.emplace("rm_engine_cddb_test");
    home_ = scratch_->path();
    auto disc = std::make_shared<platform::vdrive::Disc>(platform::vdrive::generateDisc(kDisc, "test"));
    drive_ = std::make_shared<platform::vdrive::VirtualDrive>(disc, platform::vdrive::DriveModel{});
    drive_->setAddress({1, 0, 0, 0});
    platform::deviceio::registerDrive('E', drive_);

    server_ = std::make_unique<CddbTestServer>(home_ + "/entries");
    engine_ = com::make<AudioCDRipper2>();
    sink_ = com::make<LookupSink>();
    ASSERT_EQ(engine_->FindConnectionPoint(DIID__IAudioCDRipper2Events, point_.put()), S_OK);
    ASSERT_EQ(point_->Advise(sink_->identity(), &cookie_), S_OK);
    ASSERT_EQ(engine_->DriverOpen(), S_OK);
    ASSERT_EQ(engine_->Refresh(), S_OK);
    putText(&IAudioCDRipper2::put_cddbServerAddress, "127.0.0.1");
    engine_->put_cddbServerHTTPPort(server_->port());
    LONG id = 0;
    engine_->get_cdID(&id);
    char text[16];
    std::snprintf(text, sizeof text, "%08x", static_cast<uint32_t>(id));
    discId_ = text;
    sink_->events.clear();
  }
  void TearDown() override {
    engine_->DriverClose();
    point_->Unadvise(cookie_);
    point_.reset();
    engine_.reset();
    server_.reset();
    scratch_.reset();
  }

  void putText(HRESULT (STDMETHODCALLTYPE IAudioCDRipper2::*put)(BSTR), const std::string& text) {
    BSTR b = SysAllocString(platform::text::utf8ToUtf16(text).c_str());
    (engine_.get()->*put)(b);
    SysFreeString(b);
  }
  std::string getText(HRESULT (STDMETHODCALLTYPE IAudioCDRipper2::*get)(BSTR*)) {
    BSTR b = nullptr;
    (engine_.get()->*get)(&b);
    const std::string text = b ? platform::text::utf16ToUtf8(std::u16string(b, SysStringLen(b))) : "?";
    SysFreeString(b);
    return text;
  }
  bool lookup(CDDBSourceConstants source) {
    VARIANT_BOOL found = 1;
    EXPECT_EQ(engine_->GetCDDBInfo(source, &found), S_OK);
    return found == VARIANT_TRUE;
  }
  // Runs incoming calls until `done` or 20 s have passed; the time it took.
  template <class Done>
  std::chrono::milliseconds pumpUntil(Done done) {
    const auto start = std::chrono::steady_clock::now();
    while (!done() && std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) CoPumpCalls(10);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  }
  // A server that takes the request and never answers, behind a time-out
  // of 30 s: only a stop ends the wait early.
  void holdForever() {
    server_->setBehaviour(CddbTestServer::Behaviour::kNeverAnswer);
    engine_->put_cddbTimeOut(30000);
  }
  void waitForRequests(size_t count) {
    pumpUntil([&] { return server_->requests().size() >= count; });
    ASSERT_GE(server_->requests().size(), count);
  }
  std::string title(LONG trackNum) {
    engine_->put_trackNum(trackNum);
    return getText(&IAudioCDRipper2::get_cddbInfoTitle);
  }
  void serveEntry() {
    std::string entry = "# xmcd\n#\n# Track frame offsets:\n#\t150\n#\t13500\n#\n# Disc length: 298 seconds\n#\n"
                        "DISCID=" + discId_ + "\nDTITLE=Bj\xF6rk / Album\nTTITLE0=One\nTTITLE1=Split \nTTITLE1=title\n"
                        "TTITLE12=Thirteen\nEXTD=\n";
    CddbTestServer::writeEntry(home_ + "/entries", "misc", discId_, entry);
  }

  std::string home_;
  std::optional<::testing_support::ScratchHome> scratch_;
  std::string discId_;
  std::unique_ptr<CddbTestServer> server_;
  std::shared_ptr<platform::vdrive::VirtualDrive> drive_;
  com::ComPtr<AudioCDRipper2> engine_;
  com::ComPtr<LookupSink> sink_;
  com::ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

TEST_F(EngineLookup, AllGoesOnLineWhenTheDiscIsNotKnownLocallyThenFindsItLocally) {
  serveEntry();
  ASSERT_TRUE(lookup(ALL));
  EXPECT_EQ(sink_->status(), (std::vector<LONG>{QUERY, QUERY, PROCESSANSWER}));
  EXPECT_EQ(getText(&IAudioCDRipper2::get_cddbInfoArtist), "Bj\xC3\xB6rk");
  EXPECT_EQ(getText(&IAudioCDRipper2::get_cddbInfoAlbum), "Album");
  EXPECT_EQ(getText(&IAudioCDRipper2::get_cddbInfoGenre), "misc");
  EXPECT_EQ(title(1), "One");
  EXPECT_EQ(title(2), "Split title");
  EXPECT_EQ(server_->requests().size(), 2u);

  // Stored by the on-line read, so now answered from cdplayer.ini alone.
  sink_->events.clear();
  ASSERT_TRUE(lookup(ALL));
  EXPECT_EQ(sink_->status(), (std::vector<LONG>{QUERY, PROCESSANSWER}));
  EXPECT_EQ(getText(&IAudioCDRipper2::get_cddbInfoGenre), "rock");
  EXPECT_EQ(title(2), "Split title");  // a split title is stored whole
  EXPECT_EQ(getText(&IAudioCDRipper2::get_cddbInfoArtist), "Bj\xC3\xB6rk");
  EXPECT_EQ(server_->requests().size(), 2u);
  ASSERT_TRUE(lookup(CDPLAYERINI));
  ASSERT_TRUE(lookup(static_cast<CDDBSourceConstants>(7)));  // any other value reads cdplayer.ini
}

TEST_F(EngineLookup, OnLineOnlyAndLocalOnlyTryOneSource) {
  EXPECT_FALSE(lookup(CDPLAYERINI));
  EXPECT_EQ(sink_->status(), (std::vector<LONG>{QUERY}));
  EXPECT_TRUE(server_->requests().empty());

  serveEntry();
  sink_->events.clear();
  EXPECT_TRUE(lookup(ONLINEDATABASE));
  EXPECT_EQ(sink_->status(), (std::vector<LONG>{QUERY, PROCESSANSWER}));
}

TEST_F(EngineLookup, UnreachableServerLeavesTheInformationEmpty) {
  serveEntry();
  ASSERT_TRUE(lookup(ONLINEDATABASE));
  const uint16_t port = server_->port();
  server_.reset();
  engine_->put_cddbServerHTTPPort(port);
  sink_->events.clear();
  EXPECT_FALSE(lookup(ONLINEDATABASE));
  EXPECT_EQ(sink_->status(), (std::vector<LONG>{QUERY}));
  for (auto [id, value] : sink_->events) EXPECT_NE(id, DISPID_AudioCDRipper2_Error);
  EXPECT_EQ(getText(&IAudioCDRipper2::get_cddbInfoArtist), "");
  EXPECT_EQ(getText(&IAudioCDRipper2::get_cddbInfoAlbum), "");
  EXPECT_EQ(getText(&IAudioCDRipper2::get_cddbInfoGenre), "");
  EXPECT_EQ(title(1), "");
}

TEST_F(EngineLookup, NegativeTimeOutIsRefused) {
  engine_->put_cddbTimeOut(-1);
  LONG timeout = 0;
  engine_->get_cddbTimeOut(&timeout);
  EXPECT_EQ(timeout, 4000);
  ASSERT_FALSE(sink_->events.empty());
  EXPECT_EQ(sink_->events[0], std::make_pair(DISPID(DISPID_AudioCDRipper2_Error), LONG(INVALID_PARAM)));
}

// BeginCDDBInfo returns before the server answers; the same events as
// GetCDDBInfo's, then the end, arrive on this thread while it runs calls.
TEST_F(EngineLookup, BeginAnswersLaterOnThisThread) {
  serveEntry();
  server_->setDelayMs(300);
  ASSERT_EQ(engine_->BeginCDDBInfo(ALL), S_OK);
  EXPECT_EQ(sink_->ends(), 0);
  EXPECT_EQ(getText(&IAudioCDRipper2::get_cddbInfoArtist), "");  // read while the thread works
  pumpUntil([&] { return sink_->ends() == 1; });
  EXPECT_EQ(sink_->status(), (std::vector<LONG>{QUERY, QUERY, PROCESSANSWER, CDDBANSWERED}));
  for (pthread_t thread : sink_->threads) EXPECT_TRUE(pthread_equal(thread, pthread_self()));
  EXPECT_EQ(getText(&IAudioCDRipper2::get_cddbInfoArtist), "Bj\xC3\xB6rk");
  EXPECT_EQ(getText(&IAudioCDRipper2::get_cddbInfoAlbum), "Album");
  EXPECT_EQ(title(2), "Split title");
  // Written back as GetCDDBInfo writes: cdplayer.ini now knows the disc.
  EXPECT_TRUE(lookup(CDPLAYERINI));

  // A disc no source knows ends in CDDBNOTFOUND, the information empty.
  std::filesystem::remove_all(home_ + "/entries");
  sink_->events.clear();
  ASSERT_EQ(engine_->BeginCDDBInfo(ONLINEDATABASE), S_OK);
  pumpUntil([&] { return sink_->ends() == 1; });
  EXPECT_EQ(sink_->status(), (std::vector<LONG>{QUERY, CDDBNOTFOUND}));
  EXPECT_EQ(getText(&IAudioCDRipper2::get_cddbInfoAlbum), "");
  EXPECT_EQ(title(1), "");
}

// A stop ends the wait for a server that holds its answer, at once rather
// than at the time-out, and leaves the information as it was.
TEST_F(EngineLookup, CancelEndsTheWaitForTheServer) {
  serveEntry();
  ASSERT_TRUE(lookup(ONLINEDATABASE));
  holdForever();
  sink_->events.clear();
  ASSERT_EQ(engine_->BeginCDDBInfo(ONLINEDATABASE), S_OK);
  waitForRequests(3);
  ASSERT_EQ(engine_->CancelCDDBInfo(), S_OK);
  const auto took = pumpUntil([&] { return sink_->ends() == 1; });
  EXPECT_LT(took, std::chrono::seconds(5));
  EXPECT_EQ(sink_->status(), (std::vector<LONG>{QUERY, CDDBSTOPPED}));
  EXPECT_EQ(getText(&IAudioCDRipper2::get_cddbInfoAlbum), "Album");
  EXPECT_EQ(engine_->CancelCDDBInfo(), S_OK);  // nothing runs: nothing happens
  EXPECT_EQ(sink_->ends(), 1);
}

// Closing the engine during a look-up stops it and waits for its thread,
// without waiting for the server.
TEST_F(EngineLookup, DriverCloseDuringALookUpReturnsPromptly) {
  holdForever();
  ASSERT_EQ(engine_->BeginCDDBInfo(ONLINEDATABASE), S_OK);
  waitForRequests(1);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(engine_->DriverClose(), S_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(sink_->status().back(), CDDBSTOPPED);
  // Without a drive no look-up starts: it ends at once.
  sink_->events.clear();
  ASSERT_EQ(engine_->BeginCDDBInfo(ONLINEDATABASE), S_OK);
  const std::vector<std::pair<DISPID, LONG>> refused = {{DISPID_AudioCDRipper2_Error, ASPI_DRIVER},
                                                        {DISPID_AudioCDRipper2_CDDBQueryStatus, CDDBNOTFOUND}};
  EXPECT_EQ(sink_->events, refused);
}

// The server answers for the disc that was in the drive when the look-up
// began; another disc is in it by then: the answer is not taken.
TEST_F(EngineLookup, AnAnswerForADiscThatWentIsNotTaken) {
  serveEntry();
  server_->setDelayMs(1000);
  ASSERT_EQ(engine_->BeginCDDBInfo(ONLINEDATABASE), S_OK);
  waitForRequests(1);
  drive_->removeDisc();
  drive_->insertDisc(std::make_shared<platform::vdrive::Disc>(
      platform::vdrive::generateDisc("disc seed=2\ntrack kind=tone length=20000f freq=330\n", "other")));
  pumpUntil([&] {
    engine_->Refresh();
    LONG tracks = 0;
    engine_->get_trackCount(&tracks);
    return tracks == 1;
  });
  pumpUntil([&] { return sink_->ends() == 1; });
  EXPECT_EQ(sink_->status().back(), CDDBNOTFOUND);
  EXPECT_EQ(getText(&IAudioCDRipper2::get_cddbInfoAlbum), "");
  EXPECT_EQ(title(1), "");
}

// While one look-up waits for its server: a second one stops it first, a
// rip of the drive runs to its end, Refresh and the local store answer;
// each look-up ends once.
TEST_F(EngineLookup, RipsRefreshAndASecondBeginDuringALookUp) {
  holdForever();
  ASSERT_EQ(engine_->BeginCDDBInfo(ONLINEDATABASE), S_OK);
  waitForRequests(1);
  ASSERT_EQ(engine_->BeginCDDBInfo(ONLINEDATABASE), S_OK);
  EXPECT_EQ(sink_->status(), (std::vector<LONG>{QUERY, CDDBSTOPPED}));
  waitForRequests(2);

  engine_->put_trackNum(1);
  const std::string wav = home_ + "/one.wav";
  BSTR file = SysAllocString(platform::text::utf8ToUtf16(wav).c_str());
  ASSERT_EQ(engine_->RipTrackToWav(file), S_OK);
  SysFreeString(file);
  pumpUntil([&] { return sink_->saw(DISPID_AudioCDRipper2_RipProgress, 100); });
  EXPECT_TRUE(sink_->saw(DISPID_AudioCDRipper2_RipProgress, 100));
  EXPECT_GT(std::filesystem::file_size(wav), 13350u * 2352u);  // the whole track and its header
  ASSERT_EQ(engine_->Refresh(), S_OK);
  EXPECT_FALSE(lookup(CDPLAYERINI));
  EXPECT_EQ(sink_->ends(), 1);

  ASSERT_EQ(engine_->CancelCDDBInfo(), S_OK);
  pumpUntil([&] { return sink_->ends() == 2; });
  EXPECT_EQ(sink_->status().back(), CDDBSTOPPED);
  EXPECT_EQ(sink_->ends(), 2);
  for (auto [id, value] : sink_->events) EXPECT_NE(id, DISPID_AudioCDRipper2_Error) << value;
}

}  // namespace
}  // namespace engine
