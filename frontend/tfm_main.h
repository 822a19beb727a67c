// Tfm_main, the program's main window: the track list, the menus, the
// skinned face and the bottom controls. It wires widgets to handlers named
// as the control plus the event; what the disc, the lookup and playback do
// is decided by DiscController, what a rip batch does by RipBatch. The
// program object (QuavernProgram) owns the engine link, the CurrentTags and
// both controllers, and hands them over; the window keeps its help and crash
// handling.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <memory>

#include "frontend/current_tags.h"
#include "frontend/disc_controller.h"
#include "frontend/drive_station.h"
#include "frontend/engine_link.h"
#include "frontend/rip_batch.h"
#include "frontend/seams.h"
#include "frontend/tfm_id3.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QTableWidget;

namespace quavern {

class DrivesPanel;
class SkinFace;
class Tfm_about;
class Tfm_converter;
class Tfm_dir;
class Tfm_set;

// The program's other windows, created after the main window in the
// start-up order and living until the program ends.
struct Dialogs {
  Tfm_set* set = nullptr;
  Tfm_about* about = nullptr;
  Tfm_dir* dir = nullptr;
  Tfm_converter* converter = nullptr;
  Tfm_id3* id3 = nullptr;
};

class Tfm_main : public QMainWindow, private DiscView, private RipBatchView, public TrackListEdits {
  Q_OBJECT

 public:
  // `engine` and `tags` outlive the window. The window is not usable before
  // attach().
  Tfm_main(Seams seams, EngineLink& engine, CurrentTags& tags, QWidget* parent = nullptr);
  ~Tfm_main() override;

  // What the controllers see of the window.
  DiscView& discView() { return *this; }
  RipBatchView& ripBatchView() { return *this; }
  // The controllers the program made over this window (they outlive it);
  // the engine is bound here.
  void attach(DiscController& controller, RipBatch& ripBatch);
  void setDialogs(const Dialogs& dialogs) { dialogs_ = dialogs; }
  // The Drives column, and the station that rips the other drives (it
  // outlives the window).
  DriveStationView& drivesView();
  void attachStation(DriveStation& station) { station_ = &station; }

  DiscController& controller() { return *controller_; }
  EngineLink& engine() { return engine_; }
  CurrentTags& currentTags() { return tags_; }
  const Seams& seams() const { return seams_; }
  // Face units to pixels (1 at the reference font).
  double scale() const { return scale_; }

  RipBatch& ripBatch() { return *ripBatch_; }
  // TrackListEdits: the ID3 tag editor's row and its changes to the list.
  int id3Row() const override { return id3Row_; }
  void setRowTitle(int row, const std::string& title) override;
  void setArtistAndAlbumOfAllRows(const std::string& artist, const std::string& album) override;

  // Handlers (public so that tests and the application events reach them).
  void FreeDB1Click();
  void Refresh1Click();
  void RipCD1Click();
  void StopRippingClick();
  void Play1Click();
  void Pause1Click();
  void StopPlayingClick();
  void Exit1Click();
  void Option1Click();
  void ID3Tag1Click();
  void Converter1Click();
  void Content1Click();
  void Website1Click();
  void About1Click();
  void SelectAll1Click();
  void UnselectAll1Click();
  void cb_formatChange(int index);
  void lvDblClick();
  void lvMouseDown();
  void edt_titleExit();
  void SkinClick(const QString& command);
  void AudioCDRipperRipProgress(LONG percent);
  void AudioCDRipperError(LONG code);
  void AudioCDRipperMediaChange();
  void AudioCDRipperEndTrackPlay();
  void ApplicationEventsException();
  // Escape, F1 and clicks outside the title editor, seen before dispatch.
  bool ApplicationEventsMessage(QObject* target, QEvent* event);

  // Shows a dialog modally, centred on this window.
  int showCentred(QDialog* dialog);
  // The folder chooser (the seam's, else the program's own), centred on
  // owner, open at `startFolder`.
  FolderChoice chooseFolder(QWidget* owner, const FolderRequest& request, const std::string& startFolder = "");

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void FormClose();
  void buildMenus();
  void buildControls();
  void applyBounds();
  void hideTitleEditor();
  void chooseOutputFolder();
  void openId3Editor(bool fromSkin);
  void openHelp();
  // The Drives column's card of the window's own drive, as the batch goes.
  void showOwnDrive();

  // DiscView
  void clearTracks() override;
  void addTrack(const TrackRow& row) override;
  int trackRowCount() const override;
  int selectedRow() const override;
  void selectRow(int row) override;
  void focusTrackList() override;
  void applyCommandStates(const CommandStates& states) override;
  void setLookingUp(bool lookingUp) override;
  int chooseRelease(const std::vector<std::vector<std::string>>& rows) override;
  void showTitlesSource(const std::string& text, const std::string& submissionUrl) override;

  // RipBatchView
  bool rowTicked(int row) const override;
  std::string rowTitle(int row) const override;
  void setRowStatus(int row, const std::string& status) override;
  void showRipRow(int row) override;
  void setRipProgress(int percent) override;
  void setProgressCaption(Caption caption) override;
  int outputFormat() const override;
  void showOutcome(const std::string& text, const std::string& detail) override;
  void setProgressText(const std::string& text) override;

  Seams seams_;
  Dialogs dialogs_;
  EngineLink& engine_;
  CurrentTags& tags_;
  DiscController* controller_ = nullptr;  // the program's, from attach()
  QLabel* lb_titles_ = nullptr;            // the status line: what named the titles
  QLabel* lb_submit_ = nullptr;            // the link that adds an unknown disc to MusicBrainz
  QTimer* lookUpPoll_ = nullptr;           // while a look-up runs: takes its answer
  RipBatch* ripBatch_ = nullptr;          // the program's, from attach()
  DriveStation* station_ = nullptr;       // the program's, from attachStation()
  DrivesPanel* drives_ = nullptr;         // beside the face with two drives or more
  std::string ownProgress_;               // the batch's progress text, for its drive's card
  std::string ownOutcome_;                // how the batch ended, for its drive's card
  double scale_ = 1.0;
  bool shown_ = false;
  bool closed_ = false;
  bool inCrash_ = false;
  int editIndex_ = -1;
  int id3Row_ = -1;

  SkinFace* skin_ = nullptr;
  QTableWidget* lv_ = nullptr;
  QLineEdit* edt_title_ = nullptr;
  QComboBox* cb_format_ = nullptr;
  QLineEdit* edt_dir_ = nullptr;
  QProgressBar* pb_ = nullptr;
  QMenu* pm_ = nullptr;
  QAction *FreeDB1_, *Refresh1_, *RipCD1_, *Stop1_, *Play1_, *Pause1_, *StopPlaying1_, *Exit1_;
  QAction *Option1_, *ID3Tag1_, *Converter1_, *Content1_, *Website1_, *About1_;
  QAction *SelectAll1_, *UnselectAll1_, *Convert1_, *StopConverting1_, *Play2_, *Pause2_, *StopPlaying2_;
};

}  // namespace quavern
