#include "ripmarrow/watch_command.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "client/engine_session.h"
#include "client/naming_template.h"
#include "client/verified_mode.h"
#include "ripmarrow/rip_run.h"

extern char** environ;

namespace ripmarrow {
namespace {

constexpr const char* kWorkerVariable = "RIPMARROW_WATCH_WORKER";
// How often an empty drive is looked at; a disc counts once seen twice in a
// row, so one that is put in and taken out again at once is not ripped.
constexpr int kPollMs = 700;

std::vector<std::string>& programArguments() {
  static std::vector<std::string> arguments;
  return arguments;
}

// --- The worker: one drive ------------------------------------------------

volatile sig_atomic_t gWorkerInterrupted = 0;
void onWorkerInterrupt(int) { gWorkerInterrupted = 1; }

// The worker's lines to the parent, on the descriptor that was its stdout.
class ParentLink {
 public:
  explicit ParentLink(int reportFd) : fd_(reportFd) {}
  void send(std::string line) {
    for (char& c : line)
      if (c == '\n' || c == '\r') c = ' ';
    line += '\n';
    for (size_t at = 0; at < line.size();) {
      const ssize_t n = ::write(fd_, line.data() + at, line.size() - at);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;  // the parent is gone: its stop reaches us as end of input
      at += static_cast<size_t>(n);
    }
  }
  // Waits up to `waitMs` for the parent's word: "go", or "stop" (also the
  // end of input). kNone when nothing came (or Ctrl-C cut the wait short).
  enum class Word { kNone, kGo, kStop };
  Word listen(int waitMs) {
    if (stopped_) return Word::kStop;
    if (pending_.find('\n') == std::string::npos) {  // else a word came with the last one
      pollfd p{STDIN_FILENO, POLLIN, 0};
      if (::poll(&p, 1, waitMs) <= 0) return Word::kNone;
      char buffer[64];
      const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) return Word::kNone;
      if (n <= 0) {
        stopped_ = true;
        return Word::kStop;
      }
      pending_.append(buffer, static_cast<size_t>(n));
    }
    const size_t end = pending_.find('\n');
    if (end == std::string::npos) return Word::kNone;
    const std::string word = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    if (word == "go") return Word::kGo;
    stopped_ = true;
    return Word::kStop;
  }

 private:
  int fd_;
  std::string pending_;
  bool stopped_ = false;
};

// The lines RipRun writes, read as they come: the state line follows the
// tracks and their percentages, and the failure's reason is kept.
class RipOutput final : public std::streambuf {
 public:
  explicit RipOutput(std::function<void(const std::string&)> onLine) : onLine_(std::move(onLine)) {}

 protected:
  int overflow(int c) override {
    if (c == traits_type::eof()) return 0;
    if (c == '\n') {
      onLine_(line_);
      line_.clear();
    } else if (c != '\r') {
      line_ += static_cast<char>(c);
    }
    return c;
  }

 private:
  std::function<void(const std::string&)> onLine_;
  std::string line_;
};

bool startsWith(const std::string& text, std::string_view head) { return text.compare(0, head.size(), head) == 0; }

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first);
}

// A Ctrl-C (or the desktop program's stop) that came while the rip was
// still looking up titles reached this worker's handler, not the rip's: it
// is passed on as soon as the rip's own handler is in place, so that the rip
// stops at its first track instead of ripping the whole disc.
void forwardEarlyInterrupt() {
  static bool forwarded = false;
  if (!gWorkerInterrupted || forwarded) return;
  struct sigaction current {};
  sigaction(SIGINT, nullptr, &current);
  if (current.sa_handler == onWorkerInterrupt) return;  // the rip's handler is not in place yet
  forwarded = true;
  ::raise(SIGINT);
}

