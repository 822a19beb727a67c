// The rip batch: the ticked rows of the track list become one tagged file
// per track in the output folder, one track after another in list order.
// It configures the engine for the chosen format and rip mode, starts one
// rip call per track, follows the engine's RipProgress and Error events,
// writes CurrentTags into every finished file and opens the folder at the
// end. It talks to the engine through EngineLink and to the window through
// RipBatchView, so tests drive it with the real engine. GUI thread only.
//
// How a track ends. The engine answers a rip call it refuses (the file
// cannot be created, the codec is missing, the drive is busy, the disc
// changed) with Error during the call and no progress after it: that track
// is "Failed" at once and the batch goes on. A rip it accepted ends with
// exactly one RipProgress(100), raised after the output file is closed,
// whether it was ripped whole, stopped, or failed (an Error before that
// 100 makes the track "Failed"). Only then is the file tagged and the next
// track started, and only then does a stop complete.
//
// The batch's proof (the client library's ProofRecorder, as ripmarrow's): the drive's read offset is put on the
// engine before each rip and each track's checksums are kept; after the last
// track the disc is looked up in AccurateRip on a worker thread (the batch
// still runs, its caption saying so, until the answer or the time-out), the
// rip log is written into the output folder, and the summary at the batch's
// end says the verification's outcome and where the log is. The CUETools
// database ([ctdb] "server") is asked on the same worker, and its verdicts
// join the log, the summary and the outcome line. In the verified grab mode
// (4) both databases are asked before the first track instead, and the
// tracks they do not confirm are ripped again in SECURE (verified_steps.h).
#pragma once

#include <atomic>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "client/proof_recorder.h"
#include "client/replay_gain_tags.h"
#include "frontend/engine_link.h"
#include "frontend/rip_progress.h"
#include "frontend/verified_steps.h"

class QTimer;

namespace platform {
class DesktopOpener;
}

namespace quavern {

class DiscController;
class Prompter;
class SettingsStore;
struct CurrentTags;

// What the batch needs of the main window.
class RipBatchView {
 public:
  virtual ~RipBatchView() = default;
  virtual int trackRowCount() const = 0;
  virtual bool rowTicked(int row) const = 0;
  // The title as the list shows it.
  virtual std::string rowTitle(int row) const = 0;
  virtual void setRowStatus(int row, const std::string& status) = 0;
  // The row becomes the selected row and the list gets the focus.
  virtual void showRipRow(int row) = 0;
  virtual void setRipProgress(int percent) = 0;
  // The progress bar's caption: the percentage while a batch runs, a
  // note while a stop is completing or AccurateRip is asked, nothing
  // when idle.
  enum class Caption { kNone, kPercent, kStopping, kVerifying };
  virtual void setProgressCaption(Caption caption) = 0;
  // The format box's index: 0 MP3, 1 WAV, 2 WMA, 3 OGG, 4 FLAC.
  virtual int outputFormat() const = 0;
  // The outcome of a batch in which nothing went wrong, shown in the
  // window rather than in a box: "4 tracks ripped · accurate (AccurateRip,
  // confidence 12) · log". `detail` adds the log's path for the tool tip.
  virtual void showOutcome(const std::string& text, const std::string& detail) {
    (void)text;
    (void)detail;
  }
  // While a track rips: the progress in words ("Track 2 of 5 · 43% ·
  // 12.4x · 0:21 left · batch 3:10 left"), for the bar and screen readers.
  virtual void setProgressText(const std::string& text) { (void)text; }
};

namespace texts {
inline constexpr const char* kOverwrite = "File has exists. Overwrite?";
inline constexpr const char* kStatusUnconverted = "Unconverted";
inline constexpr const char* kStatusConverting = "Converting";
inline constexpr const char* kStatusFinish = "Finish";
inline constexpr const char* kStatusFailed = "Failed";
}  // namespace texts

// The file name of a title: what a file name may not hold removed, an
// audio extension the title itself carries dropped ("Mr. Blue.mp3"; its own
// dots stay), `extension` (with its dot) appended; `fallback` ("Track03")
// when nothing is left (client::TitleFileName).
std::string ripFileName(const std::string& title, const std::string& extension, const std::string& fallback = "Track");
// A sentence on an engine error code that a user understands.
std::string ripFailureText(LONG code);

class RipBatch {
 public:
  enum Format { kMp3 = 0, kWav = 1, kWma = 2, kOgg = 3, kFlac = 4 };

  RipBatch(EngineLink& engine, SettingsStore& settings, Prompter& prompter, platform::DesktopOpener& opener,
           CurrentTags& tags, DiscController& disc, RipBatchView& view);
  // Gives up a running look-up and waits for its worker (a second at most).
  ~RipBatch();

  // "Rip CD", "Convert", the skin's "RipCD".
  void StartRip();
  // The batch of a disc just inserted ([cd] "rip on insert"): nothing
  // waits for a person. An existing file gets " (2)" instead of the
  // question, no box is shown and no folder opens; the disc is ejected at
  // the end when [cd] "eject when done" says so (as after every batch).
  void StartUnattended();
  // "Stop ", "Stop Converting", the skin's "Stop".
  void RequestStopRip();
  // The engine's events.
  void AudioCDRipperRipProgress(LONG percent);
  void AudioCDRipperError(LONG code);

  // The window closes: a running rip is stopped and its last events
  // change nothing.
  void abandon();

