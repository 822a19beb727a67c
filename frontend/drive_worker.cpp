#include "frontend/drive_worker.h"

#include <signal.h>
#include <sys/prctl.h>

#include <QProcessEnvironment>
#include <QSignalBlocker>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <vector>

namespace quavern {

namespace {

bool startsWith(const std::string& text, std::string_view head) { return text.compare(0, head.size(), head) == 0; }

std::vector<std::string> tabFields(const std::string& text, size_t count) {
  std::vector<std::string> fields;
  std::stringstream in(text);
  for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
  fields.resize(count);
  return fields;
}

}  // namespace

DriveWorker::DriveWorker(QString program, QStringList arguments, std::function<void()> onChange,
                         std::function<bool()> shouldRip, QObject* parent)
    : QObject(parent),
      program_(std::move(program)),
      arguments_(std::move(arguments)),
      onChange_(std::move(onChange)),
      shouldRip_(std::move(shouldRip)) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("RIPMARROW_WATCH_WORKER", "1");
  process_.setProcessEnvironment(environment);
  process_.setProcessChannelMode(QProcess::SeparateChannels);
  // Should this program end without stopping it (a crash), the worker is
  // interrupted as at a close: its rip stops cleanly instead of running on.
  process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGINT); });
  connect(&process_, &QProcess::readyReadStandardOutput, this, &DriveWorker::readLines);
  connect(&process_, &QProcess::readyReadStandardError, this, [this] {
    // The last line that says what is wrong: a refused command line ends
    // with its usage and where its help is.
    for (const QByteArray& raw : process_.readAllStandardError().split('\n')) {
      const QByteArray line = raw.trimmed();
      if (!line.isEmpty() && !line.startsWith("usage: ") && !line.startsWith("See 'ripmarrow")) {
        stderrTail_ = line.toStdString();
      }
    }
  });
  connect(&process_, &QProcess::finished, this, &DriveWorker::ended);
  connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) ended(-1, QProcess::CrashExit);
  });
  patience_.setSingleShot(true);
  connect(&patience_, &QTimer::timeout, this, [this] {
    if (running()) kill();
  });
}

DriveWorker::~DriveWorker() {
  process_.disconnect(this);
  if (running()) {
    ::kill(static_cast<pid_t>(process_.processId()), SIGKILL);
    process_.waitForFinished(1000);
    removePartial();
  }
}

void DriveWorker::start() {
  if (running()) return;
  interrupted_ = false;
  sawEmpty_ = false;
  incoming_.clear();
  stderrTail_.clear();  // a complaint of an earlier worker is not this one's
  if (state_.kind != DriveState::Kind::kFailed && state_.kind != DriveState::Kind::kStopped &&
      state_.kind != DriveState::Kind::kDone) {
    state_ = {};
    state_.text = "Looking at the drive\u2026";
  }
  process_.start(program_, arguments_);
  changed();
}

void DriveWorker::rip() {
  if (ending_) return;
  if (!running()) {
    ripWhenReady_ = true;
    start();
    return;
  }
  if (state_.kind != DriveState::Kind::kDisc) return;
  say("go");
  state_.kind = DriveState::Kind::kRipping;
  state_.text = "Starting the rip\u2026";
  state_.percent = 0;
  state_.canRip = false;
  state_.canStop = true;
  disc_.clear();
  changed();
}

void DriveWorker::stopRip(std::chrono::milliseconds patience) {
  if (state_.kind != DriveState::Kind::kRipping) return;
  state_.kind = DriveState::Kind::kStopping;
  state_.text = "Stopping\u2026";
  state_.canStop = false;
  restart_ = true;  // an interrupted worker ends once its rip has: it watches the drive again
  interrupt();
  patience_.start(static_cast<int>(patience.count()));
  changed();
}

void DriveWorker::askToEnd() {
  ending_ = true;
  restart_ = false;
  if (!running()) return;
  say("stop");
  process_.closeWriteChannel();
  interrupt();
  if (state_.kind == DriveState::Kind::kRipping) {
    state_.kind = DriveState::Kind::kStopping;
    state_.text = "Stopping\u2026";
    state_.canStop = false;
    changed();
  }
}

void DriveWorker::endAfterRip() {
  ending_ = true;
  restart_ = false;
  say("stop");  // read once the rip is done
  process_.closeWriteChannel();
}

bool DriveWorker::finish(std::chrono::steady_clock::time_point until) {
  if (!running()) return true;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
  if (process_.waitForFinished(static_cast<int>(std::max<long long>(left.count(), 0)))) {
    readLines();
    return true;
  }
  kill();
  return false;
}

void DriveWorker::interrupt() {
  if (interrupted_ || !running()) return;
  interrupted_ = true;
  ::kill(static_cast<pid_t>(process_.processId()), SIGINT);
}

void DriveWorker::kill() {
  const bool wasRipping = state_.kind == DriveState::Kind::kRipping || state_.kind == DriveState::Kind::kStopping;
  {
    const QSignalBlocker quiet(&process_);  // its end is told here, not by ended()
    ::kill(static_cast<pid_t>(process_.processId()), SIGKILL);
    process_.waitForFinished(1000);
  }
  restart_ = false;  // ended() is not told of this end: no restart is owed to it
  // The file it was writing is not whole.
  removePartial();
  state_.kind = DriveState::Kind::kFailed;
  state_.text = wasRipping ? "Failed: the rip did not stop" : "Failed: the drive did not answer";
  state_.detail = "its worker was ended";
  state_.percent = -1;
  state_.canStop = false;
  state_.canRip = !ending_;  // "Rip" starts a new worker, should the drive answer again
  lastResult_ = state_.detail;
  changed();
}

