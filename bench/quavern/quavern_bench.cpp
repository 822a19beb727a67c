// One rip batch of the desktop program, offscreen: the program's windows on
// $RIPMARROW_HOME (its vdrives.ini, quavern.ini and cdplayer.ini written by
// run.sh), every row ticked, "Rip CD", then the Qt loop until the batch is
// over. Prints the seconds from "Rip CD" to the batch's end, the rows that
// did not end "Finish" and the window's worst pause in milliseconds (the
// longest the Qt loop went without running a 5 ms timer, "Rip CD" itself
// included); exit status 1 when a row did not finish. run.sh times the
// whole process against `ripmarrow rip` with the same settings.
//
// `quavern_bench lookup`: "Free DB" instead, on-line only, against a
// loopback MusicBrainz server that holds its answer for 2 s; prints the
// seconds until the titles arrived and the window's worst pause meanwhile.
// `quavern_bench cddb`: the same against a loopback CDDB server (MusicBrainz
// off) that holds each of its two answers for 2 s, asked through the
// engine's look-up thread. lookup.sh runs both.
#include <QCoreApplication>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>

#include <chrono>
#include <memory>
#include <string>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "client/testing/musicbrainz_answers.h"
#include "client/testing/musicbrainz_test_server.h"
#include "engine/cddb/testing/cddb_test_server.h"
#include "frontend/application_events.h"
#include "frontend/quavern_program.h"
#include "frontend/seams.h"
#include "frontend/settings/settings_store.h"
#include "frontend/tfm_main.h"
#include "platform/shell/desktop_opener.h"

namespace {

class QuietPrompter : public quavern::Prompter {
 public:
  void inform(QWidget*, const std::string& text) override { std::cerr << "message: " << text << "\n"; }
  bool askYesNo(QWidget*, const std::string&) override { return true; }
};

class NoOpener : public platform::DesktopOpener {
 public:
  bool open(std::string_view) override { return true; }
};

}  // namespace

int main(int argc, char** argv) {
  const auto launched = std::chrono::steady_clock::now();
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const bool cddbLookUp = argc > 1 && std::string(argv[1]) == "cddb";
  const bool lookUp = (argc > 1 && std::string(argv[1]) == "lookup") || cddbLookUp;
  std::unique_ptr<client::testing::MusicBrainzTestServer> server;
  std::unique_ptr<engine::cddb::testing::CddbTestServer> cddb;
  if (cddbLookUp) {
    const char* home = std::getenv("RIPMARROW_HOME");
    const std::string entries = std::string(home != nullptr ? home : ".") + "/cddb-entries";
    engine::cddb::testing::CddbTestServer::writeEntry(
        entries, "rock", "22007804",
        "# xmcd\n#\n# Disc length: 122 seconds\n#\nDISCID=22007804\nDTITLE=Lamp Makers / Night Shift\n"
        "TTITLE0=Song 1\nTTITLE1=Song 2\nTTITLE2=Song 3\nTTITLE3=Song 4\nEXTD=\nPLAYORDER=\n");
    cddb = std::make_unique<engine::cddb::testing::CddbTestServer>(entries);
    cddb->setDelayMs(2000);
    qputenv("RIPMARROW_MUSICBRAINZ_SERVER", "none");
    qunsetenv("RIPMARROW_CDDB_SERVER");
  } else if (lookUp) {
    server = std::make_unique<client::testing::MusicBrainzTestServer>();
    client::testing::ReleaseSpec release;
    release.trackMs = {30000, 30000, 30000, 30000};
    client::testing::MusicBrainzTestServer::Answer answer;
    answer.body = client::testing::FuzzyAnswer({client::testing::ReleaseJson(release)});
    answer.holdMs = 2000;
    server->add("/ws/2/discid/*", answer);
    qputenv("RIPMARROW_MUSICBRAINZ_SERVER", QByteArray::fromStdString(server->address()));
    qputenv("RIPMARROW_CDDB_SERVER", "none");
  }
  quavern::QuavernApplication application(argc, argv);
  CoInitialize(nullptr);
  int status = 0;
  {
    quavern::ComCallPump pump;
    if (!quavern::ensureComponentsRegistered(std::cerr)) return 1;
    quavern::SettingsStore settings;
    QuietPrompter prompter;
    NoOpener opener;
    quavern::Seams seams{&settings, &prompter, &opener, nullptr, nullptr, nullptr};
    quavern::QuavernProgram program(application, seams);
    quavern::Tfm_main& window = program.mainWindow();
    window.show();
    auto* lv = window.findChild<QTableWidget*>("lv");
    if (lv == nullptr || lv->rowCount() == 0) {
      std::cerr << "no tracks\n";
      return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    std::fprintf(stderr, "start-up %.3f s\n", std::chrono::duration<double>(start - launched).count());
    using Clock = std::chrono::steady_clock;
    auto lastTick = Clock::now();
    double worstPauseMs = 0;
    const auto noteTick = [&] {
      const auto now = Clock::now();
      worstPauseMs = std::max(worstPauseMs, std::chrono::duration<double, std::milli>(now - lastTick).count());
      lastTick = now;
    };
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, noteTick);
    tick.start();
    lastTick = Clock::now();
    if (lookUp) {
      settings.writeInt("cddb", "cd source", 1);
      if (cddb) {
        settings.writeText("cddb", "cddb server", "127.0.0.1");
        settings.writeInt("cddb", "port", cddb->port());
        settings.writeInt("cddb", "time out", 20000);
      }
      window.FreeDB1Click();
      noteTick();
      while (window.controller().lookingUp()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      noteTick();  // the look-up's end, handled since the last tick, counts too
      const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
      const bool named = lv->item(0, 0)->text() == "Song 1";
      std::printf("%.3f %s %.1f\n", seconds, named ? "named" : "unnamed", worstPauseMs);
      status = named ? 0 : 1;
    } else {
      window.RipCD1Click();
      noteTick();
      while (window.controller().ripping()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
      int failed = 0;
      for (int r = 0; r < lv->rowCount(); ++r) failed += lv->item(r, 4)->text() != "Finish";
      std::printf("%.3f %d %.1f\n", seconds, failed, worstPauseMs);
      status = failed == 0 ? 0 : 1;
    }
  }
  CoFreeUnusedLibraries();
  CoUninitialize();
  return status;
}
