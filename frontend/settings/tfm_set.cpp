#include "frontend/settings/tfm_set.h"

#include "frontend/settings/musicbrainz_settings_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

#include "frontend/disc_controller.h"
#include "frontend/seams.h"
#include "frontend/settings/settings_store.h"
#include "frontend/window_geometry.h"

namespace quavern {

const char* const kWmaProfileNames[47] = {
    "WMA9 48KHz, 192Kbps, Stereo, CBR", "WMA9 48KHz, 160Kbps, Stereo, CBR", "WMA9 48KHz, 128Kbps, Stereo, CBR",
    "WMA9 48KHz, 96Kbps, Stereo, CBR",  "WMA9 48KHz, 64Kbps, Stereo, CBR",  "WMA9 44KHz, 320Kbps, Stereo, CBR",
    "WMA9 44KHz, 256Kbps, Stereo, CBR", "WMA9 44KHz, 192Kbps, Stereo, CBR", "WMA9 44KHz, 160Kbps, Stereo, CBR",
    "WMA9 44KHz, 128Kbps, Stereo, CBR", "WMA9 44KHz, 96Kbps, Stereo, CBR",  "WMA9 44KHz, 80Kbps, Stereo, CBR",
    "WMA9 44KHz, 64Kbps, Stereo, CBR",  "WMA9 44KHz, 48Kbps, Stereo, CBR",  "WMA9 44KHz, 32Kbps, Stereo, CBR",
    "WMA9 44KHz, 48Kbps, Mono, CBR",    "WMA9 44KHz, 32Kbps, Mono, CBR",    "WMA9 44KHz, 20Kbps, Mono, CBR",
    "WMA9 32KHz, 48Kbps, Stereo, CBR",  "WMA9 32KHz, 40Kbps, Stereo, CBR",  "WMA9 32KHz, 32Kbps, Stereo, CBR",
    "WMA9 32KHz, 20Kbps, Mono, CBR",    "WMA9 32KHz, 32Kbps, Stereo, CBR",  "WMA9 32KHz, 22Kbps, Stereo, CBR",
    "WMA9 22KHz, 20Kbps, Stereo, CBR",  "WMA9 22KHz, 20Kbps, Mono, CBR",    "WMA9 22KHz, 16Kbps, Mono, CBR",
    "WMA9 16KHz, 20Kbps, Stereo, CBR",  "WMA9 16KHz, 16Kbps, Stereo, CBR",  "WMA9 16KHz, 16Kbps, Mono, CBR",
    "WMA9 16KHz, 12Kbps, Mono, CBR",    "WMA9 16KHz, 10Kbps, Mono, CBR",    "WMA9 11KHz, 10Kbps, Mono, CBR",
    "WMA9 11KHz, 8Kbps, Mono, CBR",     "WMA9 8KHz,  12Kbps, Stereo, CBR",  "WMA9 8KHz,  8Kbps, Mono, CBR",
    "WMA9 8KHz,  6Kbps, Mono, CBR",     "WMA9 8KHz,  5Kbps, Mono, CBR",     "WMA9 48KHz, Stereo, VBR Quality 98",
    "WMA9 48KHz, Stereo, VBR Quality 90", "WMA9 44KHz, Stereo, VBR Quality 98", "WMA9 44KHz, Stereo, VBR Quality 90",
    "WMA9 44KHz, Stereo, VBR Quality 75", "WMA9 44KHz, Stereo, VBR Quality 50", "WMA9 44KHz, Stereo, VBR Quality 25",
    "WMA9 44KHz, Stereo, VBR Quality 10", "WMA9 44KHz, Stereo, Lossless"};

namespace {

constexpr const char* kBitrates[] = {"8 Kbps",   "16 Kbps",  "24 Kbps",  "32 Kbps",  "40 Kbps",  "48 Kbps",
                                     "56 Kbps",  "64 Kbps",  "80 Kbps",  "96 Kbps",  "112 Kbps", "128 Kbps",
                                     "160 Kbps", "192 Kbps", "224 Kbps", "256 Kbps", "320 Kbps"};
constexpr const char* kFrequencies[] = {"8000 Hz",  "11025 Hz", "12000 Hz", "16000 Hz", "22050 Hz",
                                        "24000 Hz", "32000 Hz", "44100 Hz", "48000 Hz"};
constexpr const char* kChannels[] = {"Mono", "Stereo"};

// Reference size of the dialog's client area.
constexpr int kWidth = 391;
constexpr int kHeight = 349;

// The dialog's defaults where they differ from a reader's.
constexpr int kTimeOutMs = 10000;

template <size_t N>
QComboBox* list(QWidget* parent, const char* name, const char* const (&items)[N]) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  for (const char* item : items) box->addItem(QString::fromUtf8(item));
  return box;
}

QLineEdit* edit(QWidget* parent, const char* name) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  return e;
}

