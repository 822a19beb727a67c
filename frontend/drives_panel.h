// The main window's "Drives" column, shown beside the face when the machine
// has more than one drive: one card per drive with its letter and name,
// its state in words ("No disc", "A disc is in", "Track 2 of 10 · 45% ·
// 8.1x", "Ripped", "Failed"), the track's progress, how its last disc
// ended, and one button, "Rip" or "Stop". The window's own drive is one of
// the cards ("In the track list"); its button is the window's Rip CD and
// Stop. Every part has a name a screen reader says ("Drive F: Track 2 of
// 10 · 45%", "Stop drive F:"), and the buttons take the keyboard focus.
// The panel only shows: DriveStation (and the window, for its own drive)
// decide.
#pragma once

#include <QFrame>

#include <functional>
#include <string>
#include <vector>

#include "frontend/drive_station.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace quavern {

class DrivesPanel : public QFrame, public DriveStationView {
  Q_OBJECT

 public:
  explicit DrivesPanel(QWidget* parent = nullptr);

  // The buttons' requests, by drive index (from 0).
  std::function<void(int)> onRip;
  std::function<void(int)> onStop;

  // DriveStationView: hidden with fewer than two drives.
  void showDrives(const std::vector<std::string>& drives, int windowDrive) override;
  void showDriveState(int drive, const DriveState& state) override;
  // The window's own drive, as its batch goes.
  void showWindowDriveState(const DriveState& state);
  // Face units to pixels.
  void setScale(double scale);

 private:
  struct Card {
    QFrame* frame = nullptr;
    QLabel* letter = nullptr;
    QLabel* name = nullptr;
    QLabel* state = nullptr;
    QLabel* detail = nullptr;
    QProgressBar* bar = nullptr;
    QPushButton* button = nullptr;
    std::string driveName;  // "F:"
    DriveState shown;
    bool stopping = false;  // the button says Stop
  };
  void apply(Card& card, const DriveState& state);

  QVBoxLayout* list_ = nullptr;
  QLabel* header_ = nullptr;
  std::vector<Card> cards_;
  int windowDrive_ = -1;
  double scale_ = 1.0;
};

}  // namespace quavern
