// Tfm_dir, the folder chooser: a folder tree rooted at the user's home (the
// file system root one choice away), the caller's prompt, and the
// "Include Sub-folders" box that only callers who show it offer. Created
// once at start-up and shown modally on demand.
#pragma once

#include <QDialog>

#include "frontend/seams.h"

class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QPushButton;
class QTreeView;

namespace quavern {

class Tfm_dir : public QDialog {
  Q_OBJECT

 public:
  Tfm_dir(SettingsStore& settings, QWidget* parent = nullptr);

  // Sets caption, prompt and the sub-folder box, shows the dialog modally
  // centred on owner and answers the choice.
  // It opens at `startFolder` (shown, not chosen), else at the home folder.
  FolderChoice choose(QWidget* owner, const FolderRequest& request, const std::string& startFolder = "");

  // Steps of a run, for choose() and for tests.
  void prepare(const FolderRequest& request);  // caption, prompt, box, FormShow
  void selectFolder(const QString& path);
  void btn_okClick();
  void btn_cancelClick();
  const QString& chosenFolder() const { return chosenFolder_; }
  bool includeSubfolders() const { return includeSubfolders_; }
  void setScale(double scale);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void done(int result) override;

 private:
  void FormShow();
  void FormClose();
  void showPlace(int index);

  SettingsStore& settings_;
  QString chosenFolder_;
  bool includeSubfolders_ = false;

  QLabel* lbl_action_;
  QComboBox* cb_place_;
  QTreeView* stview_selectdir_;
  QFileSystemModel* model_;
  QCheckBox* cbx_sub_;
  QPushButton* btn_ok_;
  QPushButton* btn_cancel_;
};

// The folder chooser seam answered by the program's own Tfm_dir.
class DirDialogChooser : public FolderChooser {
 public:
  explicit DirDialogChooser(Tfm_dir& dialog) : dialog_(dialog) {}
  FolderChoice chooseFolder(QWidget* owner, const FolderRequest& request) override {
    return dialog_.choose(owner, request);
  }

 private:
  Tfm_dir& dialog_;
};

}  // namespace quavern