// A stored index shown by a list: outside the list, no selection.
void showIndex(QComboBox* box, int index) { box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1); }

// Radio buttons in a group of their own, ids 0 … n-1, named name0 … (or
// from `firstNumber`).
QGroupBox* radios(QWidget* parent, const char* title, QButtonGroup*& group, const char* prefix, int firstNumber,
                  std::initializer_list<const char*> captions) {
  auto* box = new QGroupBox(title, parent);
  auto* layout = new QVBoxLayout(box);
  group = new QButtonGroup(box);
  int id = 0;
  for (const char* caption : captions) {
    auto* button = new QRadioButton(caption, box);
    button->setObjectName(QString("%1%2").arg(prefix).arg(id + firstNumber));
    group->addButton(button, id++);
    layout->addWidget(button);
  }
  return box;
}

// Ticks the button of `id`; an id outside the group leaves them as they are.
void tick(QButtonGroup* group, int id) {
  if (QAbstractButton* button = group->button(id)) button->setChecked(true);
}

QLabel* note(QWidget* parent, const char* text) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  return label;
}

}  // namespace

// UpDownField ----------------------------------------------------------------

UpDownField::UpDownField(QWidget* parent, const char* name, const char* editName, int minimum, int maximum,
                         int maxDigits)
    : QSpinBox(parent), maxDigits_(maxDigits) {
  setObjectName(name);
  lineEdit()->setObjectName(editName);
  setRange(minimum, maximum);
  setSingleStep(1);
  setWrapping(false);
  setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
  lineEdit()->setMaxLength(maxDigits);
}

QValidator::State UpDownField::validate(QString& text, int&) const {
  // Digits (and the thousands separators a shown number may carry); the
  // number itself is brought into the range when it is read.
  if (text.size() > maxDigits_ + 2) return QValidator::Invalid;
  for (QChar c : text) {
    if (!(c.isDigit() && c.unicode() < 128) && c != ',' && c != ' ') return QValidator::Invalid;
  }
  QString digits = text;
  digits.remove(',').remove(' ');
  return digits.isEmpty() ? QValidator::Intermediate : QValidator::Acceptable;
}

int UpDownField::valueFromText(const QString& text) const {
  QString digits = text;
  digits.remove(',').remove(' ');
  bool ok = false;
  const qlonglong number = digits.toLongLong(&ok);
  if (!ok) return minimum();
  return static_cast<int>(std::clamp<qlonglong>(number, minimum(), maximum()));
}

void UpDownField::fixup(QString& text) const {
  if (text.trimmed().isEmpty()) text = textFromValue(minimum());
}

// Tfm_set --------------------------------------------------------------------

