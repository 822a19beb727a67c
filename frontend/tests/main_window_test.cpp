// The main window on the real engine, through COM activation from a scratch
// home, with virtual drives of generated discs and the demo disc: start-up
// and the drive choice, the track list fill, the title lookup against a
// loopback CDDB server, title editing, playback and its menu states, disc
// changes, Escape and the crash question.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTableWidget>
#include <QTimer>

#include <iostream>

#include "engine/cddb/testing/cddb_test_server.h"
#include "frontend/tests/quavern_test_support.h"
#include "frontend/settings/tfm_set.h"
#include "vdrive/demo_disc.h"

using namespace quavern_testing;
using engine::cddb::testing::CddbTestServer;

namespace {

// The demo disc's CDDB identifier.
constexpr char kDemoDiscId[] = "22007804";

QString cell(QTableWidget* lv, int row, int column) { return lv->item(row, column)->text(); }

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<ScratchHome> home_;
  std::unique_ptr<ProgramUnderTest> program_;

  void start() {
    QVERIFY(quavern::ensureComponentsRegistered(std::cerr));
    program_ = std::make_unique<ProgramUnderTest>(*application());
    program_->show();
  }
  void useDemoDisc(bool withTitles) {
    home_->write("vdrives.ini", "[V]\nimage=" + std::string(RIPMARROW_DEMO_DIR) + "/demo.cue\naddress=0:0:7:0\n");
    if (withTitles) std::filesystem::copy_file(std::string(RIPMARROW_DEMO_DIR) + "/cdplayer.ini", home_->path() + "/cdplayer.ini");
  }
  QTableWidget* lv() const { return program_->find<QTableWidget>("lv"); }
  bool enabled(const char* action) const { return program_->find<QAction>(action)->isEnabled(); }
  quavern::DiscController& controller() const { return program_->window().controller(); }
  QComboBox* driveBox() const { return program_->window().findChild<QComboBox*>("cb_cdrom"); }

 private slots:
  void init() { home_ = std::make_unique<ScratchHome>(); }
  void cleanup() {
    program_.reset();
    home_.reset();
  }

  void startUpFillsTheListFromTheLocalStore() {
    useDemoDisc(true);
    start();
    QCOMPARE(lv()->rowCount(), 4);
    QCOMPARE(cell(lv(), 0, 0), QString("Morning Over the Ridge"));
    QCOMPARE(cell(lv(), 3, 0), QString("Quiet Road Home"));
    QCOMPARE(cell(lv(), 0, 1), QString("The Virtual Quartet"));
    QCOMPARE(cell(lv(), 0, 2), QString("Four Small Rooms"));
    QCOMPARE(cell(lv(), 0, 4), QString("Unconverted"));
    QCOMPARE(lv()->item(2, 0)->checkState(), Qt::Checked);
    QVERIFY(cell(lv(), 0, 3).contains(QRegularExpression("^\\d\\d:\\d\\d$")));
    // The local genre "rock" is no name of the table: index 12, name kept.
    QCOMPARE(program_->window().currentTags().genreName, std::string("rock"));
    QCOMPARE(program_->window().currentTags().genreIndex, 12);
    // Menus at show.
    for (const char* off : {"Stop1", "StopConverting1", "Pause1", "Pause2", "StopPlaying1", "StopPlaying2"})
      QVERIFY2(!enabled(off), off);
    for (const char* on : {"FreeDB1", "Refresh1", "RipCD1", "Convert1", "Play1", "Play2", "SelectAll1", "Option1",
                           "ID3Tag1", "Converter1", "Content1", "Website1", "About1", "Exit1"})
      QVERIFY2(enabled(on), on);
    QCOMPARE(driveBox()->count(), 1);
    QVERIFY(driveBox()->itemText(0).startsWith("(V"));
    // Menu captions, in order ("" a separator).
    auto captions = [](const QList<QAction*>& actions) {
      QStringList texts;
      for (QAction* a : actions) texts << (a->isSeparator() ? QString() : a->text());
      return texts;
    };
    QCOMPARE(captions(program_->window().menuBar()->actions()),
             QStringList({"Action", "Options", "ID3 Tag", "Converter", "Help"}));
    QCOMPARE(captions(program_->find<QMenu>("Action1")->actions()),
             QStringList({"Free DB", "Refresh", "Rip CD", "Stop ", "", "Play", "Pause", "Stop Playing", "", "Exit"}));
    QCOMPARE(captions(program_->find<QMenu>("Help1")->actions()), QStringList({"Content", "", "Website", "", "About"}));
    QCOMPARE(captions(program_->find<QMenu>("pm")->actions()),
             QStringList({"Select All", "Unselect All", "", "Convert", "Stop Converting", "", "Play", "Pause",
                          "Stop Playing"}));
    QStringList columns;
    for (int c = 0; c < lv()->columnCount(); ++c) columns << lv()->horizontalHeaderItem(c)->text();
    QCOMPARE(columns, QStringList({"Title", "Artist", "Album", "Time", "Status"}));
    QVERIFY(program_->prompter.messages.empty());
  }