// "progress I M PERCENT SPEED": the track under way (I of M), its
// percentage and the read speed so far (audio seconds per second), at most
// five times a second.
class TrackProgress {
 public:
  TrackProgress(IAudioCDRipper2* engine, ParentLink& parent) : engine_(engine), parent_(parent) {}
  void begin(long index, long count) {
    index_ = index;
    count_ = count;
    again();
  }
  // The same track read once more (the verified mode's secure re-read).
  void again() {
    samples_ = -1;
    sent_ = -1;
    began_ = std::chrono::steady_clock::now();
  }
  void show(LONG percent) {
    if (index_ <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (percent == sent_ || (percent < 100 && sent_ >= 0 && now - sentAt_ < std::chrono::milliseconds(200))) return;
    // The engine's track is the one being ripped: its length, once.
    if (samples_ < 0) {
      LONG samples = 0;
      samples_ = SUCCEEDED(engine_->get_trackSamples(&samples)) ? samples : 0;
    }
    const double seconds = std::chrono::duration<double>(now - began_).count();
    const double speed = samples_ > 0 && seconds > 0.1 ? samples_ / 44100.0 * percent / 100.0 / seconds : 0.0;
    char line[96];
    std::snprintf(line, sizeof line, "progress %ld %ld %d %.1f", index_, count_, static_cast<int>(percent), speed);
    parent_.send(line);
    sent_ = percent;
    sentAt_ = now;
  }

 private:
  IAudioCDRipper2* const engine_;
  ParentLink& parent_;
  long index_ = 0;
  long count_ = 0;
  long samples_ = -1;  // -1: not read yet
  LONG sent_ = -1;
  std::chrono::steady_clock::time_point began_;
  std::chrono::steady_clock::time_point sentAt_;
};

class DriveWatch {
 public:
  DriveWatch(IAudioCDRipper2* engine, RipSink& sink, const WatchCommand::Options& options, long drive,
             ParentLink& parent)
      : engine_(engine), sink_(sink), options_(options), drive_(drive), parent_(parent) {}

  int run() {
    for (;;) {
      parent_.send("state waiting for a disc");
      if (const int end = waitForDisc(); end >= 0) return end;
      parent_.send("ready");
      // A parent that holds its answer (the desktop program waits for a
      // click) may see the disc taken out meanwhile: "gone", and the wait
      // for a disc begins again.
      bool gone = false;
      for (auto looked = std::chrono::steady_clock::now();;) {
        if (gWorkerInterrupted) return 130;
        const ParentLink::Word word = parent_.listen(500);
        if (word == ParentLink::Word::kStop) return 0;
        if (word == ParentLink::Word::kGo) break;
        if (std::chrono::steady_clock::now() - looked >= std::chrono::milliseconds(kPollMs)) {
          looked = std::chrono::steady_clock::now();
          if (!discPresent()) {
            gone = true;
            break;
          }
        }
      }
      if (gone) {
        parent_.send("gone");
        continue;
      }
      const int status = ripDisc();
      if (status == 130 || gWorkerInterrupted) return 130;
    }
  }

 private:
  bool discPresent() {
    sink_.reset();
    engine_->put_driveNum(drive_);
    engine_->Refresh();
    LONG tracks = 0;
    engine_->get_trackCount(&tracks);
    return sink_.errors.empty() && tracks > 0;
  }

  // -1 once a disc has settled in the drive; else the worker's end status.
  int waitForDisc() {
    bool seen = false;
    bool saidEmpty = false;
    for (;;) {
      if (gWorkerInterrupted) return 130;
      if (parent_.listen(0) == ParentLink::Word::kStop) return 0;
      const bool present = discPresent();
      if (present && seen) return -1;
      seen = present;
      if (!present && !saidEmpty) {
        parent_.send("empty");
        saidEmpty = true;
      }
      if (parent_.listen(kPollMs) == ParentLink::Word::kStop) return 0;
    }
  }

  // -1 once the disc is out.
  int waitForRemoval() {
    parent_.send("state done: waiting for the disc to be taken out");
    for (;;) {
      if (gWorkerInterrupted) return 130;
      if (parent_.listen(0) == ParentLink::Word::kStop) return 0;
      if (!discPresent()) return -1;
      if (parent_.listen(kPollMs) == ParentLink::Word::kStop) return 0;
    }
  }