Tfm_set::Tfm_set(SettingsStore& settings, Prompter& prompter, QWidget* parent)
    : QDialog(parent), settings_(settings), prompter_(prompter) {
  setObjectName("Tfm_set");
  setWindowTitle("Settings");
  setModal(true);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

  pc_ = new QTabWidget(this);
  pc_->setObjectName("pc");
  pc_->setUsesScrollButtons(false);  // every page's tab in sight: the dialog is as wide as they need
  pc_->addTab(buildCddbPage(), "CDDB");
  pc_->addTab(buildCdPage(), "CD Setting");
  pc_->addTab(buildMp3Page(), "MP3");
  pc_->addTab(buildWmaPage(), "WMA");
  pc_->addTab(buildOggPage(), "OGG");
  pc_->addTab(buildFlacPage(), "FLAC");
  pc_->addTab(buildConverterPage(), "Converter");
  {
    // The on-line services: MusicBrainz and its cover art, then the proof
    // databases.
    auto* online = new QWidget;
    online->setObjectName("tab_online");
    musicBrainzPage_ = new MusicBrainzSettingsPage;
    auto* onlineForm = new QFormLayout;
    addAccurateRipFields(onlineForm);
    auto* onlineLayout = new QVBoxLayout(online);
    onlineLayout->addWidget(musicBrainzPage_);
    onlineLayout->addSpacing(10);
    onlineLayout->addLayout(onlineForm);
    onlineLayout->addStretch();
    // One left edge and one label column for the whole page.
    musicBrainzPage_->layout()->setContentsMargins(0, 0, 0, 0);
    std::vector<QWidget*> labels;
    for (QFormLayout* form : {musicBrainzPage_->findChild<QFormLayout*>(), onlineForm}) {
      for (int row = 0; form != nullptr && row < form->rowCount(); ++row) {
        if (QLayoutItem* item = form->itemAt(row, QFormLayout::LabelRole); item && item->widget())
          labels.push_back(item->widget());
      }
    }
    int labelWidth = 0;
    for (QWidget* label : labels) labelWidth = std::max(labelWidth, label->sizeHint().width());
    for (QWidget* label : labels) label->setMinimumWidth(labelWidth);
    pc_->addTab(online, "Online");
  }

  auto* output = new QGroupBox("Output Settings", this);
  auto* outputLayout = new QVBoxLayout(output);
  outputLayout->addWidget(pc_);

  const DialogButtons buttons = makeDialogButtons(this, "OK", "Default", "btn_default");
  btn_ok_ = buttons.ok;
  btn_default_ = buttons.middle;
  btn_cancel_ = buttons.cancel;

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(output);
  layout->addLayout(buttons.row);

  connect(btn_ok_, &QPushButton::clicked, this, &Tfm_set::btn_okClick);
  connect(btn_default_, &QPushButton::clicked, this, &Tfm_set::btn_defaultClick);
  connect(btn_cancel_, &QPushButton::clicked, this, &Tfm_set::btn_cancelClick);
  connect(cb_vbr_, &QCheckBox::clicked, this, &Tfm_set::cb_vbrClick);
  connect(cb_ogg_quality_, &QCheckBox::clicked, this, &Tfm_set::cb_ogg_qualityClick);
  connect(ud_ogg_quality_->edit(), &QLineEdit::textEdited, this, &Tfm_set::edt_ogg_qualityChange);
  connect(ud_ogg_quality_, &QSpinBox::editingFinished, this, &Tfm_set::edt_ogg_qualityExit);
  for (UpDownField* field :
       {ud_retries_, ud_speed_, ud_mp3_quality_, ud_mp3_vbr_, ud_ogg_quality_, ud_flac_level_, ud_files_at_once_})
    filterKeys(field);
  setScale(1.0);
}

QWidget* Tfm_set::buildCddbPage() {
  auto* page = new QWidget;
  QButtonGroup* group = nullptr;
  QGroupBox* source = radios(page, "CDDB Source", group, "rg_cddb_item", 0,
                             {"Get CDDB from any available source", "Get CDDB info from On-Line Data Base",
                              "Use only cdplayer.ini"});
  source->setObjectName("rg_cddb");
  rg_cddb_ = group;
  edt_Server_ = edit(page, "edt_Server");
  edt_Script_ = edit(page, "edt_Script");
  edt_Script_->setMaxLength(5);
  edt_Script_->installEventFilter(this);
  edt_email_ = edit(page, "edt_email");
  ud_timeout_ = new UpDownField(page, "ud_timeout", "edt_timeout", 0, 30000, 6);
  ud_timeout_->setGroupSeparatorShown(true);
  ud_timeout_->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
  ud_timeout_->edit()->setReadOnly(true);  // the up-down alone changes it
  auto* form = new QFormLayout;
  form->addRow("CDDB Server: ", edt_Server_);
  form->addRow("Port:", edt_Script_);
  form->addRow("E-mail:", edt_email_);
  form->addRow("FreeDB Server Timeout:", ud_timeout_);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(source);
  layout->addLayout(form);
  layout->addWidget(note(page, "The CDDB server asks for your e-mail address with every request."));
  layout->addStretch();
  return page;
}

