#include "frontend/disc_controller.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>

#include "client/engine_session.h"
#include "client/musicbrainz_settings.h"
#include "client/release_tags.h"
#include "client/rip_report.h"
#include "frontend/genre_names.h"
#include "platform/com/bstr_text.h"
#include "frontend/seams.h"
#include "frontend/settings/settings_store.h"

namespace quavern {

std::string defaultTrackTitle(int trackNumber) {
  return "Track" + std::string(trackNumber < 10 ? "0" : "") + std::to_string(trackNumber);
}

std::string trackTimeText(LONG durationMs) {
  const long s = std::max<long>(durationMs, 0) / 1000;
  char text[32];
  if (s >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%.2ld:%.2ld", s / 3600, (s % 3600) / 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%.2ld:%.2ld", (s - (s / 3600) * 3600) / 60, s % 60);
  }
  return text;
}

std::string titlesSourceText(const client::DiscTitles& titles, bool asked) {
  if (!titles.found()) return asked ? "No titles found" : "";
  std::string text = "Titles from " + titles.source;
  if (titles.byLength) text += " (matched by track lengths)";
  return text;
}

int parseCddbPort(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  const size_t last = text.find_last_not_of(" \t");
  if (first == std::string::npos) return 0;
  const char* begin = text.data() + first;
  const char* end = text.data() + last + 1;
  int port = 0;
  const auto [next, error] = std::from_chars(begin, end, port);
  if (error != std::errc() || next != end || port < 1 || port > 65535) return 0;
  return port;
}

DiscController::DiscController(EngineLink& engine, SettingsStore& settings, Prompter& prompter, CurrentTags& tags,
                               DiscView& view)
    : engine_(engine), settings_(settings), prompter_(prompter), tags_(tags), view_(view) {}

DiscController::~DiscController() {
  if (coverCancel_) coverCancel_->store(true);
  if (coverFetch_.valid()) coverFetch_.wait();
}

void DiscController::fetchCoverArt() {
  if (coverCancel_) coverCancel_->store(true);  // the last disc's, if it still runs
  coverFetch_ = {};
  if (titles_.releaseId.empty() || !titles_.coverArtFront) return;
  std::string refused;
  const auto online = client::ReadMusicBrainzSettings("", "", refused);
  if (!online || !online->coverArt || online->coverArtServer.empty()) return;
  coverCancel_ = std::make_shared<std::atomic<bool>>(false);
  coverFetch_ = std::async(std::launch::async, [server = online->coverArtServer, release = titles_.releaseId,
                                                 cancel = coverCancel_] {
    return client::FetchCoverArt(server, release, 10000, cancel.get());
  });
}

std::optional<client::CoverArt> DiscController::coverArt() {
  if (!coverFetch_.valid() || coverFetch_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
    return std::nullopt;
  }
  client::CoverArt art = coverFetch_.get();
  // Kept for the next batch of the same disc.
  std::promise<client::CoverArt> kept;
  kept.set_value(art);
  coverFetch_ = kept.get_future();
  return art;
}

