// The desktop program as people use it, on the real engine and components
// and the real dialogs: Escape in an open menu or drop-down, a genre typed
// into the tag editor, the converter's folder scan over links, its Clear
// question and its missing components, the folder chooser's start, the
// window closed during a rip, the face's disabled commands, and the end of
// a batch in which all went well.
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QTabWidget>
#include <QDir>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTimer>
#include <QTreeView>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "client/rip_log.h"
#include "client/testing/accuraterip_test_server.h"
#include "components/wavesmith2.h"
#include "frontend/skin/skin_face.h"
#include "frontend/tests/quavern_test_support.h"
#include "frontend/settings/tfm_set.h"
#include "frontend/tfm_converter.h"
#include "frontend/tfm_dir.h"
#include "frontend/tfm_id3.h"
#include "platform/registry/registry.h"
#include "platform/vdrive/disc_description.h"
#include "proof/accuraterip_id.h"

using namespace quavern_testing;

namespace {

// Three short tracks; the drive reads them at the speed the test sets.
constexpr char kThreeTracks[] =
    "disc seed=4\n"
    "track kind=music length=2s key=D progression=I-vi-IV-V tempo=92\n"
    "track kind=noise length=2s\n"
    "track kind=tone length=2s freq=440\n";

// A dialog shown modally by the code under test is closed whatever the
// checks inside it found, so that a failing check never leaves it waiting.
struct CloseOnExit {
  QWidget* dialog;
  ~CloseOnExit() {
    if (dialog->isVisible()) dialog->close();
  }
};

// The folder chooser's answer with "Include Sub-folders" ticked.
class SubfolderChooser : public quavern::FolderChooser {
 public:
  quavern::FolderChoice chooseFolder(QWidget*, const quavern::FolderRequest&) override { return {answer, true}; }
  std::string answer;
};

void putLe32(std::string& bytes, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((value >> shift) & 0xff);
}

// A quarter of a second of a 440 Hz tone as a 16-bit stereo WAV file.
void writeToneWav(const std::string& path) {
  std::string pcm;
  for (int i = 0; i < 44100 / 4; ++i) {
    const auto v = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * i / 44100.0));
    for (int c = 0; c < 2; ++c) {
      pcm += static_cast<char>(v & 0xff);
      pcm += static_cast<char>((v >> 8) & 0xff);
    }
  }
  std::string wav = "RIFF";
  putLe32(wav, static_cast<uint32_t>(36 + pcm.size()));
  wav += "WAVEfmt ";
  putLe32(wav, 16);
  putLe32(wav, 1 | 2 << 16);  // PCM, 2 channels
  putLe32(wav, 44100);
  putLe32(wav, 44100 * 4);
  putLe32(wav, 4 | 16 << 16);  // block align 4, 16 bits
  wav += "data";
  putLe32(wav, static_cast<uint32_t>(pcm.size()));
  std::ofstream(path, std::ios::binary) << wav << pcm;
}

}  // namespace

class EverydayUseTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<ScratchHome> home_;
  std::unique_ptr<ProgramUnderTest> program_;
  std::string out_;
  bool registerComponents_ = true;  // false: the registry stays as the test left it

  // The program on a drive with `disc` and quavern.ini holding `ini`.
  void start(const std::string& disc = kThreeTracks, const std::string& ini = "[accuraterip]\nserver=none\n",
             const std::function<void(quavern::Seams&)>& seams = {}, const std::string& drive = "") {
    home_->write("test.disc", disc);
    home_->write("vdrives.ini", "[E]\nimage=test.disc\n" + drive);
    out_ = home_->path() + "/out";
    home_->write("quavern.ini", "[basic]\noutput directory=" + out_ + "\nformat=1\n[cd]\ngrab mode=0\n" + ini);
    if (registerComponents_) QVERIFY(quavern::ensureComponentsRegistered(std::cerr));
    program_ = std::make_unique<ProgramUnderTest>(*application(), seams);
    program_->show();
  }
  quavern::Tfm_main& window() const { return program_->window(); }
  QTableWidget* lv() const { return program_->find<QTableWidget>("lv"); }
  QProgressBar* pb() const { return program_->find<QProgressBar>("pb"); }
  bool ripping() const { return window().controller().ripping(); }
  std::string file(const std::string& name) const { return out_ + "/" + name; }
  quavern::SkinFace* face() const { return window().findChild<quavern::SkinFace*>("Skin"); }
  std::optional<client::RipLog> readLog(const std::string& name) const {
    std::string error;
    return client::ParseRipLog(readFile(file(name)), error);
  }
  void saveScreenshot(QWidget* widget, const char* name) {
    QDir().mkpath(QUAVERN_SCREENSHOT_DIR);
    QVERIFY(widget->grab().save(QString(QUAVERN_SCREENSHOT_DIR) + "/" + name + ".png"));
  }
  // A secure batch of two tracks on a drive with `faults`: every caption a
  // progress event left on the bar, and whether screen readers heard each.
  QStringList secureCaptions(const std::string& faults, bool& spoken, bool screenshot) {
    start("disc seed=6\ntrack kind=music length=4s\ntrack kind=music length=3s\n", "[accuraterip]\nserver=none\n", {},
          "speed=8\n" + faults);
    program_->settings.writeInt("cd", "grab mode", 2);  // secure
    QStringList captions;
    spoken = true;
    bool shot = !screenshot;
    // Queued: the caption is set just after the bar's value moves. The
    // watch ends with this function, calls still queued included.
    const auto watch = std::make_unique<QObject>();
    QObject::connect(
        pb(), &QProgressBar::valueChanged, watch.get(),
        [&] {
          const QString caption = pb()->format();
          if (!caption.startsWith("Track ")) return;
          captions << caption;
          spoken = spoken && pb()->accessibleDescription() == caption && pb()->accessibleName().contains(caption);
          if (!shot && caption.contains("re-reading")) {
            shot = true;
            saveScreenshot(&window(), "main_window_ripping_rereading");
          }
        },
        Qt::QueuedConnection);
    window().RipCD1Click();
    [&] { QTRY_VERIFY_WITH_TIMEOUT(!ripping(), 60000); }();
    return captions;
  }

  // The disc's record in `server`: every track's v2 CRC from the ripped
  // WAV files of `out_` (equal to the disc's), with `confidence`.
  void putRecordOfRippedFiles(client::testing::AccurateRipTestServer& server, uint8_t confidence) {
    const platform::vdrive::Disc disc = platform::vdrive::generateDisc(kThreeTracks, "test.disc");
    proof::DiscLayout layout;
    for (const platform::vdrive::Track& track : disc.tracks())
      layout.tracks.push_back({static_cast<uint8_t>(track.number), static_cast<uint32_t>(track.start), false});
    layout.leadOutLba = static_cast<uint32_t>(disc.leadOut());
    const proof::AccurateRipDiscId id = proof::AccurateRipDiscIdOf(layout);
    const auto log = readLog("ripmarrow.log");
    QVERIFY(log && log->tracks.size() == 3);
    std::string record;
    record += static_cast<char>(3);
    putLe32(record, id.id1);
    putLe32(record, id.id2);
    putLe32(record, id.cddbId);
    for (const client::RipLogTrack& track : log->tracks) {
      record += static_cast<char>(confidence);
      putLe32(record, track.accurateRipV2);
      putLe32(record, 0);
    }
    server.putFile(proof::AccurateRipPath(id), record);
  }

 private slots:
  void init() { home_ = std::make_unique<ScratchHome>(); }
  void cleanup() {
    program_.reset();
    home_.reset();
  }

  // Escape dismisses an open menu or drop-down list, never the program
  // behind it; with no pop-up open it closes the window as before.
  void escapeInAnOpenMenuOrDropDownClosesOnlyThePopup() {
    start();
    auto* menu = window().menuBar()->findChild<QMenu*>("Action1");
    menu->popup(window().mapToGlobal(QPoint(10, 10)));
    QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(menu));
    QTest::keyClick(menu, Qt::Key_Escape);
    QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
    QVERIFY(window().isVisible());

    auto* format = program_->find<QComboBox>("cb_format");
    format->showPopup();
    QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
    QVERIFY(window().isVisible());

    QTest::keyClick(lv(), Qt::Key_Escape);
    QVERIFY(!window().isVisible());
  }

  // A genre typed in other case than a list entry stays as typed when the
  // focus moves on (by Tab, as a user does), and is stored without index.
  void aTypedGenreKeepsItsCaseWhenTheFocusLeaves() {
    start();
    lv()->selectRow(0);
    auto* id3 = window().findChild<quavern::Tfm_id3*>("Tfm_id3");
    QString shown;
    QTimer::singleShot(0, id3, [&] {
      const CloseOnExit closer{id3};
      QVERIFY(QTest::qWaitForWindowActive(id3));
      auto* genre = id3->findChild<QComboBox*>("cb_genre");
      auto* year = id3->findChild<QLineEdit*>("edt_year");
      year->setFocus();
      QTest::keyClick(year, Qt::Key_Tab);
      QTRY_VERIFY(genre->hasFocus());
      QTest::keyClick(genre->lineEdit(), Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(genre->lineEdit(), "rock");
      QTest::keyClick(genre->lineEdit(), Qt::Key_Tab);
      QTRY_VERIFY(!genre->hasFocus());
      shown = genre->currentText();
      QTest::mouseClick(id3->findChild<QPushButton*>("btn_ok"), Qt::LeftButton);
    });
    window().ID3Tag1Click();
    QCOMPARE(shown, QString("rock"));
    QCOMPARE(window().currentTags().genreName, std::string("rock"));
    QCOMPARE(window().currentTags().genreIndex, -1);
  }

  // "Add Path" with sub-folders lists every file once, however many links
  // to folders (its own, one above) the tree holds; Stop ends a long scan.
  void addPathSkipsLinksToFoldersAndCanBeStopped() {
    const std::string tree = home_->path() + "/music";
    std::filesystem::create_directories(tree + "/disc 2");
    writeToneWav(tree + "/one.wav");
    writeToneWav(tree + "/disc 2/two.wav");
    std::filesystem::create_directory_symlink(".", tree + "/again");
    std::filesystem::create_directory_symlink("..", tree + "/disc 2/up");
    std::filesystem::create_directory_symlink(tree, tree + "/disc 2/loop");
    SubfolderChooser chooser;
    chooser.answer = tree;
    start(kThreeTracks, "[accuraterip]\nserver=none\n", [&](quavern::Seams& seams) { seams.folders = &chooser; });
    auto* converter = window().findChild<quavern::Tfm_converter*>("Tfm_converter");
    auto* files = converter->findChild<QTableWidget*>("lv");
    QStringList added;
    QTimer::singleShot(0, converter, [&] {
      const CloseOnExit closer{converter};
      converter->btn_addpathClick();
      for (int r = 0; r < files->rowCount(); ++r) added << files->item(r, 1)->text();
      converter->close();
    });
    window().Converter1Click();
    QCOMPARE(added, (QStringList{QString::fromStdString(tree + "/disc 2/two.wav"),
                                 QString::fromStdString(tree + "/one.wav")}));

    // Many files: Stop, enabled while the scan runs, ends it part-way.
    for (int i = 0; i < 40; ++i) writeToneWav(tree + "/many" + std::to_string(100 + i) + ".wav");
    int rowsAtStop = -1;
    int rowsAtEnd = -1;
    QTimer::singleShot(0, converter, [&] {
      const CloseOnExit closer{converter};
      auto* stop = converter->findChild<QPushButton*>("btn_stop");
      QObject::connect(files->model(), &QAbstractItemModel::rowsInserted, converter, [&] {
        if (rowsAtStop < 0 && files->rowCount() == 3) {
          QVERIFY(stop->isEnabled());
          rowsAtStop = files->rowCount();
          QTest::mouseClick(stop, Qt::LeftButton);
        }
      });
      converter->btn_addpathClick();
      rowsAtEnd = files->rowCount();
      QVERIFY(!stop->isEnabled());
      converter->close();
    });
    window().Converter1Click();
    QCOMPARE(rowsAtStop, 3);
    QVERIFY2(rowsAtEnd <= 4, qPrintable(QString::number(rowsAtEnd)));
  }

  // The converter's Clear question: two sentences on two lines.
  void theClearQuestionIsTwoLines() {
    start();
    auto* converter = window().findChild<quavern::Tfm_converter*>("Tfm_converter");
    QTimer::singleShot(0, converter, [&] {
      const CloseOnExit closer{converter};
      converter->addRow({"a.wav", home_->path() + "/a.wav", "00:00:01"}, "Unconverted");
      QTest::mouseClick(converter->findChild<QPushButton*>("btn_clear"), Qt::LeftButton);
      converter->close();
    });
    window().Converter1Click();
    QCOMPARE(program_->prompter.questions,
             std::vector<std::string>{"Are you sure to remove all the files from filelist?\n"
                                      "Not delete them from your computer."});
  }

  // The program's own folder chooser opens at the output folder; OK without
  // a choice keeps it, a folder picked in the tree becomes it.
  void theFolderChooserOpensAtTheOutputFolder() {
    const std::string other = home_->path() + "/elsewhere";
    std::filesystem::create_directories(other);
    std::filesystem::create_directories(home_->path() + "/out");
    start(kThreeTracks, "[accuraterip]\nserver=none\n", [](quavern::Seams& seams) { seams.folders = nullptr; });
    auto* chooser = window().findChild<quavern::Tfm_dir*>("Tfm_dir");
    auto* tree = chooser->findChild<QTreeView*>("stview_selectdir");
    auto* model = qobject_cast<QFileSystemModel*>(tree->model());
    auto* folderBox = program_->find<QLineEdit>("edt_dir");
    QString openedAt;
    QTimer::singleShot(0, chooser, [&] {
      const CloseOnExit closer{chooser};
      QVERIFY(QTest::qWaitForWindowExposed(chooser));
      openedAt = model->filePath(tree->currentIndex());
      QTest::mouseClick(chooser->findChild<QPushButton*>("btn_ok"), Qt::LeftButton);
    });
    QTest::mouseClick(face()->commandButton("Browse"), Qt::LeftButton);
    QCOMPARE(openedAt.toStdString(), out_);
    QCOMPARE(folderBox->toolTip().toStdString(), out_);
    QCOMPARE(program_->settings.readText("basic", "output directory", ""), out_);

    QTimer::singleShot(0, chooser, [&] {
      const CloseOnExit closer{chooser};
      QVERIFY(QTest::qWaitForWindowExposed(chooser));
      chooser->selectFolder(QString::fromStdString(other));
      QTest::mouseClick(chooser->findChild<QPushButton*>("btn_ok"), Qt::LeftButton);
    });
    QTest::mouseClick(face()->commandButton("Browse"), Qt::LeftButton);
    QCOMPARE(folderBox->toolTip().toStdString(), other);
    QCOMPARE(program_->settings.readText("basic", "output directory", ""), other);
  }

  // Without the codec component the converter says so once, and its
  // Add and Convert commands are disabled rather than doing nothing.
  void missingCodecComponentsAreToldOnce() {
    QVERIFY(quavern::ensureComponentsRegistered(std::cerr));
    platform::RegistryStore registry;
    QVERIFY(registry.deleteKey("HKEY_CLASSES_ROOT\\CLSID\\{77829F14-D911-40FF-A2F0-D11DB8D6D0BC}"));
    registerComponents_ = false;  // the codec's library went away after the start's registering
    start();
    registerComponents_ = true;
    auto* converter = window().findChild<quavern::Tfm_converter*>("Tfm_converter");
    bool addEnabled = true;
    for (int shown = 0; shown < 2; ++shown) {
      QTimer::singleShot(0, converter, [&] {
        const CloseOnExit closer{converter};
        QTest::qWait(50);
        addEnabled = converter->findChild<QPushButton*>("btn_add")->isEnabled();
        converter->btn_addClick();
        converter->close();
      });
      window().Converter1Click();
    }
    QVERIFY(!addEnabled);
    QCOMPARE(program_->prompter.messages.size(), size_t(1));
    QVERIFY2(program_->prompter.messages.front().find("codec component (Wavesmith2)") != std::string::npos,
             program_->prompter.messages.front().c_str());
  }

  // Closing the window during a rip writes the log of the tracks done at
  // once: the track under way marked stopped, AccurateRip not asked.
  void closingDuringARipWritesTheLogOfTheTracksDone() {
    client::testing::AccurateRipTestServer silent;
    silent.setBehaviour(client::testing::AccurateRipTestServer::Behaviour::kNeverAnswer);
    start(kThreeTracks,
          "drive speed=1\n[accuraterip]\nserver=127.0.0.1:" + std::to_string(silent.port()) + "\n", {}, "speed=2\n");
    window().RipCD1Click();
    QTRY_VERIFY_WITH_TIMEOUT(lv()->item(0, 4)->text() == "Finish" && lv()->item(1, 4)->text() == "Converting", 20000);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(window().close());
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!ripping());
    const auto log = readLog("ripmarrow.log");
    QVERIFY(log);
    QCOMPARE(log->tracks.size(), size_t(2));
    QVERIFY(log->tracks[0].ripped);
    QVERIFY(!log->tracks[1].ripped);
    QVERIFY2(log->tracks[1].failure.find("stopped") == 0, log->tracks[1].failure.c_str());
    QCOMPARE(log->accurateRipLookup, std::string("no answer (not asked)"));
    QCOMPARE(silent.requests().size(), size_t(0));
    QCOMPARE(program_->prompter.messages, std::vector<std::string>{});
    program_.reset();
  }

  // The face's Stop Rip (and the playback commands with nothing to act on)
  // are disabled while they cannot be used, to the eye and to screen readers.
  void disabledFaceCommandsLookAndSayDisabled() {
    start(kThreeTracks, "drive speed=2\n[accuraterip]\nserver=none\n", {}, "speed=2\n");
    QAbstractButton* stop = face()->commandButton("Stop");
    QVERIFY(!stop->isEnabled());
    QVERIFY(QAccessible::queryAccessibleInterface(stop)->state().disabled);
    QVERIFY(!face()->commandButton("Pause Play")->isEnabled());
    QVERIFY(face()->commandButton("RipCD")->isEnabled());
    // Disabled looks different from enabled.
    const QImage idle = stop->grab().toImage();
    window().RipCD1Click();
    QTRY_VERIFY(stop->isEnabled());
    QVERIFY(!QAccessible::queryAccessibleInterface(stop)->state().disabled);
    QVERIFY(stop->grab().toImage() != idle);
    QTest::mouseClick(stop, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!ripping(), 20000);
    QVERIFY(!stop->isEnabled());
  }

  // Test and copy: both reads' CRCs in the log, equal on a good drive; on a
  // drive whose reads wander they differ and the track fails, as
  // `ripmarrow rip --verify` fails it.
  void testAndCopyComparesBothReads() {
    start(kThreeTracks, "test and copy=1\n[accuraterip]\nserver=none\n");
    window().RipCD1Click();
    QTRY_VERIFY_WITH_TIMEOUT(!ripping(), 30000);
    QCOMPARE(program_->prompter.messages, std::vector<std::string>{});
    auto log = readLog("ripmarrow.log");
    QVERIFY(log && log->tracks.size() == 3);
    for (const client::RipLogTrack& track : log->tracks) {
      QVERIFY(track.ripped && track.testCrc);
      QCOMPARE(*track.testCrc, track.copyCrc);
    }
    QVERIFY(std::find(log->settings.begin(), log->settings.end(),
                      std::pair<std::string, std::string>("test and copy", "yes")) != log->settings.end());
    QVERIFY(!std::filesystem::exists(out_ + "/.quavern-test-read.wav"));
    // The summary carries both CRCs of every track; the window's outcome
    // says they match.
    QVERIFY2(pb()->format().contains(" \u00b7 test and copy CRCs match for 3 tracks \u00b7 "), qPrintable(pb()->format()));
    for (const client::RipLogTrack& track : log->tracks) {
      const QString crc = QString("%1").arg(track.copyCrc, 8, 16, QChar('0')).toUpper();
      const QString line = QString("Track %1: test CRC %2, copy CRC %2").arg(track.number).arg(crc);
      QVERIFY2(pb()->toolTip().contains(line), qPrintable(pb()->toolTip()));
    }
    saveScreenshot(&window(), "main_window_test_and_copy_done");
  }
  void testAndCopyFailsATrackWhoseReadsDiffer() {
    start(kThreeTracks, "test and copy=1\n[accuraterip]\nserver=none\n", {}, "jitter=588\nseed=3\n");
    window().RipCD1Click();
    QTRY_VERIFY_WITH_TIMEOUT(!ripping(), 30000);
    const auto log = readLog("ripmarrow.log");
    QVERIFY(log && log->tracks.size() == 3);
    QCOMPARE(program_->prompter.messages.size(), size_t(1));
    QVERIFY2(program_->prompter.messages.front().find("differs from the copy's") != std::string::npos,
             program_->prompter.messages.front().c_str());
    const auto hex = [](uint32_t crc) { return QString("%1").arg(crc, 8, 16, QChar('0')).toUpper(); };
    const QString box = QString::fromStdString(program_->prompter.messages.front());
    bool anyDiffer = false;
    for (int row = 0; row < 3; ++row) {
      const client::RipLogTrack& track = log->tracks[static_cast<size_t>(row)];
      QVERIFY(track.testCrc);
      QCOMPARE(lv()->item(row, 4)->text(), QString(track.ripped ? "Finish" : "Failed"));
      QCOMPARE(track.ripped, *track.testCrc == track.copyCrc);
      // The summary names each pair, a differing one as such and in the
      // track's failure.
      const QString pair = QString("Track %1: test CRC %2, copy CRC %3").arg(track.number).arg(hex(*track.testCrc), hex(track.copyCrc));
      QVERIFY2(box.contains(track.ripped ? pair + "\n" : pair + " (they differ)"), qPrintable(box));
      if (!track.ripped) {
        anyDiffer = true;
        QVERIFY2(box.contains("the test read's CRC " + hex(*track.testCrc) + " differs from the copy's " + hex(track.copyCrc)),
                 qPrintable(box));
      }
    }
    QVERIFY(anyDiffer);
  }

  // The Settings dialog: test and copy on the CD Setting page, the
  // AccurateRip server on the Online page; a server that is none of
  // HOST, HOST:PORT or none is refused with a message.
  void theSettingsOfferTestAndCopyAndTheAccurateRipServer() {
    start();
    auto* settings = window().findChild<quavern::Tfm_set*>("Tfm_set");
    QTimer::singleShot(0, settings, [&] {
      const CloseOnExit closer{settings};
      QVERIFY(QTest::qWaitForWindowExposed(settings));
      auto* pages = settings->findChild<QTabWidget*>("pc");
      auto* testAndCopy = settings->findChild<QCheckBox*>("cb_test_copy");
      auto* server = settings->findChild<QLineEdit*>("edt_accuraterip");
      QCOMPARE(server->text(), QString("none"));
      pages->setCurrentIndex(1);
      QTest::mouseClick(testAndCopy, Qt::LeftButton);
      QVERIFY(testAndCopy->isChecked());
      saveScreenshot(settings, "settings_test_and_copy");
      pages->setCurrentIndex(pages->count() - 1);
      QCOMPARE(pages->tabText(pages->currentIndex()), QString("Online"));
      server->selectAll();
      QTest::keyClicks(server, "not a server:x");
      QTest::mouseClick(settings->findChild<QPushButton*>("btn_ok"), Qt::LeftButton);
      QCOMPARE(program_->prompter.messages.size(), size_t(1));
      QVERIFY(settings->isVisible());
      QVERIFY(server->hasFocus());
      server->selectAll();
      QTest::keyClicks(server, "127.0.0.1:8080");
      saveScreenshot(settings, "settings_accuraterip_server");
      QTest::mouseClick(settings->findChild<QPushButton*>("btn_ok"), Qt::LeftButton);
    });
    window().Option1Click();
    QCOMPARE(program_->settings.readText("accuraterip", "server", ""), std::string("127.0.0.1:8080"));
    QVERIFY(program_->settings.readBool("cd", "test and copy", false));
    QVERIFY(program_->prompter.messages.front().find("The AccurateRip server must be") == 0);
  }

  // While a batch rips, the bar says which track of how many, how far, how
  // fast the drive reads and the time left, and screen readers hear it.
  void theProgressSaysTrackSpeedAndTimeLeft() {
    start("disc seed=8\ntrack kind=music length=40s title=\"Morning\"\ntrack kind=music length=30s\n"
          "track kind=music length=30s\n",
          "drive speed=16\n[accuraterip]\nserver=none\n", {}, "speed=16\n");
    window().RipCD1Click();
    const QRegularExpression shape(
        "^Track 1 of 3 · (\\d+)% · (\\d+\\.\\d)x · 0:0\\d left · batch 0:\\d\\d left$");
    QTRY_VERIFY2_WITH_TIMEOUT(shape.match(pb()->format()).hasMatch() && pb()->value() >= 30, qPrintable(pb()->format()),
                              10000);
    const QRegularExpressionMatch match = shape.match(pb()->format());
    const double speed = match.captured(2).toDouble();
    QVERIFY2(speed > 0.5, qPrintable(pb()->format()));
    QCOMPARE(pb()->accessibleDescription(), pb()->format());
    QVERIFY(pb()->accessibleName().contains(pb()->format()));
    saveScreenshot(&window(), "main_window_ripping_speed");
    QTRY_VERIFY_WITH_TIMEOUT(pb()->format().startsWith("Track 2 of 3"), 10000);
    window().StopRippingClick();
    QTRY_VERIFY_WITH_TIMEOUT(!ripping(), 20000);
  }

  // Secure mode: while it reads frames again because their reads did not
  // agree, the bar (and what screen readers hear) says so; on a clean disc
  // it never does.
  void aSecureRipSaysWhileItReadsFramesAgain() {
    bool spoken = false;
    const QStringList captions = secureCaptions("scratch=40-44,random:12\nseed=9\n", spoken, true);
    QVERIFY2(captions.size() > 20, qPrintable(captions.join('\n')));
    QVERIFY(spoken);
    const QRegularExpression shape(
        "^Track [12] of 2 · \\d+% · (\\d+\\.\\dx · )?re-reading \\d+ frames?( · 0:\\d\\d left( · batch 0:\\d\\d left)?)?$");
    const QStringList rereading = captions.filter(shape);
    QVERIFY2(!rereading.isEmpty(), qPrintable(captions.join('\n')));
    QCOMPARE(rereading.size(), captions.filter("re-reading").size());
  }
  void aCleanSecureRipNeverSaysItReadsAgain() {
    bool spoken = false;
    const QStringList captions = secureCaptions("", spoken, false);
    QVERIFY2(captions.size() > 20, qPrintable(captions.join('\n')));
    QVERIFY(spoken);
    QVERIFY2(captions.filter("re-reading").isEmpty(), qPrintable(captions.join('\n')));
  }

  // A batch in which every track was ripped and nothing was found wrong
  // ends without a box: the window says it, and the folder opens. Not
  // accurate, or a database out of reach, is told as such.
  void aCleanBatchEndsWithoutABox() {
    client::testing::AccurateRipTestServer server;
    start(kThreeTracks, "[accuraterip]\nserver=127.0.0.1:" + std::to_string(server.port()) + "\n");
    window().RipCD1Click();
    QTRY_VERIFY_WITH_TIMEOUT(!ripping(), 30000);
    // Not in the database: no box either.
    QCOMPARE(program_->prompter.messages, std::vector<std::string>{});
    QCOMPARE(pb()->format(), QString("3 tracks ripped \u00b7 not in the AccurateRip database \u00b7 log"));
    QCOMPARE(program_->opener.opened, std::vector<std::string>{out_});

    putRecordOfRippedFiles(server, 12);
    program_->prompter.answerYes = true;  // overwrite the first batch's files
    window().RipCD1Click();
    QTRY_VERIFY_WITH_TIMEOUT(!ripping(), 30000);
    QCOMPARE(program_->prompter.messages, std::vector<std::string>{});
    const QString outcome("3 tracks ripped \u00b7 accurate (AccurateRip, confidence 12) \u00b7 log");
    QVERIFY(pb()->isTextVisible());
    QCOMPARE(pb()->format(), outcome);
    QCOMPARE(pb()->accessibleDescription(), outcome);
    QVERIFY(pb()->toolTip().contains("ripmarrow (2).log"));
    QCOMPARE(program_->opener.opened.size(), size_t(2));
    saveScreenshot(&window(), "main_window_batch_done");
  }
};

int main(int argc, char** argv) { return quavern_testing::runQuavernTest<EverydayUseTest>(argc, argv); }

#include "everyday_use_test.moc"
