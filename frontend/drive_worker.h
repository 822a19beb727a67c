// One drive that the main window does not show, ripped by a worker process
// of its own: `ripmarrow watch --drive N …` with $RIPMARROW_WATCH_WORKER
// set, the same worker `ripmarrow watch` drives, spoken to over its stdin
// and stdout one line at a time (the protocol: ripmarrow/watch_command.h).
// The worker holds one engine object for its one drive; the engine's SCSI
// transport is process-wide, so a drive per process is what lets several
// drives rip at once, and a drive that hangs stalls only its worker.
//
// DriveWorker turns the worker's lines into the drive's state for the
// window, says "go" when asked to rip the disc that is in, and stops the
// worker: with an interrupt (the rip stops as `ripmarrow rip` stops at
// Ctrl-C: whole files kept, a half-written one removed, the log written
// with the track marked stopped), and when that is not enough in time, by
// force, after which the file it was writing is removed here. GUI thread
// only: the process's pipes are read by the Qt event loop.
#pragma once

#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <functional>
#include <string>

namespace quavern {

// What the window shows of one drive.
struct DriveState {
  enum class Kind {
    kStarting,  // the worker starts, or looks at the drive
    kEmpty,     // no disc
    kDisc,      // a disc is in and can be ripped
    kRipping,   // a disc is being ripped
    kStopping,  // a stop was asked and the rip is ending
    kDone,      // the last disc was ripped whole
    kFailed,    // the last disc failed, or the drive's worker ended
    kStopped,   // the last disc's rip was stopped
  };
  Kind kind = Kind::kStarting;
  std::string text;    // the state in words: "Track 2 of 10 · 45% · 8.1x"
  std::string detail;  // the disc ("Artist/Album") or how its rip ended; "" none
  int percent = -1;   // of the track being ripped; -1 none
  bool canRip = false;
  bool canStop = false;
  bool operator==(const DriveState&) const = default;
};

class DriveWorker : public QObject {
  Q_OBJECT

 public:
  // `program` and `arguments` start the worker; `onChange` is called (on
  // the GUI thread) after every change of state(); `shouldRip` is asked
  // whether a disc just inserted is ripped at once (rip on insert).
  DriveWorker(QString program, QStringList arguments, std::function<void()> onChange,
              std::function<bool()> shouldRip, QObject* parent = nullptr);
  // Ends the worker by force when it still runs (stopNow() first for a
  // clean end).
  ~DriveWorker() override;

  void start();
  const DriveState& state() const { return state_; }
  bool running() const { return process_.state() != QProcess::NotRunning; }
  qint64 processId() const { return process_.processId(); }
  // Rips the disc that is in (the panel's "Rip"); a worker that ended is
  // started again and rips the disc it finds.
  void rip();
  // Stops the rip under way (the panel's "Stop"); the worker then waits
  // for the next disc. A rip that has not ended `patience` later is ended
  // by force, with its drive's worker.
  void stopRip(std::chrono::milliseconds patience = std::chrono::seconds(10));
  // The window closes: the worker is told to end and interrupted.
  void askToEnd();
  // The worker ends once the rip under way is done.
  void endAfterRip();
  // Waits up to `until` for the worker to end; then ends it by force (its
  // half-written file removed). True when it ended by itself.
  bool finish(std::chrono::steady_clock::time_point until);

 private:
  void readLines();
  void handle(const std::string& line);
  void ended(int code, QProcess::ExitStatus status);
  void interrupt();
  void kill();
  void removePartial();
  void say(const std::string& word);
  void changed();

  QProcess process_;
  QString program_;
  QStringList arguments_;
  std::function<void()> onChange_;
  std::function<bool()> shouldRip_;
  DriveState state_;
  QByteArray incoming_;
  std::string stderrTail_;   // the worker's last error line
  std::string partialFile_;  // the file the worker writes now; "" none
  QTimer patience_;          // a stop that takes too long ends the worker
  bool sawEmpty_ = false;    // since the last ready disc: the next one counts as inserted
  bool ripWhenReady_ = false;
  bool interrupted_ = false;  // one interrupt per rip: a second would end the worker at once
  bool ending_ = false;
  bool restart_ = false;      // a stopped rip ended the worker: it is started again
  std::string disc_;          // the disc being ripped, as its folder is named
  std::string lastResult_;    // how the last disc's rip ended, for the detail line
};

}  // namespace quavern
