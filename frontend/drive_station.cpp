#include "frontend/drive_station.h"

#include <filesystem>

#include "client/accuraterip_lookup.h"
#include "client/audio_formats.h"
#include "client/musicbrainz_settings.h"
#include "components/trackmill2.h"
#include "frontend/disc_controller.h"
#include "frontend/format_settings.h"
#include "frontend/settings/settings_store.h"
#include "frontend/verified_steps.h"
#include "platform/home/install_layout.h"

namespace quavern {

namespace {

// The naming of a disc ripped by a worker when [basic] "naming" sets none:
// each disc its own folder, as `ripmarrow watch` names them.
constexpr const char* kWorkerNaming = "%A/%D/%N %T";

QString q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

QStringList workerArguments(const SettingsStore& settings, int index) {
  QStringList a{"watch", "--drive", QString::number(index + 1)};
  a << "--out" << q(settings.readText("basic", "output directory", defaults::musicFolder()));
  const client::AudioFormat format = formatAtBoxIndex(settings.readInt("basic", "format", 0));
  a << "--format" << client::FormatInfo(format).name;
  if (format == client::AudioFormat::kFlac) a << "--flac-level" << QString::number(readFlacCompressionLevel(settings));
  // The encoders' settings from this program's own file, read by the worker
  // with the same reader the window's batch uses.
  if (format != client::AudioFormat::kWav) a << "--encoder-settings" << q(settings.path());
  static const char* const kModes[] = {"burst", "synch", "secure", "paranoid", "verified"};
  a << "--mode" << kModes[grabModeSetting(settings)];
  if (const int retries = settings.readInt("cd", "error retry", 5); retries >= 0 && retries <= 254)
    a << "--retries" << QString::number(retries);
  if (const int speed = settings.readInt("cd", "drive speed", 32); speed >= 1 && speed <= 64)
    a << "--speed" << QString::number(speed);
  static const char* const kActions[] = {"stop", "silence", "cut", "correct"};
  if (const int action = settings.readInt("cd", "error action", 3); action >= 0 && action <= 3)
    a << "--on-error" << kActions[action];
  // The window's title sources ([cddb] "cd source"); the best-ranked
  // release is taken, since nobody is asked.
  const int source = settings.readInt("cddb", "cd source", ALL);
  a << "--titles" << (source == CDPLAYERINI ? "local" : source == ONLINEDATABASE ? "online" : "all");
  if (const std::string email = settings.readText("cddb", "email", ""); !email.empty()) a << "--email" << q(email);
  // The window's CDDB server, unless the environment turns the server off
  // for this run (a server named on the command line would be asked even then).
  if (!client::CddbServerOffByEnvironment()) {
    const std::string server = settings.readText("cddb", "cddb server", defaults::kCddbServer);
    const int port = parseCddbPort(settings.readText("cddb", "port", defaults::kCddbPort));
    if (!server.empty()) a << "--cddb-server" << q(port > 0 ? server + ":" + std::to_string(port) : server);
  }
  if (const int ms = settings.readInt("cddb", "time out", defaults::kLookupTimeOutMs); ms >= 1 && ms <= 999999)
    a << "--cddb-timeout" << QString::number(ms);
  std::string naming = settings.readText("basic", "naming", "");
  a << "--naming" << q(naming.empty() ? kWorkerNaming : naming);
  a << "--accuraterip-server" << q(settings.readText("accuraterip", "server", client::DefaultAccurateRipServer()));
  a << "--ctdb-server" << q(ctdbServerText(settings));
  if (settings.readBool("replaygain", "enabled", true)) a << "--replaygain";
  if (settings.readBool("cd", "test and copy", false)) a << "--verify";
  if (settings.readBool("cd", "eject when done", false)) a << "--eject";
  return a;
}

QString ripmarrowProgram() {
  // Installed, the two programs share bin/; in the build tree each stays in
  // its folder one level below the top (cmake/RipmarrowInstall.cmake).
  std::error_code ec;
  const std::filesystem::path beside = platform::home::programFolder() / "ripmarrow";
  if (std::filesystem::is_regular_file(beside, ec)) return q(beside.string());
  return q((platform::home::installPrefix() / "ripmarrow" / "ripmarrow").string());
}

DriveStation::DriveStation(SettingsStore& settings, DriveStationView& view, QString program)
    : settings_(settings), view_(view), program_(std::move(program)) {}

DriveStation::~DriveStation() { closeAll(std::chrono::milliseconds(0)); }

void DriveStation::startUp(const std::vector<std::string>& drives, int windowDrive) {
  drives_ = drives;
  windowDrive_ = windowDrive;
  workers_.clear();
  workers_.resize(drives.size());
  view_.showDrives(drives_, windowDrive_);
  if (drives.size() < 2) return;
  for (int d = 0; d < static_cast<int>(drives.size()); ++d) {
    if (d != windowDrive_) startWorker(d);
  }
}

void DriveStation::startWorker(int drive) {
  auto worker = std::make_unique<DriveWorker>(
      program_, workerArguments(settings_, drive), [this, drive] { workerChanged(drive); },
      [this] { return settings_.readBool("cd", "rip on insert", false); });
  DriveWorker* started = worker.get();
  workers_[static_cast<size_t>(drive)] = std::move(worker);
  started->start();
}

void DriveStation::workerChanged(int drive) {
  const auto d = static_cast<size_t>(drive);
  if (d < workers_.size() && workers_[d]) view_.showDriveState(drive, workers_[d]->state());
}

void DriveStation::setWindowDrive(int windowDrive) {
  if (closed_ || windowDrive == windowDrive_ || windowDrive < 0 || windowDrive >= static_cast<int>(drives_.size()))
    return;
  const int left = windowDrive_;
  windowDrive_ = windowDrive;
  if (std::unique_ptr<DriveWorker>& taken = workers_[static_cast<size_t>(windowDrive)]) {
    // Its rip, if one runs, goes on to its end unseen; then the worker ends.
    const auto kind = taken->state().kind;
    if (taken->running() && (kind == DriveState::Kind::kRipping || kind == DriveState::Kind::kStopping)) {
      taken->endAfterRip();
      retiring_.push_back(std::move(taken));
    } else {
      taken->askToEnd();
      taken->finish(std::chrono::steady_clock::now() + std::chrono::seconds(2));
      taken.reset();
    }
  }
  view_.showDrives(drives_, windowDrive_);
  if (drives_.size() >= 2) startWorker(left);
  for (int d = 0; d < static_cast<int>(drives_.size()); ++d) workerChanged(d);
}

void DriveStation::rip(int drive) {
  const auto d = static_cast<size_t>(drive);
  if (!closed_ && d < workers_.size() && workers_[d]) workers_[d]->rip();
}

void DriveStation::stopRip(int drive) {
  const auto d = static_cast<size_t>(drive);
  if (d < workers_.size() && workers_[d]) workers_[d]->stopRip();
}

void DriveStation::closeAll(std::chrono::milliseconds grace) {
  if (closed_) return;
  closed_ = true;
  std::vector<DriveWorker*> all;
  for (auto& w : workers_)
    if (w) all.push_back(w.get());
  for (auto& w : retiring_) all.push_back(w.get());
  for (DriveWorker* w : all) w->askToEnd();
  // All at once: each worker stops its own rip while the others do.
  const auto until = std::chrono::steady_clock::now() + grace;
  for (DriveWorker* w : all) w->finish(until);
  workers_.clear();
  retiring_.clear();
}

const DriveState* DriveStation::state(int drive) const {
  const auto d = static_cast<size_t>(drive);
  return d < workers_.size() && workers_[d] ? &workers_[d]->state() : nullptr;
}

qint64 DriveStation::workerProcess(int drive) const {
  const auto d = static_cast<size_t>(drive);
  return d < workers_.size() && workers_[d] && workers_[d]->running() ? workers_[d]->processId() : 0;
}

bool DriveStation::ripping() const {
  for (const auto& w : workers_) {
    if (w && (w->state().kind == DriveState::Kind::kRipping || w->state().kind == DriveState::Kind::kStopping))
      return true;
  }
  return false;
}

}  // namespace quavern
