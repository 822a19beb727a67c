// Tfm_id3, the ID3 tag editor: a small modal dialog over the program's
// CurrentTags, the values the rip batch writes into every file it makes.
// The title belongs to the row the main window hands over when it opens
// the dialog; artist, album, year, genre and comment apply to every track
// ripped afterwards. It writes nothing to a file itself.
#pragma once

#include <QDialog>
#include <string>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace quavern {

struct CurrentTags;

// What the tag editor changes in the main window's track list.
class TrackListEdits {
 public:
  virtual ~TrackListEdits() = default;
  // The row whose title the editor edits.
  virtual int id3Row() const = 0;
  virtual void setRowTitle(int row, const std::string& title) = 0;
  virtual void setArtistAndAlbumOfAllRows(const std::string& artist, const std::string& album) = 0;
};

class Tfm_id3 : public QDialog {
  Q_OBJECT

 public:
  // `tags` and `list` outlive the dialog.
  Tfm_id3(CurrentTags& tags, TrackListEdits& list, QWidget* parent);
  // Face units to pixels, as the main window found them.
  void setScale(double scale) { scale_ = scale; }

  void btn_okClick();
  void btn_resetClick();
  void btn_cancelClick();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormShow();

  CurrentTags& tags_;
  TrackListEdits& list_;
  double scale_ = 1.0;
  QLineEdit* edt_title_;
  QLineEdit* edt_artist_;
  QLineEdit* edt_album_;
  QLineEdit* edt_year_;
  QComboBox* cb_genre_;
  QLineEdit* edt_comment_;
  QLineEdit* edt_album_artist_;
  QLineEdit* edt_disc_;
  QPushButton* btn_ok_;
  QPushButton* btn_reset_;
  QPushButton* btn_cancel_;
  // The genre box's text was typed since an entry was last chosen: the
  // genre then has no index.
  bool genreTyped_ = false;
};

}  // namespace quavern
