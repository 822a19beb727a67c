#include "frontend/tfm_converter.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <set>

#include "frontend/desktop_seams.h"
#include "frontend/rip_batch.h"
#include "frontend/settings/settings_store.h"
#include "frontend/window_geometry.h"

namespace quavern {

namespace {

struct Column {
  const char* caption;
  int width;
};
constexpr Column kColumns[] = {{"File Name", 110}, {"Path", 178}, {"Length", 60}, {"Status", 75}};
constexpr int kPathColumn = 1;
constexpr int kStatusColumn = 3;

constexpr const char* kFilter =
    "All Supported Files (*.mp3 *.wav *.wma *.ogg *.flac);;MP3 Files(*.mp3) (*.mp3);;WAV Files(*.wav) (*.wav);;"
    "WMA Files(*.wma) (*.wma);;OGG Files(*.ogg) (*.ogg);;FLAC Files(*.flac) (*.flac)";

QAction* item(QMenu* menu, const char* name, const char* caption) {
  QAction* action = menu->addAction(caption);
  action->setObjectName(name);
  return action;
}

QPushButton* button(QWidget* parent, const char* name, const char* caption) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

void processPendingMessages() { QApplication::processEvents(); }

}  // namespace

Tfm_converter::Tfm_converter(const Seams& seams, ChooseFolder chooseFolder, QWidget* parent)
    : QDialog(parent), seams_(seams), chooseFolder_(std::move(chooseFolder)) {
  setObjectName("Tfm_converter");
  setWindowTitle("Converter");
  setModal(true);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  conversion_ = std::make_unique<FileConversion>(*seams_.settings, *seams_.prompter,
                                                 static_cast<ConversionView&>(*this));
  pump_ = new QTimer(this);
  pump_->setInterval(0);
  connect(pump_, &QTimer::timeout, this, &Tfm_converter::runSteps);

  lv_ = new QTableWidget(0, 4, this);
  lv_->setObjectName("lv");
  lv_->setAccessibleName("Files");
  lv_->setShowGrid(true);
  lv_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lv_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lv_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lv_->setWordWrap(false);
  lv_->setTextElideMode(Qt::ElideMiddle);
  lv_->verticalHeader()->hide();
  lv_->horizontalHeader()->setSectionsClickable(false);
  lv_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  lv_->horizontalHeader()->setHighlightSections(false);
  lv_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  lv_->horizontalHeader()->setStretchLastSection(true);  // "Status" takes what the window has left
  lv_->setContextMenuPolicy(Qt::CustomContextMenu);
  lv_->setTabKeyNavigation(false);
  QStringList captions;
  for (const Column& column : kColumns) captions << column.caption;
  lv_->setHorizontalHeaderLabels(captions);

  cbx_format_ = new QComboBox(this);
  cbx_format_->setObjectName("cbx_format");
  cbx_format_->addItems({"MP3", "WAV", "WMA", "OGG", "FLAC"});
  edt_dir_ = new QLineEdit(this);
  edt_dir_->setObjectName("edt_dir");
  edt_dir_->setReadOnly(true);
  btn_browse_ = button(this, "btn_browse", "Browse");
  btn_add_ = button(this, "btn_add", "Add File");
  btn_addpath_ = button(this, "btn_addpath", "Add Path");
  btn_remove_ = button(this, "btn_remove", "Remove");
  btn_clear_ = button(this, "btn_clear", "Clear");
  btn_convert_ = button(this, "btn_convert", "Convert");
  btn_stop_ = button(this, "btn_stop", "Stop");
  btn_close_ = button(this, "btn_close", "Close");
  pb_ = new QProgressBar(this);
  pb_->setObjectName("pb");
  pb_->setRange(0, 100);
  pb_->setValue(0);
  pb_->setTextVisible(true);
  pb_->setAccessibleName("Conversion progress");

  buildMenus();

  auto* formatLabel = new QLabel("Output Format: ", this);
  formatLabel->setBuddy(cbx_format_);
  auto* dirLabel = new QLabel("Output Direcotry: ", this);
  dirLabel->setBuddy(edt_dir_);
  auto* output = new QHBoxLayout;
  output->addWidget(formatLabel);
  output->addWidget(cbx_format_);
  output->addSpacing(8);
  output->addWidget(dirLabel);
  output->addWidget(edt_dir_, 1);
  output->addWidget(btn_browse_);
  auto* commands = new QHBoxLayout;
  for (QPushButton* b : {btn_add_, btn_addpath_, btn_remove_, btn_clear_}) commands->addWidget(b);
  commands->addStretch();
  for (QPushButton* b : {btn_convert_, btn_stop_, btn_close_}) commands->addWidget(b);

  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(MainMenu1_);
  layout->addWidget(lv_, 1);
  layout->addLayout(output);
  layout->addWidget(pb_);
  layout->addLayout(commands);

  connect(btn_add_, &QPushButton::clicked, this, &Tfm_converter::btn_addClick);
  connect(btn_addpath_, &QPushButton::clicked, this, &Tfm_converter::btn_addpathClick);
  connect(btn_remove_, &QPushButton::clicked, this, &Tfm_converter::btn_removeClick);
  connect(btn_clear_, &QPushButton::clicked, this, &Tfm_converter::btn_clearClick);
  connect(btn_convert_, &QPushButton::clicked, this, &Tfm_converter::btn_convertClick);
  connect(btn_stop_, &QPushButton::clicked, this, &Tfm_converter::btn_stopClick);
  connect(btn_browse_, &QPushButton::clicked, this, &Tfm_converter::btn_browseClick);
  connect(btn_close_, &QPushButton::clicked, this, &Tfm_converter::Exit1Click);
  connect(lv_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu1_->popup(lv_->viewport()->mapToGlobal(at)); });
}