bool DiscController::coverArtPending() const {
  return coverFetch_.valid() && coverFetch_.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

std::vector<std::string> DiscController::startUp() {
  ripping_ = ripStopPending_ = playbackOn_ = playbackPaused_ = false;
  showStates();
  IAudioCDRipper2* engine = engine_.engine();
  std::vector<std::string> driveBox;
  if (engine == nullptr) return driveBox;
  engine->DriverOpen();
  // Said once: a fault of vdrives.ini leaves its drive out of the list.
  if (const std::string problems = client::VirtualDriveProblemsText(); !problems.empty()) {
    prompter_.inform(nullptr, problems);
  }
  engine->put_driveReadType(CDRT_ANY);
  // The stored drive choice, so that the list and every later rip and
  // playback act on the same drive.
  const LONG count = engine_.getLong(&IAudioCDRipper2::get_driveCount);
  driveIndex_ = count > 0 ? std::clamp<int>(settings_.readInt("cd", "cd rom", 0), 0, static_cast<int>(count) - 1) : 0;
  engine->put_driveNum(driveIndex_ + 1);
  view_.clearTracks();
  fillTrackList();
  for (LONG k = 1; k <= count; ++k) {
    engine->put_driveNum(k);
    driveBox.push_back("(" + engine_.getText(&IAudioCDRipper2::get_driveLetter) + ")" +
                       engine_.getText(&IAudioCDRipper2::get_driveName));
  }
  if (count > 0) engine->put_driveNum(driveIndex_ + 1);
  return driveBox;
}

void DiscController::shutDown() {
  if (IAudioCDRipper2* engine = engine_.engine()) engine->DriverClose();
  CoPumpCalls(0);
}

void DiscController::takeGenre(const std::string& genre) {
  if (genre.empty()) {
    tags_.genreName = GenreNames[kGenreOther];
    tags_.genreIndex = kGenreOther;
  } else {
    tags_.genreName = genre;
    tags_.genreIndex = genreIndexOf(genre);
  }
}

void DiscController::fillTrackList() {
  if (ripping_ || playbackOn_) return;
  IAudioCDRipper2* engine = engine_.engine();
  view_.clearTracks();
  if (engine == nullptr) return;
  engine->Refresh();
  const LONG count = engine_.getLong(&IAudioCDRipper2::get_trackCount);
  titles_ = {};
  fetchCoverArt();  // none: stops the last disc's
  titlesAsked_ = count > 0;
  tags_.albumArtist.clear();
  tags_.discNumber.clear();
  VARIANT_BOOL found = VARIANT_FALSE;
  if (count > 0) engine->GetCDDBInfo(CDPLAYERINI, &found);  // empty titles fall back to the defaults
  if (found != VARIANT_FALSE) {
    titles_.source = "cdplayer.ini";
    titles_.artist = engine_.getText(&IAudioCDRipper2::get_cddbInfoArtist);
    titles_.album = engine_.getText(&IAudioCDRipper2::get_cddbInfoAlbum);
    titles_.genre = engine_.getText(&IAudioCDRipper2::get_cddbInfoGenre);
  }
  for (LONG n = 1; n <= count; ++n) {
    engine->put_trackNum(n);
    TrackRow row;
    row.title = engine_.getText(&IAudioCDRipper2::get_cddbInfoTitle);
    if (row.title.empty()) row.title = defaultTrackTitle(static_cast<int>(n));
    row.artist = engine_.getText(&IAudioCDRipper2::get_cddbInfoArtist);
    if (row.artist.empty()) row.artist = "Unknown Artist";
    row.album = engine_.getText(&IAudioCDRipper2::get_cddbInfoAlbum);
    if (row.album.empty()) row.album = "Unknown Album";
    tags_.title = row.title;
    tags_.artist = row.artist;
    tags_.album = row.album;
    takeGenre(engine_.getText(&IAudioCDRipper2::get_cddbInfoGenre));
    row.time = trackTimeText(engine_.getLong(&IAudioCDRipper2::get_trackDuration));
    if (titles_.found()) titles_.trackTitles.push_back(engine_.getText(&IAudioCDRipper2::get_cddbInfoTitle));
    view_.addTrack(row);
  }
  showSource();
}

void DiscController::lookUpTitles() {
  if (ripping_ || playbackOn_) return;
  IAudioCDRipper2* engine = engine_.engine();
  if (engine == nullptr) return;
  // A port that is not a number is the user's to mend, not a crash.
  const int port = parseCddbPort(settings_.readText("cddb", "port", defaults::kCddbPort));
  if (port == 0) {
    prompter_.inform(nullptr, texts::kBadPort);
    return;
  }
  engine_.putTextByName("cddbServerAddress", settings_.readText("cddb", "cddb server", defaults::kCddbServer));
  // Public servers ask every request to carry the user's own address.
  std::string email = settings_.readText("cddb", "email", "");
  if (email.empty()) email = defaults::userEMail();
  engine_.putTextByName("cddbUserEMail", email);
  engine->put_cddbServerHTTPPort(port);
  engine->put_cddbTimeOut(settings_.readInt("cddb", "time out", defaults::kLookupTimeOutMs));
  engine_.putTextByName("cddbCGIScript", defaults::kCddbScript);

  const auto source = static_cast<CDDBSourceConstants>(settings_.readInt("cddb", "cd source", ALL));
  askCdText_ = source == ALL;
  if (source != ONLINEDATABASE) {
    // cdplayer.ini is local: asked at once.
    VARIANT_BOOL found = VARIANT_FALSE;
    engine->GetCDDBInfo(CDPLAYERINI, &found);
    if (found != VARIANT_FALSE) {
      tags_.artist = engine_.getText(&IAudioCDRipper2::get_cddbInfoArtist);
      tags_.album = engine_.getText(&IAudioCDRipper2::get_cddbInfoAlbum);
      takeGenre(engine_.getText(&IAudioCDRipper2::get_cddbInfoGenre));
      fillTrackList();
      return;
    }
    if (source == CDPLAYERINI) {
      prompter_.inform(nullptr, texts::kNoFreedbInfo);
      return;
    }
  }
  if (lookingUp()) return;
  submissionShown_.clear();
  client::TitleLookupWorker::Request request;
  std::string refused;
  if (const auto online = client::ReadMusicBrainzSettings("", "", refused)) {
    request.musicBrainzServer = online->server;
    request.country = online->country;
  }
  const LONG tracks = engine_.getLong(&IAudioCDRipper2::get_trackCount);
  if (const auto layout = client::RipReport(engine).audioLayout(tracks)) request.disc = client::MusicBrainzDiscOf(*layout);
  submissionUrl_ = request.disc && !request.musicBrainzServer.empty()
                       ? client::MusicBrainzSubmissionUrl(request.musicBrainzServer, *request.disc)
                       : "";
  cddbAllowed_ = !client::CddbServerOffByEnvironment();
  if (request.musicBrainzServer.empty() || !request.disc) {
    askCddbServer();
    return;
  }
  worker_.start(std::move(request));
  view_.setLookingUp(true);
  showStates();
}

void DiscController::pollLookUp() {
  const auto result = worker_.take();
  if (!result) return;
  view_.setLookingUp(false);
  showStates();
  lookUpEnded(*result);
}

void DiscController::stopLookUp() {
  worker_.stop();
  if (cddbLookingUp_) {
    // The engine's thread ends on its own; its end finds nothing to do.
    cddbLookingUp_ = false;
    if (IAudioCDRipper2* engine = engine_.engine()) engine->CancelCDDBInfo();
    view_.setLookingUp(false);
    showStates();
  }
}

void DiscController::lookUpEnded(const client::TitleLookupWorker::Result& result) {
  if (result.stopped) return;  // the titles shown stay
  const client::MusicBrainzLookup& mb = result.musicBrainz;
  if (mb.status == client::MusicBrainzStatus::kFound) {
    int chosen = 0;
    if (mb.candidates.size() > 1) {
      std::vector<std::vector<std::string>> rows;
      for (const client::MusicBrainzCandidate& c : mb.candidates) rows.push_back(client::MusicBrainzCandidateCells(mb.answer, c));
      chosen = view_.chooseRelease(rows);
      if (chosen < 0 || size_t(chosen) >= mb.candidates.size()) return;  // Escape keeps the titles
    }
    const LONG tracks = engine_.getLong(&IAudioCDRipper2::get_trackCount);
    const std::string discId = mb.exact ? mb.answer.discId : "";
    const client::DiscTitles found =
        client::TitlesOfMusicBrainz(mb.answer, mb.candidates[size_t(chosen)], size_t(std::max<LONG>(tracks, 0)), discId);
    showTitles(found);
    // Written back, as the CDDB server's answers are: the release taken
    // names the disc offline from now on.
    if (IAudioCDRipper2* engine = engine_.engine()) client::RipReport(engine).storeTitles(found);
    return;
  }
  musicBrainzUnknown_ = mb.status == client::MusicBrainzStatus::kNotFound;
  askCddbServer();
}

// The CDDB server through the engine's own look-up thread: this returns at
// once, and its end comes as a CDDBQueryStatus event (every BeginCDDBInfo
// ends with one, a refused one at once).
void DiscController::askCddbServer() {
  IAudioCDRipper2* engine = engine_.engine();
  if (engine == nullptr || !cddbAllowed_ || ripping_ || playbackOn_) {
    cddbServerEnded(false);
    return;
  }
  cddbLookingUp_ = true;
  ++cddbEndsAwaited_;
  view_.setLookingUp(true);
  showStates();
  engine->BeginCDDBInfo(ONLINEDATABASE);
}

void DiscController::cddbQueryStatus(LONG status) {
  if (status < CDDBANSWERED) return;  // a step of the look-up
  if (cddbEndsAwaited_ > 0) --cddbEndsAwaited_;
  // An earlier look-up's end (one given up), or one the user stopped.
  if (cddbEndsAwaited_ > 0 || !cddbLookingUp_) return;
  cddbLookingUp_ = false;
  view_.setLookingUp(false);
  showStates();
  if (status == CDDBSTOPPED) return;  // the titles shown stay
  cddbServerEnded(status == CDDBANSWERED);
}

void DiscController::cddbServerEnded(bool found) {
  IAudioCDRipper2* engine = engine_.engine();
  if (found) {
    // The titles straight from the engine's answer: no Refresh of the drive
    // on this thread, and no reliance on the local store's write-back.
    client::DiscTitles titles;
    titles.source = "CDDB server";
    titles.artist = engine_.getText(&IAudioCDRipper2::get_cddbInfoArtist);
    titles.album = engine_.getText(&IAudioCDRipper2::get_cddbInfoAlbum);
    titles.genre = engine_.getText(&IAudioCDRipper2::get_cddbInfoGenre);
    const LONG count = engine != nullptr ? engine_.getLong(&IAudioCDRipper2::get_trackCount) : 0;
    for (LONG n = 1; n <= count; ++n) {
      engine->put_trackNum(n);
      titles.trackTitles.push_back(engine_.getText(&IAudioCDRipper2::get_cddbInfoTitle));
    }
    takeGenre(titles.genre);
    if (musicBrainzUnknown_) submissionShown_ = submissionUrl_;
    musicBrainzUnknown_ = false;
    showTitles(titles);
    return;
  }
  // With every source asked, the disc's own CD-TEXT, where no other
  // source had the disc.
  const client::DiscTitles cdText =
      engine != nullptr && askCdText_
          ? client::RipReport(engine).cdTextTitles(engine_.getLong(&IAudioCDRipper2::get_trackCount))
          : client::DiscTitles{};
  if (musicBrainzUnknown_) submissionShown_ = submissionUrl_;
  if (cdText.found()) {
    showTitles(cdText);
  } else {
    std::string message = texts::kNoFreedbInfo;
    if (musicBrainzUnknown_ && !submissionUrl_.empty()) {
      message += "\n\nMusicBrainz does not know this disc. It can be added at:\n" + submissionUrl_;
    }
    showSource();
    prompter_.inform(nullptr, message);
  }
  musicBrainzUnknown_ = false;
}

void DiscController::showTitles(const client::DiscTitles& titles) {
  if (ripping_ || playbackOn_) return;
  IAudioCDRipper2* engine = engine_.engine();
  if (engine == nullptr) return;
  view_.clearTracks();
  titles_ = titles;
  titlesAsked_ = true;
  const client::ReleaseTags release = client::ReleaseTagsOf(titles, 1, "");
  tags_.albumArtist = release.albumArtist;
  tags_.discNumber = release.discNumber;
  fetchCoverArt();
  tags_.album = titles.album.empty() ? "Unknown Album" : titles.album;
  tags_.artist = titles.artist.empty() ? "Unknown Artist" : titles.artist;
  const LONG count = engine_.getLong(&IAudioCDRipper2::get_trackCount);
  for (LONG n = 1; n <= count; ++n) {
    const size_t k = size_t(n - 1);
    engine->put_trackNum(n);
    TrackRow row;
    row.title = k < titles.trackTitles.size() && !titles.trackTitles[k].empty() ? titles.trackTitles[k]
                                                                                 : defaultTrackTitle(int(n));
    row.artist = k < titles.trackArtists.size() && !titles.trackArtists[k].empty() ? titles.trackArtists[k] : tags_.artist;
    row.album = tags_.album;
    row.time = trackTimeText(engine_.getLong(&IAudioCDRipper2::get_trackDuration));
    tags_.title = row.title;
    view_.addTrack(row);
  }
  showSource();
}

void DiscController::playSelected() {
  IAudioCDRipper2* engine = engine_.engine();
  if (engine == nullptr) return;
  if (playbackPaused_ && playbackOn_) {
    engine->PauseTrack();  // resumes
    playbackPaused_ = false;
    view_.focusTrackList();
    showStates();
    return;
  }
  if (view_.trackRowCount() == 0) return;
  if (playbackOn_ && view_.selectedRow() < 0) return;
  if (ripping_) {
    prompter_.inform(nullptr, texts::kStopConvertingFirst);
    return;
  }
  if (playbackOn_) engine->StopPlay();
  playbackOn_ = true;
  const int selected = view_.selectedRow();
  playTrack_ = selected >= 0 ? selected + 1 : 1;
  view_.focusTrackList();
  engine->PlayTrack(static_cast<SHORT>(playTrack_));
  showStates();
}

void DiscController::togglePause() {
  if (!playbackOn_) return;
  if (IAudioCDRipper2* engine = engine_.engine()) engine->PauseTrack();
  playbackPaused_ = !playbackPaused_;
  showStates();
}

void DiscController::stopPlayback() {
  if (!playbackOn_) return;
  if (IAudioCDRipper2* engine = engine_.engine()) engine->StopPlay();
  playbackOn_ = false;
  playbackPaused_ = false;
  showStates();
  applyPendingDrive();
}

void DiscController::endTrackPlay() {
  IAudioCDRipper2* engine = engine_.engine();
  // A track that ends after the user stopped playback starts nothing.
  if (engine == nullptr || !playbackOn_) return;
  engine->StopPlay();
  playTrack_ = playTrack_ < view_.trackRowCount() ? playTrack_ + 1 : 1;
  view_.selectRow(playTrack_ - 1);
  view_.focusTrackList();
  engine->PlayTrack(static_cast<SHORT>(playTrack_));
}

void DiscController::mediaChange() {
  stopLookUp();  // its answer would be for the disc that went
  submissionShown_.clear();
  fillTrackList();
}

void DiscController::chooseDrive(int index) {
  const LONG count = engine_.getLong(&IAudioCDRipper2::get_driveCount);
  if (engine_.engine() == nullptr || count <= 0) return;
  index = std::clamp(index, 0, static_cast<int>(count) - 1);
  pendingDrive_ = index == driveIndex_ ? -1 : index;
  applyPendingDrive();
}

void DiscController::applyPendingDrive() {
  if (pendingDrive_ < 0 || ripping_ || playbackOn_) return;
  IAudioCDRipper2* engine = engine_.engine();
  if (engine == nullptr) return;
  driveIndex_ = pendingDrive_;
  pendingDrive_ = -1;
  engine->put_driveNum(driveIndex_ + 1);
  view_.clearTracks();
  submissionShown_.clear();
  fillTrackList();
}

void DiscController::setRipping(bool ripping) {
  ripping_ = ripping;
  if (!ripping) ripStopPending_ = false;
  showStates();
  if (!ripping) applyPendingDrive();
}

CommandStates DiscController::commandStates() const {
  CommandStates states;
  if (ripping_) {
    states.freeDb = states.refresh = states.ripCd = states.play = false;
    states.selectAll = states.options = states.formatBox = false;
    states.stopRip = true;
  } else if (lookingUp()) {
    // "Stop " gives the look-up up; nothing else may take the drive meanwhile.
    states.freeDb = states.refresh = states.ripCd = states.play = false;
    states.selectAll = states.options = states.formatBox = false;
    states.stopRip = true;
  } else if (playbackOn_) {
    states.freeDb = states.refresh = states.ripCd = false;
    states.pause = !playbackPaused_;
    states.stopPlaying = true;
  }
  return states;
}

void DiscController::showStates() { view_.applyCommandStates(commandStates()); }

void DiscController::showSource() { view_.showTitlesSource(titlesSourceText(titles_, titlesAsked_), submissionShown_); }

}  // namespace quavern
