// The commands of ripmarrow in one table: each command's name, arguments,
// one-line help and options, and the function that runs it. The program's
// dispatch, `ripmarrow --help`, `ripmarrow help COMMAND` and the check that
// the manual page lists everything all read this table, so a command or an
// option exists for all of them or for none.
#pragma once

#include <ostream>
#include <string_view>
#include <vector>

namespace ripmarrow {

struct OptionEntry {
  std::string_view name;   // "--tracks"
  std::string_view value;  // "LIST"; "" for a switch; "[IMAGE]" when the value may be left out
  std::string_view help;
};

struct CommandEntry {
  std::string_view name;       // "rip"
  std::string_view arguments;  // words after the options: "TRACK", "FOLDER", "show|set N|find"
  std::string_view help;
  std::vector<OptionEntry> options;
  bool takesDrive = false;  // accepts the drive options (--vdrive, --drive)
  int (*main)(int argc, char** argv) = nullptr;  // parses the whole command line
};

// Every command, in the order the help lists them.
const std::vector<CommandEntry>& commandTable();
// --vdrive and --drive, which every command that reads a disc accepts.
const std::vector<OptionEntry>& driveOptions();

const CommandEntry* findCommand(std::string_view name);

// The overview of every command with its options (`ripmarrow --help`).
void printHelp(std::ostream& out);
// One command with its options (`ripmarrow help COMMAND`).
void printCommandHelp(const CommandEntry& command, std::ostream& out);

// Finds the command word of the command line, refuses options the command
// does not have, and runs it: the process's exit status (2 for a command
// line that names no command or an unknown one).
int dispatch(int argc, char** argv);

}  // namespace ripmarrow
