#include "frontend/tfm_main.h"

#include "frontend/release_chooser.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QKeySequence>
#include <QLabel>
#include <QStatusBar>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QTableWidget>

#include "client/file_names.h"
#include "frontend/data_folder.h"
#include "frontend/drives_panel.h"
#include "frontend/settings/settings_store.h"
#include "frontend/skin/skin_face.h"
#include "frontend/tfm_about.h"
#include "frontend/tfm_dir.h"
#include "frontend/tfm_id3.h"
#include "frontend/settings/tfm_set.h"
#include "frontend/tfm_converter.h"
#include "frontend/window_geometry.h"
#include "platform/shell/desktop_opener.h"

namespace quavern {

namespace {

// Track list columns: caption and width at the reference font.
struct Column {
  const char* caption;
  int width;
};
constexpr Column kColumns[] = {{"Title", 135}, {"Artist", 100}, {"Album", 95}, {"Time", 45}, {"Status", 75}};
constexpr int kStatusColumn = 4;

// The folder as the folder box shows it: the home folder as "~", so that
// the usual folders fit; the whole path is the box's tool tip.
void showFolder(QLineEdit* box, const QString& folder) {
  const QString home = QDir::homePath();
  QString shown = folder;
  if (folder == home || folder.startsWith(home + "/")) shown = "~" + folder.mid(home.size());
  box->setText(shown);
  box->setToolTip(folder);
  box->setAccessibleDescription(folder);
  box->setCursorPosition(shown.size());
}

QAction* item(QMenu* menu, const char* name, const char* caption) {
  QAction* action = menu->addAction(caption);
  action->setObjectName(name);
  return action;
}

}  // namespace

Tfm_main::Tfm_main(Seams seams, EngineLink& engine, CurrentTags& tags, QWidget* parent)
    : QMainWindow(parent), seams_(seams), engine_(engine), tags_(tags) {
  setObjectName("Tfm_main");
  setWindowTitle("Ripmarrow");
  // Fixed single border, system menu and minimise only.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  buildControls();
  buildMenus();
}

void Tfm_main::attach(DiscController& controller, RipBatch& ripBatch) {
  controller_ = &controller;
  ripBatch_ = &ripBatch;
  FormCreate();
}

Tfm_main::~Tfm_main() {
  if (!closed_ && controller_ != nullptr) FormClose();
}

void Tfm_main::buildMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu1");
  QMenu* action = bar->addMenu("Action");
  action->setObjectName("Action1");
  FreeDB1_ = item(action, "FreeDB1", "Free DB");
  Refresh1_ = item(action, "Refresh1", "Refresh");
  RipCD1_ = item(action, "RipCD1", "Rip CD");
  Stop1_ = item(action, "Stop1", "Stop ");
  // The captions carry no mnemonics, so the main commands get shortcuts: a
  // whole rip can be started and stopped from the keyboard alone. A disabled
  // action ignores its shortcut, so the menu's guards hold for them too.
  FreeDB1_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  Refresh1_->setShortcut(QKeySequence(Qt::Key_F5));
  RipCD1_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  Stop1_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Period));
  action->addSeparator();
  Play1_ = item(action, "Play1", "Play");
  Pause1_ = item(action, "Pause1", "Pause");
  StopPlaying1_ = item(action, "StopPlaying1", "Stop Playing");
  action->addSeparator();
  Exit1_ = item(action, "Exit1", "Exit");
  auto barItem = [bar](const char* name, const char* caption) {
    QAction* a = bar->addAction(caption);
    a->setObjectName(name);
    return a;
  };
  Option1_ = barItem("Option1", "Options");
  ID3Tag1_ = barItem("ID3Tag1", "ID3 Tag");
  Converter1_ = barItem("Converter1", "Converter");
  QMenu* help = bar->addMenu("Help");
  help->setObjectName("Help1");
  Content1_ = item(help, "Content1", "Content");
  help->addSeparator();
  Website1_ = item(help, "Website1", "Website");
  help->addSeparator();
  About1_ = item(help, "About1", "About");

  pm_ = new QMenu(this);
  pm_->setObjectName("pm");
  SelectAll1_ = item(pm_, "SelectAll1", "Select All");
  UnselectAll1_ = item(pm_, "UnselectAll1", "Unselect All");
  pm_->addSeparator();
  Convert1_ = item(pm_, "Convert1", "Convert");
  StopConverting1_ = item(pm_, "StopConverting1", "Stop Converting");
  pm_->addSeparator();
  Play2_ = item(pm_, "Play2", "Play");
  Pause2_ = item(pm_, "Pause2", "Pause");
  StopPlaying2_ = item(pm_, "StopPlaying2", "Stop Playing");

  connect(FreeDB1_, &QAction::triggered, this, &Tfm_main::FreeDB1Click);
  connect(Refresh1_, &QAction::triggered, this, &Tfm_main::Refresh1Click);
  connect(RipCD1_, &QAction::triggered, this, &Tfm_main::RipCD1Click);
  connect(Convert1_, &QAction::triggered, this, &Tfm_main::RipCD1Click);
  connect(Stop1_, &QAction::triggered, this, &Tfm_main::StopRippingClick);
  connect(StopConverting1_, &QAction::triggered, this, &Tfm_main::StopRippingClick);
  for (QAction* a : {Play1_, Play2_}) connect(a, &QAction::triggered, this, &Tfm_main::Play1Click);
  for (QAction* a : {Pause1_, Pause2_}) connect(a, &QAction::triggered, this, &Tfm_main::Pause1Click);
  for (QAction* a : {StopPlaying1_, StopPlaying2_})
    connect(a, &QAction::triggered, this, &Tfm_main::StopPlayingClick);
  connect(Exit1_, &QAction::triggered, this, &Tfm_main::Exit1Click);
  connect(Option1_, &QAction::triggered, this, &Tfm_main::Option1Click);
  connect(ID3Tag1_, &QAction::triggered, this, &Tfm_main::ID3Tag1Click);
  connect(Converter1_, &QAction::triggered, this, &Tfm_main::Converter1Click);
  connect(Content1_, &QAction::triggered, this, &Tfm_main::Content1Click);
  connect(Website1_, &QAction::triggered, this, &Tfm_main::Website1Click);
  connect(About1_, &QAction::triggered, this, &Tfm_main::About1Click);
  connect(SelectAll1_, &QAction::triggered, this, &Tfm_main::SelectAll1Click);
  connect(UnselectAll1_, &QAction::triggered, this, &Tfm_main::UnselectAll1Click);
}

