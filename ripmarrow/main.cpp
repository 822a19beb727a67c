// ripmarrow: the command-line client of the Trackmill2 engine. It holds the
// user interaction only; the engine is reached through COM.
//
//   ripmarrow register                 register the built components in $RIPMARROW_HOME
//   ripmarrow [--vdrive IMAGE] [--drive N] info
//                                      the drives and the disc in one of them; --vdrive
//                                      first puts IMAGE (default: the demo disc) in
//                                      virtual drive V: of $RIPMARROW_HOME/vdrives.ini
#include <cstring>
#include <iostream>
#include <string>

#include "platform/com/com.h"
#include "components/registrar/component_registrar.h"
#include "ripmarrow/info_command.h"
#include "ripmarrow/lookup_command.h"
#include "ripmarrow/play_command.h"
#include "ripmarrow/rip_command.h"
#include "ripmarrow/virtual_drive_setup.h"

namespace {

int usage() {
  std::cerr << "usage: ripmarrow register\n"
               "       ripmarrow [--vdrive [IMAGE]] [--drive N] info\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (ripmarrow::PlayCommand::wanted(argc, argv)) return ripmarrow::PlayCommand::main(argc, argv);
  if (ripmarrow::RipCommand::wanted(argc, argv)) return ripmarrow::RipCommand::main(argc, argv);
  for (int i = 1; i < argc; ++i) if (std::strcmp(argv[i], "lookup") == 0) return ripmarrow::LookupCommand::main(argc, argv);
  std::string command;
  bool useVdrive = false;
  std::string image;
  ripmarrow::InfoCommand::Options info;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--vdrive") {
      useVdrive = true;
      if (i + 1 < argc && argv[i + 1][0] != '-' && std::strcmp(argv[i + 1], "info") != 0) image = argv[++i];
    } else if (arg == "--drive" && i + 1 < argc) {
      info.driveNum = std::strtol(argv[++i], nullptr, 10);
    } else if (command.empty() && arg[0] != '-') {
      command = arg;
    } else {
      return usage();
    }
  }

  if (command == "register") {
    return ripmarrow::ComponentRegistrar::builtComponents().registerAll(std::cout) ? 0 : 1;
  }
  if (command != "info") return usage();

  if (useVdrive) {
    if (image.empty()) image = ripmarrow::VirtualDriveSetup::demoImage();
    std::string error;
    if (!ripmarrow::VirtualDriveSetup::putImage(image, ripmarrow::VirtualDriveSetup::kDefaultLetter, error)) {
      std::cerr << error << "\n";
      return 1;
    }
    info.preferredLetter = ripmarrow::VirtualDriveSetup::kDefaultLetter;
  }
  CoInitialize(nullptr);
  const int status = ripmarrow::InfoCommand::run(info, std::cout, std::cerr);
  CoFreeUnusedLibraries();
  CoUninitialize();
  return status;
}