Tfm_converter::~Tfm_converter() = default;

void Tfm_converter::buildMenus() {
  MainMenu1_ = new QMenuBar(this);
  MainMenu1_->setObjectName("MainMenu1");
  QMenu* file = MainMenu1_->addMenu("File");
  file->setObjectName("File1");
  AddFiles1_ = item(file, "AddFiles1", "Add File(s)");
  AddPath1_ = item(file, "AddPath1", "Add Path");
  Remove1_ = item(file, "Remove1", "Remove");
  Clear1_ = item(file, "Clear1", "Clear");
  file->addSeparator();
  Exit1_ = item(file, "Exit1", "Exit");
  QMenu* action = MainMenu1_->addMenu("Action");
  action->setObjectName("Action1");
  Convert1_ = item(action, "Convert1", "Convert");
  Stop1_ = item(action, "Stop1", "Stop");

  PopupMenu1_ = new QMenu(this);
  PopupMenu1_->setObjectName("PopupMenu1");
  AddFiles2_ = item(PopupMenu1_, "AddFiles2", "Add File(s)");
  AddPath2_ = item(PopupMenu1_, "AddPath2", "Add Path");
  Remove2_ = item(PopupMenu1_, "Remove2", "Remove");
  Clear2_ = item(PopupMenu1_, "Clear2", "Clear");
  PopupMenu1_->addSeparator();
  Convert2_ = item(PopupMenu1_, "Convert2", "Convert");
  Stop2_ = item(PopupMenu1_, "Stop2", "Stop");

  for (QAction* a : {AddFiles1_, AddFiles2_}) connect(a, &QAction::triggered, this, &Tfm_converter::btn_addClick);
  for (QAction* a : {AddPath1_, AddPath2_}) connect(a, &QAction::triggered, this, &Tfm_converter::btn_addpathClick);
  for (QAction* a : {Remove1_, Remove2_}) connect(a, &QAction::triggered, this, &Tfm_converter::btn_removeClick);
  for (QAction* a : {Clear1_, Clear2_}) connect(a, &QAction::triggered, this, &Tfm_converter::btn_clearClick);
  for (QAction* a : {Convert1_, Convert2_}) connect(a, &QAction::triggered, this, &Tfm_converter::btn_convertClick);
  for (QAction* a : {Stop1_, Stop2_}) connect(a, &QAction::triggered, this, &Tfm_converter::btn_stopClick);
  connect(Exit1_, &QAction::triggered, this, &Tfm_converter::Exit1Click);
}