QWidget* Tfm_set::buildCdPage() {
  auto* page = new QWidget;
  cb_cdrom_ = new QComboBox(page);
  cb_cdrom_->setObjectName("cb_cdrom");
  QGroupBox* grab = radios(page, "Grab Mode", grabMode_, "cd_g", 0,
                           {"Burst Mode", "Synch mode(Correct Jitter Errors)",
                            "Secure Mode (Double Precision Error Correction)",
                            "Paranoid Mode (Small Blocks Read, drive cache disable)",
                            "Burst, re-read unconfirmed tracks"});
  ud_retries_ = new UpDownField(page, "ud_retries", "edt_retries", 1, 32, 2);
  ud_speed_ = new UpDownField(page, "ud_speed", "edt_speed", 1, 32, 2);
  auto* speedRow = new QHBoxLayout;
  speedRow->addWidget(ud_speed_);
  speedRow->addWidget(new QLabel("x 176 kb/sec", page));
  speedRow->addStretch();
  auto* retriesRow = new QHBoxLayout;
  retriesRow->addWidget(ud_retries_);
  retriesRow->addStretch();
  QGroupBox* action = radios(page, "Action On UnRecovery Read or Synch Error", errorAction_, "cd_a", 1,
                             {"Stop", "Silence", "Cut", "Correct"});
  // The four actions side by side.
  delete action->layout();
  auto* actions = new QHBoxLayout(action);
  for (QAbstractButton* button : errorAction_->buttons()) actions->addWidget(button);
  actions->addStretch();

  auto* form = new QFormLayout;
  form->addRow("CD-Rom: ", cb_cdrom_);
  auto* numbers = new QFormLayout;
  numbers->addRow("Retries on Read or Synch Error: ", retriesRow);
  numbers->addRow("Extraction Speed Low or Equal: ", speedRow);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(form);
  layout->addWidget(grab);
  layout->addLayout(numbers);
  layout->addWidget(action);
  addTestAndCopy(layout);
  addReplayGain(layout);
  cb_rip_on_insert_ = new QCheckBox("Rip a disc when it is inserted", page);
  cb_rip_on_insert_->setObjectName("cb_rip_on_insert");
  cb_eject_done_ = new QCheckBox("Eject when done", page);
  cb_eject_done_->setObjectName("cb_eject_done");
  layout->addWidget(cb_rip_on_insert_);
  layout->addWidget(cb_eject_done_);
  layout->addStretch();
  return page;
}

QWidget* Tfm_set::buildMp3Page() {
  auto* page = new QWidget;
  cb_mp3_bitrate_ = list(page, "cb_mp3_bitrate", kBitrates);
  cb_mp3_channel_ = list(page, "cb_mp3_channel", kChannels);
  cb_mp3_frequency_ = list(page, "cb_mp3_frequency", kFrequencies);
  ud_mp3_quality_ = new UpDownField(page, "ud_mp3_quality", "edt_mp3_quality", 0, 9, 1);
  cb_vbr_ = new QCheckBox("Enable VBR", page);
  cb_vbr_->setObjectName("cb_vbr");
  cb_mp3_vbr_ = list(page, "cb_mp3_vbr", kBitrates);
  ud_mp3_vbr_ = new UpDownField(page, "ud_mp3_vbr", "edt_mp3_vbr", 0, 9, 1);

  auto* form = new QFormLayout;
  form->addRow("Bitrate: ", cb_mp3_bitrate_);
  form->addRow("Channel: ", cb_mp3_channel_);
  form->addRow("Frequency: ", cb_mp3_frequency_);
  form->addRow("Quality: ", ud_mp3_quality_);
  auto* vbr = new QGroupBox("VBR (Variable Bit Rate)", page);
  auto* vbrForm = new QFormLayout(vbr);
  vbrForm->addRow(cb_vbr_);
  vbrForm->addRow("VBR Bitrate: ", cb_mp3_vbr_);
  vbrForm->addRow("VBR Quality: ", ud_mp3_vbr_);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(form);
  layout->addWidget(note(page, "8Kbps - poor quality, small file, 350Kbps - good quality, big file"));
  layout->addWidget(note(page, "Quality: 0 - best quality, low speed, 9 - low quality, fast speed. "));
  layout->addWidget(vbr);
  layout->addStretch();
  return page;
}

QWidget* Tfm_set::buildWmaPage() {
  auto* page = new QWidget;
  cb_wma_ = list(page, "cb_wma", kWmaProfileNames);
  cb_wma_->setMaxVisibleItems(16);
  auto* group = new QGroupBox("WMA Format", page);
  auto* groupLayout = new QVBoxLayout(group);
  groupLayout->addWidget(cb_wma_);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(group);
  layout->addStretch();
  return page;
}