  bool ripping() const;
  int ripCursor() const { return ripCursor_; }
  const std::string& outputFolder() const { return outputFolder_; }
  const std::string& outputPath() const { return outputPath_; }
  // The log of the last batch that ripped a track; "" when none was written.
  const std::string& logPath() const { return logPath_; }

 private:
  struct Failure {
    int row;
    std::string title;
    std::string reason;
  };

  bool chooseFormat();
  void RipNextTrack();
  bool startCall(const std::string& path);
  void finishTrack();
  void finishTestRead();
  std::string testReadPath() const;
  std::string progressText(int percent) const;
  bool TagRippedFile();
  int nextTickedRow(int from) const;
  // The last track is done: the disc is looked up (on a worker thread) and
  // the log written before the batch ends. `normal` as for completeBatch.
  void endBatch(bool normal);
  void verificationArrived(const proof::AccurateRipLookup& lookup);
  // The verdicts and the log of the batch's proof; the summary's lines.
  std::vector<std::string> writeLog(const proof::AccurateRipLookup& lookup);
  // Idle again. `normal`: the summary (failures, verification, log) is told
  // in a box when a track failed, kept unconfirmed frames or was found not
  // accurate and somebody started the batch; otherwise the progress bar says
  // the outcome in a few words. The folder opens when a file was written by
  // a batch somebody started.
  void completeBatch(bool normal, const std::vector<std::string>& verification);
  std::string prepareCoverArt();
  void removeEmbeddedCover();
  // The cover whose fetch still ran when the batch began, once it ended:
  // embedded in the files tagged from then on, written beside them and
  // named in the log.
  void takeLateCover();
  // At the batch's end: the late cover into the files tagged before it came.
  void embedLateCover();
  // Verified mode (rip_batch_verified.cpp): the databases asked before the
  // first track; after a track's rip, true when it is being read again in
  // SECURE (no database confirms its BURST rip), and the re-read's row
  // marked once it ended.
  void lookUpFirst();
  void firstLookUpArrived();
  bool verifiedTrackEnded(bool written);
  bool unattended_ = false;  // the running batch started on insertion

  EngineLink& engine_;
  SettingsStore& settings_;
  Prompter& prompter_;
  platform::DesktopOpener& opener_;
  CurrentTags& tags_;
  DiscController& disc_;
  RipBatchView& view_;

  int format_ = kMp3;
  int ripCursor_ = 0;
  std::string outputFolder_;     // ends in "/"
  std::string outputExtension_;  // ".mp3", ".wav", …
  std::string outputPath_;
  // Where the batch is:
  //   kIdle      no batch
  //   kBetween   a batch runs between its tracks (choosing, asking, failing one)
  //   kCalling   a rip call is running: its Errors are the call's refusal
  //   kRipping   the engine accepted the track and its RipProgress(100) is
  //              still to come: Errors until then are the track's
  //   kVerifying the last track is done; AccurateRip is asked on a worker
  enum class Phase { kIdle, kBetween, kCalling, kRipping, kVerifying };
  Phase phase_ = Phase::kIdle;
  std::vector<LONG> callErrors_;
  std::vector<LONG> trackErrors_;
  // Errors raised by StopRip itself, in any phase, are not the track's.
  bool inStopCall_ = false;
  int filesWritten_ = 0;
  std::vector<Failure> failures_;

  std::optional<client::ProofRecorder> proof_;
  // [accuraterip] "server" as the batch read it at its start: the server
  // asked at its end and the one its log names.
  std::string serverText_;
  // The AccurateRip look-up at the batch's end, polled from the GUI thread;
  // the worker gives up when the flag is set (the window closes).
  std::future<proof::AccurateRipLookup> lookup_;
  std::shared_ptr<std::atomic<bool>> giveUpLookup_;
  std::unique_ptr<QTimer> lookupPoll_;
  bool endNormal_ = true;
  std::string logPath_;
  std::string embeddedCover_;  // GUI thread: the image this batch's tags embed, removed at its end; "" none
  bool coverAwaited_ = false;  // GUI thread: the cover's fetch still runs; the batch takes it when it ends
  std::vector<std::pair<int, std::string>> withoutCover_;  // GUI thread: rows and files tagged while the cover was awaited
  // What the last log said, for the batch's end: some track was found not
  // accurate or kept frames no read confirmed (a box tells it), and the
  // outcome in the window's few words otherwise.
  bool foundWrong_ = false;
  // [cd] "test and copy" as the batch read it; the current track's test
  // read is under way, and its CRC once done.
  bool testAndCopy_ = false;
  bool testing_ = false;
  std::optional<uint32_t> testCrc_;
  // The speed and time left of the batch: each row's audio (read at the
  // batch's start) and the tracks started so far.
  std::vector<long> rowMs_;
  int started_ = 0;
  RipProgressClock clock_;
  std::string quietOutcome_;
  // [replaygain] "enabled" as the batch read it at its start, and the files
  // ripped whole with their gains, tagged with the album's when it ends.
  bool replayGain_ = true;
  client::ReplayGainBatch replayGainBatch_;
  // The verified mode's steps and answers; [ctdb] "server" as the batch read
  // it; the CUETools answer for the log, filled by the look-up's worker
  // before lookup_ is ready and read on the GUI thread after it.
  VerifiedSteps verified_;
  std::string ctdbText_;
  std::shared_ptr<std::optional<client::CtdbLookup>> ctdbFound_;
};

}  // namespace quavern