void Tfm_main::buildControls() {
  // The face, and beside it the Drives column (shown with two drives or more).
  auto* central = new QWidget(this);
  auto* row = new QHBoxLayout(central);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  skin_ = new SkinFace(central);
  drives_ = new DrivesPanel(central);
  row->addWidget(skin_);
  row->addWidget(drives_);
  setCentralWidget(central);
  drives_->onRip = [this](int drive) {
    if (station_ != nullptr && drive != station_->windowDrive()) {
      station_->rip(drive);
    } else {
      RipCD1Click();
    }
  };
  drives_->onStop = [this](int drive) {
    if (station_ != nullptr && drive != station_->windowDrive()) {
      station_->stopRip(drive);
    } else {
      StopRippingClick();
    }
  };

  lv_ = new QTableWidget(0, 5, skin_);
  lv_->setObjectName("lv");
  lv_->setAccessibleName("Tracks");
  lv_->setFrameShape(QFrame::NoFrame);
  lv_->setShowGrid(true);
  lv_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lv_->setSelectionMode(QAbstractItemView::SingleSelection);
  lv_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lv_->setWordWrap(false);
  lv_->verticalHeader()->hide();
  lv_->horizontalHeader()->setSectionsClickable(false);
  lv_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  lv_->horizontalHeader()->setHighlightSections(false);
  lv_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  lv_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  lv_->setContextMenuPolicy(Qt::CustomContextMenu);
  lv_->setTabKeyNavigation(false);
  QStringList captions;
  for (const Column& column : kColumns) captions << column.caption;
  lv_->setHorizontalHeaderLabels(captions);

  edt_title_ = new QLineEdit(lv_);
  edt_title_->setObjectName("edt_title");
  edt_title_->setAccessibleName("Title");
  edt_title_->hide();
  edt_title_->installEventFilter(this);
  lv_->viewport()->installEventFilter(this);

  pb_ = new QProgressBar(skin_);
  pb_->setObjectName("pb");
  pb_->setRange(0, 100);
  pb_->setValue(0);
  pb_->setTextVisible(false);
  pb_->setAccessibleName("Rip progress");

  cb_format_ = new QComboBox(skin_);
  cb_format_->setObjectName("cb_format");
  cb_format_->addItems({"MP3", "WAV", "WMA", "OGG", "FLAC"});
  cb_format_->setAccessibleName("Output format");

  edt_dir_ = new QLineEdit(skin_);
  edt_dir_->setObjectName("edt_dir");
  edt_dir_->setReadOnly(true);
  edt_dir_->setEnabled(false);
  edt_dir_->setAccessibleName("Output folder");

  // The status line names the source of the titles, and offers an unknown
  // disc's MusicBrainz submission page.
  statusBar()->setObjectName("sb");
  statusBar()->setSizeGripEnabled(false);
  lb_titles_ = new QLabel(statusBar());
  lb_titles_->setObjectName("lb_titles");
  lb_titles_->setAccessibleName("Titles source");
  lb_submit_ = new QLabel(statusBar());
  lb_submit_->setObjectName("lb_submit");
  lb_submit_->setAccessibleName("Add the disc to MusicBrainz");
  lb_submit_->setTextFormat(Qt::RichText);
  lb_submit_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  lb_submit_->hide();
  statusBar()->addWidget(lb_titles_, 1);
  statusBar()->addPermanentWidget(lb_submit_);
  connect(lb_submit_, &QLabel::linkActivated, this,
          [this](const QString& link) { seams_.opener->open(link.toStdString()); });

  connect(skin_, &SkinFace::commandClicked, this, &Tfm_main::SkinClick);
  connect(lv_, &QTableWidget::cellDoubleClicked, this, [this] { lvDblClick(); });
  connect(lv_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { pm_->popup(lv_->viewport()->mapToGlobal(at)); });
  connect(cb_format_, &QComboBox::currentIndexChanged, this, &Tfm_main::cb_formatChange);

  // Tab order: the top commands, the list, the transport, format, folder.
  QList<QWidget*> order;
  for (const char* name : {"RipCD", "Refresh", "FreeDB", "Options", "ID3Tag"}) order << skin_->commandButton(name);
  order << lv_;
  for (const char* name : {"Play", "Pause Play", "Stop Play", "Stop"}) order << skin_->commandButton(name);
  order << cb_format_ << skin_->commandButton("Browse");
  for (int i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void Tfm_main::applyBounds() {
  scale_ = fontScale(font());
  const double s = scale_;
  skin_->setScale(s);
  skin_->setFixedSize(scaled(SkinFace::kWidth, s), scaled(SkinFace::kHeight, s));
  drives_->setScale(s);
  drives_->setFixedHeight(skin_->height());
  auto place = [s](QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(scaled(left, s), scaled(top, s), scaled(width, s), scaled(height, s));
  };
  place(lv_, 0, 47, 469, 271);
  place(pb_, 18, 326, 434, 12);
  place(cb_format_, 228, 358, 56, 21);
  place(edt_dir_, 289, 358, 96, 22);
  for (int c = 0; c < 5; ++c) {
    lv_->horizontalHeader()->resizeSection(c, scaled(kColumns[c].width, s));
  }
  lv_->verticalHeader()->setDefaultSectionSize(std::max(scaled(17, s), fontMetrics().height() + 4));
  lv_->horizontalHeader()->setFixedHeight(std::max(scaled(19, s), fontMetrics().height() + 6));
  adjustSize();
  setFixedSize(sizeHint());
}

// Start-up -----------------------------------------------------------------

void Tfm_main::FormCreate() {
  engine_.bind({[this](LONG percent) { AudioCDRipperRipProgress(percent); },
                [this] { AudioCDRipperMediaChange(); }, [this] { AudioCDRipperEndTrackPlay(); },
                [this](LONG code) { AudioCDRipperError(code); },
                [this](LONG status) {
                  if (controller_ != nullptr) controller_->cddbQueryStatus(status);
                }});
  if (IAudioInformation2* information = engine_.audioInformation()) information->put_infoOption(VARIANT_TRUE);
  if (IAudioCDRipperLameMP3Encoder2* mp3 = engine_.mp3Settings()) mp3->put_WritingVBRHeader(VARIANT_TRUE);
}

void Tfm_main::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shown_) {
    shown_ = true;
    FormShow();
  }
}