QWidget* Tfm_set::buildOggPage() {
  auto* page = new QWidget;
  cb_ogg_fre_ = list(page, "cb_ogg_fre", kFrequencies);
  cb_ogg_channel_ = list(page, "cb_ogg_channel", kChannels);
  cb_ogg_bitrate_ = list(page, "cb_ogg_bitrate", kBitrates);
  cb_ogg_minbit_ = list(page, "cb_ogg_minbit", kBitrates);
  cb_ogg_maxbit_ = list(page, "cb_ogg_maxbit", kBitrates);
  cb_ogg_quality_ = new QCheckBox("Enable Quality", page);
  cb_ogg_quality_->setObjectName("cb_ogg_quality");
  ud_ogg_quality_ = new UpDownField(page, "ud_ogg_quality", "edt_ogg_quality", 0, 1000, 5);

  auto* form = new QFormLayout;
  form->addRow("Frequency: ", cb_ogg_fre_);
  form->addRow("Channel: ", cb_ogg_channel_);
  form->addRow("Bitrate: ", cb_ogg_bitrate_);
  form->addRow("Min Bitrate: ", cb_ogg_minbit_);
  form->addRow("Max Bitrate: ", cb_ogg_maxbit_);
  form->addRow(cb_ogg_quality_);
  form->addRow("VBR Quality: ", ud_ogg_quality_);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(form);
  layout->addWidget(note(page, "8Kbps - poor quality, small file, 350Kbps - good quality, big file"));
  layout->addWidget(note(page, "0 - best quality, low speed, 1000 - low quality, fast speed . "));
  layout->addWidget(note(page, "If quality enabled, the bitrate just affects the convertation "
                               "speed and the quality of the result file, not decide. "));
  layout->addStretch();
  return page;
}

QWidget* Tfm_set::buildFlacPage() {
  auto* page = new QWidget;
  ud_flac_level_ = new UpDownField(page, "ud_flac_level", "edt_flac_level", 0, 8, 1);
  auto* form = new QFormLayout;
  form->addRow("Compression Level: ", ud_flac_level_);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(form);
  layout->addWidget(note(page, "0 - fastest, bigger file, 8 - slowest, smallest file. "
                               "FLAC is lossless: every level gives back the same audio."));
  layout->addStretch();
  return page;
}

void Tfm_set::setScale(double scale) {
  scale_ = scale;
  setMinimumSize(scaled(kWidth, scale_), scaled(kHeight, scale_));
}

void Tfm_set::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
  const QSize hint = sizeHint().expandedTo(minimumSize());
  setFixedSize(hint);
}

void Tfm_set::FormShow() {
  // Each page once to the front, ending on the first.
  for (int page = pc_->count() - 1; page >= 0; --page) pc_->setCurrentIndex(page);

  const SettingsStore& s = settings_;
  tick(rg_cddb_, s.readInt("cddb", "cd source", 0));
  edt_Server_->setText(QString::fromStdString(s.readText("cddb", "cddb server", defaults::kCddbServer)));
  edt_Script_->setText(QString::number(s.readInt("cddb", "port", 80)));
  const std::string email = s.readText("cddb", "email", "");
  edt_email_->setText(QString::fromStdString(email.empty() ? defaults::userEMail() : email));
  ud_timeout_->setValue(s.readInt("cddb", "time out", kTimeOutMs));
  musicBrainzPage_->load(s);

  showIndex(cb_cdrom_, s.readInt("cd", "cd rom", 0));
  tick(grabMode_, s.readInt("cd", "grab mode", 1));
  ud_retries_->setValue(s.readInt("cd", "error retry", 5));
  tick(errorAction_, s.readInt("cd", "error action", 3));
  ud_speed_->setValue(s.readInt("cd", "drive speed", 32));
  cb_rip_on_insert_->setChecked(s.readBool("cd", "rip on insert", false));
  cb_eject_done_->setChecked(s.readBool("cd", "eject when done", false));

  showIndex(cb_mp3_bitrate_, s.readInt("mp3", "bitrate", 11));
  showIndex(cb_mp3_channel_, s.readInt("mp3", "channel", 1));
  showIndex(cb_mp3_frequency_, s.readInt("mp3", "frequency", 7));
  ud_mp3_quality_->setValue(s.readInt("mp3", "quality", 5));
  cb_vbr_->setChecked(s.readBool("mp3", "enable vbr", false));
  showIndex(cb_mp3_vbr_, s.readInt("mp3", "vbr bitrate", 11));
  ud_mp3_vbr_->setValue(s.readInt("mp3", "vbr quality", 5));

  showIndex(cb_wma_, s.readInt("wma", "format", 9));

  showIndex(cb_ogg_channel_, s.readInt("ogg", "channel", 1));
  showIndex(cb_ogg_fre_, s.readInt("ogg", "frequency", 7));
  showIndex(cb_ogg_bitrate_, s.readInt("ogg", "bitrate", 11));
  showIndex(cb_ogg_maxbit_, s.readInt("ogg", "max bitrate", 11));
  showIndex(cb_ogg_minbit_, s.readInt("ogg", "min bitrate", 11));
  cb_ogg_quality_->setChecked(s.readBool("ogg", "enable quality", true));
  ud_ogg_quality_->setValue(s.readInt("ogg", "quality", 300));

  ud_flac_level_->setValue(s.readInt("flac", "compression level", 5));
  showConverterSettings();
  showProofSettings();

  musicBrainzPage_->setDefaults();
  cb_vbrClick();
  cb_ogg_qualityClick();
}

