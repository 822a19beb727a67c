// The commands of ripmarrow in one table: each command's name, arguments,
// one-line help and options, the setter that stores each option's value into
// the command's options, and what runs it. The parser, `ripmarrow --help`,
// `ripmarrow help COMMAND`, `ripmarrow COMMAND --help` and the manual page's
// synopsis (held equal to manSynopsis() by a test) all read this table, so a
// command or an option exists for all of them or for none.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ripmarrow/virtual_drive_setup.h"

namespace ripmarrow {

// An option as the help shows it.
struct OptionEntry {
  std::string_view name;   // "--tracks"
  std::string_view value;  // "LIST"; "" for a switch; "[IMAGE]" when the value may be left out
  std::string_view help;

  bool takesValue() const { return !value.empty() && value.front() != '['; }
  bool mayTakeValue() const { return !value.empty() && value.front() == '['; }
};

// An option as the table declares it: what the help shows, and `set`, which
// stores the value into the command's options `O` ("" for a switch and for
// an optional value left out). False refuses the value.
template <typename O>
struct BoundOption : OptionEntry {
  BoundOption(std::string_view optionName, std::string_view optionValue, std::string_view optionHelp,
             std::function<bool(O&, std::string_view)> setter)
      : OptionEntry{optionName, optionValue, optionHelp}, set(std::move(setter)) {}
  std::function<bool(O&, std::string_view)> set;
};

// --vdrive [IMAGE] and --drive N, which every command that reads a disc takes.
struct DriveChoice {
  VirtualDriveOption vdrive;
  long driveNum = 0;  // 0: not given
};
const std::vector<BoundOption<DriveChoice>>& driveOptions();

// The options given on a command line, in order, and the words left over:
// what the parser found before the command's setters see it.
struct CommandLine {
  std::vector<std::pair<std::string_view, std::string_view>> options;  // name, value
  std::vector<std::string_view> arguments;
};

struct CommandEntry {
  std::string_view name;       // "rip"
  std::string_view arguments;  // words after the options: "TRACK", "FOLDER", "show|set N|find"
  std::string_view help;
  bool readsDisc = false;             // takes driveOptions()
  std::vector<OptionEntry> options;   // its own, in the order the help lists them
  // Stores the command line into the command's options and runs it: the
  // process's exit status (2 for a value or argument refused).
  std::function<int(const CommandLine&)> run;
};

// A command as the table declares it, for command(): its options of type O,
// the check of its arguments (and of what its options say together), and
// what runs it.
template <typename O>
struct CommandDecl {
  std::string_view name{};
  std::string_view arguments{};
  std::string_view help{};
  std::vector<BoundOption<O>> options{};
  // The words after the options into `O`: "" when the command line is
  // whole, else what is wrong. Unset: the command takes no arguments.
  std::function<std::string(O&, const std::vector<std::string_view>&)> finish{};
  std::function<int(const O&)> run{};
  // The options before the command line's; unset: O's own defaults.
  std::function<O()> defaults{};
};

// A command reads a disc when its options say which drive.
template <typename O>
concept ReadsDisc = requires(O& o) {
  o.driveNum;
  o.preferredLetter;
};

// Says on stderr what is wrong with a command line of `command` and where
// its help is: the exit status 2.
int refuse(std::string_view command, const std::string& complaint);

// The table's entry of `decl`: the help's view of it, and the run that
// applies each option's setter in the order given.
template <typename O>
CommandEntry command(CommandDecl<O> decl) {
  CommandEntry entry{decl.name, decl.arguments, decl.help, ReadsDisc<O>, {}, {}};
  for (const BoundOption<O>& option : decl.options) entry.options.push_back(option);
  entry.run = [decl = std::move(decl)](const CommandLine& line) -> int {
    O options = decl.defaults ? decl.defaults() : O{};
    [[maybe_unused]] DriveChoice drive;
    for (const auto& [name, value] : line.options) {
      bool ok = false;
      std::string_view wanted;
      if constexpr (ReadsDisc<O>) {
        for (const BoundOption<DriveChoice>& option : driveOptions()) {
          if (option.name != name) continue;
          ok = option.set(drive, value);
          wanted = option.value;
        }
      }
      for (const BoundOption<O>& option : decl.options) {
        if (option.name != name) continue;
        ok = option.set(options, value);
        wanted = option.value;
      }
      if (!ok) {
        return refuse(decl.name, "bad value for " + std::string(name) + ": '" + std::string(value) + "' (wanted: " +
                                     std::string(wanted) + ")");
      }
    }
    const std::string complaint =
        decl.finish ? decl.finish(options, line.arguments)
                    : line.arguments.empty() ? std::string() : "unexpected word " + std::string(line.arguments[0]);
    if (!complaint.empty()) return refuse(decl.name, complaint);
    if constexpr (ReadsDisc<O>) {
      options.driveNum = drive.driveNum;
      if (!drive.vdrive.apply(options.preferredLetter)) return 1;
    }
    return decl.run(options);
  };
  return entry;
}

// Every command, in the order the help lists them.
const std::vector<CommandEntry>& commandTable();
const CommandEntry* findCommand(std::string_view name);

// A decimal number of at most six digits in low..high.
bool parseNumber(std::string_view text, long low, long high, long& result);

// The overview of every command with its options (`ripmarrow --help`).
void printHelp(std::ostream& out);
// One command with its options (`ripmarrow help COMMAND`).
void printCommandHelp(const CommandEntry& command, std::ostream& out);
// The manual page's SYNOPSIS section, in roff, heading included.
std::string manSynopsis();

// Finds the command word of the command line, splits the rest into the
// command's options and arguments, and runs it: the process's exit status
// (2 for a command line the table refuses).
int dispatch(int argc, char** argv);

}  // namespace ripmarrow