void Tfm_main::FormShow() {
  // 1. The skin, and the short title it shows.
  skin_->loadSkin(dataFolder() + "/skin/default.svg");
  skin_->setTitleText("Ripmarrow");
  // 2.-3. Settings: the output folder and the format.
  SettingsStore& settings = *seams_.settings;
  showFolder(edt_dir_, QString::fromStdString(settings.readText("basic", "output directory", defaults::musicFolder())));
  {
    const QSignalBlocker quiet(cb_format_);
    const int format = settings.readInt("basic", "format", 0);
    cb_format_->setCurrentIndex(format >= 0 && format < cb_format_->count() ? format : 0);
  }
  // 4. State, menus, bounds, editor.
  applyBounds();
  if (dialogs_.dir != nullptr) dialogs_.dir->setScale(scale_);
  if (dialogs_.about != nullptr) dialogs_.about->setScale(scale_);
  if (dialogs_.converter != nullptr) dialogs_.converter->setScale(scale_);
  if (dialogs_.id3 != nullptr) dialogs_.id3->setScale(scale_);
  hideTitleEditor();
  if (const QScreen* screen = this->screen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
  // 5.-7. The engine, the track list and the Settings dialog's drive box.
  const std::vector<std::string> drives = controller_->startUp();
  // The other drives' workers, and the Drives column when there are any.
  if (station_ != nullptr) station_->startUp(drives, controller_->driveIndex());
  showOwnDrive();
  if (!drives_->isHidden()) {
    // Wider by the column: centred again.
    adjustSize();
    setFixedSize(sizeHint());
    if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
  }
  if (dialogs_.set != nullptr) {
    dialogs_.set->cb_cdrom()->clear();
    for (const std::string& drive : drives) dialogs_.set->cb_cdrom()->addItem(QString::fromStdString(drive));
  }
}

// Shut-down ----------------------------------------------------------------

void Tfm_main::closeEvent(QCloseEvent* event) {
  if (!closed_ && controller_ != nullptr) FormClose();
  QMainWindow::closeEvent(event);
}

void Tfm_main::FormClose() {
  closed_ = true;
  // The other drives' rips stop first: their workers end within seconds.
  if (station_ != nullptr) station_->closeAll();
  // A look-up running is given up: its worker ends on its own, the window
  // does not wait for it.
  controller_->stopLookUp();
  if (lookUpPoll_ != nullptr) lookUpPoll_->stop();
  ripBatch_->abandon();
  controller_->stopPlayback();
  controller_->shutDown();
  engine_.release();
}

// DiscView -----------------------------------------------------------------

void Tfm_main::clearTracks() {
  hideTitleEditor();
  lv_->setRowCount(0);
  ownOutcome_.clear();
  showOwnDrive();
}

void Tfm_main::addTrack(const TrackRow& row) {
  const int r = lv_->rowCount();
  lv_->insertRow(r);
  const std::string cells[] = {row.title, row.artist, row.album, row.time, "Unconverted"};
  for (int c = 0; c < 5; ++c) {
    auto* cell = new QTableWidgetItem(QString::fromStdString(cells[c]));
    cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | (c == 0 ? Qt::ItemIsUserCheckable : Qt::NoItemFlags));
    if (c == 0) cell->setCheckState(Qt::Checked);
    lv_->setItem(r, c, cell);
  }
}

