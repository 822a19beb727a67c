// Several drives at once in the desktop program. The main window's own
// drive keeps the in-process batch (RipBatch, over the window's engine
// object). Every other drive is ripped by a worker process of its own
// (DriveWorker: `ripmarrow watch --drive N` as its worker), because the
// engine's SCSI transport and drive handles are process-wide and each rip
// reloads the transport (engine/device/transport.h): two engine objects in
// one process would unload each other's transport. A drive that hangs
// stalls only its worker.
//
// The workers rip as the window would, unattended: the window's format,
// grab mode, retries, speed, error action, test and copy, ReplayGain,
// AccurateRip, CUETools and CDDB servers (the CDDB port, time-out and
// e-mail address too) and title source, the best-ranked
// release when several name the disc, " (2)" for names that exist, no box
// and no folder opened, the disc ejected when [cd] "eject when done" says so
// (a disc that failed is ejected anyway). Each disc gets a folder of its own
// under the output folder, by the naming template ([basic] "naming", else
// "%A/%D/%N %T"), with its ripmarrow.log. MP3, OGG, WMA and FLAC take the
// window's encoder settings: the worker reads quavern.ini's encoder sections
// (--encoder-settings) with the reader the window's batch uses.
//
// With [cd] "rip on insert" a disc put into any drive while the program
// runs is ripped at once; a disc that was in at the start, or any disc when
// the setting is off, waits for the Drives panel's "Rip". Closing the window
// interrupts every worker (each keeps its whole files and writes its log
// with the stopped track marked) and waits a few seconds at most; a worker
// still running then is ended by force and its half-written file removed.
// GUI thread only.
#pragma once

#include <QString>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "frontend/drive_worker.h"

namespace quavern {

class SettingsStore;

// What the station needs of the window.
class DriveStationView {
 public:
  virtual ~DriveStationView() = default;
  // The drives as the drive box lists them ("(E:\)NAME"), and which one the
  // window shows; the view lists them when there is more than one.
  virtual void showDrives(const std::vector<std::string>& drives, int windowDrive) = 0;
  // The state of a drive the window does not show.
  virtual void showDriveState(int drive, const DriveState& state) = 0;
};

// The worker's command line for drive `index` (from 0) by the settings:
// "watch --drive N --out … --format … --mode … …".
QStringList workerArguments(const SettingsStore& settings, int index);
// The command-line program beside this one (the install layout's bin/).
QString ripmarrowProgram();

class DriveStation {
 public:
  DriveStation(SettingsStore& settings, DriveStationView& view, QString program = ripmarrowProgram());
  ~DriveStation();

  // The engine's drives and the window's; a worker starts for every other
  // drive (none when there is one drive).
  void startUp(const std::vector<std::string>& drives, int windowDrive);
  // The window moved to another drive: that drive's worker ends (once its
  // rip is done), and the drive it left gets one.
  void setWindowDrive(int windowDrive);
  int windowDrive() const { return windowDrive_; }
  // The Drives panel's buttons.
  void rip(int drive);
  void stopRip(int drive);
  // The window closes: every worker is interrupted and given until `grace`
  // has passed to end; the others are ended by force.
  void closeAll(std::chrono::milliseconds grace = std::chrono::seconds(4));
  // A drive's state; nullptr for the window's drive or one without a worker.
  const DriveState* state(int drive) const;
  // The process id of a drive's worker; 0 when none runs.
  qint64 workerProcess(int drive) const;
  // Some worker rips a disc.
  bool ripping() const;

 private:
  void startWorker(int drive);
  void workerChanged(int drive);

  SettingsStore& settings_;
  DriveStationView& view_;
  QString program_;
  std::vector<std::string> drives_;
  int windowDrive_ = 0;
  // By drive; null for the window's drive. A worker whose drive the window
  // took keeps running until its rip is done (retiring_).
  std::vector<std::unique_ptr<DriveWorker>> workers_;
  std::vector<std::unique_ptr<DriveWorker>> retiring_;
  bool closed_ = false;
};

}  // namespace quavern