void DriveWorker::removePartial() {
  if (partialFile_.empty()) return;
  std::error_code ec;
  std::filesystem::remove(partialFile_, ec);
  partialFile_.clear();
}

void DriveWorker::say(const std::string& word) {
  if (!running()) return;
  const std::string line = word + "\n";
  process_.write(line.data(), static_cast<qint64>(line.size()));
}

void DriveWorker::readLines() {
  incoming_ += process_.readAllStandardOutput();
  for (qsizetype end; (end = incoming_.indexOf('\n')) >= 0;) {
    const std::string line = incoming_.left(end).toStdString();
    incoming_.remove(0, end + 1);
    handle(line);
  }
}

void DriveWorker::handle(const std::string& line) {
  using Kind = DriveState::Kind;
  DriveState& s = state_;
  const bool result = s.kind == Kind::kDone || s.kind == Kind::kFailed || s.kind == Kind::kStopped;
  if (line == "empty") {
    sawEmpty_ = true;
    s = {};
    s.kind = Kind::kEmpty;
    s.text = "No disc";
    s.detail = lastResult_;
  } else if (line == "ready") {
    s = {};
    s.kind = Kind::kDisc;
    s.text = "A disc is in";
    s.detail = lastResult_;
    s.canRip = !ending_;
    // A disc put in while the program runs is ripped at once when the
    // settings say so; one that was in at the start waits for a click.
    const bool inserted = std::exchange(sawEmpty_, false);
    if (!ending_ && (std::exchange(ripWhenReady_, false) || (inserted && shouldRip_ && shouldRip_()))) {
      rip();
      return;
    }
  } else if (line == "gone") {
    s = {};
    s.kind = Kind::kEmpty;
    s.text = "No disc";
    s.detail = lastResult_;
    sawEmpty_ = true;
  } else if (startsWith(line, "progress ")) {
    long index = 0, count = 0;
    int percent = 0;
    double speed = 0;
    if (std::sscanf(line.c_str(), "progress %ld %ld %d %lf", &index, &count, &percent, &speed) != 4) return;
    if (s.kind != Kind::kRipping) return;  // a stop's "Stopping…" stays
    char text[96];
    if (speed >= 0.1) {
      std::snprintf(text, sizeof text, "Track %ld of %ld \u00b7 %d%% \u00b7 %.1fx", index, count, percent, speed);
    } else {
      std::snprintf(text, sizeof text, "Track %ld of %ld \u00b7 %d%%", index, count, percent);
    }
    s.text = text;
    s.percent = percent;
  } else if (startsWith(line, "file")) {
    partialFile_ = line.size() > 5 ? line.substr(5) : std::string();
    return;
  } else if (startsWith(line, "log ripping ")) {
    disc_ = line.substr(12);
    s.detail = disc_;
  } else if (startsWith(line, "state ")) {
    const std::string text = line.substr(6);
    if (text == "ejecting") {
      s.text = "Ejecting\u2026";
      s.percent = -1;
    } else if (text == "waiting for a disc" && !result && s.kind != Kind::kEmpty) {
      s.kind = Kind::kStarting;
      s.text = "Waiting for a disc";
    } else {
      return;
    }
  } else if (startsWith(line, "done ")) {
    const std::vector<std::string> f = tabFields(line.substr(5), 3);
    patience_.stop();
    s = {};
    s.percent = -1;
    const std::string name = disc_.empty() ? f[1] : disc_;
    if (f[0] == "ok") {
      s.kind = Kind::kDone;
      s.text = "Ripped";
      lastResult_ = "Last disc ripped: " + name;
      s.detail = name;
    } else if (f[0] == "failed") {
      s.kind = Kind::kFailed;
      s.text = "Failed";
      s.detail = f[2].empty() ? name : f[2];
      lastResult_ = "Last disc failed: " + s.detail;
    } else {
      s.kind = Kind::kStopped;
      s.text = "Stopped";
      s.detail = name;
      lastResult_ = "Last rip stopped: " + name;
    }
    sawEmpty_ = true;  // the disc that comes next is a new one
  } else {
    return;
  }
  changed();
}

void DriveWorker::ended(int code, QProcess::ExitStatus status) {
  readLines();
  patience_.stop();
  using Kind = DriveState::Kind;
  if (state_.kind == Kind::kRipping || state_.kind == Kind::kStopping) {
    // The worker went without saying how its disc ended: the disc failed.
    removePartial();
    state_ = {};
    state_.kind = Kind::kFailed;
    state_.text = "Failed";
    state_.detail = "the drive's worker ended" +
                    (status == QProcess::CrashExit ? std::string(" abruptly") : " with status " + std::to_string(code)) +
                    (stderrTail_.empty() ? "" : ": " + stderrTail_);
    lastResult_ = state_.detail;
  } else if (!ending_ && !restart_) {
    state_ = {};
    state_.kind = Kind::kFailed;
    state_.text = "Not watched";
    state_.detail = code < 0 ? "the ripmarrow program could not be started"
                             : "the drive's worker ended" + (stderrTail_.empty() ? "" : ": " + stderrTail_);
  }
  state_.canStop = false;
  state_.canRip = !ending_ && state_.kind == Kind::kFailed;  // "Rip" starts the worker again
  if (std::exchange(restart_, false) && !ending_) {
    start();
    return;
  }
  changed();
}

void DriveWorker::changed() {
  if (onChange_) onChange_();
}

}  // namespace quavern