int Tfm_main::trackRowCount() const { return lv_->rowCount(); }

int Tfm_main::selectedRow() const {
  const QList<QTableWidgetItem*> selected = lv_->selectedItems();
  return selected.isEmpty() ? -1 : selected.first()->row();
}

void Tfm_main::selectRow(int row) { lv_->selectRow(row); }

void Tfm_main::focusTrackList() { lv_->setFocus(); }

void Tfm_main::applyCommandStates(const CommandStates& s) {
  FreeDB1_->setEnabled(s.freeDb);
  Refresh1_->setEnabled(s.refresh);
  RipCD1_->setEnabled(s.ripCd);
  Convert1_->setEnabled(s.ripCd);
  Stop1_->setEnabled(s.stopRip);
  StopConverting1_->setEnabled(s.stopRip);
  Play1_->setEnabled(s.play);
  Play2_->setEnabled(s.play);
  Pause1_->setEnabled(s.pause);
  Pause2_->setEnabled(s.pause);
  StopPlaying1_->setEnabled(s.stopPlaying);
  StopPlaying2_->setEnabled(s.stopPlaying);
  SelectAll1_->setEnabled(s.selectAll);
  UnselectAll1_->setEnabled(s.selectAll);
  Option1_->setEnabled(s.options);
  cb_format_->setEnabled(s.formatBox);
  // The face's commands that have nothing to act on look it.
  skin_->setCommandEnabled("Stop", s.stopRip);
  skin_->setCommandEnabled("Pause Play", s.pause);
  skin_->setCommandEnabled("Stop Play", s.stopPlaying);
  // The window may have moved to another drive (Settings): the station's
  // workers follow.
  if (station_ != nullptr && controller_ != nullptr) station_->setWindowDrive(controller_->driveIndex());
  showOwnDrive();
}