  int ripDisc() {
    RipCommand::Options rip = options_.rip;
    rip.unattended = true;  // nobody to choose among releases
    rip.driveNum = drive_;
    rip.preferredLetter = 0;
    std::string name;
    std::string folder = rip.folder;
    std::string file;  // the track's file being written
    std::string current = "starting";
    std::string failure;
    std::string last;
    std::vector<std::string> partial;  // files of tracks stopped half-way: removed at the end
    TrackProgress progress(engine_, parent_);
    sink_.onProgress = [&](LONG percent) { progress.show(percent); };
    RipOutput buffer([&](const std::string& line) {
      forwardEarlyInterrupt();
      if (startsWith(line, "Folder: ")) {
        folder = line.substr(8);
        name = folder.size() > rip.folder.size() && startsWith(folder, rip.folder)
                   ? folder.substr(rip.folder.size() + (rip.folder.back() == '/' ? 0 : 1))
                   : folder;
        parent_.send("log ripping " + name);
      } else if (startsWith(line, "Track ")) {
        current = line.substr(0, line.find(')') == std::string::npos ? line.size() : line.find(')') + 1);
        // "Track 3 (2 of 5): 03 Title.wav"
        long index = 0;
        long count = 0;
        const size_t colon = line.find("): ");
        if (std::sscanf(line.c_str(), "Track %*d (%ld of %ld)", &index, &count) == 2 && colon != std::string::npos) {
          progress.begin(index, count);
          file = (std::filesystem::path(folder) / line.substr(colon + 3)).string();
          parent_.send("file " + file);
        }
      } else if (startsWith(line, "  written: ")) {
        parent_.send("file");
      } else if (trimmed(line) == client::kVerifiedReread) {
        progress.again();
        if (!file.empty()) parent_.send("file " + file);
      } else if (const size_t at = line.find("stopped; partial file "); at != std::string::npos) {
        const std::string rest = line.substr(at + 22);
        partial.push_back(rest.substr(0, rest.rfind(" (")));
      } else if (line.size() >= 4 && startsWith(line, "  ") && line.back() == '%') {
        parent_.send("state ripping " + (name.empty() ? std::string("the disc") : name) + ": " + current + " " +
                     trimmed(line));
      }
      if (line.find("FAILED") != std::string::npos || line.find("not started") != std::string::npos) {
        if (failure.empty()) failure = current + ": " + trimmed(line);
      }
      if (!trimmed(line).empty()) last = trimmed(line);
    });
    std::ostream text(&buffer);
    parent_.send("state ripping");
    const int status = RipRun(engine_, sink_, rip, text, text).run();
    text.flush();
    sink_.onProgress = nullptr;
    // A stop keeps only whole files: the log names the stopped track, its
    // half is not left beside the others.
    for (const std::string& path : partial) {
      std::error_code ec;
      if (std::filesystem::remove(path, ec)) parent_.send("log removed the partial file " + path);
    }
    parent_.send("file");
    if (name.empty()) name = "the disc in drive " + std::to_string(drive_);
    if (status == 130) {
      parent_.send("done stopped\t" + name + "\tstopped");
      return 130;
    }
    const bool ok = status == 0;
    bool ejected = false;
    if (!ok || options_.eject) {
      parent_.send("state ejecting");
      // Once more after a fresh look at the drive: a drive that failed the
      // rip may have lost its handle.
      for (int attempt = 0; attempt < 2 && !ejected; ++attempt) {
        if (attempt > 0) (void)discPresent();
        sink_.reset();
        ejected = SUCCEEDED(engine_->Eject()) && sink_.errors.empty();
      }
      if (!ejected) parent_.send("log the disc " + name + " could not be ejected");
    }
    parent_.send(std::string("done ") + (ok ? "ok" : "failed") + "\t" + name + "\t" +
                 (ok ? "" : failure.empty() ? last : failure));
    if (!ejected) {
      if (const int end = waitForRemoval(); end >= 0) return end;
    }
    return status;
  }

