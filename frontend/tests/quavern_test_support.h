// What the desktop program's tests share: a scratch $RIPMARROW_HOME with the
// product's components registered by the program's own registrar and
// virtual drives of generated discs, seams that record what the program asks
// of the desktop, and the program's windows on that home.
#pragma once

#include <QApplication>
#include <QTest>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frontend/application_events.h"
#include "frontend/quavern_program.h"
#include "frontend/seams.h"
#include "frontend/settings/settings_store.h"
#include "frontend/tfm_main.h"
#include "platform/com/com.h"
#include "platform/shell/desktop_opener.h"

namespace quavern_testing {

// The program's application object, which every test program makes.
inline quavern::QuavernApplication* application() { return static_cast<quavern::QuavernApplication*>(qApp); }

// A whole file's bytes ("" when it cannot be read).
inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class RecordingPrompter : public quavern::Prompter {
 public:
  void inform(QWidget*, const std::string& text) override { messages.push_back(text); }
  bool askYesNo(QWidget*, const std::string& text) override {
    questions.push_back(text);
    if (onQuestion) onQuestion();
    return answerYes;
  }
  std::function<void()> onQuestion;  // runs while the question is asked
  std::vector<std::string> messages, questions;
  bool answerYes = false;
};

class RecordingOpener : public platform::DesktopOpener {
 public:
  bool open(std::string_view target) override {
    opened.emplace_back(target);
    return true;
  }
  std::vector<std::string> opened;
};

class AnsweringFolderChooser : public quavern::FolderChooser {
 public:
  quavern::FolderChoice chooseFolder(QWidget*, const quavern::FolderRequest& request) override {
    requests.push_back(request);
    return {answer, false};
  }
  std::vector<quavern::FolderRequest> requests;
  std::string answer;
};

class CountingRestarter : public quavern::Restarter {
 public:
  void restart() override { ++restarts; }
  int restarts = 0;
};

// A fresh home (also the current folder) for one test; real drives hidden.
class ScratchHome {
 public:
  ScratchHome() {
    char pattern[] = "/tmp/rm_quavern.XXXXXX";
    path_ = mkdtemp(pattern);
    qputenv("RIPMARROW_HOME", QByteArray::fromStdString(path_));
    qputenv("RIPMARROW_DEVICE_DIR", QByteArray::fromStdString(path_));
    qputenv("RIPMARROW_AUDIO", "silent");
    qputenv("RIPMARROW_ACCURATERIP_SERVER", "none");  // no test asks the real database
    qputenv("RIPMARROW_MUSICBRAINZ_SERVER", "none");  // nor the real MusicBrainz and cover art
    qputenv("RIPMARROW_COVERART_SERVER", "none");
    qputenv("RIPMARROW_CTDB_SERVER", "none");
    oldCwd_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
  ~ScratchHome() {
    std::filesystem::current_path(oldCwd_);
    std::filesystem::remove_all(path_);
  }
  const std::string& path() const { return path_; }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(path_ + "/" + name, std::ios::binary) << text;
  }

 private:
  std::string path_;
  std::filesystem::path oldCwd_;
};

// The program's windows over a scratch home, with recording seams.
class ProgramUnderTest {
 public:
  // `adjust` changes the seams before the program takes them.
  explicit ProgramUnderTest(quavern::QuavernApplication& application,
                            const std::function<void(quavern::Seams&)>& adjust = {}) {
    seams.settings = &settings;
    seams.prompter = &prompter;
    seams.opener = &opener;
    seams.folders = &folders;
    seams.restarter = &restarter;
    if (adjust) adjust(seams);
    program = std::make_unique<quavern::QuavernProgram>(application, seams);
  }
  quavern::Tfm_main& window() const { return program->mainWindow(); }
  void show() {
    window().show();
    window().activateWindow();
    QApplication::setActiveWindow(&window());
    (void)QTest::qWaitForWindowActive(&window(), 2000);
  }
  template <class T>
  T* find(const char* name) const {
    return window().findChild<T*>(name);
  }

  quavern::SettingsStore settings;
  RecordingPrompter prompter;
  RecordingOpener opener;
  AnsweringFolderChooser folders;
  CountingRestarter restarter;
  quavern::Seams seams;
  std::unique_ptr<quavern::QuavernProgram> program;
};

// A test program's main: the application, the COM apartment with its call
// pump into the Qt loop, and the test object run inside them.
template <class Test>
int runQuavernTest(int argc, char** argv) {
  quavern::QuavernApplication application(argc, argv);
  application.setApplicationDisplayName("Ripmarrow");
  CoInitialize(nullptr);
  int status = 0;
  {
    quavern::ComCallPump pump;
    Test test;
    status = QTest::qExec(&test, argc, argv);
  }
  CoFreeUnusedLibraries();
  CoUninitialize();
  return status;
}

}  // namespace quavern_testing