DriveStationView& Tfm_main::drivesView() { return *drives_; }

void Tfm_main::showOwnDrive() {
  if (drives_ == nullptr || drives_->isHidden() || controller_ == nullptr) return;
  DriveState s;
  if (controller_->ripping()) {
    s.kind = controller_->ripStopPending() ? DriveState::Kind::kStopping : DriveState::Kind::kRipping;
    // "Track 2 of 5 · 43% · 12.4x": the card has room for the first three parts.
    std::string text = ownProgress_.empty() ? "Ripping\u2026" : ownProgress_;
    size_t cut = 0;
    for (int part = 0; part < 3 && cut != std::string::npos; ++part) cut = text.find(" \u00b7 ", cut + 1);
    if (cut != std::string::npos) text.resize(cut);
    s.text = s.kind == DriveState::Kind::kStopping ? "Stopping\u2026" : text;
    s.percent = pb_->value();
    s.canStop = !controller_->ripStopPending();
  } else if (lv_->rowCount() > 0) {
    s.kind = ownOutcome_.empty() ? DriveState::Kind::kDisc : DriveState::Kind::kDone;
    s.text = ownOutcome_.empty() ? "A disc is in" : "Ripped";
    s.detail = ownOutcome_;
    s.canRip = RipCD1_->isEnabled();
  } else {
    s.kind = DriveState::Kind::kEmpty;
    s.text = "No disc";
  }
  drives_->showWindowDriveState(s);
}

void Tfm_main::setLookingUp(bool lookingUp) {
  setWindowTitle(lookingUp ? QString::fromUtf8(texts::kLookingUp) : QString("Ripmarrow"));
  if (lookUpPoll_ == nullptr) {
    lookUpPoll_ = new QTimer(this);
    lookUpPoll_->setInterval(20);
    connect(lookUpPoll_, &QTimer::timeout, this, [this] {
      if (controller_ != nullptr) controller_->pollLookUp();
    });
  }
  if (lookingUp) {
    lookUpPoll_->start();
  } else {
    lookUpPoll_->stop();
  }
}

int Tfm_main::chooseRelease(const std::vector<std::vector<std::string>>& rows) {
  ReleaseChooser chooser(rows, this);
  return chooser.exec() == QDialog::Accepted ? chooser.chosenRow() : -1;
}

void Tfm_main::showTitlesSource(const std::string& text, const std::string& submissionUrl) {
  lb_titles_->setText(QString::fromStdString(text));
  lb_submit_->setToolTip(QString::fromStdString(submissionUrl));
  lb_submit_->setText(submissionUrl.empty() ? QString()
                                            : QString("<a href=\"%1\">Add this disc to MusicBrainz</a>")
                                                  .arg(QString::fromStdString(submissionUrl).toHtmlEscaped()));
  lb_submit_->setVisible(!submissionUrl.empty());
}

