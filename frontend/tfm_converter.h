// Tfm_converter, the file converter: a list of audio files, an output
// format and folder of its own, and a run that converts the files one after
// another with the rip's MP3, WMA, OGG and FLAC settings. The window wires
// widgets and menus and shows state; FileConversion decides what the checks
// and the run do. Created once at start-up, shown modally by the main window.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "frontend/file_conversion.h"
#include "frontend/seams.h"

class QAction;
class QComboBox;
class QLineEdit;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;

namespace quavern {

class Tfm_converter : public QDialog, private ConversionView {
  Q_OBJECT

 public:
  // How the window asks for a folder: the program's chooser, centred on `owner`.
  using ChooseFolder =
      std::function<FolderChoice(QWidget* owner, const FolderRequest& request, const std::string& startFolder)>;

  // The seams' objects outlive the window.
  Tfm_converter(const Seams& seams, ChooseFolder chooseFolder, QWidget* parent);
  ~Tfm_converter() override;

  // Handlers (public so that tests reach them).
  void btn_addClick();
  void btn_addpathClick();
  void btn_removeClick();
  void btn_clearClick();
  void btn_convertClick();
  void btn_stopClick();
  void btn_browseClick();
  void Exit1Click();

  FileConversion& conversion() { return *conversion_; }
  // Face units to pixels, as the main window found them.
  void setScale(double scale) { scale_ = scale; }
  bool adding() const { return adding_; }
  // A row as the list shows it, for tests: caption, path, length, status.
  void addRow(const AddedFile& file, const char* status);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void FormShow();
  void FormClose();
  void buildMenus();
  void applyStates();
  void runSteps();
  // False, telling the user once per program run what is missing, when the
  // components the converter needs cannot be created.
  bool componentsReady();

  // ConversionView
  int fileRowCount() const override;
  std::string rowPath(int row) const override;
  std::string rowFileName(int row) const override;
  void setRowStatus(int row, const std::string& status) override;
  void showFileRow(int row) override;
  void setProgress(int percent) override;
  void setConverting(bool converting) override;

  Seams seams_;
  ChooseFolder chooseFolder_;
  double scale_ = 1.0;
  std::unique_ptr<FileConversion> conversion_;
  QTimer* pump_;
  bool adding_ = false;
  bool converting_ = false;  // as the run last told
  bool toldMissing_ = false;

  QMenuBar* MainMenu1_;
  QMenu* PopupMenu1_;
  QTableWidget* lv_;
  QComboBox* cbx_format_;
  QLineEdit* edt_dir_;
  QPushButton *btn_browse_, *btn_add_, *btn_addpath_, *btn_remove_, *btn_clear_, *btn_convert_, *btn_stop_,
      *btn_close_;
  QProgressBar* pb_;
  // Menu items and their pop-up twins.
  QAction *AddFiles1_, *AddPath1_, *Remove1_, *Clear1_, *Exit1_, *Convert1_, *Stop1_;
  QAction *AddFiles2_, *AddPath2_, *Remove2_, *Clear2_, *Convert2_, *Stop2_;
};

}  // namespace quavern
