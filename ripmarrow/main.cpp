// ripmarrow: the command-line client of the Trackmill2 engine. It holds the
// user interaction only; the engine is reached through COM. The commands,
// their options and their help stand in one table (command_table.cpp);
// `ripmarrow --help` lists them.
#include "ripmarrow/command_table.h"
#include "ripmarrow/watch_command.h"

int main(int argc, char** argv) {
  ripmarrow::WatchCommand::keepArguments(argc, argv);  // watch starts itself again for each drive
  return ripmarrow::dispatch(argc, argv);
}