void Tfm_set::cb_vbrClick() {
  const bool on = cb_vbr_->isChecked();
  cb_mp3_vbr_->setEnabled(on);
  ud_mp3_vbr_->setEnabled(on);
}

void Tfm_set::cb_ogg_qualityClick() {
  const bool on = cb_ogg_quality_->isChecked();
  ud_ogg_quality_->setEnabled(on);
  // Minimum and maximum apply to bit-rate coding only.
  cb_ogg_minbit_->setEnabled(!on);
  cb_ogg_maxbit_->setEnabled(!on);
}

void Tfm_set::edt_ogg_qualityChange() {
  QLineEdit* field = ud_ogg_quality_->edit();
  QString text = field->text();
  text.remove(' ');
  if (text.isEmpty()) {
    const QSignalBlocker quiet(ud_ogg_quality_);
    ud_ogg_quality_->setValue(0);
    field->clear();  // stays empty until the field is left
    return;
  }
  text.remove(',');
  bool ok = false;
  const qlonglong number = text.toLongLong(&ok);
  if (!ok) return;
  if (number >= 1000) {
    ud_ogg_quality_->setValue(1000);
    field->setText("1000");  // the field shows what will be stored
  } else {
    ud_ogg_quality_->setValue(static_cast<int>(number));
  }
}

void Tfm_set::edt_ogg_qualityExit() {
  if (ud_ogg_quality_->edit()->text().trimmed().isEmpty()) {
    ud_ogg_quality_->setValue(0);
    ud_ogg_quality_->edit()->setText("0");
  }
}