  void oddSettingsGiveDefaults() {
    useDemoDisc(true);
    std::string junk(5000, '\0');
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>(i * 31 % 251);
    home_->write("quavern.ini", junk + "\n[BASIC]\nFORMAT=77\n[cd]\ncd rom=-4\n" + std::string(200000, 'y') + "\n");
    start();
    QCOMPARE(program_->find<QComboBox>("cb_format")->currentIndex(), 0);
    QCOMPARE(program_->find<QLineEdit>("edt_dir")->toolTip(), QDir::homePath() + "/Music");
    QCOMPARE(lv()->rowCount(), 4);
    QCOMPARE(program_->window().engine().getLong(&IAudioCDRipper2::get_driveNum), LONG(1));
    program_->find<QComboBox>("cb_format")->setCurrentIndex(2);
    QCOMPARE(program_->settings.readInt("basic", "format", 0), 2);
    program_.reset();
    start();  // the stored format is shown again
    QCOMPARE(program_->find<QComboBox>("cb_format")->currentIndex(), 2);
  }

  void aDiscWithoutTitlesShowsTheDefaults() {
    home_->write("long.disc", "disc seed=3\ntrack kind=tone length=0:10:00\ntrack kind=tone length=61:05:00\n");
    home_->write("vdrives.ini", "[E]\nimage=long.disc\n");
    start();
    QCOMPARE(lv()->rowCount(), 2);
    QCOMPARE(cell(lv(), 0, 0), QString("Track01"));
    QCOMPARE(cell(lv(), 1, 0), QString("Track02"));
    QCOMPARE(cell(lv(), 1, 1), QString("Unknown Artist"));
    QCOMPARE(cell(lv(), 1, 2), QString("Unknown Album"));
    QCOMPARE(cell(lv(), 0, 3), QString("00:10"));
    QCOMPARE(cell(lv(), 1, 3), QString("1:01:05"));  // an hour or more: h:mm:ss
    QCOMPARE(program_->window().currentTags().genreName, std::string("Other"));
  }