  IAudioCDRipper2* const engine_;
  RipSink& sink_;
  const WatchCommand::Options& options_;
  const long drive_;
  ParentLink& parent_;
};

int workerMain(const WatchCommand::Options& options) {
  if (options.drives.size() != 1) {
    std::cerr << "ripmarrow watch: a worker watches one drive\n";
    return 2;
  }
  // The parent reads the worker's stdout: only the worker's own lines go
  // there, whatever else might write to stdout.
  const int report = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  const int nothing = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (report < 0 || nothing < 0) return 1;
  ::dup2(nothing, STDOUT_FILENO);
  ::close(nothing);
  ParentLink parent(report);
  setenv("RIPMARROW_AUDIO", "silent", 1);
  struct sigaction action {};
  action.sa_handler = onWorkerInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  const long drive = options.drives.front();
  return client::runInApartment([&] {
    auto sink = com::make<RipSink>();
    std::ostringstream problems;
    client::EngineSession session(sink->identity(), problems);
    if (!session) {
      parent.send("log " + problems.str());
      return 1;
    }
    IAudioCDRipper2* engine = session.engine().get();
    client::putCddbUserEMail(engine, options.rip.email);
    client::putCddbServer(engine, options.rip.cddbServer, options.rip.cddbPort, options.rip.cddbTimeOutMs);
    LONG count = 0;
    engine->get_driveCount(&count);
    int status = 1;
    if (drive > count) {
      parent.send("log there is no drive " + std::to_string(drive));
    } else {
      status = DriveWatch(engine, *sink.get(), options, drive, parent).run();
    }
    session.close(50);
    return status;
  });
}

// --- The station: every drive ---------------------------------------------

int gInterruptPipe[2] = {-1, -1};
void onStationInterrupt(int) {
  const int saved = errno;
  [[maybe_unused]] const ssize_t n = ::write(gInterruptPipe[1], "i", 1);
  errno = saved;
}

struct Worker {
  long drive = 0;
  pid_t pid = -1;
  int toWorker = -1;
  int fromWorker = -1;
  std::string incoming;
  std::string state = "starting";
  bool busy = false;  // granted a disc that is not done yet
  bool ended = false;
};

class Station {
 public:
  Station(const WatchCommand::Options& options, std::vector<long> drives)
      : options_(options), terminal_(isatty(STDOUT_FILENO) != 0) {
    for (const long d : drives) {
      workers_.emplace_back();
      workers_.back().drive = d;
    }
  }

