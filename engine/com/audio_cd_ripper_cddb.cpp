// AudioCDRipper2: title lookup. GetCDDBInfo picks the source (cdplayer.ini,
// the on-line database, or the first and then the second), runs the CDDB
// client on the client's thread (BeginCDDBInfo runs the same attempts on a
// thread of its own, audio_cd_ripper_cddb_async.cpp), and keeps the chosen match and its track
// titles for the four CDDB information properties. The settings properties
// live with the other properties and hand each change to the client.
#include <array>
#include <cstring>
#include <string>

#include "engine/cddb/cddb_client.h"
#include "engine/cddb/cddb_options.h"
#include "engine/com/audio_cd_ripper.h"

namespace engine {

namespace {
constexpr int32_t kMatchCapacity = 5;
constexpr int32_t kEntryBytes = 3000;
}  // namespace

void AudioCDRipper2::pushCddbOptions() {
  using cddb::CddbOption;
  cddb::CddbSetOption(CddbOption::kServer, cddbServer_.c_str(), 0);
  cddb::CddbSetOption(CddbOption::kCgiScript, cddbScript_.c_str(), 0);
  cddb::CddbSetOption(CddbOption::kUserEMail, cddbUserEmail_.c_str(), 0);
  cddb::CddbSetOption(CddbOption::kAgent, cddbAgent_.c_str(), 0);
  cddb::CddbSetOption(CddbOption::kHttpPort, nullptr, cddbPort_);
  cddb::CddbSetOption(CddbOption::kWriteBack, nullptr, cddbWriteBack_);
}

bool AudioCDRipper2::runCddbAttempt(const cddb::CddbDisc* disc, bool online, int32_t timeoutMs, CddbAnswer& out,
                                    const std::function<void(int32_t)>& status) {
  std::array<cddb::CddbMatch, kMatchCapacity> items{};
  cddb::CddbMatchList list{kMatchCapacity, items.data()};
  status(QUERY);
  const int32_t queried = disc != nullptr ? cddb::CddbQueryDisc(*disc, &list, online ? 1 : 0, timeoutMs)
                                          : cddb::CddbQuery(cdHandle_.load(), &list, online ? 1 : 0, timeoutMs);
  if (queried != cddb::kCddbOk || list.count < 1) return false;
  status(PROCESSANSWER);
  // For an inexact list the first match in server order is taken.
  std::string entry(kEntryBytes, '\0');
  cddb::CddbMatch& match = items[0];
  if (cddb::CddbRead(&match, entry.data(), kEntryBytes - 1) != cddb::kCddbOk) return false;
  entry.resize(std::strlen(entry.c_str()));

  out.artist = match.artist;
  out.album = match.title;
  out.genre = match.category;
  out.titles.clear();
  out.titles.addEntry(entry, [this](int index, const std::string& title) {
    log().line("Title = " + std::to_string(index) + " " + title);
  });
  out.found = true;
  return true;
}

void AudioCDRipper2::installCddbAnswer(CddbAnswer answer) {
  cddbInfoArtist_ = std::move(answer.artist);
  cddbInfoAlbum_ = std::move(answer.album);
  cddbInfoGenre_ = std::move(answer.genre);
  cddbTitles_ = std::move(answer.titles);
  cddbInfoValid_ = true;
}

bool AudioCDRipper2::cddbAttempt(bool online) {
  cddbOnline_ = online ? 1 : 0;
  CddbAnswer answer;
  if (!runCddbAttempt(nullptr, online, cddbTimeOutMs_, answer, [this](int32_t status) {
        fire(DISPID_AudioCDRipper2_CDDBQueryStatus, {com::variantI4(status)});
      })) {
    return false;
  }
  installCddbAnswer(std::move(answer));
  return true;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::GetCDDBInfo(CDDBSourceConstants cddbSource, VARIANT_BOOL* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("Get CDDB Info");
  *pVal = VARIANT_FALSE;
  if (mediaChangedGuard()) return S_OK;
  if (scsiManagerLoaded_.load() == 0) {
    raiseError(ASPI_DRIVER);
    return S_OK;
  }
  if (cdHandle_.load() == 0) {
    raiseError(DRIVE_BUSY);
    return S_OK;
  }

  bool online = false;
  switch (cddbSource) {
    case ALL: log().line("from any availabel"); break;
    case ONLINEDATABASE:
      log().line("from on-line database");
      online = true;
      break;
    case CDPLAYERINI: log().line("from cdplayer.ini"); break;
    default: log().line("from <default>"); break;
  }

  bool found = cddbAttempt(online);
  if (!found && cddbSource == ALL) found = cddbAttempt(true);
  if (!found) cddbInfoValid_ = false;
  *pVal = found ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_cddbInfoArtist(BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetCDDBInfoArtist Property");
  if (mediaChangedGuard()) return S_OK;
  *pVal = newBstr(cddbInfoValid_ ? cddbInfoArtist_ : std::string());
  if (cddbInfoValid_) log().line(cddbInfoArtist_);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_cddbInfoAlbum(BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetCDDBInfoAlbum Property");
  if (mediaChangedGuard()) return S_OK;
  *pVal = newBstr(cddbInfoValid_ ? cddbInfoAlbum_ : std::string());
  if (cddbInfoValid_) log().line(cddbInfoAlbum_);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_cddbInfoGenre(BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetCDDBInfoGenre Property");
  if (mediaChangedGuard()) return S_OK;
  *pVal = newBstr(cddbInfoValid_ ? cddbInfoGenre_ : std::string());
  if (cddbInfoValid_) log().line(cddbInfoGenre_);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_cddbInfoTitle(BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetCDDBInfoTitle Property");
  if (mediaChangedGuard()) return S_OK;
  const std::string title = cddbInfoValid_ ? cddbTitles_.title(trackIndex_) : std::string();
  *pVal = newBstr(title);
  if (cddbInfoValid_) log().line(title);
  return S_OK;
}

}  // namespace engine
