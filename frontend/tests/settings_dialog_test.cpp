// The Settings dialog on the program's own windows over a scratch home: the
// pages, lists and captions; every key OK writes read back through the
// settings store; Default, Cancel and a garbled file; the key filter and
// the OGG quality field; a port that is not a number; the drive chosen
// applied by the main window (at once, or after playback); the e-mail
// address on the CDDB server's requests; screenshots of every page.
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

#include <iostream>

#include "engine/cddb/testing/cddb_test_server.h"
#include "frontend/settings/tfm_set.h"
#include "frontend/tests/quavern_test_support.h"
#include "vdrive/demo_disc.h"

using namespace quavern_testing;
using engine::cddb::testing::CddbTestServer;
namespace fs = std::filesystem;

class SettingsDialogTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<ScratchHome> home_;
  std::unique_ptr<ProgramUnderTest> program_;

  void start() {
    QVERIFY(quavern::ensureComponentsRegistered(std::cerr));
    program_ = std::make_unique<ProgramUnderTest>(*application());
    program_->show();
  }
  quavern::Tfm_set* dialog() const { return program_->window().findChild<quavern::Tfm_set*>("Tfm_set"); }
  template <class T>
  T* w(const char* name) const {
    T* found = dialog()->findChild<T*>(name);
    if (found == nullptr) qFatal("no widget %s", name);
    return found;
  }
  QComboBox* box(const char* name) const { return w<QComboBox>(name); }
  QLineEdit* edit(const char* name) const { return w<QLineEdit>(name); }
  QSpinBox* updown(const char* name) const { return w<QSpinBox>(name); }
  bool checked(const char* name) const { return w<QAbstractButton>(name)->isChecked(); }
  int readInt(const char* section, const char* key) const { return program_->settings.readInt(section, key, -99); }
  std::string readText(const char* section, const char* key) const {
    return program_->settings.readText(section, key, "<none>");
  }
  std::string iniText() const { return readFile(home_->path() + "/quavern.ini"); }

 private slots:
  void init() { home_ = std::make_unique<ScratchHome>(); }
  void cleanup() {
    program_.reset();
    home_.reset();
  }

  void pagesListsAndCaptionsAreInOrder() {
    start();
    auto* pc = w<QTabWidget>("pc");
    QStringList pages;
    for (int i = 0; i < pc->count(); ++i) pages << pc->tabText(i);
    QCOMPARE(pages, QStringList({"CDDB", "CD Setting", "MP3", "WMA", "OGG", "FLAC", "Converter", "Online"}));
    dialog()->FormShow();
    QCOMPARE(pc->currentIndex(), 0);
    for (const char* name : {"cb_mp3_bitrate", "cb_mp3_vbr", "cb_ogg_bitrate", "cb_ogg_minbit", "cb_ogg_maxbit"}) {
      QCOMPARE(box(name)->count(), 17);
      QCOMPARE(box(name)->itemText(0), QString("8 Kbps"));
      QCOMPARE(box(name)->itemText(11), QString("128 Kbps"));
      QCOMPARE(box(name)->itemText(16), QString("320 Kbps"));
    }
    for (const char* name : {"cb_mp3_frequency", "cb_ogg_fre"}) {
      QCOMPARE(box(name)->count(), 9);
      QCOMPARE(box(name)->itemText(0), QString("8000 Hz"));
      QCOMPARE(box(name)->itemText(8), QString("48000 Hz"));
    }
    QCOMPARE(box("cb_ogg_channel")->itemText(0), QString("Mono"));
    QCOMPARE(box("cb_mp3_channel")->itemText(1), QString("Stereo"));
    QComboBox* wma = box("cb_wma");
    QCOMPARE(wma->count(), 47);
    QCOMPARE(wma->itemText(0), QString("WMA9 48KHz, 192Kbps, Stereo, CBR"));
    QCOMPARE(wma->itemText(20), wma->itemText(22));  // both stay: the profile follows the index
    QCOMPARE(wma->itemText(34), QString("WMA9 8KHz,  12Kbps, Stereo, CBR"));  // two blanks
    QCOMPARE(wma->itemText(46), QString("WMA9 44KHz, Stereo, Lossless"));
    QCOMPARE(w<QRadioButton>("cd_g2")->text(), QString("Secure Mode (Double Precision Error Correction)"));
    QCOMPARE(w<QRadioButton>("cd_a4")->text(), QString("Correct"));
    QCOMPARE(w<QGroupBox>("rg_cddb")->title(), QString("CDDB Source"));
    // The dialog's own defaults on a fresh home, and the enabling rules.
    QVERIFY(checked("rg_cddb_item0") && checked("cd_g1") && checked("cd_a4"));
    QCOMPARE(edit("edt_Script")->text(), QString("80"));
    QCOMPARE(edit("edt_timeout")->text(), QString("10,000"));
    QCOMPARE(edit("edt_email")->text().toStdString(), quavern::defaults::userEMail());
    QVERIFY(edit("edt_email")->text().contains('@'));
    QCOMPARE(box("cb_ogg_fre")->currentIndex(), 7);
    QCOMPARE(box("cb_wma")->currentIndex(), 9);
    QCOMPARE(updown("ud_ogg_quality")->value(), 300);
    QVERIFY(checked("cb_ogg_quality") && !box("cb_ogg_minbit")->isEnabled() && !box("cb_ogg_maxbit")->isEnabled());
    QVERIFY(updown("ud_ogg_quality")->isEnabled());
    QVERIFY(!checked("cb_vbr") && !box("cb_mp3_vbr")->isEnabled() && !updown("ud_mp3_vbr")->isEnabled());
    w<QCheckBox>("cb_ogg_quality")->click();
    QVERIFY(box("cb_ogg_minbit")->isEnabled() && box("cb_ogg_maxbit")->isEnabled());
    QVERIFY(!updown("ud_ogg_quality")->isEnabled());
    w<QCheckBox>("cb_vbr")->click();
    QVERIFY(box("cb_mp3_vbr")->isEnabled() && updown("ud_mp3_vbr")->isEnabled());
  }

  // ReplayGain on the CD Setting page: on by default, a click stores it
  // off, the dialog shows what is stored, Default turns it on again.
  void theReplayGainChoiceIsOnByDefaultAndStored() {
    start();
    dialog()->FormShow();
    auto* choice = w<QCheckBox>("cb_replaygain");
    QVERIFY(choice->isChecked());
    QTest::mouseClick(choice, Qt::LeftButton, {}, QPoint(8, choice->height() / 2));
    QVERIFY(!choice->isChecked());
    dialog()->btn_okClick();
    QCOMPARE(readText("replaygain", "enabled"), std::string("0"));
    dialog()->FormShow();
    QVERIFY(!w<QCheckBox>("cb_replaygain")->isChecked());
    dialog()->btn_defaultClick();
    QVERIFY(w<QCheckBox>("cb_replaygain")->isChecked());
    dialog()->btn_okClick();
    QCOMPARE(readText("replaygain", "enabled"), std::string("1"));
  }

  void okWritesEveryKeyAndItReadsBack() {
    start();
    dialog()->FormShow();
    w<QRadioButton>("rg_cddb_item2")->setChecked(true);
    edit("edt_Server")->setText("cddb.example.org");
    edit("edt_Script")->setText("8880");
    edit("edt_email")->setText("ann@example.org");
    updown("ud_timeout")->setValue(20000);
    w<QRadioButton>("cd_g3")->setChecked(true);
    updown("ud_retries")->setValue(10);
    updown("ud_speed")->setValue(8);
    w<QRadioButton>("cd_a2")->setChecked(true);
    box("cb_mp3_bitrate")->setCurrentIndex(13);
    box("cb_mp3_channel")->setCurrentIndex(0);
    box("cb_mp3_frequency")->setCurrentIndex(8);
    updown("ud_mp3_quality")->setValue(2);
    w<QCheckBox>("cb_vbr")->setChecked(true);
    box("cb_mp3_vbr")->setCurrentIndex(15);
    updown("ud_mp3_vbr")->setValue(3);
    box("cb_wma")->setCurrentIndex(46);
    box("cb_ogg_channel")->setCurrentIndex(0);
    box("cb_ogg_fre")->setCurrentIndex(6);
    box("cb_ogg_bitrate")->setCurrentIndex(9);
    box("cb_ogg_maxbit")->setCurrentIndex(12);
    box("cb_ogg_minbit")->setCurrentIndex(5);
    w<QCheckBox>("cb_ogg_quality")->setChecked(false);
    updown("ud_ogg_quality")->setValue(450);
    updown("ud_flac_level")->setValue(8);
    dialog()->btn_okClick();
    QCOMPARE(dialog()->result(), int(QDialog::Accepted));
    QCOMPARE(readInt("cddb", "cd source"), 2);
    QCOMPARE(readText("cddb", "cddb server"), std::string("cddb.example.org"));
    QCOMPARE(readText("cddb", "email"), std::string("ann@example.org"));
    QCOMPARE(readInt("cddb", "port"), 8880);
    QCOMPARE(readInt("cddb", "time out"), 20000);
    QCOMPARE(readInt("cd", "cd rom"), -1);  // no drive listed: no selection
    QCOMPARE(readInt("cd", "grab mode"), 3);
    QCOMPARE(readInt("cd", "error retry"), 10);
    QCOMPARE(readInt("cd", "drive speed"), 8);
    QCOMPARE(readInt("cd", "error action"), 1);
    QCOMPARE(readInt("mp3", "bitrate"), 13);
    QCOMPARE(readInt("mp3", "channel"), 0);
    QCOMPARE(readInt("mp3", "frequency"), 8);
    QCOMPARE(readInt("mp3", "quality"), 2);
    QCOMPARE(readText("mp3", "enable vbr"), std::string("1"));
    QCOMPARE(readInt("mp3", "vbr bitrate"), 15);
    QCOMPARE(readInt("mp3", "vbr quality"), 3);
    QCOMPARE(readInt("wma", "format"), 46);
    QCOMPARE(readInt("ogg", "channel"), 0);
    QCOMPARE(readInt("ogg", "frequency"), 6);
    QCOMPARE(readInt("ogg", "bitrate"), 9);
    QCOMPARE(readInt("ogg", "max bitrate"), 12);
    QCOMPARE(readInt("ogg", "min bitrate"), 5);
    QCOMPARE(readText("ogg", "enable quality"), std::string("0"));
    QCOMPARE(readInt("ogg", "quality"), 450);
    QCOMPARE(readInt("flac", "compression level"), 8);
    // The keys in the order OK writes them.
    const std::string ini = iniText();
    size_t at = 0;
    for (const char* key : {"cd source=", "cddb server=", "email=", "port=", "time out="}) {
      const size_t found = ini.find(key, at);
      QVERIFY2(found != std::string::npos, key);
      at = found;
    }
    // Shown again as stored.
    dialog()->btn_defaultClick();
    dialog()->FormShow();
    QVERIFY(checked("rg_cddb_item2") && checked("cd_g3") && checked("cd_a2"));
    QCOMPARE(updown("ud_retries")->value(), 10);
    QCOMPARE(edit("edt_email")->text(), QString("ann@example.org"));
    QCOMPARE(box("cb_wma")->currentIndex(), 46);
    QVERIFY(box("cb_ogg_minbit")->isEnabled() && box("cb_mp3_vbr")->isEnabled());
  }

  void defaultThenCancelWritesNothingAndDefaultThenOkStoresTheDialogsDefaults() {
    home_->write("quavern.ini", "[cd]\ngrab mode=2\n[ogg]\nfrequency=3\n");
    start();
    const std::string before = iniText();
    dialog()->FormShow();
    QVERIFY(checked("cd_g2"));  // a stored 2 opens with Secure
    dialog()->btn_defaultClick();
    QVERIFY(checked("cd_g1"));
    QCOMPARE(box("cb_ogg_fre")->currentIndex(), 8);
    dialog()->btn_cancelClick();
    QCOMPARE(iniText(), before);
    dialog()->FormShow();  // Cancel kept nothing of what was shown
    QVERIFY(checked("cd_g2"));
    QCOMPARE(box("cb_ogg_fre")->currentIndex(), 3);
    dialog()->btn_okClick();
    QCOMPARE(readInt("cd", "grab mode"), 2);  // OK keeps the stored 2
    dialog()->FormShow();
    dialog()->btn_defaultClick();
    dialog()->btn_okClick();
    QCOMPARE(readInt("ogg", "frequency"), 8);  // although a fresh file reads as 7
    QCOMPARE(readInt("cd", "grab mode"), 1);
    QCOMPARE(readText("ogg", "enable quality"), std::string("1"));
    QCOMPARE(readInt("ogg", "quality"), 300);
  }

  void aGarbledFileOpensWithTheDialogsDefaults() {
    std::string junk(3000, '\0');
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>(i * 37 % 253);
    home_->write("quavern.ini", junk + "\n[cd]\ngrab mode=7\nerror action=-1\ndrive speed=fast\n[mp3]\nbitrate=40\n" +
                                    "[ogg]\nquality=x\n" + std::string(100000, 'z') + "\n");
    start();
    dialog()->FormShow();
    // Out-of-range choices leave the buttons as they were (none ticked
    // yet), and OK then writes neither key.
    for (const char* name : {"cd_g0", "cd_g1", "cd_g2", "cd_g3", "cd_a1", "cd_a2", "cd_a3", "cd_a4"})
      QVERIFY2(!checked(name), name);
    QCOMPARE(updown("ud_speed")->value(), 32);
    QCOMPARE(box("cb_mp3_bitrate")->currentIndex(), -1);  // outside the list: no selection
    QCOMPARE(updown("ud_ogg_quality")->value(), 300);
    QCOMPARE(edit("edt_Script")->text(), QString("80"));
    QVERIFY(program_->prompter.messages.empty());
    dialog()->btn_okClick();
    QCOMPARE(readInt("cd", "grab mode"), 7);
    QCOMPARE(readInt("cd", "error action"), -1);
    QCOMPARE(readInt("cd", "drive speed"), 32);
  }

  void theNumericFieldsTakeDigitsOnly() {
    start();
    dialog()->show();
    QApplication::setActiveWindow(dialog());
    QVERIFY(QTest::qWaitForWindowActive(dialog(), 2000));
    for (const char* name : {"edt_Script", "edt_retries", "edt_speed", "edt_mp3_quality", "edt_ogg_quality"}) {
      QLineEdit* field = edit(name);
      field->setFocus();
      field->selectAll();
      QTest::keyClicks(field, "a-b.x ");
      QVERIFY2(field->text().isEmpty() == false || QString(name) == "edt_ogg_quality", name);
      const QString before = field->text();
      QTest::keyClicks(field, "zq!");
      QCOMPARE(field->text(), before);
    }
    QLineEdit* retries = edit("edt_retries");
    retries->selectAll();
    QTest::keyClicks(retries, "1x2");
    QCOMPARE(retries->text(), QString("12"));
    QCOMPARE(updown("ud_retries")->value(), 12);
    QTest::keyClick(retries, Qt::Key_Backspace);
    QCOMPARE(retries->text(), QString("1"));
    // OGG quality: 2500 becomes 1000; emptied and left, it shows 0.
    QLineEdit* quality = edit("edt_ogg_quality");
    quality->setFocus();
    quality->selectAll();
    QTest::keyClicks(quality, "2500");
    QCOMPARE(updown("ud_ogg_quality")->value(), 1000);
    QCOMPARE(quality->text(), QString("1000"));
    quality->selectAll();
    QTest::keyClick(quality, Qt::Key_Backspace);
    QCOMPARE(updown("ud_ogg_quality")->value(), 0);
    QCOMPARE(quality->text(), QString());
    edit("edt_Server")->setFocus();
    QCOMPARE(quality->text(), QString("0"));
    dialog()->btn_okClick();
    QCOMPARE(readInt("ogg", "quality"), 0);
    QCOMPARE(readInt("cd", "error retry"), 1);
  }

  // Mend: a port that is not a number is told, the dialog stays open and
  // nothing is written.
  void aPortThatIsNotANumberWritesNothing_data() {
    QTest::addColumn<QString>("port");
    QTest::newRow("empty") << "";
    QTest::newRow("zero") << "0";
    QTest::newRow("too big") << "70000";
  }
  void aPortThatIsNotANumberWritesNothing() {
    QFETCH(QString, port);
    home_->write("quavern.ini", "[cddb]\ntime out=5000\n");
    start();
    const std::string before = iniText();
    QTimer::singleShot(0, dialog(), [&] {
      edit("edt_Server")->setText("changed.example.org");
      edit("edt_Script")->setText(port);
      dialog()->btn_okClick();
      QVERIFY(dialog()->isVisible());  // still open
      QCOMPARE(program_->prompter.messages,
               std::vector<std::string>{"The CDDB port must be a number from 1 to 65535."});
      QCOMPARE(iniText(), before);
      edit("edt_Script")->setText("8080");
      dialog()->btn_okClick();
    });
    program_->window().Option1Click();
    QVERIFY(!dialog()->isVisible());
    QCOMPARE(readInt("cddb", "port"), 8080);
    QCOMPARE(readText("cddb", "cddb server"), std::string("changed.example.org"));
  }

  // The "Online" page's MusicBrainz fields: a server that is none is
  // refused and nothing is written; good values are stored in [musicbrainz].
  void theMusicBrainzServersAreCheckedAndStored() {
    start();
    const std::string before = iniText();
    QTimer::singleShot(0, dialog(), [&] {
      edit("edt_musicbrainz_server")->setText("ftp://mirror.example.org");
      dialog()->btn_okClick();
      QVERIFY(dialog()->isVisible());
      QCOMPARE(program_->prompter.messages.size(), size_t(1));
      QCOMPARE(iniText(), before);
      edit("edt_musicbrainz_server")->setText("https://mirror.example.org:8443/mb");
      edit("edt_coverart_server")->setText("none");
      edit("edt_country")->setText("gb");
      dialog()->btn_okClick();
    });
    program_->window().Option1Click();
    QVERIFY(!dialog()->isVisible());
    QCOMPARE(readText("musicbrainz", "server"), std::string("https://mirror.example.org:8443/mb"));
    QCOMPARE(readText("musicbrainz", "coverart server"), std::string("none"));
    QCOMPARE(readText("musicbrainz", "country"), std::string("GB"));
  }

  // The CUETools database server on the Online page: a bad value is told
  // (the page and field shown) and nothing is stored; a good one and the
  // verified grab mode (4) are stored and open again as stored.
  void theCtdbServerAndTheVerifiedGrabModeAreCheckedAndStored() {
    start();
    const std::string before = iniText();
    QTimer::singleShot(0, dialog(), [&] {
      QCOMPARE(w<QRadioButton>("cd_g4")->text(), QString("Burst, re-read unconfirmed tracks"));
      QCOMPARE(edit("edt_ctdb")->text(), QString("none"));  // $RIPMARROW_CTDB_SERVER of the tests
      w<QRadioButton>("cd_g4")->setChecked(true);
      for (const char* bad : {"ftp://db.example.org", "db.example.org:http", "http://db.example.org/a b", ""}) {
        edit("edt_ctdb")->setText(bad);
        dialog()->btn_okClick();
        QVERIFY2(dialog()->isVisible(), bad);
        QVERIFY2(program_->prompter.messages.back().find("CUETools database server") != std::string::npos, bad);
        QVERIFY(w<QTabWidget>("pc")->currentWidget()->isAncestorOf(edit("edt_ctdb")));
      }
      QCOMPARE(program_->prompter.messages.size(), size_t(4));
      QCOMPARE(iniText(), before);
      edit("edt_ctdb")->setText(" https://127.0.0.1:8443/ctdb ");
      dialog()->btn_okClick();
    });
    program_->window().Option1Click();
    QVERIFY(!dialog()->isVisible());
    QCOMPARE(readText("ctdb", "server"), std::string("https://127.0.0.1:8443/ctdb"));
    QCOMPARE(readInt("cd", "grab mode"), 4);
    QTimer::singleShot(0, dialog(), [&] {
      QVERIFY(checked("cd_g4"));
      QCOMPARE(edit("edt_ctdb")->text(), QString("https://127.0.0.1:8443/ctdb"));
      edit("edt_ctdb")->setText("db.example.org:8080");
      dialog()->btn_okClick();
    });
    program_->window().Option1Click();
    QCOMPARE(readText("ctdb", "server"), std::string("db.example.org:8080"));
  }

  void theChosenDriveIsAppliedAfterOkAtOnceOrWhenPlaybackEnds() {
    home_->write("one.disc", "disc seed=1\ntrack kind=tone length=0:05:00\n");
    home_->write("three.disc", "disc seed=2\ntrack kind=tone length=0:04:00\ntrack kind=tone length=0:04:00\n"
                               "track kind=tone length=0:04:00\n");
    home_->write("vdrives.ini", "[E]\nimage=one.disc\naddress=0:0:0:0\n[G]\nimage=three.disc\naddress=0:0:2:0\n");
    start();
    auto* lv = program_->window().findChild<QTableWidget*>("lv");
    QCOMPARE(lv->rowCount(), 1);
    auto choose = [&](int index) {
      QTimer::singleShot(0, dialog(), [&, index] {
        QCOMPARE(box("cb_cdrom")->count(), 2);
        box("cb_cdrom")->setCurrentIndex(index);
        dialog()->btn_okClick();
      });
      program_->window().Option1Click();
    };
    choose(1);
    QCOMPARE(lv->rowCount(), 3);  // idle: at once
    QCOMPARE(program_->window().engine().getLong(&IAudioCDRipper2::get_driveNum), LONG(2));
    QCOMPARE(readInt("cd", "cd rom"), 1);
    // During playback the list stays until playback ends.
    lv->selectRow(0);
    program_->window().Play1Click();
    QVERIFY(program_->window().controller().playbackOn());
    choose(0);
    QCOMPARE(lv->rowCount(), 3);
    QVERIFY(program_->window().controller().driveChangePending());
    program_->window().StopPlayingClick();
    QCOMPARE(lv->rowCount(), 1);
    QCOMPARE(program_->window().engine().getLong(&IAudioCDRipper2::get_driveNum), LONG(1));
    // Cancel applies nothing.
    QTimer::singleShot(0, dialog(), [&] {
      box("cb_cdrom")->setCurrentIndex(1);
      dialog()->btn_cancelClick();
    });
    program_->window().Option1Click();
    QCOMPARE(lv->rowCount(), 1);
  }

  void theLookupSendsTheStoredEMail() {
    home_->write("vdrives.ini", "[V]\nimage=" + std::string(RIPMARROW_DEMO_DIR) + "/demo.cue\naddress=0:0:7:0\n");
    CddbTestServer server(home_->path() + "/entries");
    start();
    QTimer::singleShot(0, dialog(), [&] {
      w<QRadioButton>("rg_cddb_item1")->setChecked(true);
      edit("edt_Server")->setText("127.0.0.1");
      edit("edt_Script")->setText(QString::number(server.port()));
      edit("edt_email")->setText("ann@example.org");
      dialog()->btn_okClick();
    });
    program_->window().Option1Click();
    program_->window().FreeDB1Click();  // asked on the engine's look-up thread
    QTRY_VERIFY_WITH_TIMEOUT(!server.requests().empty(), 10000);
    const std::string request = server.requests().front();
    QVERIFY2(request.find("hello=ann+example.org+") != std::string::npos, request.c_str());
  }

  void theNextRipBatchUsesWhatOkStored() {
    home_->write("tiny.disc", "disc seed=1\ntrack kind=tone length=0:01:00\n");
    home_->write("vdrives.ini", "[E]\nimage=tiny.disc\n");
    home_->write("quavern.ini", "[accuraterip]\nserver=none\n[basic]\nformat=1\noutput directory=" +
                                    home_->path() + "/out\n");
    start();
    QTimer::singleShot(0, dialog(), [&] {
      w<QRadioButton>("cd_g3")->setChecked(true);  // Paranoid
      updown("ud_retries")->setValue(10);
      updown("ud_speed")->setValue(8);
      w<QRadioButton>("cd_a2")->setChecked(true);  // Silence
      dialog()->btn_okClick();
    });
    program_->window().Option1Click();
    program_->window().RipCD1Click();
    QTRY_VERIFY_WITH_TIMEOUT(!program_->window().controller().ripping(), 30000);
    IAudioCDRipper2* engine = program_->window().engine().engine();
    RipModePresetConstants mode = BURST;
    engine->get_ripModePreset(&mode);
    QCOMPARE(int(mode), int(PARANOID));
    QCOMPARE(program_->window().engine().getLong(&IAudioCDRipper2::get_ripOnErrorRetries), LONG(10));
    QCOMPARE(program_->window().engine().getLong(&IAudioCDRipper2::get_driveSpeed), LONG(8));
    QVERIFY(fs::exists(home_->path() + "/out/Track01.wav"));
  }

  void screenshots() {
    home_->write("vdrives.ini", "[V]\nimage=" + std::string(RIPMARROW_DEMO_DIR) + "/demo.cue\naddress=0:0:7:0\n");
    start();
    QDir().mkpath(QUAVERN_SCREENSHOT_DIR);
    auto* pc = w<QTabWidget>("pc");
    QTimer::singleShot(100, dialog(), [&] {
      for (int page = 0; page < pc->count(); ++page) {
        pc->setCurrentIndex(page);
        QTest::qWait(30);
        // Named after the page: "CD Setting" gives settings_cd_setting.png.
        const QString name = pc->tabText(page).toLower().replace(' ', '_');
        const QString file = QString(QUAVERN_SCREENSHOT_DIR "/settings_%1.png").arg(name);
        QVERIFY(dialog()->grab().save(file));
      }
      // Every control inside the dialog's face.
      for (QWidget* child : dialog()->findChildren<QWidget*>()) {
        if (!child->isVisibleTo(dialog()) || child->parentWidget() != pc->currentWidget()) continue;
        QVERIFY2(pc->currentWidget()->rect().contains(child->geometry()), qPrintable(child->objectName()));
      }
      dialog()->btn_cancelClick();
    });
    program_->window().Option1Click();
  }
};

int main(int argc, char** argv) { return quavern_testing::runQuavernTest<SettingsDialogTest>(argc, argv); }

#include "settings_dialog_test.moc"