  int run() {
    if (::pipe2(gInterruptPipe, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
    struct sigaction action {};
    action.sa_handler = onStationInterrupt;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    sigaction(SIGINT, &action, &previous);
    signal(SIGPIPE, SIG_IGN);  // a worker that is gone answers EPIPE
    for (Worker& w : workers_) start(w);
    std::cout << "Watching " << workers_.size() << (workers_.size() == 1 ? " drive" : " drives") << " into "
              << options_.rip.folder << (options_.discs > 0 ? " for " + std::to_string(options_.discs) + " discs" : "")
              << "; Ctrl-C ends.\n"
              << std::flush;
    draw();
    loop();
    sigaction(SIGINT, &previous, nullptr);
    ::close(gInterruptPipe[0]);
    ::close(gInterruptPipe[1]);
    return summary();
  }

 private:
  void start(Worker& w) {
    int down[2];
    int up[2];
    if (::pipe2(down, O_CLOEXEC) != 0 || ::pipe2(up, O_CLOEXEC) != 0) {
      w.ended = true;
      return;
    }
    std::vector<std::string> arguments = programArguments();
    if (arguments.empty()) arguments.push_back("ripmarrow");
    arguments.insert(arguments.end(), {"--drive", std::to_string(w.drive)});
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::string marker = std::string(kWorkerVariable) + "=1";
    std::vector<char*> envp;
    for (char** e = environ; *e != nullptr; ++e) envp.push_back(*e);
    envp.push_back(marker.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, down[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, up[1], STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own: Ctrl-C at the terminal reaches the parent only,
    // which passes one interrupt on.
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
    const int failed = posix_spawn(&w.pid, "/proc/self/exe", &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(down[0]);
    ::close(up[1]);
    w.toWorker = down[1];
    w.fromWorker = up[0];
    if (failed != 0) {
      log(w, std::string("cannot start its worker: ") + std::strerror(failed));
      finishWorker(w);
    }
  }

  void tell(Worker& w, const char* word) {
    if (w.toWorker < 0) return;
    const std::string line = std::string(word) + "\n";
    if (::write(w.toWorker, line.data(), line.size()) < 0 || std::string_view(word) == "stop") {
      ::close(w.toWorker);
      w.toWorker = -1;
    }
  }

  void stopAll() {
    stopping_ = true;
    for (Worker& w : workers_) tell(w, "stop");
  }

  void loop() {
    for (;;) {
      std::vector<pollfd> fds{{gInterruptPipe[0], POLLIN, 0}};
      std::vector<Worker*> polled;
      for (Worker& w : workers_) {
        if (w.ended) continue;
        fds.push_back({w.fromWorker, POLLIN, 0});
        polled.push_back(&w);
      }
      if (polled.empty()) return;
      if (::poll(fds.data(), fds.size(), 1000) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[0].revents & POLLIN) interrupt();
      for (size_t i = 0; i < polled.size(); ++i) {
        if (fds[i + 1].revents & (POLLIN | POLLHUP | POLLERR)) receive(*polled[i]);
      }
    }
  }

  void interrupt() {
    char drain[16];
    while (::read(gInterruptPipe[0], drain, sizeof drain) > 0) ++interrupts_;
    stopping_ = true;
    // The first Ctrl-C stops every rip cleanly; another one ends the workers at once.
    for (Worker& w : workers_) {
      if (!w.ended) ::kill(w.pid, interrupts_ == 1 ? SIGINT : SIGKILL);
    }
  }

  void receive(Worker& w) {
    char buffer[4096];
    const ssize_t n = ::read(w.fromWorker, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) return;
    if (n <= 0) {
      finishWorker(w);
      return;
    }
    w.incoming.append(buffer, static_cast<size_t>(n));
    for (size_t end; (end = w.incoming.find('\n')) != std::string::npos;) {
      const std::string line = w.incoming.substr(0, end);
      w.incoming.erase(0, end + 1);
      handle(w, line);
    }
  }

  void handle(Worker& w, const std::string& line) {
    if (startsWith(line, "state ")) {
      w.state = line.substr(6);
      draw();
    } else if (startsWith(line, "log ")) {
      log(w, line.substr(4));
    } else if (line == "gone") {
      // The disc went before our "go" reached the worker: not granted.
      if (w.busy) {
        w.busy = false;
        --granted_;
      }
    } else if (line == "ready") {
      if (!stopping_ && (options_.discs == 0 || granted_ < options_.discs)) {
        ++granted_;
        w.busy = true;
        tell(w, "go");
      } else {
        tell(w, "stop");
      }
    } else if (startsWith(line, "done ")) {
      std::vector<std::string> fields;
      std::stringstream in(line.substr(5));
      for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
      fields.resize(3);
      w.busy = false;
      if (fields[0] == "ok") {
        ++ripped_;
        log(w, fields[1] + " ripped");
      } else if (fields[0] == "failed") {
        failures_.push_back("drive " + std::to_string(w.drive) + ": " + fields[1] + ": " + fields[2]);
        log(w, "FAILED " + fields[1] + ": " + fields[2]);
      } else {
        log(w, fields[1] + " stopped");
      }
      if (fields[0] != "stopped") ++done_;
      if (options_.discs > 0 && done_ >= options_.discs) stopAll();
    }
  }

  void finishWorker(Worker& w) {
    if (w.fromWorker >= 0) ::close(w.fromWorker);
    if (w.toWorker >= 0) ::close(w.toWorker);
    w.fromWorker = w.toWorker = -1;
    int status = 0;
    if (w.pid > 0) {
      while (::waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
      }
    }
    w.ended = true;
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (w.busy) {
      // Its disc never came to an end: it counts as failed.
      w.busy = false;
      failures_.push_back("drive " + std::to_string(w.drive) + ": the disc being ripped: the worker ended with status " +
                          std::to_string(code));
      ++done_;
      if (options_.discs > 0 && done_ >= options_.discs) stopAll();
    } else if (!stopping_) {
      ++lost_;
      log(w, "no longer watched (status " + std::to_string(code) + ")");
    }
    w.state = "stopped";
    draw();
  }

  std::string stateLine(const Worker& w) const {
    std::string line = "drive " + std::to_string(w.drive) + ": " + w.state;
    if (line.size() > 160) line.resize(160);
    return line;
  }

  // The state lines stand below everything said, one per drive, redrawn in place.
  void draw() {
    if (!terminal_) return;
    if (drawn_ > 0) std::cout << "\x1b[" << drawn_ << "F";
    for (const Worker& w : workers_) std::cout << "\x1b[2K" << stateLine(w) << "\n";
    drawn_ = workers_.size();
    std::cout << std::flush;
  }

  void log(const Worker& w, const std::string& text) {
    if (terminal_ && drawn_ > 0) std::cout << "\x1b[" << drawn_ << "F\x1b[J";
    drawn_ = 0;
    std::cout << "drive " << w.drive << ": " << text << "\n";
    draw();
    std::cout << std::flush;
  }

  int summary() {
    std::cout << "watch: " << ripped_ << (ripped_ == 1 ? " disc" : " discs") << " ripped, " << failures_.size()
              << " failed" << (interrupts_ > 0 ? " (stopped)" : "") << "\n";
    for (const std::string& f : failures_) std::cout << "  failed: " << f << "\n";
    std::cout << std::flush;
    if (interrupts_ > 0) return 130;
    if (!failures_.empty()) return 1;
    // Without --discs only Ctrl-C ends a station that still watches a drive.
    return lost_ == workers_.size() || (options_.discs > 0 && done_ < options_.discs) ? 1 : 0;
  }

  const WatchCommand::Options& options_;
  const bool terminal_;
  std::vector<Worker> workers_;
  size_t drawn_ = 0;
  long granted_ = 0;
  long done_ = 0;  // discs that came to an end, failed ones included
  long ripped_ = 0;
  size_t lost_ = 0;
  int interrupts_ = 0;
  bool stopping_ = false;
  std::vector<std::string> failures_;
};

// The drives to watch: those named, or every drive the engine lists.
std::vector<long> drivesToWatch(const WatchCommand::Options& options) {
  LONG count = 0;
  client::runInApartment([&] {
    auto sink = com::make<RipSink>();
    client::EngineSession session(sink->identity(), std::cerr);
    if (session) session.engine()->get_driveCount(&count);
    return 0;
  });
  std::vector<long> drives;
  if (options.drives.empty()) {
    for (long d = 1; d <= count; ++d) drives.push_back(d);
    if (drives.empty()) std::cerr << "No CD drive found.\n";
    return drives;
  }
  for (const long d : options.drives) {
    if (d > count) {
      std::cerr << "No drive " << d << ".\n";
      return {};
    }
  }
  return options.drives;
}

}  // namespace

// The station rips unattended, so it takes the surest mode that stays
// fast: verified (burst, the databases asked, secure re-reads of what no
// database confirms).
void SetWatchDefaultMode(RipCommand::Options& rip) {
  rip.mode = BURST;
  rip.verified = true;
}

void WatchCommand::keepArguments(int argc, char** argv) { programArguments().assign(argv, argv + argc); }

int WatchCommand::main(const Options& options) {
  const char* worker = std::getenv(kWorkerVariable);
  if (worker != nullptr && *worker != '\0') return workerMain(options);
  const std::vector<long> drives = drivesToWatch(options);
  if (drives.empty()) return 1;
  return Station(options, drives).run();
}

CommandEntry WatchCommand::tableEntry(CommandDecl<RipCommand::Options> rip) {
  using O = Options;
  static const std::string modeHelp =
      "the rip mode (default verified: burst, and secure for tracks no database confirms)";
  CommandDecl<O> decl{
      .name = "watch",
      .help = "rip each disc as it is inserted, every drive at once, until Ctrl-C or --discs N",
      .options =
          {
              {"--drive", "N|all", "the drive to watch (default all)",
               [](O& o, std::string_view v) {
                 if (v == "all") {
                   o.drives.clear();
                   return true;
                 }
                 long drive = 0;
                 if (!parseNumber(v, 1, 99, drive)) return false;
                 o.drives = {drive};
                 return true;
               }},
          },
  };
  for (const BoundOption<RipCommand::Options>& option : rip.options) {
    // One disc after another: all of its tracks, each drive with its own offset.
    if (option.name == "--tracks" || option.name == "--offset") continue;
    decl.options.push_back({option.name, option.value, option.name == "--mode" ? std::string_view(modeHelp) : option.help,
                            [set = option.set](O& o, std::string_view v) { return set(o.rip, v); }});
  }
  decl.options.push_back({"--eject", "", "eject each disc when done (a failed disc is ejected anyway)",
                          [](O& o, std::string_view) {
                            o.eject = true;
                            return true;
                          }});
  decl.options.push_back({"--discs", "N", "end after N discs (status 0, or 1 when one failed)",
                          [](O& o, std::string_view v) { return parseNumber(v, 1, 999999, o.discs); }});
  decl.finish = [finish = rip.finish](O& o, const std::vector<std::string_view>& words) {
    return finish ? finish(o.rip, words) : std::string();
  };
  decl.defaults = [] {
    O o;
    SetWatchDefaultMode(o.rip);
    o.rip.naming = std::string(kDefaultNaming);
    return o;
  };
  decl.run = [](const O& o) { return main(o); };
  return command(std::move(decl));
}

}  // namespace ripmarrow
