// quavern, the desktop program: the application, the desktop's seams, the
// components registered on first start, then the main window until it closes.
#include <QIcon>

#include <iostream>

#include "frontend/application_events.h"
#include "frontend/data_folder.h"
#include "frontend/desktop_seams.h"
#include "frontend/quavern_program.h"
#include "frontend/settings/settings_store.h"
#include "frontend/tfm_main.h"
#include "platform/com/objbase.h"
#include "platform/shell/xdg_opener.h"

int main(int argc, char** argv) {
  quavern::QuavernApplication application(argc, argv);
  application.setApplicationName("quavern");
  application.setApplicationDisplayName("Ripmarrow");
  application.setDesktopFileName("quavern");
  application.setWindowIcon(QIcon(quavern::dataFolder() + "/icons/quavern.svg"));

  CoInitialize(nullptr);
  int status = 0;
  {
    quavern::ComCallPump pump;
    const bool registered = quavern::ensureComponentsRegistered(std::cerr);
    quavern::SettingsStore settings;
    quavern::MessageBoxPrompter prompter;
    if (!registered) {
      prompter.inform(nullptr, "Ripmarrow could not load its ripping components; please reinstall the program.");
    }
    platform::XdgOpener opener;
    quavern::DialogFileChooser files;
    quavern::ProcessRestarter restarter;
    quavern::Seams seams{&settings, &prompter, &opener, nullptr, &files, &restarter};
    quavern::QuavernProgram program(application, seams);
    quavern::closeOnTermination(&program.mainWindow());
    program.mainWindow().show();
    status = application.exec();
  }
  CoFreeUnusedLibraries();
  CoUninitialize();
  return status;
}
