// One conversion run of the desktop program's converter, offscreen: the
// program's windows on $RIPMARROW_HOME (its quavern.ini written by run.sh),
// the files named on the command line added through "Add File(s)", then
// "Convert" and the Qt loop until the run is over. Prints the seconds from
// "Convert" to the run's end; exit status 1 when a row did not end "Finish".
//   converter_bench FILE...
#include <QCoreApplication>
#include <QTableWidget>

#include <chrono>
#include <cstdio>
#include <iostream>

#include "frontend/application_events.h"
#include "frontend/quavern_program.h"
#include "frontend/seams.h"
#include "frontend/settings/settings_store.h"
#include "frontend/tfm_converter.h"
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

class GivenFiles : public quavern::FileChooser {
 public:
  explicit GivenFiles(std::vector<std::string> files) : files_(std::move(files)) {}
  std::vector<std::string> chooseFiles(QWidget*, const std::string&, const std::string&, const std::string&) override {
    return files_;
  }

 private:
  std::vector<std::string> files_;
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  quavern::QuavernApplication application(argc, argv);
  CoInitialize(nullptr);
  int status = 0;
  {
    quavern::ComCallPump pump;
    if (!quavern::ensureComponentsRegistered(std::cerr)) return 1;
    quavern::SettingsStore settings;
    QuietPrompter prompter;
    NoOpener opener;
    GivenFiles files({argv + 1, argv + argc});
    quavern::Seams seams{&settings, &prompter, &opener, nullptr, &files, nullptr};
    quavern::QuavernProgram program(application, seams);
    quavern::Tfm_main& window = program.mainWindow();
    window.show();
    auto* converter = window.findChild<quavern::Tfm_converter*>("Tfm_converter");
    converter->show();
    converter->btn_addClick();
    auto* lv = converter->findChild<QTableWidget*>("lv");
    const auto start = std::chrono::steady_clock::now();
    converter->btn_convertClick();
    // Waits for events as the program's own loop does, rather than spinning beside the converter.
    while (converter->conversion().running())
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.3f\n", seconds);
    for (int r = 0; r < lv->rowCount(); ++r) {
      if (lv->item(r, 3)->text() != "Finish") {
        std::cerr << lv->item(r, 0)->text().toStdString() << ": " << lv->item(r, 3)->text().toStdString() << "\n";
        status = 1;
      }
    }
    converter->hide();
  }
  CoFreeUnusedLibraries();
  CoUninitialize();
  return status;
}
