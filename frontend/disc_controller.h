// What the main window does with the disc: start-up and shut-down of the
// engine, the track list fill, the title lookup, playback and the state
// flags that keep playing and ripping apart. It talks to the engine through
// EngineLink and to the window through DiscView, so tests drive it with the
// real engine and a fake view. GUI thread only.
#pragma once

#include <atomic>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "client/cover_art.h"
#include "client/title_lookup_worker.h"
#include "frontend/current_tags.h"
#include "frontend/engine_link.h"

namespace quavern {

class Prompter;
class SettingsStore;

// Which commands can be chosen now; each names the menu item and its
// pop-up twin.
struct CommandStates {
  bool freeDb = true;         // "Free DB"
  bool refresh = true;        // "Refresh"
  bool ripCd = true;          // "Rip CD", "Convert"
  bool stopRip = false;       // "Stop ", "Stop Converting"
  bool play = true;           // "Play" (both)
  bool pause = false;         // "Pause" (both)
  bool stopPlaying = false;   // "Stop Playing" (both)
  bool selectAll = true;      // "Select All", "Unselect All"
  bool options = true;        // "Options"
  bool formatBox = true;      // cb_format
  bool operator==(const CommandStates&) const = default;
};

struct TrackRow {
  std::string title, artist, album, time;
};

class DiscView {
 public:
  virtual ~DiscView() = default;
  virtual void clearTracks() = 0;
  // A row ticked, with the status "Unconverted".
  virtual void addTrack(const TrackRow& row) = 0;
  virtual int trackRowCount() const = 0;
  virtual int selectedRow() const = 0;  // -1: none
  virtual void selectRow(int row) = 0;
  virtual void focusTrackList() = 0;
  virtual void applyCommandStates(const CommandStates& states) = 0;
  // An on-line look-up runs on its worker: the caption says so, and the
  // view calls DiscController::pollLookUp() often (every few tens of ms)
  // until it ends.
  virtual void setLookingUp(bool lookingUp) { (void)lookingUp; }
  // Several releases name the disc: the row the user takes (the first, the
  // best, preselected), or -1 to keep the titles shown. Each row: album,
  // artist, date, country, labels and catalogue numbers, barcode, format,
  // disc N of M, disambiguation.
  virtual int chooseRelease(const std::vector<std::vector<std::string>>& rows) { return rows.empty() ? -1 : 0; }
  // The status line: what named the titles shown ("Titles from
  // MusicBrainz"; "" when no source was asked), and where MusicBrainz takes
  // a disc it said it does not know ("" none).
  virtual void showTitlesSource(const std::string& text, const std::string& submissionUrl) {
    (void)text;
    (void)submissionUrl;
  }
};

// The texts the user sees.
namespace texts {
inline constexpr const char* kStopPlayingFirst = "Please stop playing first.";
inline constexpr const char* kStopConvertingFirst = "Please stop converting first.";
inline constexpr const char* kStopRippingFirst = "Please stop ripping first.";
inline constexpr const char* kInsertCd = "Please insert CD!";
inline constexpr const char* kNoFreedbInfo = "Can not find freedb information!";
inline constexpr const char* kLookingUp = "Looking up titles\u2026";
inline constexpr const char* kBadPort = "The CDDB port must be a number from 1 to 65535.";
inline constexpr const char* kSelectTrackToEdit = "Please select the track you want to edit.";
inline constexpr const char* kRestartQuestion = "A system error occurs,do you want to restart this program?";
}  // namespace texts

// The status line's text for `titles`: "Titles from <source>", "No titles
// found" when the sources asked had nothing, "" when none was asked.
std::string titlesSourceText(const client::DiscTitles& titles, bool asked);

// "Track" + two digits: Track01 … Track99, Track100.
std::string defaultTrackTitle(int trackNumber);
// m:ss as two "%.2d" fields; an hour or more as h:mm:ss.
std::string trackTimeText(LONG durationMs);
// The port text as a number from 1 to 65535, or 0 when it is not one.
int parseCddbPort(const std::string& text);

class DiscController {
 public:
  DiscController(EngineLink& engine, SettingsStore& settings, Prompter& prompter, CurrentTags& tags,
                 DiscView& view);
  // Stops a cover fetch that still runs and waits for its end (about a
  // second at most).
  ~DiscController();

