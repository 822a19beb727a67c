#include "frontend/tfm_id3.h"

#include <algorithm>

#include <QComboBox>
#include <QCompleter>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QPushButton>
#include <QVBoxLayout>

#include "frontend/genre_names.h"
#include "frontend/current_tags.h"
#include "frontend/window_geometry.h"

namespace quavern {

namespace {

QLineEdit* edit(QWidget* parent, const char* name, const char* accessibleName) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setAccessibleName(accessibleName);
  return e;
}

}  // namespace

Tfm_id3::Tfm_id3(CurrentTags& tags, TrackListEdits& list, QWidget* parent)
    : QDialog(parent), tags_(tags), list_(list) {
  setObjectName("Tfm_id3");
  setWindowTitle("ID3");
  setModal(true);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

  edt_title_ = edit(this, "edt_title", "Title");
  edt_artist_ = edit(this, "edt_artist", "Artist");
  edt_album_ = edit(this, "edt_album", "Album");
  edt_year_ = edit(this, "edt_year", "Year");
  edt_year_->setMaxLength(4);
  edt_year_->installEventFilter(this);
  cb_genre_ = new QComboBox(this);
  cb_genre_->setObjectName("cb_genre");
  cb_genre_->setAccessibleName("Genre");
  cb_genre_->setEditable(true);
  cb_genre_->setInsertPolicy(QComboBox::NoInsert);
  cb_genre_->setMaxVisibleItems(16);
  for (const char* genre : GenreNames) cb_genre_->addItem(QString::fromUtf8(genre));
  // The box matches typed text against its entries as its completer does;
  // a case-blind completer turned a typed "rock" into the entry "Rock" when
  // the focus left. Typed text stays as typed unless it is an entry exactly.
  cb_genre_->completer()->setCaseSensitivity(Qt::CaseSensitive);
  edt_comment_ = edit(this, "edt_comment", "Comment");
  edt_album_artist_ = edit(this, "edt_album_artist", "Album artist");
  edt_disc_ = edit(this, "edt_disc", "Disc number");
  edt_disc_->setPlaceholderText("1/2");
  // "N" or "N/M": nothing else can be typed.
  edt_disc_->setValidator(
      new QRegularExpressionValidator(QRegularExpression("[1-9][0-9]{0,2}(/[1-9][0-9]{0,2})?"), edt_disc_));

  auto* form = new QFormLayout;
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  form->addRow("Title: ", edt_title_);
  form->addRow("Artist: ", edt_artist_);
  form->addRow("Album: ", edt_album_);
  form->addRow("Album artist: ", edt_album_artist_);
  form->addRow("Disc: ", edt_disc_);
  form->addRow("Year: ", edt_year_);
  form->addRow("Genre: ", cb_genre_);
  form->addRow("Comment: ", edt_comment_);

  const DialogButtons buttons = makeDialogButtons(this, "Ok", "Reset", "btn_reset");
  btn_ok_ = buttons.ok;
  btn_reset_ = buttons.middle;
  btn_cancel_ = buttons.cancel;

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addSpacing(layout->spacing() * 2);
  layout->addLayout(buttons.row);

  connect(btn_ok_, &QPushButton::clicked, this, &Tfm_id3::btn_okClick);
  connect(btn_reset_, &QPushButton::clicked, this, &Tfm_id3::btn_resetClick);
  connect(btn_cancel_, &QPushButton::clicked, this, &Tfm_id3::btn_cancelClick);
  connect(cb_genre_->lineEdit(), &QLineEdit::textEdited, this, [this] { genreTyped_ = true; });
  connect(cb_genre_, &QComboBox::currentIndexChanged, this, [this] { genreTyped_ = false; });
}

void Tfm_id3::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
  // The width of the original layout at the reference font (wider when
  // the platform font needs it); as high as the fields need.
  const QSize hint = sizeHint();
  setFixedSize(std::max(static_cast<int>(327 * scale_), hint.width()), hint.height());
}

void Tfm_id3::FormShow() {
  const CurrentTags& tags = tags_;
  edt_title_->setText(QString::fromStdString(tags.title));
  edt_artist_->setText(QString::fromStdString(tags.artist));
  edt_album_->setText(QString::fromStdString(tags.album));
  edt_comment_->setText(QString::fromStdString(tags.comment));
  edt_album_artist_->setText(QString::fromStdString(tags.albumArtist));
  edt_disc_->setText(QString::fromStdString(tags.discNumber));
  edt_year_->setText(QString::fromStdString(tags.year));
  const int index = tags.genreIndex >= 0 && tags.genreIndex < cb_genre_->count() ? tags.genreIndex : -1;
  cb_genre_->setCurrentIndex(index);
  if (index < 0) {
    // A typed genre has no entry: it shows as it was typed, so that Ok
    // keeps it.
    cb_genre_->setEditText(QString::fromStdString(tags.genreName));
    genreTyped_ = true;
  } else {
    genreTyped_ = false;
  }
  edt_title_->setFocus();
}

void Tfm_id3::btn_resetClick() {
  for (QLineEdit* e : {edt_title_, edt_artist_, edt_album_, edt_year_, edt_comment_, edt_album_artist_, edt_disc_}) {
    e->clear();
  }
  cb_genre_->setCurrentIndex(-1);
  cb_genre_->setEditText(QString());
  genreTyped_ = false;
}

void Tfm_id3::btn_okClick() {
  CurrentTags& tags = tags_;
  tags.title = edt_title_->text().toStdString();
  tags.artist = edt_artist_->text().toStdString();
  tags.year = edt_year_->text().toStdString();
  tags.album = edt_album_->text().toStdString();
  tags.comment = edt_comment_->text().toStdString();
  tags.albumArtist = edt_album_artist_->text().trimmed().toStdString();
  tags.discNumber = edt_disc_->text().trimmed().toStdString();
  tags.genreName = cb_genre_->currentText().toStdString();
  tags.genreIndex = genreTyped_ ? -1 : cb_genre_->currentIndex();
  if (!tags.title.empty()) list_.setRowTitle(list_.id3Row(), tags.title);
  list_.setArtistAndAlbumOfAllRows(tags.artist, tags.album);
  accept();
}

void Tfm_id3::btn_cancelClick() { reject(); }

bool Tfm_id3::eventFilter(QObject* watched, QEvent* event) {
  // The year takes digits and Backspace only; the edit's length limit
  // refuses a fifth digit.
  if (watched == edt_year_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    const bool editingKey = key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Tab ||
                            key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Return ||
                            key->key() == Qt::Key_Enter || key->key() == Qt::Key_Escape ||
                            key->key() == Qt::Key_Left || key->key() == Qt::Key_Right ||
                            key->key() == Qt::Key_Delete || key->key() == Qt::Key_Home ||
                            key->key() == Qt::Key_End;
    if (!editingKey && !text.isEmpty() && !(text.size() == 1 && text[0].isDigit() && text[0].unicode() < 128)) {
      return true;  // dropped
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace quavern
