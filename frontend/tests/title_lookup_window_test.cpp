// The main window's on-line title look-up against a loopback MusicBrainz
// server: the window keeps answering while the server holds its answer, its
// caption says a look-up runs, the titles (with each track's artist) arrive
// when it answers, several releases ask the user, the disc's CD-TEXT names
// a disc no service knows, a look-up can be stopped, and a window closed
// during a look-up closes at once.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QThread>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <iostream>

#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/wavfile.h>
#include <taglib/tpropertymap.h>
#include <sstream>

#include "client/testing/musicbrainz_answers.h"
#include "client/testing/musicbrainz_test_server.h"
#include "engine/cddb/testing/cddb_test_server.h"
#include "frontend/release_chooser.h"
#include "frontend/tfm_id3.h"
#include "frontend/tests/quavern_test_support.h"
#include "vdrive/demo_disc.h"

using namespace quavern_testing;
using client::testing::MusicBrainzTestServer;
using engine::cddb::testing::CddbTestServer;

namespace {

QString cell(QTableWidget* lv, int row, int column) { return lv->item(row, column)->text(); }

// The demo disc's four tracks, matched by length (the answer names no disc id).
std::string Release(const std::string& id, const std::string& artist) {
  client::testing::ReleaseSpec r;
  r.id = id;
  r.artist = artist;
  r.trackMs = {30000, 30000, 30000, 30000};
  return client::testing::ReleaseJson(r);
}

MusicBrainzTestServer::Answer Held(std::string body, int holdMs) {
  MusicBrainzTestServer::Answer answer;
  answer.body = std::move(body);
  answer.holdMs = holdMs;
  return answer;
}

// The tags of a ripped file, as TagLib names them ("" a tag not there).
std::string Property(const std::string& path, const char* name) {
  TagLib::FileRef file(path.c_str());
  if (file.isNull() || file.file() == nullptr) return "(no file)";
  const TagLib::PropertyMap map = file.file()->properties();
  const auto it = map.find(name);
  return it == map.end() || it->second.isEmpty() ? std::string() : it->second.front().to8Bit(true);
}

constexpr char kDemoDiscId[] = "22007804";

// The longest wait, in ms, of a zero-time timer over `spanMs` of the event loop.
qint64 WorstEventLoopPauseMs(int spanMs) {
  QElapsedTimer span;
  span.start();
  qint64 worst = 0;
  while (span.elapsed() < spanMs) {
    QElapsedTimer posted;
    posted.start();
    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    while (!fired) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    worst = std::max(worst, posted.elapsed());
  }
  return worst;
}

}  // namespace

class TitleLookupWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<ScratchHome> home_;
  std::unique_ptr<ProgramUnderTest> program_;
  std::unique_ptr<MusicBrainzTestServer> server_;

  void start() {
    QVERIFY(quavern::ensureComponentsRegistered(std::cerr));
    program_ = std::make_unique<ProgramUnderTest>(*application());
    program_->show();
    program_->settings.writeInt("cddb", "cd source", 1);  // on-line
  }
  QTableWidget* lv() const { return program_->find<QTableWidget>("lv"); }
  QLabel* label(const char* name) const { return program_->find<QLabel>(name); }
  // Rips the first track alone into the scratch home's "out" folder; `log`: its rip log.
  void ripFirstTrack(std::string& log, int format = 1 /* WAV */) {
    const std::string out = home_->path() + "/out";
    program_->settings.writeText("basic", "output directory", out);
    program_->find<QComboBox>("cb_format")->setCurrentIndex(format);
    for (int r = 1; r < lv()->rowCount(); ++r) lv()->item(r, 0)->setCheckState(Qt::Unchecked);
    program_->window().RipCD1Click();
    QTRY_VERIFY_WITH_TIMEOUT(!program_->window().controller().ripping(), 30000);
    std::ifstream in(out + "/ripmarrow.log");
    std::stringstream text;
    text << in.rdbuf();
    log = text.str();
  }

 private slots:
  void init() {
    home_ = std::make_unique<ScratchHome>();
    server_ = std::make_unique<MusicBrainzTestServer>();
    qputenv("RIPMARROW_MUSICBRAINZ_SERVER", QByteArray::fromStdString(server_->address()));
    qputenv("RIPMARROW_CDDB_SERVER", "none");
    home_->write("vdrives.ini", "[V]\nimage=" + std::string(RIPMARROW_DEMO_DIR) + "/demo.cue\naddress=0:0:7:0\n");
  }
  // The CDDB server on the loopback, for the window's look-ups ("cd source"
  // on-line): MusicBrainz, asked first, does not know the disc.
  void useCddbServer(const CddbTestServer& cddb, int timeOutMs) {
    qunsetenv("RIPMARROW_CDDB_SERVER");
    program_->settings.writeText("cddb", "cddb server", "127.0.0.1");
    program_->settings.writeInt("cddb", "port", cddb.port());
    program_->settings.writeInt("cddb", "time out", timeOutMs);
  }

  void cleanup() {
    program_.reset();
    server_.reset();
    home_.reset();
    qputenv("RIPMARROW_MUSICBRAINZ_SERVER", "none");
    qputenv("RIPMARROW_COVERART_SERVER", "none");
    qunsetenv("RIPMARROW_CDDB_SERVER");
  }

  void theWindowAnswersWhileTheServerHoldsItsAnswer() {
    server_->add("/ws/2/discid/*", Held(client::testing::FuzzyAnswer({Release("r1", "Artist")}), 5000));
    start();
    QCOMPARE(cell(lv(), 0, 0), QString("Track01"));
    program_->window().FreeDB1Click();
    QCOMPARE(program_->window().windowTitle(), QString::fromUtf8("Looking up titles\u2026"));
    QVERIFY(!program_->find<QAction>("FreeDB1")->isEnabled());
    const qint64 worst = WorstEventLoopPauseMs(3000);
    QVERIFY2(worst < 1000, qPrintable(QString::number(worst)));
    QTRY_COMPARE_WITH_TIMEOUT(cell(lv(), 0, 0), QString("Song 1"), 10000);
    QCOMPARE(cell(lv(), 1, 1), QString("Guest 2 & Artist"));  // the track's own artist
    QCOMPARE(cell(lv(), 1, 2), QString("Album"));
    QCOMPARE(program_->window().windowTitle(), QString("Ripmarrow"));
    QVERIFY(program_->prompter.messages.empty());
    QVERIFY(server_->requests().at(0).userAgent.rfind("Ripmarrow/", 0) == 0);
  }

  // The status line and the batch's rip log say what named the disc: the
  // local store asked at start-up and finding nothing, then MusicBrainz.
  void theStatusLineAndTheRipLogNameTheSource() {
    server_->add("/ws/2/discid/*", Held(client::testing::FuzzyAnswer({Release("r1", "Artist")}), 0));
    start();
    QCOMPARE(label("lb_titles")->text(), QString("No titles found"));
    QVERIFY(!label("lb_submit")->isVisible());
    program_->window().FreeDB1Click();
    QTRY_COMPARE_WITH_TIMEOUT(cell(lv(), 0, 0), QString("Song 1"), 10000);
    QCOMPARE(label("lb_titles")->text(), QString("Titles from MusicBrainz (matched by track lengths)"));
    std::string log;
    ripFirstTrack(log);
    QVERIFY2(log.find("Setting titles: MusicBrainz release r1 (matched by track lengths)\n") != std::string::npos,
             log.c_str());
  }

  // The release taken is written back to cdplayer.ini: the next start of
  // the program names the disc from there, with MusicBrainz off.
  void theReleaseTakenNamesTheDiscOfflineFromThenOn() {
    server_->add("/ws/2/discid/*", Held(client::testing::FuzzyAnswer({Release("r1", "Artist")}), 0));
    start();
    program_->window().FreeDB1Click();
    QTRY_COMPARE_WITH_TIMEOUT(cell(lv(), 0, 0), QString("Song 1"), 10000);
    program_.reset();
    qputenv("RIPMARROW_MUSICBRAINZ_SERVER", "none");
    start();
    QCOMPARE(label("lb_titles")->text(), QString("Titles from cdplayer.ini"));
    QCOMPARE(cell(lv(), 0, 0), QString("Song 1"));
    QCOMPARE(cell(lv(), 3, 0), QString("Song 4"));
    QCOMPARE(cell(lv(), 0, 1), QString("Artist"));
    QCOMPARE(cell(lv(), 0, 2), QString("Album"));
    QCOMPARE(server_->requests().size(), size_t(1));
  }

  // The second disc of a two-disc release with a guest on every track:
  // the FLAC file carries the track's artist, the release's fields and its
  // MusicBrainz ids; the tag editor shows and changes the album artist and
  // the disc number.
  void theBatchTagsTheReleasesFieldsAndTheEditorsAlbumArtist() {
    client::testing::ReleaseSpec r;
    r.id = "22222222-2222-2222-2222-222222222222";
    r.artist = "Artist";
    r.trackMs = {30000, 30000, 30000, 30000};
    r.mediumCount = 2;
    server_->add("/ws/2/discid/*", Held(client::testing::FuzzyAnswer({client::testing::ReleaseJson(r)}), 0));
    const std::string png = std::string("\x89PNG\r\n\x1A\n", 8) + std::string(300, 'p');
    MusicBrainzTestServer::Answer image;
    image.body = png;
    image.contentType = "image/png";
    server_->add("/release/" + r.id + "/front-500", image);
    qputenv("RIPMARROW_COVERART_SERVER", QByteArray::fromStdString(server_->address()));
    start();
    program_->window().FreeDB1Click();
    QTRY_COMPARE_WITH_TIMEOUT(cell(lv(), 0, 0), QString("Song 1"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(program_->window().controller().coverArt().has_value(), 10000);
    std::string log;
    ripFirstTrack(log, 4);  // FLAC
    const std::string flac = home_->path() + "/out/Song 1.flac";
    // The cover: beside the file, embedded, its own copy gone.
    QVERIFY2(log.find("Setting cover art: embedded, cover.png\n") != std::string::npos, log.c_str());
    std::ifstream cover(home_->path() + "/out/cover.png", std::ios::binary);
    std::stringstream coverBytes;
    coverBytes << cover.rdbuf();
    QCOMPARE(coverBytes.str(), png);
    QVERIFY(!std::filesystem::exists(home_->path() + "/out/.quavern-cover.png"));
    {
      TagLib::FLAC::File file(flac.c_str());
      QCOMPARE(file.pictureList().size(), 1u);
    }
    QCOMPARE(Property(flac, "ARTIST"), std::string("Guest 1 & Artist"));
    QCOMPARE(Property(flac, "ALBUMARTIST"), std::string("Artist"));
    QCOMPARE(Property(flac, "DISCNUMBER").substr(0, 1), std::string("2"));
    QCOMPARE(Property(flac, "LABEL"), std::string("Label One"));
    QCOMPARE(Property(flac, "CATALOGNUMBER"), std::string("CAT 1"));
    QCOMPARE(Property(flac, "BARCODE"), std::string("5012345678900"));
    QCOMPARE(Property(flac, "ISRC"), std::string("GBAAA010001"));
    QCOMPARE(Property(flac, "MUSICBRAINZ_ALBUMID"), r.id);
    QCOMPARE(Property(flac, "MUSICBRAINZ_RELEASEGROUPID"), std::string("rg1"));
    QCOMPARE(Property(flac, "MUSICBRAINZ_TRACKID"), std::string("rec1"));

    // The editor shows what the release said and hands on what the user types.
    auto* id3 = program_->window().findChild<quavern::Tfm_id3*>("Tfm_id3");
    QString shownAlbumArtist, shownDisc;
    QTimer::singleShot(0, id3, [&] {
      shownAlbumArtist = id3->findChild<QLineEdit*>("edt_album_artist")->text();
      shownDisc = id3->findChild<QLineEdit*>("edt_disc")->text();
      id3->findChild<QLineEdit*>("edt_album_artist")->setText("Various Artists");
      auto* disc = id3->findChild<QLineEdit*>("edt_disc");
      disc->clear();
      QTest::keyClicks(disc, "x1/a3");  // what is not a disc number is not taken
      QCOMPARE(disc->text(), QString("1/3"));
      id3->btn_okClick();
    });
    program_->window().ID3Tag1Click();
    QCOMPARE(shownAlbumArtist, QString("Artist"));
    QCOMPARE(shownDisc, QString("2/2"));
    program_->prompter.answerYes = true;  // the file is ripped again
    ripFirstTrack(log, 4);
    QCOMPARE(Property(flac, "ALBUMARTIST"), std::string("Various Artists"));
    QCOMPARE(Property(flac, "DISCNUMBER").substr(0, 1), std::string("1"));
  }

  // The cover's fetch ends during the batch (the server holds it until the
  // batch asks about an existing file): the tracks tagged from then on get
  // it at once, the one tagged before it gets it when the batch ends, with
  // its other tags kept, and the log names the cover.
  void aCoverThatComesDuringTheBatchReachesEveryFile() {
    client::testing::ReleaseSpec r;
    r.id = "33333333-3333-3333-3333-333333333333";
    r.trackMs = {30000, 30000, 30000, 30000};
    server_->add("/ws/2/discid/*", Held(client::testing::FuzzyAnswer({client::testing::ReleaseJson(r)}), 0));
    const std::string png = std::string("\x89PNG\r\n\x1A\n", 8) + std::string(300, 'p');
    MusicBrainzTestServer::Answer image;
    image.body = png;
    image.contentType = "image/png";
    image.gate = std::make_shared<std::atomic<bool>>(false);
    server_->add("/release/" + r.id + "/front-500", image);
    qputenv("RIPMARROW_COVERART_SERVER", QByteArray::fromStdString(server_->address()));
    start();
    program_->window().FreeDB1Click();
    QTRY_COMPARE_WITH_TIMEOUT(cell(lv(), 0, 0), QString("Song 1"), 10000);

    const std::string out = home_->path() + "/out";
    std::filesystem::create_directories(out);
    std::ofstream(out + "/Song 2.wav") << "an earlier rip";
    program_->settings.writeText("basic", "output directory", out);
    program_->find<QComboBox>("cb_format")->setCurrentIndex(1);  // WAV
    lv()->item(3, 0)->setCheckState(Qt::Unchecked);
    bool coverBeforeTheQuestion = true;
    program_->prompter.answerYes = true;
    program_->prompter.onQuestion = [&] {
      quavern::DiscController& disc = program_->window().controller();
      coverBeforeTheQuestion = disc.coverArt().has_value();
      image.gate->store(true);
      QElapsedTimer waited;
      waited.start();
      while (!disc.coverArt().has_value() && waited.elapsed() < 10000) QThread::msleep(10);
    };
    program_->window().RipCD1Click();
    QTRY_VERIFY_WITH_TIMEOUT(!program_->window().controller().ripping(), 60000);
    QVERIFY(!coverBeforeTheQuestion);  // the first track was tagged without it
    QVERIFY2(program_->prompter.messages.empty(), program_->prompter.messages.empty() ? "" : program_->prompter.messages.back().c_str());
    for (const char* name : {"Song 1.wav", "Song 2.wav", "Song 3.wav"}) {
      TagLib::RIFF::WAV::File wav((out + "/" + name).c_str());
      QVERIFY2(wav.hasID3v2Tag(), name);
      QVERIFY2(wav.ID3v2Tag()->frameList("APIC").size() == 1, name);
    }
    QCOMPARE(Property(out + "/Song 1.wav", "MUSICBRAINZ_ALBUMID"), r.id);
    QCOMPARE(Property(out + "/Song 1.wav", "TITLE"), std::string("Song 1"));
    std::ifstream cover(out + "/cover.png", std::ios::binary);
    std::stringstream coverBytes;
    coverBytes << cover.rdbuf();
    QCOMPARE(coverBytes.str(), png);
    std::ifstream in(out + "/ripmarrow.log");
    std::stringstream log;
    log << in.rdbuf();
    QVERIFY2(log.str().find("cover art: embedded, cover.png\n") != std::string::npos, log.str().c_str());
  }

  void severalReleasesAreChosenByTheUser() {
    server_->add("/ws/2/discid/*", Held(client::testing::FuzzyAnswer({Release("r1", "One"), Release("r2", "Two")}), 0));
    start();
    // Escape keeps the titles the window had. The chooser is waited for:
    // on a busy machine the answer may take longer than any fixed pause.
    std::function<void()> escape = [&] {
      auto* chooser = qobject_cast<quavern::ReleaseChooser*>(QApplication::activeModalWidget());
      if (chooser == nullptr) {
        QTimer::singleShot(50, escape);
        return;
      }
      chooser->reject();
    };
    QTimer::singleShot(50, escape);
    program_->window().FreeDB1Click();
    QTRY_COMPARE_WITH_TIMEOUT(program_->window().windowTitle(), QString("Ripmarrow"), 10000);
    QTest::qWait(300);
    QCOMPARE(cell(lv(), 0, 0), QString("Track01"));
    // The second row taken.
    bool shown = false;
    std::function<void()> answer = [&] {
      auto* chooser = qobject_cast<quavern::ReleaseChooser*>(QApplication::activeModalWidget());
      if (chooser == nullptr) {
        QTimer::singleShot(50, answer);
        return;
      }
      shown = chooser->table()->rowCount() == 2 && chooser->chosenRow() == 0;
      chooser->table()->selectRow(1);
      chooser->accept();
    };
    QTimer::singleShot(50, answer);
    program_->window().FreeDB1Click();
    QTRY_COMPARE_WITH_TIMEOUT(cell(lv(), 0, 0), QString("Song 1"), 10000);
    QVERIFY(shown);
    QCOMPARE(program_->window().currentTags().artist, std::string("Two"));
  }

  // MusicBrainz does not know the demo disc (404) and the CDDB server is
  // off: with every source asked, the disc's own CD-TEXT names it.
  void theDiscsOwnTextNamesItWhenNoServiceDoes() {
    start();
    program_->settings.writeInt("cddb", "cd source", 0);
    program_->window().FreeDB1Click();
    QTRY_COMPARE_WITH_TIMEOUT(cell(lv(), 0, 0), QString("Morning Over the Ridge"), 10000);
    QCOMPARE(cell(lv(), 0, 1), QString("The Virtual Quartet"));
    QCOMPARE(cell(lv(), 0, 2), QString("Four Small Rooms"));
    QVERIFY(program_->prompter.messages.empty());
    QCOMPARE(server_->requests().size(), size_t(1));
    // The window says so, and offers the disc to MusicBrainz.
    QCOMPARE(label("lb_titles")->text(), QString("Titles from CD-TEXT"));
    QVERIFY(label("lb_submit")->isVisible());
    const QString link = label("lb_submit")->toolTip();
    QVERIFY2(link.startsWith(QString::fromStdString(server_->address())) && link.contains("/cdtoc/attach?toc="),
             qPrintable(link));
    QMetaObject::invokeMethod(label("lb_submit"), "linkActivated", Q_ARG(QString, link));
    QCOMPARE(program_->opener.opened.back(), link.toStdString());
  }

  void aLookUpCanBeStoppedAndTheWindowClosesAtOnce() {
    server_->add("/ws/2/discid/*", Held("{}", 8000));
    start();
    program_->window().FreeDB1Click();
    QElapsedTimer clock;
    clock.start();
    program_->window().StopRippingClick();
    QTRY_COMPARE_WITH_TIMEOUT(program_->window().windowTitle(), QString("Ripmarrow"), 3000);
    QCOMPARE(cell(lv(), 0, 0), QString("Track01"));
    QVERIFY(program_->prompter.messages.empty());

    program_->window().FreeDB1Click();
    clock.restart();
    program_->window().close();
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!program_->window().isVisible());
  }

  // The CDDB server is asked on the engine's own thread: while the server
  // holds each answer for 5 s the window keeps answering, its caption says
  // so, and the titles appear once it answers.
  void theWindowAnswersWhileTheCddbServerHoldsItsAnswer() {
    const std::string entries = home_->path() + "/entries";
    CddbTestServer::writeEntry(entries, "rock", kDemoDiscId,
                               "# xmcd\n#\n# Disc length: 122 seconds\n#\nDISCID=22007804\n"
                               "DTITLE=Lamp Makers / Night Shift\nTTITLE0=One\nTTITLE1=Two\n"
                               "TTITLE2=Three\nTTITLE3=Four\nEXTD=\nPLAYORDER=\n");
    CddbTestServer cddb(entries);
    cddb.setDelayMs(5000);
    start();
    useCddbServer(cddb, 20000);
    program_->window().FreeDB1Click();
    QTRY_VERIFY_WITH_TIMEOUT(!cddb.requests().empty(), 5000);
    QCOMPARE(program_->window().windowTitle(), QString::fromUtf8("Looking up titles\u2026"));
    QVERIFY(!program_->find<QAction>("FreeDB1")->isEnabled());
    QVERIFY(program_->find<QAction>("Stop1")->isEnabled());
    const qint64 worst = WorstEventLoopPauseMs(3000);
    QVERIFY2(worst < 1000, qPrintable(QString::number(worst)));
    QCOMPARE(cell(lv(), 0, 0), QString("Track01"));
    QTRY_COMPARE_WITH_TIMEOUT(cell(lv(), 0, 0), QString("One"), 20000);
    QCOMPARE(cell(lv(), 3, 0), QString("Four"));
    QCOMPARE(cell(lv(), 2, 1), QString("Lamp Makers"));
    QCOMPARE(program_->window().windowTitle(), QString("Ripmarrow"));
    QVERIFY(program_->find<QAction>("FreeDB1")->isEnabled());
    QCOMPARE(label("lb_titles")->text(), QString("Titles from CDDB server"));
    QVERIFY(label("lb_submit")->isVisible());  // MusicBrainz said it does not know the disc
    QVERIFY(program_->prompter.messages.empty());
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

  // A CDDB server that never answers: "Stop" gives the look-up up at once,
  // the titles shown stay and nothing is said; a window closed during the
  // next look-up closes at once.
  void aCddbLookUpCanBeStoppedAndTheWindowClosesAtOnce() {
    CddbTestServer cddb(home_->path() + "/no-entries");
    cddb.setBehaviour(CddbTestServer::Behaviour::kNeverAnswer);
    start();
    useCddbServer(cddb, 30000);
    program_->window().FreeDB1Click();
    QTRY_VERIFY_WITH_TIMEOUT(!cddb.requests().empty(), 5000);
    QCOMPARE(program_->window().windowTitle(), QString::fromUtf8("Looking up titles\u2026"));
    program_->window().StopRippingClick();
    QCOMPARE(program_->window().windowTitle(), QString("Ripmarrow"));
    QVERIFY(program_->find<QAction>("FreeDB1")->isEnabled());
    QTest::qWait(300);  // the engine's end of the stopped look-up changes nothing
    QCOMPARE(cell(lv(), 0, 0), QString("Track01"));
    QVERIFY(program_->prompter.messages.empty());
    QCOMPARE(program_->window().windowTitle(), QString("Ripmarrow"));

    program_->window().FreeDB1Click();
    QTRY_VERIFY_WITH_TIMEOUT(cddb.requests().size() >= 2, 5000);
    QElapsedTimer clock;
    clock.start();
    program_->window().close();
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!program_->window().isVisible());
    QVERIFY(program_->prompter.messages.empty());
  }
};

int main(int argc, char** argv) { return runQuavernTest<TitleLookupWindowTest>(argc, argv); }

#include "title_lookup_window_test.moc"