  // Opens the engine, puts it on the stored drive ([cd] "cd rom", clamped
  // to the list; the first drive when none is stored), fills the track list
  // and answers the drive box's entries, "(" letter ")" name, one per
  // drive. The engine stays on the stored drive afterwards.
  std::vector<std::string> startUp();
  // Closes the engine and runs the calls that are still queued.
  void shutDown();

  void fillTrackList();
  // The titles from the sources [cddb] "cd source" names: cdplayer.ini at
  // once; MusicBrainz on a worker (pollLookUp() takes its answer); then the
  // CDDB server through the engine's own look-up thread (BeginCDDBInfo),
  // whose end arrives as an engine event (cddbQueryStatus). The window
  // stays alive while either answers.
  void lookUpTitles();
  void pollLookUp();
  // The engine's CDDBQueryStatus: the end of the CDDB server's look-up
  // shows its titles, or the disc's CD-TEXT, or says nothing was found.
  void cddbQueryStatus(LONG status);
  // Gives up a running look-up: the titles shown stay.
  void stopLookUp();
  bool lookingUp() const { return worker_.running() || cddbLookingUp_; }
  // The drive chosen in the Settings dialog (index from 0, clamped to the
  // drives): the engine moves to it and the list is refilled for it, at
  // once when idle, else as soon as playback or the rip batch ends.
  void chooseDrive(int index);
  bool driveChangePending() const { return pendingDrive_ >= 0; }

  void playSelected();
  void togglePause();
  void stopPlayback();
  void endTrackPlay();
  void mediaChange();

  // The rip batch sets these; the window's menus follow.
  void setRipping(bool ripping);
  void setRipStopPending(bool pending) { ripStopPending_ = pending; }

  bool ripping() const { return ripping_; }
  bool ripStopPending() const { return ripStopPending_; }
  bool playbackOn() const { return playbackOn_; }
  bool playbackPaused() const { return playbackPaused_; }
  int playTrack() const { return playTrack_; }
  // Index of the drive the engine works on, from 0.
  int driveIndex() const { return driveIndex_; }
  CommandStates commandStates() const;
  // What named the titles the list shows (source "" when none did), and
  // whether any source was asked: the rip log's "titles" row and the
  // files' tags come from them.
  const client::DiscTitles& titles() const { return titles_; }
  bool titlesAsked() const { return titlesAsked_; }
  // The front cover of the release that named the disc, fetched on a
  // thread of its own once the titles came ([musicbrainz] "cover art").
  // Nothing while none was asked for or the fetch still runs.
  std::optional<client::CoverArt> coverArt();
  // The cover's fetch still runs: coverArt() will have it later.
  bool coverArtPending() const;

 private:
  void takeGenre(const std::string& genre);
  void showTitles(const client::DiscTitles& titles);
  void lookUpEnded(const client::TitleLookupWorker::Result& result);
  void askCddbServer();
  void cddbServerEnded(bool found);
  void showStates();
  void showSource();
  void applyPendingDrive();

  EngineLink& engine_;
  SettingsStore& settings_;
  Prompter& prompter_;
  CurrentTags& tags_;
  DiscView& view_;

  bool ripping_ = false;
  bool ripStopPending_ = false;
  bool playbackOn_ = false;
  bool playbackPaused_ = false;
  int playTrack_ = 0;  // 1-based
  int driveIndex_ = 0;
  int pendingDrive_ = -1;  // a chosen drive waiting for the end of playback or a rip
  client::TitleLookupWorker worker_;
  void fetchCoverArt();

  client::DiscTitles titles_;   // what named the list shown
  // The cover's fetch: the future and its stop flag are this thread's; the
  // fetch thread reads only the flag.
  std::future<client::CoverArt> coverFetch_;
  std::shared_ptr<std::atomic<bool>> coverCancel_;
  bool titlesAsked_ = false;    // a source was asked for the disc shown
  std::string submissionUrl_;       // where the disc being looked up can be added to MusicBrainz
  std::string submissionShown_;     // submissionUrl_ once MusicBrainz said it does not know the disc shown
  bool musicBrainzUnknown_ = false;  // MusicBrainz answered that it does not know the disc
  bool cddbAllowed_ = true;          // the look-up may ask the CDDB server
  bool cddbLookingUp_ = false;       // the engine asks the CDDB server for the titles shown
  int cddbEndsAwaited_ = 0;          // BeginCDDBInfo calls whose end has not arrived (the last is ours)
  bool askCdText_ = false;           // the look-up ends with the disc's CD-TEXT (every source asked)
};

}  // namespace quavern
