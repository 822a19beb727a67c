// Title lookup through the engine object's interface: a virtual drive with a
// generated disc, a loopback CDDB server, and cdplayer.ini in a fresh
// $RIPMARROW_HOME.
#include <gtest/gtest.h>
#include <stdlib.h>

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
    return S_OK;
  }
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
    auto drive = std::make_shared<platform::vdrive::VirtualDrive>(disc, platform::vdrive::DriveModel{});
    drive->setAddress({1, 0, 0, 0});
    platform::deviceio::registerDrive('E', drive);

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

}  // namespace
}  // namespace engine
