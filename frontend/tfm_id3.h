// Tfm_id3, the ID3 tag editor: a small modal dialog over the program's
// CurrentTags, the values the rip batch writes into every file it makes.
// The title belongs to the row the main window hands over when it opens
// the dialog; artist, album, year, genre and comment apply to every track
// ripped afterwards. It writes nothing to a file itself.
#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace quavern {

class Tfm_main;

class Tfm_id3 : public QDialog {
  Q_OBJECT

 public:
  // `main` outlives the dialog (it is the dialog's parent).
  explicit Tfm_id3(Tfm_main& main);

  void btn_okClick();
  void btn_resetClick();
  void btn_cancelClick();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormShow();

  Tfm_main& main_;
  QLineEdit* edt_title_;
  QLineEdit* edt_artist_;
  QLineEdit* edt_album_;
  QLineEdit* edt_year_;
  QComboBox* cb_genre_;
  QLineEdit* edt_comment_;
  QPushButton* btn_ok_;
  QPushButton* btn_reset_;
  QPushButton* btn_cancel_;
  // The genre box's text was typed since an entry was last chosen: the
  // genre then has no index.
  bool genreTyped_ = false;
};

}  // namespace quavern