void Tfm_set::btn_okClick() {
  // Every field is checked before anything is written.
  const int port = parseCddbPort(edt_Script_->text().toStdString());
  if (port == 0) {
    prompter_.inform(this, texts::kBadPort);
    pc_->setCurrentIndex(0);
    edt_Script_->setFocus();
    edt_Script_->selectAll();
    return;
  }
  if (const std::string refused = musicBrainzPage_->check(); !refused.empty()) {
    pc_->setCurrentWidget(musicBrainzPage_->parentWidget());
    prompter_.inform(this, refused);
    return;
  }
  if (!checkProofSettings()) return;
  for (QSpinBox* field : std::initializer_list<QSpinBox*>{ud_retries_, ud_speed_, ud_mp3_quality_, ud_mp3_vbr_,
                                                           ud_ogg_quality_, ud_flac_level_, ud_files_at_once_})
    field->interpretText();

  SettingsStore& s = settings_;
  s.writeInt("cddb", "cd source", rg_cddb_->checkedId());
  s.writeText("cddb", "cddb server", edt_Server_->text().trimmed().toStdString());
  s.writeText("cddb", "email", edt_email_->text().trimmed().toStdString());
  s.writeInt("cddb", "port", port);
  s.writeInt("cddb", "time out", ud_timeout_->value());
  s.writeInt("cd", "cd rom", cb_cdrom_->currentIndex());
  if (grabMode_->checkedId() >= 0) s.writeInt("cd", "grab mode", grabMode_->checkedId());
  s.writeInt("cd", "error retry", ud_retries_->value());
  s.writeInt("cd", "drive speed", ud_speed_->value());
  s.writeBool("cd", "rip on insert", cb_rip_on_insert_->isChecked());
  s.writeBool("cd", "eject when done", cb_eject_done_->isChecked());
  if (errorAction_->checkedId() >= 0) s.writeInt("cd", "error action", errorAction_->checkedId());
  s.writeInt("mp3", "bitrate", cb_mp3_bitrate_->currentIndex());
  s.writeInt("mp3", "channel", cb_mp3_channel_->currentIndex());
  s.writeInt("mp3", "frequency", cb_mp3_frequency_->currentIndex());
  s.writeInt("mp3", "quality", ud_mp3_quality_->value());
  s.writeBool("mp3", "enable vbr", cb_vbr_->isChecked());
  s.writeInt("mp3", "vbr bitrate", cb_mp3_vbr_->currentIndex());
  s.writeInt("mp3", "vbr quality", ud_mp3_vbr_->value());
  s.writeInt("wma", "format", cb_wma_->currentIndex());
  s.writeInt("ogg", "channel", cb_ogg_channel_->currentIndex());
  s.writeInt("ogg", "frequency", cb_ogg_fre_->currentIndex());
  s.writeInt("ogg", "bitrate", cb_ogg_bitrate_->currentIndex());
  s.writeInt("ogg", "max bitrate", cb_ogg_maxbit_->currentIndex());
  s.writeInt("ogg", "min bitrate", cb_ogg_minbit_->currentIndex());
  s.writeBool("ogg", "enable quality", cb_ogg_quality_->isChecked());
  s.writeInt("ogg", "quality", ud_ogg_quality_->value());
  s.writeInt("flac", "compression level", ud_flac_level_->value());
  writeConverterSettings();
  writeProofSettings();
  musicBrainzPage_->save(s);
  accept();
}

void Tfm_set::btn_defaultClick() {
  tick(rg_cddb_, 0);
  edt_Server_->setText(defaults::kCddbServer);
  edt_Script_->setText("80");
  edt_email_->setText(QString::fromStdString(defaults::userEMail()));
  ud_timeout_->setValue(kTimeOutMs);
  showIndex(cb_cdrom_, 0);
  tick(grabMode_, 1);
  ud_retries_->setValue(5);
  ud_speed_->setValue(32);
  tick(errorAction_, 3);
  cb_mp3_bitrate_->setCurrentIndex(11);
  cb_mp3_channel_->setCurrentIndex(1);
  cb_mp3_frequency_->setCurrentIndex(7);
  ud_mp3_quality_->setValue(5);
  cb_vbr_->setChecked(false);
  cb_mp3_vbr_->setCurrentIndex(11);
  ud_mp3_vbr_->setValue(5);
  cb_wma_->setCurrentIndex(9);
  cb_ogg_channel_->setCurrentIndex(1);
  cb_ogg_fre_->setCurrentIndex(8);
  cb_ogg_bitrate_->setCurrentIndex(11);
  cb_ogg_maxbit_->setCurrentIndex(11);
  cb_ogg_minbit_->setCurrentIndex(11);
  cb_ogg_quality_->setChecked(true);
  ud_ogg_quality_->setValue(300);
  ud_flac_level_->setValue(5);
  defaultConverterSettings();
  defaultProofSettings();
  cb_vbrClick();
  cb_ogg_qualityClick();
}

void Tfm_set::btn_cancelClick() { reject(); }

void Tfm_set::filterKeys(UpDownField* field) { field->edit()->installEventFilter(this); }

bool Tfm_set::eventFilter(QObject* watched, QEvent* event) {
  // The numeric fields take digits; other characters are dropped. Keys
  // that move or edit (Backspace, arrows, Tab, …) carry no text and pass.
  if (event->type() == QEvent::KeyPress && qobject_cast<QLineEdit*>(watched) != nullptr) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    const bool printable = !text.isEmpty() && text[0].isPrint();
    if (printable && !(text.size() == 1 && text[0].isDigit() && text[0].unicode() < 128)) return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace quavern