  // Mend: the list and the engine show the same, stored drive.
  void theStoredDriveChoiceIsTheDriveOfListAndEngine_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("driveNum");
    QTest::newRow("none stored: the first") << QString() << 1 << 1;
    QTest::newRow("the third") << QString("2") << 3 << 3;
    QTest::newRow("beyond the list: the last") << QString("9") << 3 << 3;
    QTest::newRow("the empty one") << QString("1") << 0 << 2;
  }
  void theStoredDriveChoiceIsTheDriveOfListAndEngine() {
    QFETCH(QString, stored);
    QFETCH(int, rows);
    QFETCH(int, driveNum);
    home_->write("one.disc", "disc seed=1\ntrack kind=tone length=0:05:00\n");
    home_->write("three.disc", "disc seed=2\ntrack kind=tone length=0:04:00\ntrack kind=tone length=0:04:00\n"
                               "track kind=tone length=0:04:00\n");
    home_->write("vdrives.ini", "[E]\nimage=one.disc\naddress=0:0:0:0\n[F]\naddress=0:0:1:0\n"
                                "[G]\nimage=three.disc\naddress=0:0:2:0\n");
    if (!stored.isEmpty()) home_->write("quavern.ini", "[CD]\nCD ROM=" + stored.toStdString() + "\n");
    start();
    QCOMPARE(lv()->rowCount(), rows);
    QCOMPARE(driveBox()->count(), 3);
    QCOMPARE(program_->window().engine().getLong(&IAudioCDRipper2::get_driveNum), LONG(driveNum));
    // A refresh reads the same drive again.
    program_->window().Refresh1Click();
    QCOMPARE(lv()->rowCount(), rows);
  }

  void noDriveLeavesListAndDriveBoxEmptyWithoutAMessage() {
    start();
    QCOMPARE(lv()->rowCount(), 0);
    QCOMPARE(driveBox()->count(), 0);
    QVERIFY(program_->prompter.messages.empty());
    program_->window().Play1Click();  // nothing to play
    QVERIFY(!controller().playbackOn());
  }

  void aFaultOfVdrivesIniIsSaidOnceNamingItsLineAndKey() {
    home_->write("vdrives.ini", "[V]\nimage=" + std::string(RIPMARROW_DEMO_DIR) +
                                    "/demo.cue\naddress=0:0:7:0\nspeed=fast\n");
    start();
    QCOMPARE(driveBox()->count(), 0);  // the drive is left out
    QCOMPARE(program_->prompter.messages.size(), size_t(1));
    const std::string& message = program_->prompter.messages.front();
    QVERIFY2(message.find("vdrives.ini:4: drive V: virtual drive setting 'speed': 'fast' is not a number") !=
                 std::string::npos,
             message.c_str());
    program_->window().Refresh1Click();  // a refresh says nothing again
    QCOMPARE(program_->prompter.messages.size(), size_t(1));
  }

  void aLookupFillsTitlesAndGenre() {
    useDemoDisc(false);
    const std::string entries = home_->path() + "/entries";
    CddbTestServer::writeEntry(entries, "rock", kDemoDiscId,
                               "# xmcd\n#\n# Disc length: 122 seconds\n#\nDISCID=22007804\n"
                               "DTITLE=Lamp Makers / Night Shift\nTTITLE0=One\nTTITLE1=Two\n"
                               "TTITLE2=Three\nTTITLE3=Four\nEXTD=\nPLAYORDER=\n");
    CddbTestServer server(entries);
    start();
    QCOMPARE(cell(lv(), 0, 0), QString("Track01"));
    program_->settings.writeText("cddb", "cddb server", "127.0.0.1");
    program_->settings.writeInt("cddb", "port", server.port());
    program_->settings.writeInt("cddb", "cd source", 1);
    program_->window().FreeDB1Click();  // answered on a worker
    QTRY_COMPARE_WITH_TIMEOUT(cell(lv(), 0, 0), QString("One"), 10000);
    QVERIFY(program_->prompter.messages.empty());
    QCOMPARE(cell(lv(), 3, 0), QString("Four"));
    QCOMPARE(cell(lv(), 2, 1), QString("Lamp Makers"));
    QCOMPARE(cell(lv(), 2, 2), QString("Night Shift"));
    const quavern::CurrentTags& tags = program_->window().currentTags();
    QCOMPARE(tags.genreName, std::string("rock"));  // "rock" is not "Rock"
    QCOMPARE(tags.genreIndex, 12);
    QVERIFY(QApplication::overrideCursor() == nullptr);  // the busy cursor went with the lookup
    QVERIFY(server.requests().size() >= 2);
    QVERIFY(server.requests().front().find("/~cddb/cddb.cgi") != std::string::npos);
  }

  void aFailedLookupSaysSo() {
    useDemoDisc(false);
    CddbTestServer server(home_->path() + "/no-entries");
    start();
    home_->write("quavern.ini", "[cddb]\ncddb server=127.0.0.1\nport=" + std::to_string(server.port()) +
                                    "\ncd source=1\ntime out=2000\n");
    program_->window().FreeDB1Click();
    QTRY_COMPARE_WITH_TIMEOUT(program_->prompter.messages,
                              std::vector<std::string>{"Can not find freedb information!"}, 10000);
    QCOMPARE(cell(lv(), 0, 0), QString("Track01"));
  }

  void aServerThatNeverAnswersEndsTheLookUpAtTheTimeOut() {
    useDemoDisc(false);
    CddbTestServer server(home_->path() + "/no-entries");
    server.setBehaviour(CddbTestServer::Behaviour::kNeverAnswer);
    start();
    home_->write("quavern.ini", "[cddb]\ncddb server=127.0.0.1\nport=" + std::to_string(server.port()) +
                                    "\ncd source=1\ntime out=1000\n");
    QElapsedTimer clock;
    clock.start();
    program_->window().FreeDB1Click();
    QTRY_COMPARE_WITH_TIMEOUT(program_->prompter.messages,
                              std::vector<std::string>{"Can not find freedb information!"}, 10000);
    QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
  }

  // Mend: a port that is not a number is told, not a crash.
  void aPortThatIsNotANumberIsToldAndNoLookupStarts_data() {
    QTest::addColumn<QString>("port");
    QTest::newRow("text") << "eighty";
    QTest::newRow("zero") << "0";
    QTest::newRow("too big") << "70000";
    QTest::newRow("empty") << "";
  }
  void aPortThatIsNotANumberIsToldAndNoLookupStarts() {
    QFETCH(QString, port);
    useDemoDisc(true);
    CddbTestServer server(home_->path() + "/entries");
    start();
    home_->write("quavern.ini", "[cddb]\ncddb server=127.0.0.1\nport=" + port.toStdString() + "\n");
    program_->window().FreeDB1Click();
    QCOMPARE(program_->prompter.messages,
             std::vector<std::string>{"The CDDB port must be a number from 1 to 65535."});
    QVERIFY(program_->prompter.questions.empty());  // no crash question
    QVERIFY(server.requests().empty());
    QVERIFY(program_->window().isVisible());
  }

  void titlesAreEditedInPlace() {
    useDemoDisc(true);
    start();
    lv()->selectRow(1);
    program_->window().lvDblClick();
    auto* editor = program_->find<QLineEdit>("edt_title");
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->parentWidget(), static_cast<QWidget*>(lv()));
    QCOMPARE(editor->text(), QString("Lanterns on the Water"));
    editor->setText("a/b:c");
    QTest::keyClick(editor, Qt::Key_Return);
    QVERIFY(!editor->isVisible());
    QCOMPARE(cell(lv(), 1, 0), QString("abc"));
    QCOMPARE(program_->window().currentTags().title, std::string("abc"));
    // Only removed characters: the row keeps its title.
    program_->window().lvDblClick();
    editor->setText("*?|:\"/\\<>");
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(cell(lv(), 1, 0), QString("abc"));
    // A refresh brings back the engine's titles, all ticked again.
    lv()->item(0, 0)->setCheckState(Qt::Unchecked);
    program_->window().Refresh1Click();
    QCOMPARE(cell(lv(), 1, 0), QString("Lanterns on the Water"));
    QCOMPARE(lv()->item(0, 0)->checkState(), Qt::Checked);
  }

  void menusFollowPlayback() {
    useDemoDisc(true);
    start();
    lv()->selectRow(1);
    program_->window().Play1Click();
    QVERIFY(controller().playbackOn());
    QCOMPARE(controller().playTrack(), 2);
    for (const char* on : {"Pause1", "Pause2", "StopPlaying1", "StopPlaying2", "Play1"}) QVERIFY2(enabled(on), on);
    for (const char* off : {"FreeDB1", "Refresh1", "RipCD1", "Convert1"}) QVERIFY2(!enabled(off), off);
    program_->window().RipCD1Click();
    program_->window().Converter1Click();
    QCOMPARE(program_->prompter.messages,
             (std::vector<std::string>{"Please stop playing first.", "Please stop playing first."}));
    program_->window().Pause1Click();
    QVERIFY(controller().playbackPaused());
    QVERIFY(!enabled("Pause1") && !enabled("Pause2"));
    program_->window().Play1Click();  // resumes
    QVERIFY(!controller().playbackPaused());
    QVERIFY(enabled("Pause1") && enabled("Pause2"));
    program_->window().StopPlayingClick();
    QVERIFY(!controller().playbackOn());
    for (const char* on : {"FreeDB1", "Refresh1", "RipCD1", "Convert1"}) QVERIFY2(enabled(on), on);
    for (const char* off : {"Pause1", "Pause2", "StopPlaying1", "StopPlaying2"}) QVERIFY2(!enabled(off), off);
    // Converting while playing is refused the other way round too.
    controller().setRipping(true);
    program_->window().Play1Click();
    QCOMPARE(program_->prompter.messages.back(), std::string("Please stop converting first."));
    QVERIFY(!enabled("Play1") && !enabled("Option1") && !enabled("SelectAll1") && enabled("Stop1"));
    QVERIFY(!program_->find<QComboBox>("cb_format")->isEnabled());
    controller().setRipping(false);
  }

  void theEndOfTheLastTrackPlaysTrackOneNext() {
    useDemoDisc(true);
    start();
    lv()->selectRow(3);
    program_->window().Play1Click();
    QCOMPARE(controller().playTrack(), 4);
    program_->window().AudioCDRipperEndTrackPlay();
    QCOMPARE(controller().playTrack(), 1);
    QCOMPARE(lv()->selectedItems().first()->row(), 0);
    program_->window().AudioCDRipperEndTrackPlay();
    QCOMPARE(controller().playTrack(), 2);
    program_->window().StopPlayingClick();
    program_->window().AudioCDRipperEndTrackPlay();  // late: starts nothing
    QVERIFY(!controller().playbackOn());
  }

  void aDiscChangeRefillsOnlyWhenIdle() {
    useDemoDisc(true);
    start();
    lv()->item(0, 0)->setText("edited");
    lv()->selectRow(0);
    program_->window().Play1Click();
    program_->window().AudioCDRipperMediaChange();
    QCOMPARE(cell(lv(), 0, 0), QString("edited"));  // skipped while playing
    program_->window().StopPlayingClick();
    program_->window().AudioCDRipperMediaChange();
    QCOMPARE(cell(lv(), 0, 0), QString("Morning Over the Ridge"));
  }

  // The engine's own MediaChange, raised on its timer thread, reaches the
  // window through the Qt loop.
  void theEnginesDiscChangeEventArrivesOnTheGuiThread() {
    home_->write("one.disc", "disc seed=1\ntrack kind=tone length=0:05:00\n");
    home_->write("vdrives.ini", "[E]\nimage=one.disc\nremove=at:1500ms\n");
    start();
    QCOMPARE(lv()->rowCount(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(lv()->rowCount(), 0, 10000);
  }

  void escapeClosesTheMainWindowOnlyWhenItIsActive() {
    useDemoDisc(true);
    start();
    auto* settings = program_->window().findChild<quavern::Tfm_set*>("Tfm_set");
    bool dialogWasShown = false;
    QTimer::singleShot(100, settings, [&] {
      dialogWasShown = settings->isVisible();
      QTest::keyClick(settings, Qt::Key_Escape);
    });
    program_->window().Option1Click();  // modal until Escape
    QVERIFY(dialogWasShown);
    QVERIFY(program_->window().isVisible());
    QApplication::setActiveWindow(&program_->window());
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&program_->window()));
    QTest::keyClick(lv(), Qt::Key_Escape);
    QVERIFY(!program_->window().isVisible());
  }

  void theCrashQuestionRestartsOnYes_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("no") << false;
    QTest::newRow("yes") << true;
  }
  void theCrashQuestionRestartsOnYes() {
    QFETCH(bool, yes);
    useDemoDisc(true);
    start();
    program_->prompter.answerYes = yes;
    class Throwing : public QObject {
     public:
      bool event(QEvent*) override { throw quavern::ComponentError("AudioInformation2.WriteInfo", E_FAIL); }
    } throwing;
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&throwing, &event);
    QCOMPARE(program_->prompter.questions,
             std::vector<std::string>{"A system error occurs,do you want to restart this program?"});
    QVERIFY(!program_->window().isVisible());
    QCOMPARE(program_->restarter.restarts, yes ? 1 : 0);
  }

  void helpWebsiteAndBrowseGoThroughTheSeams() {
    useDemoDisc(true);
    start();
    QTest::keyClick(lv(), Qt::Key_F1);
    program_->window().Website1Click();
    QCOMPARE(program_->opener.opened.size(), size_t(2));
    QVERIFY(QString::fromStdString(program_->opener.opened[0]).endsWith("help/index.html"));
    QVERIFY(QFile::exists(QString::fromStdString(program_->opener.opened[0])));
    QVERIFY(program_->opener.opened[1].starts_with("https://"));
    program_->folders.answer = home_->path();
    program_->window().SkinClick("Browse");
    QCOMPARE(program_->folders.requests.back().caption, std::string("Output Directory"));
    QCOMPARE(program_->folders.requests.back().prompt,
             std::string("Please select the folder you want to save your files."));
    QCOMPARE(program_->find<QLineEdit>("edt_dir")->text().toStdString(), home_->path());
    QCOMPARE(program_->settings.readText("basic", "output directory", ""), home_->path());
    // A folder in the home folder shows as "~/...", the whole path in its tip.
    program_->folders.answer = QDir::homePath().toStdString() + "/Music/Rips";
    program_->window().SkinClick("Browse");
    QCOMPARE(program_->find<QLineEdit>("edt_dir")->text(), QString("~/Music/Rips"));
    QCOMPARE(program_->find<QLineEdit>("edt_dir")->toolTip(), QDir::homePath() + "/Music/Rips");
    program_->folders.answer = home_->path();
    program_->window().SkinClick("Browse");
    program_->folders.answer.clear();  // cancelled: nothing changes
    program_->window().SkinClick("Browse");
    QCOMPARE(program_->settings.readText("basic", "output directory", ""), home_->path());
    program_->find<QComboBox>("cb_format")->setCurrentIndex(3);
    QCOMPARE(program_->settings.readText("basic", "format", ""), std::string("3"));
    lv()->clearSelection();
    program_->window().ID3Tag1Click();
    QCOMPARE(program_->prompter.messages.back(), std::string("Please select the track you want to edit."));
  }
};

int main(int argc, char** argv) { return quavern_testing::runQuavernTest<MainWindowTest>(argc, argv); }

#include "main_window_test.moc"