void Tfm_converter::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void Tfm_converter::FormShow() {
  const double s = scale_;
  for (int c = 0; c < 4; ++c) lv_->horizontalHeader()->resizeSection(c, scaled(kColumns[c].width, s));
  lv_->verticalHeader()->setDefaultSectionSize(std::max(scaled(17, s), fontMetrics().height() + 4));
  setFixedSize(QSize(scaled(477, s), scaled(353, s)).expandedTo(sizeHint()));

  SettingsStore& settings = *seams_.settings;
  const QString folder = QString::fromStdString(settings.readText("convert", "output directory", defaults::musicFolder()));
  edt_dir_->setText(folder);
  edt_dir_->setToolTip(folder);
  const int format = settings.readInt("convert", "format", 0);
  cbx_format_->setCurrentIndex(format >= 0 && format < cbx_format_->count() ? format : 0);
  adding_ = false;
  if (!conversion_->running()) lv_->setRowCount(0);
  applyStates();
  if (!conversion_->available()) {
    // Told once the window is up, so that the box sits over it.
    QTimer::singleShot(0, this, [this] { componentsReady(); });
  }
}

bool Tfm_converter::componentsReady() {
  if (conversion_->available()) return true;
  if (!toldMissing_) {
    toldMissing_ = true;
    std::string text = texts::kConverterUnavailable;
    text.replace(text.find("%s"), 2, conversion_->missingComponents());
    seams_.prompter->inform(this, text);
  }
  return false;
}

void Tfm_converter::closeEvent(QCloseEvent* event) {
  FormClose();
  QDialog::closeEvent(event);
}

void Tfm_converter::reject() {
  FormClose();
  QDialog::reject();
}

void Tfm_converter::FormClose() {
  conversion_->stop();
  conversion_->stopScan();
}

void Tfm_converter::Exit1Click() { close(); }

void Tfm_converter::applyStates() {
  const bool converting = converting_;
  const bool idle = !converting && !adding_ && conversion_->available();
  for (QAction* a : {AddFiles1_, AddFiles2_, AddPath1_, AddPath2_, Remove1_, Remove2_, Clear1_, Clear2_, Convert1_,
                     Convert2_})
    a->setEnabled(idle);
  for (QPushButton* b : {btn_add_, btn_addpath_, btn_remove_, btn_clear_, btn_convert_}) b->setEnabled(idle);
  cbx_format_->setEnabled(!converting);
  btn_browse_->setEnabled(!converting);
  // Stop ends a run, and a folder scan too.
  Stop1_->setEnabled(converting || adding_);
  Stop2_->setEnabled(converting || adding_);
  btn_stop_->setEnabled(converting || adding_);
}

void Tfm_converter::addRow(const AddedFile& file, const char* status) {
  const int r = lv_->rowCount();
  lv_->insertRow(r);
  const std::string cells[] = {file.name, file.path, file.length, status};
  for (int c = 0; c < 4; ++c) {
    auto* cell = new QTableWidgetItem(QString::fromStdString(cells[c]));
    cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    if (c == kPathColumn) cell->setToolTip(cell->text());
    lv_->setItem(r, c, cell);
  }
}

// Adding ---------------------------------------------------------------------

