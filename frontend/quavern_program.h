// One run of the desktop program: the components registered when they are
// not yet, the link to the engine, the tags the rips write and the two
// controllers (the disc's and the rip batch's), the windows created in the
// start-up order (main window, Settings dialog, About box, folder chooser,
// converter, tag editor), each given only what it uses, and the application
// events tied to the main window. Only the main window is shown.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "frontend/current_tags.h"
#include "frontend/engine_link.h"
#include "frontend/seams.h"

namespace quavern {

class DiscController;
class DriveStation;
class QuavernApplication;
class RipBatch;
class Tfm_main;
struct Dialogs;

// Registers the product's COM servers of the tree the program runs from
// into $RIPMARROW_HOME when the store does not name them yet (or names
// another copy): client/component_setup.h. True when the engine and the tag
// component can be created afterwards.
bool ensureComponentsRegistered(std::ostream& log);

class QuavernProgram {
 public:
  QuavernProgram(QuavernApplication& application, Seams seams);
  ~QuavernProgram();
  QuavernProgram(const QuavernProgram&) = delete;
  QuavernProgram& operator=(const QuavernProgram&) = delete;

  Tfm_main& mainWindow() const { return *main_; }
  DriveStation& station() const { return *station_; }
  // Brings the window to the front on the drive `drive` names (a device,
  // cdda:// URI, letter or number: client/drive_request.h; empty: the
  // window only), as [cd] "cd rom" from then on. A drive the engine does not
  // have is said in a message.
  void showDrive(const std::string& drive);
  // Says, the first time only, which CD devices exist but may not be opened
  // (the engine leaves them out of its list), why, and what to do
  // (client/drive_access.h).
  void sayRefusedDrives();
  const Dialogs& dialogs() const;

 private:
  QuavernApplication& application_;
  Seams seams_;
  bool refusedDrivesSaid_ = false;
  // Declared in the order they are made; the destructor takes the window
  // down first, then the controllers, then the engine.
  EngineLink engine_;
  CurrentTags tags_;
  Tfm_main* main_;  // deletes the dialogs, its children
  std::unique_ptr<DiscController> disc_;
  std::unique_ptr<RipBatch> ripBatch_;
  std::unique_ptr<DriveStation> station_;  // the other drives' workers
};

}  // namespace quavern
