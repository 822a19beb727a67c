// One run of the desktop program: the components registered when they are
// not yet, the link to the engine, the tags the rips write and the two
// controllers (the disc's and the rip batch's), the windows created in the
// start-up order (main window, Settings dialog, About box, folder chooser,
// converter, tag editor), each given only what it uses, and the application
// events tied to the main window. Only the main window is shown.
#pragma once

#include <memory>
#include <ostream>

#include "frontend/current_tags.h"
#include "frontend/engine_link.h"
#include "frontend/seams.h"

namespace quavern {

class DiscController;
class QuavernApplication;
class RipBatch;
class Tfm_main;
struct Dialogs;

// Registers the product's COM servers into $RIPMARROW_HOME when the engine
// or the tag component cannot be created, with the registrar `ripmarrow
// register` uses: the installed libraries beside the program, else those of
// the build tree. True when both can be created afterwards.
bool ensureComponentsRegistered(std::ostream& log);

class QuavernProgram {
 public:
  QuavernProgram(QuavernApplication& application, Seams seams);
  ~QuavernProgram();
  QuavernProgram(const QuavernProgram&) = delete;
  QuavernProgram& operator=(const QuavernProgram&) = delete;

  Tfm_main& mainWindow() const { return *main_; }
  const Dialogs& dialogs() const;

 private:
  QuavernApplication& application_;
  // Declared in the order they are made; the destructor takes the window
  // down first, then the controllers, then the engine.
  EngineLink engine_;
  CurrentTags tags_;
  Tfm_main* main_;  // deletes the dialogs, its children
  std::unique_ptr<DiscController> disc_;
  std::unique_ptr<RipBatch> ripBatch_;
};

}  // namespace quavern
