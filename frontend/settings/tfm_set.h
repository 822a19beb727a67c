// Tfm_set, the Settings dialog: every setting of the desktop program except
// the output folder and format, on the pages "CDDB", "CD Setting", "MP3",
// "WMA", "OGG" and "FLAC", then "Converter" and "Online". Each show loads the controls from quavern.ini
// (with the dialog's own defaults); OK checks the fields and writes every
// key, Default sets the controls without writing, Cancel writes nothing.
// The file is the dialog's only state. The main window fills the drive box
// and applies the chosen drive once the dialog is closed with OK.
#pragma once

#include <QDialog>
#include <QSpinBox>

class QBoxLayout;
class QButtonGroup;
class QFormLayout;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace quavern {

class Prompter;
class SettingsStore;

// An edit with its up-down: digits only (the key filter), at most
// `maxDigits` characters, a typed number beyond the range reads as the
// nearest end of it. The edit is named `editName`, the up-down `name`.
class UpDownField : public QSpinBox {
  Q_OBJECT

 public:
  UpDownField(QWidget* parent, const char* name, const char* editName, int minimum, int maximum, int maxDigits);
  QLineEdit* edit() const { return lineEdit(); }

 protected:
  QValidator::State validate(QString& text, int& pos) const override;
  int valueFromText(const QString& text) const override;
  void fixup(QString& text) const override;

 private:
  int maxDigits_;
};

class MusicBrainzSettingsPage;

class Tfm_set : public QDialog {
  Q_OBJECT

 public:
  // Neither is owned; both outlive the dialog.
  Tfm_set(SettingsStore& settings, Prompter& prompter, QWidget* parent = nullptr);

  QComboBox* cb_cdrom() const { return cb_cdrom_; }

  // Handlers (public so that tests reach them).
  void FormShow();
  void btn_okClick();
  void btn_defaultClick();
  void btn_cancelClick();
  void cb_vbrClick();
  void cb_ogg_qualityClick();
  void edt_ogg_qualityChange();
  void edt_ogg_qualityExit();

  // The reference layout's size at the main window's scale.
  void setScale(double scale);

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* buildCddbPage();
  QWidget* buildCdPage();
  QWidget* buildMp3Page();
  QWidget* buildWmaPage();
  QWidget* buildOggPage();
  QWidget* buildFlacPage();
  // The proof of a rip: test and copy on the CD Setting page, the
  // AccurateRip server on the Online page (tfm_set_proof.cpp).
  void addTestAndCopy(QBoxLayout* cdPage);
  void addAccurateRipFields(QFormLayout* onlinePage);
  void addReplayGain(QBoxLayout* cdPage);  // [replaygain] "enabled", shown and stored with the proof's fields
  // The converter's own settings ([convert] "files at once", "replaygain")
  // on the Converter page (tfm_set_converter.cpp).
  QWidget* buildConverterPage();
  void showConverterSettings();
  void writeConverterSettings();
  void defaultConverterSettings();
  void showProofSettings();
  bool checkProofSettings();  // false (with a message) for a field that cannot be stored
  void writeProofSettings();
  void defaultProofSettings();
  void filterKeys(UpDownField* field);

  SettingsStore& settings_;
  Prompter& prompter_;
  double scale_ = 1.0;

  QTabWidget* pc_;
  QPushButton* btn_ok_;
  QPushButton* btn_default_;
  QPushButton* btn_cancel_;
  // CDDB
  QButtonGroup* rg_cddb_;
  QLineEdit* edt_Server_;
  QLineEdit* edt_Script_;
  QLineEdit* edt_email_;
  UpDownField* ud_timeout_;
  // CD Setting
  QComboBox* cb_cdrom_;
  QButtonGroup* grabMode_;
  UpDownField* ud_retries_;
  UpDownField* ud_speed_;
  QButtonGroup* errorAction_;
  QCheckBox* cb_rip_on_insert_;  // [cd] "rip on insert"
  QCheckBox* cb_eject_done_;     // [cd] "eject when done"
  // MP3
  QComboBox* cb_mp3_bitrate_;
  QComboBox* cb_mp3_channel_;
  QComboBox* cb_mp3_frequency_;
  UpDownField* ud_mp3_quality_;
  QCheckBox* cb_vbr_;
  QComboBox* cb_mp3_vbr_;
  UpDownField* ud_mp3_vbr_;
  // WMA
  QComboBox* cb_wma_;
  // OGG
  QComboBox* cb_ogg_fre_;
  QComboBox* cb_ogg_channel_;
  QComboBox* cb_ogg_bitrate_;
  QComboBox* cb_ogg_minbit_;
  QComboBox* cb_ogg_maxbit_;
  QCheckBox* cb_ogg_quality_;
  UpDownField* ud_ogg_quality_;
  // FLAC
  UpDownField* ud_flac_level_;
  // Proof
  QCheckBox* cb_test_copy_ = nullptr;
  QLineEdit* edt_accuraterip_ = nullptr;
  QCheckBox* cb_replaygain_ = nullptr;  // [replaygain] "enabled"
  QLineEdit* edt_ctdb_ = nullptr;  // [ctdb] "server"
  MusicBrainzSettingsPage* musicBrainzPage_ = nullptr;  // the "Online" page's MusicBrainz fields
  // Converter
  UpDownField* ud_files_at_once_ = nullptr;       // [convert] "files at once"
  QCheckBox* cb_convert_replaygain_ = nullptr;  // [convert] "replaygain"
};

// The 47 WMA profiles in list order (index 0 is profile 1).
extern const char* const kWmaProfileNames[47];

}  // namespace quavern