void Tfm_converter::btn_addClick() {
  if (conversion_->running() || adding_) return;
  if (!componentsReady()) return;
  const Seams& seams = seams_;
  SettingsStore& settings = *seams.settings;
  const std::string start = settings.readText("convert", "file path", QApplication::applicationDirPath().toStdString());
  DialogFileChooser desktop;
  FileChooser& chooser = seams.files != nullptr ? *seams.files : desktop;
  const std::vector<std::string> files = chooser.chooseFiles(this, "Open", start, kFilter);
  if (files.empty()) return;
  adding_ = true;
  applyStates();
  settings.writeText("convert", "file path", QFileInfo(QString::fromStdString(files.front())).absolutePath().toStdString());
  for (const std::string& path : files) {
    processPendingMessages();
    if (std::optional<AddedFile> file = conversion_->probe(path)) addRow(*file, texts::kStatusUnconverted);
  }
  adding_ = false;
  applyStates();
}

void Tfm_converter::btn_addpathClick() {
  if (conversion_->running() || adding_) return;
  if (!componentsReady()) return;
  const FolderChoice choice =
      chooseFolder_(this, {"Open Folder", "Please select the folder you want to add.", true},
                    seams_.settings->readText("convert", "file path", ""));
  if (choice.folder.empty()) return;
  adding_ = true;
  applyStates();
  conversion_->scanFolder(
      choice.folder, choice.includeSubfolders,
      [this](const AddedFile& file) { addRow(file, texts::kStatusUnconvertedFromFolder); }, processPendingMessages);
  adding_ = false;
  applyStates();
}

void Tfm_converter::btn_removeClick() {
  if (conversion_->running() || adding_) return;
  std::set<int> rows;
  for (const QTableWidgetItem* cell : lv_->selectedItems()) rows.insert(cell->row());
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) lv_->removeRow(*it);
}

void Tfm_converter::btn_clearClick() {
  if (conversion_->running() || adding_ || lv_->rowCount() == 0) return;
  if (seams_.prompter->askYesNo(
          this, "Are you sure to remove all the files from filelist?\nNot delete them from your computer.")) {
    lv_->setRowCount(0);
  }
}

void Tfm_converter::btn_browseClick() {
  if (conversion_->running()) return;
  const FolderChoice choice =
      chooseFolder_(this, {"Output Directory", "Please select the folder you want to save your files.", false},
                    edt_dir_->text().toStdString());
  if (choice.folder.empty()) return;
  edt_dir_->setText(QString::fromStdString(choice.folder));
  edt_dir_->setToolTip(edt_dir_->text());
  seams_.settings->writeText("convert", "output directory", choice.folder);
}

// The run ---------------------------------------------------------------------

void Tfm_converter::btn_convertClick() {
  if (conversion_->running() || adding_ || lv_->rowCount() == 0 || !componentsReady()) return;
  if (conversion_->startRun(cbx_format_->currentIndex())) pump_->start();
}

void Tfm_converter::btn_stopClick() {
  conversion_->stop();
  conversion_->stopScan();
}

void Tfm_converter::runSteps() {
  if (!conversion_->step()) pump_->stop();
}

// ConversionView -------------------------------------------------------------

int Tfm_converter::fileRowCount() const { return lv_->rowCount(); }

std::string Tfm_converter::rowPath(int row) const { return lv_->item(row, kPathColumn)->text().toStdString(); }

std::string Tfm_converter::rowFileName(int row) const { return lv_->item(row, 0)->text().toStdString(); }

void Tfm_converter::setRowStatus(int row, const std::string& status) {
  if (row >= 0 && row < lv_->rowCount()) lv_->item(row, kStatusColumn)->setText(QString::fromStdString(status));
}

void Tfm_converter::showFileRow(int row) {
  if (row < 0 || row >= lv_->rowCount()) return;
  lv_->selectRow(row);
  lv_->scrollToItem(lv_->item(row, 0));
  lv_->setFocus();
}

void Tfm_converter::setProgress(int percent) { pb_->setValue(percent); }

void Tfm_converter::setConverting(bool converting) {
  converting_ = converting;
  applyStates();
}

}  // namespace quavern