// RipBatchView -------------------------------------------------------------

bool Tfm_main::rowTicked(int row) const {
  const QTableWidgetItem* cell = row >= 0 && row < lv_->rowCount() ? lv_->item(row, 0) : nullptr;
  return cell != nullptr && cell->checkState() == Qt::Checked;
}

std::string Tfm_main::rowTitle(int row) const { return lv_->item(row, 0)->text().toStdString(); }

void Tfm_main::setRowStatus(int row, const std::string& status) {
  lv_->item(row, kStatusColumn)->setText(QString::fromStdString(status));
}

void Tfm_main::showRipRow(int row) {
  lv_->selectRow(row);
  lv_->scrollToItem(lv_->item(row, 0));
  lv_->setFocus();
}

void Tfm_main::setRipProgress(int percent) {
  pb_->setValue(percent);
  if (percent == 0) ownProgress_.clear();
  showOwnDrive();
}

void Tfm_main::setProgressCaption(Caption caption) {
  pb_->setToolTip(QString());
  pb_->setAccessibleName("Rip progress");
  pb_->setTextVisible(caption != Caption::kNone);
  pb_->setFormat(caption == Caption::kStopping    ? QStringLiteral("Stopping...")
                 : caption == Caption::kVerifying ? QStringLiteral("Checking AccurateRip...")
                                                  : QStringLiteral("%p%"));
  pb_->setAccessibleDescription(caption == Caption::kStopping    ? QStringLiteral("Stopping")
                                : caption == Caption::kVerifying ? QStringLiteral("Checking AccurateRip")
                                                                 : QString());
}

int Tfm_main::outputFormat() const { return cb_format_->currentIndex(); }

void Tfm_main::setProgressText(const std::string& text) {
  // Only while the bar shows the percentage: a stop's or a look-up's
  // caption stays.
  if (pb_->format() != QStringLiteral("%p%") && !pb_->format().startsWith("Track ")) return;
  const QString caption = QString::fromStdString(text);
  pb_->setFormat(caption);
  pb_->setAccessibleName("Rip progress: " + caption);
  pb_->setAccessibleDescription(caption);
  ownProgress_ = text;
  showOwnDrive();
}

void Tfm_main::showOutcome(const std::string& text, const std::string& detail) {
  const QString caption = QString::fromStdString(text);
  pb_->setValue(pb_->maximum());
  pb_->setTextVisible(true);
  pb_->setFormat(QString(caption).replace('%', "%%"));
  pb_->setToolTip(QString::fromStdString(detail.empty() ? text : detail));
  pb_->setAccessibleDescription(caption);
  ownOutcome_ = text;
  showOwnDrive();
}

void Tfm_main::setRowTitle(int row, const std::string& title) {
  if (row >= 0 && row < lv_->rowCount()) lv_->item(row, 0)->setText(QString::fromStdString(title));
}

void Tfm_main::setArtistAndAlbumOfAllRows(const std::string& artist, const std::string& album) {
  for (int r = 0; r < lv_->rowCount(); ++r) {
    lv_->item(r, 1)->setText(QString::fromStdString(artist));
    lv_->item(r, 2)->setText(QString::fromStdString(album));
  }
}

// Commands -----------------------------------------------------------------

void Tfm_main::FreeDB1Click() { controller_->lookUpTitles(); }

void Tfm_main::Refresh1Click() { controller_->fillTrackList(); }

void Tfm_main::RipCD1Click() {
  if (controller_->playbackOn()) {
    seams_.prompter->inform(this, texts::kStopPlayingFirst);
    return;
  }
  if (controller_->ripping() || lv_->rowCount() == 0) return;
  ripBatch_->StartRip();
}

void Tfm_main::StopRippingClick() {
  if (controller_->lookingUp()) {
    controller_->stopLookUp();
    return;
  }
  ripBatch_->RequestStopRip();
}

