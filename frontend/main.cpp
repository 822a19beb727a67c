// quavern, the desktop program: the application, its command line, the
// hand-over to a program already running in this home, the desktop's seams,
// the components registered on first start, then the main window until it
// closes.
#include <QCommandLineParser>
#include <QIcon>
#include <QTimer>

#include <iostream>

#include "client/drive_request.h"
#include "frontend/application_events.h"
#include "frontend/data_folder.h"
#include "frontend/desktop_seams.h"
#include "frontend/instance_link.h"
#include "frontend/quavern_program.h"
#include "frontend/settings/settings_store.h"
#include "frontend/tfm_main.h"
#include "platform/com/objbase.h"
#include "platform/shell/xdg_opener.h"
#include "platform/version/product_version.h"

namespace {

// The desktop's name for the program: its desktop entry, AppStream data and
// icon carry the same id.
constexpr char kDesktopId[] = "example.veltrosa.ripmarrow";

}  // namespace

int main(int argc, char** argv) {
  quavern::QuavernApplication application(argc, argv);
  application.setApplicationName("quavern");
  application.setApplicationDisplayName("Ripmarrow");
  application.setApplicationVersion(platform::productVersion());
  application.setDesktopFileName(kDesktopId);
  application.setWindowIcon(QIcon(quavern::dataFolder() + "/icons/quavern.svg"));

  QCommandLineParser parser;
  parser.setApplicationDescription("Ripmarrow, the audio CD ripper.");
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption deviceOption(
      "device", "Start on DRIVE: a device (/dev/sr0), a drive letter, or its number from 1.", "DRIVE");
  parser.addOption(deviceOption);
  parser.addPositionalArgument("uri", "The audio CD a desktop hands over (cdda://sr0/).", "[URI]");
  parser.process(application);
  QString drive = parser.value(deviceOption);
  if (drive.isEmpty() && !parser.positionalArguments().isEmpty()) drive = parser.positionalArguments().front();
  if (!drive.isEmpty()) {
    client::DriveRequest request;
    std::string error;
    if (!client::parseDriveRequest(drive.toStdString(), request, error)) {
      std::cerr << "quavern: " << error << "\n";
      return 2;
    }
  }
  // A program already running in this home takes the drive and comes forward.
  if (quavern::InstanceLink::handOver(drive)) return 0;
  quavern::InstanceLink link;
  if (!link.listen()) {
    // One started at the same moment and listens now: it takes the drive.
    if (quavern::InstanceLink::handOver(drive)) return 0;
    std::cerr << "quavern: later starts cannot hand their drive over to this one\n";
  }

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
    QObject::connect(&link, &quavern::InstanceLink::driveRequested, &program.mainWindow(),
                     [&program](const QString& requested) { program.showDrive(requested.toStdString()); });
    program.mainWindow().show();
    // Once the window stands: the drive asked for, then drives the user may
    // not open (which the engine leaves out of its list), said once.
    QTimer::singleShot(0, &program.mainWindow(), [&program, drive] {
      if (!drive.isEmpty()) program.showDrive(drive.toStdString());
      program.sayRefusedDrives();
    });
    status = application.exec();
  }
  CoFreeUnusedLibraries();
  CoUninitialize();
  return status;
}