void Tfm_main::Play1Click() {
  if (controller_->ripping()) {
    seams_.prompter->inform(this, texts::kStopConvertingFirst);
    return;
  }
  controller_->playSelected();
}

void Tfm_main::Pause1Click() { controller_->togglePause(); }

void Tfm_main::StopPlayingClick() { controller_->stopPlayback(); }

void Tfm_main::Exit1Click() { close(); }

void Tfm_main::Option1Click() {
  if (dialogs_.set == nullptr) return;
  dialogs_.set->setScale(scale_);
  if (showCentred(dialogs_.set) == QDialog::Accepted) controller_->chooseDrive(seams_.settings->readInt("cd", "cd rom", 0));
}

void Tfm_main::ID3Tag1Click() { openId3Editor(false); }

void Tfm_main::openId3Editor(bool fromSkin) {
  if (fromSkin && controller_->ripping()) return;
  const int row = selectedRow();
  if (row < 0) {
    seams_.prompter->inform(this, texts::kSelectTrackToEdit);
    return;
  }
  id3Row_ = row;
  tags_.title = lv_->item(row, 0)->text().toStdString();
  if (dialogs_.id3 != nullptr) showCentred(dialogs_.id3);
}

void Tfm_main::Converter1Click() {
  if (controller_->playbackOn()) {
    seams_.prompter->inform(this, texts::kStopPlayingFirst);
  } else if (controller_->ripping()) {
    seams_.prompter->inform(this, texts::kStopRippingFirst);
  } else if (dialogs_.converter != nullptr) {
    showCentred(dialogs_.converter);
  }
}

void Tfm_main::Content1Click() { openHelp(); }

void Tfm_main::openHelp() {
  seams_.opener->open(QDir(dataFolder()).filePath("help/index.html").toStdString());
}

void Tfm_main::Website1Click() { seams_.opener->open(kWebsite); }

void Tfm_main::About1Click() {
  if (dialogs_.about != nullptr) showCentred(dialogs_.about);
}

void Tfm_main::SelectAll1Click() {
  if (controller_->ripping()) return;
  for (int r = 0; r < lv_->rowCount(); ++r) lv_->item(r, 0)->setCheckState(Qt::Checked);
}

void Tfm_main::UnselectAll1Click() {
  if (controller_->ripping()) return;
  for (int r = 0; r < lv_->rowCount(); ++r) lv_->item(r, 0)->setCheckState(Qt::Unchecked);
}

void Tfm_main::cb_formatChange(int index) { seams_.settings->writeInt("basic", "format", index); }

int Tfm_main::showCentred(QDialog* dialog) {
  centreOn(dialog, this);
  return dialog->exec();
}

void Tfm_main::SkinClick(const QString& command) {
  hideTitleEditor();
  if (command == "RipCD") {
    if (controller_->playbackOn()) {
      seams_.prompter->inform(this, texts::kStopPlayingFirst);
    } else {
      ripBatch_->StartRip();
    }
  } else if (command == "Refresh") {
    controller_->fillTrackList();
  } else if (command == "FreeDB") {
    controller_->lookUpTitles();
  } else if (command == "Options") {
    if (!controller_->ripping()) Option1Click();
  } else if (command == "ID3Tag") {
    openId3Editor(true);
  } else if (command == "Stop") {
    StopRippingClick();
  } else if (command == "Play") {
    Play1Click();
  } else if (command == "Pause Play") {
    controller_->togglePause();
  } else if (command == "Stop Play") {
    controller_->stopPlayback();
  } else if (command == "Browse") {
    if (!controller_->ripping()) chooseOutputFolder();
  }
}

FolderChoice Tfm_main::chooseFolder(QWidget* owner, const FolderRequest& request, const std::string& startFolder) {
  if (seams_.folders != nullptr) return seams_.folders->chooseFolder(owner, request);
  if (dialogs_.dir != nullptr) return dialogs_.dir->choose(owner, request, startFolder);
  return {};
}

void Tfm_main::chooseOutputFolder() {
  const FolderChoice choice =
      chooseFolder(this, {"Output Directory", "Please select the folder you want to save your files.", false},
                   seams_.settings->readText("basic", "output directory", defaults::musicFolder()));
  if (choice.folder.empty()) return;
  showFolder(edt_dir_, QString::fromStdString(choice.folder));
  seams_.settings->writeText("basic", "output directory", choice.folder);
}

// Title editing ------------------------------------------------------------

void Tfm_main::lvDblClick() {
  const int row = selectedRow();
  if (row < 0 || controller_->ripping()) return;
  const int top = lv_->horizontalHeader()->height() + lv_->visualRect(lv_->model()->index(row, 0)).top() - 1;
  edt_title_->setGeometry(scaled(20, scale_), top, lv_->columnWidth(0) - scaled(20, scale_),
                          std::max(scaled(21, scale_), lv_->rowHeight(row) + 4));
  edt_title_->setText(lv_->item(row, 0)->text());
  editIndex_ = row;
  edt_title_->show();
  edt_title_->setFocus();
  edt_title_->selectAll();
}

void Tfm_main::lvMouseDown() {
  // A row that holds the keyboard focus without being selected loses it.
  if (selectedRow() < 0 && lv_->currentIndex().isValid()) {
    lv_->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  }
}

void Tfm_main::hideTitleEditor() {
  if (edt_title_->isVisible()) {
    edt_title_->hide();  // ends the edit as leaving the editor does
  }
}

void Tfm_main::edt_titleExit() {
  const std::string title = client::WithoutForbiddenChars(edt_title_->text().toStdString());
  edt_title_->setText(QString::fromStdString(title));
  edt_title_->hide();
  if (title.empty() || editIndex_ < 0 || editIndex_ >= lv_->rowCount()) return;
  tags_.title = title;
  lv_->item(editIndex_, 0)->setText(QString::fromStdString(title));
}

bool Tfm_main::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lv_->viewport() && event->type() == QEvent::MouseButtonPress) {
    lvMouseDown();
    return false;
  }
  if (watched == edt_title_) {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        edt_title_->hide();
        return true;
      }
    } else if (event->type() == QEvent::Hide || event->type() == QEvent::FocusOut) {
      if (edt_title_->isVisible() && event->type() == QEvent::FocusOut) {
        edt_title_->hide();  // the Hide event finishes the edit
      } else if (event->type() == QEvent::Hide && editIndex_ >= 0) {
        edt_titleExit();
        editIndex_ = -1;
      }
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

// Engine events ------------------------------------------------------------

void Tfm_main::AudioCDRipperRipProgress(LONG percent) { ripBatch_->AudioCDRipperRipProgress(percent); }

void Tfm_main::AudioCDRipperError(LONG code) { ripBatch_->AudioCDRipperError(code); }

void Tfm_main::AudioCDRipperMediaChange() {
  controller_->mediaChange();
  // [cd] "rip on insert": the disc just listed is ripped at once.
  if (seams_.settings->readBool("cd", "rip on insert", false)) ripBatch_->StartUnattended();
}

void Tfm_main::AudioCDRipperEndTrackPlay() { controller_->endTrackPlay(); }

// Application events -------------------------------------------------------

void Tfm_main::ApplicationEventsException() {
  if (inCrash_) return;
  inCrash_ = true;
  const bool restart = seams_.prompter->askYesNo(this, texts::kRestartQuestion);
  close();
  if (restart && seams_.restarter != nullptr) seams_.restarter->restart();
  inCrash_ = false;
}

bool Tfm_main::ApplicationEventsMessage(QObject* target, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    // Escape in an open menu or drop-down list closes that pop-up only: a
    // pop-up is not the active window, so the window's own test is not enough.
    if (key == Qt::Key_Escape && QApplication::activeWindow() == this && QApplication::activePopupWidget() == nullptr &&
        !closed_) {
      close();
      return true;
    }
    if (key == Qt::Key_F1) {
      openHelp();
      return true;
    }
  } else if (event->type() == QEvent::MouseButtonPress && edt_title_->isVisible()) {
    // A click outside the title editor (the menu bar, the face) ends the edit.
    auto* widget = qobject_cast<QWidget*>(target);
    if (widget != nullptr && widget != edt_title_ && !edt_title_->isAncestorOf(widget)) hideTitleEditor();
  }
  return false;
}

}  // namespace quavern
