#include "ripmarrow/command_table.h"

#include <iostream>
#include <string>

#include "components/registrar/component_registrar.h"
#include "ripmarrow/info_command.h"
#include "ripmarrow/lookup_command.h"
#include "ripmarrow/offset_command.h"
#include "ripmarrow/play_command.h"
#include "ripmarrow/rip_command.h"
#include "ripmarrow/verify_command.h"

namespace ripmarrow {
namespace {

int registerMain(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) != "register") {
      std::cerr << "usage: ripmarrow register\n";
      return 2;
    }
  }
  return ComponentRegistrar::builtComponents().registerAll(std::cout) ? 0 : 1;
}

int helpMain(int argc, char** argv) {
  const CommandEntry* wanted = nullptr;
  bool seenHelp = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "help" && !seenHelp) {
      seenHelp = true;
    } else if (wanted == nullptr && (wanted = findCommand(arg)) != nullptr) {
      continue;
    } else {
      std::cerr << "no such command: " << arg << "\nusage: ripmarrow help [COMMAND]\n";
      return 2;
    }
  }
  if (wanted != nullptr) {
    printCommandHelp(*wanted, std::cout);
  } else {
    printHelp(std::cout);
  }
  return 0;
}

constexpr std::string_view kServerHelp =
    "the AccurateRip server (default www.accuraterip.com; port 80); none: ask no server";

bool takesValue(const OptionEntry& option) { return !option.value.empty() && option.value[0] != '['; }

const OptionEntry* findOption(const CommandEntry* command, std::string_view name) {
  if (command == nullptr || command->takesDrive) {
    for (const OptionEntry& option : driveOptions()) {
      if (option.name == name) return &option;
    }
  }
  if (command != nullptr) {
    for (const OptionEntry& option : command->options) {
      if (option.name == name) return &option;
    }
    return nullptr;
  }
  for (const CommandEntry& entry : commandTable()) {
    for (const OptionEntry& option : entry.options) {
      if (option.name == name) return &option;
    }
  }
  return nullptr;
}

void printOption(const OptionEntry& option, std::ostream& out) {
  std::string head = "  " + std::string(option.name);
  if (!option.value.empty()) head += " " + std::string(option.value);
  if (head.size() < 30) head.resize(30, ' ');
  else head += "\n" + std::string(30, ' ');
  out << head << option.help << "\n";
}

std::string synopsis(const CommandEntry& command) {
  std::string text = "ripmarrow ";
  if (command.takesDrive) text += "[--vdrive [IMAGE]] [--drive N] ";
  text += command.name;
  if (!command.options.empty()) text += " [OPTIONS]";
  if (!command.arguments.empty()) text += " " + std::string(command.arguments);
  return text;
}

}  // namespace

const std::vector<OptionEntry>& driveOptions() {
  static const std::vector<OptionEntry> options = {
      {"--vdrive", "[IMAGE]", "put IMAGE (a CUE sheet or a disc description; default: the demo disc) into virtual drive V: and use it"},
      {"--drive", "N", "use drive N (from 1, as 'info' lists them)"},
  };
  return options;
}

const std::vector<CommandEntry>& commandTable() {
  static const std::vector<CommandEntry> table = {
      {"register", "", "register the built engine and components in $RIPMARROW_HOME (once per home)", {}, false,
       registerMain},
      {"info", "", "list the drives and the disc in one of them: type, disc ids, tracks", {}, true, InfoCommand::main},
      {"lookup",
       "",
       "the disc's titles from cdplayer.ini or a CDDB server",
       {
           {"--source", "all|online|local", "where to look (default all: cdplayer.ini, then the server)"},
           {"--server", "HOST[:PORT]", "the CDDB server"},
           {"--email", "ADDRESS", "the address CDDB requests carry"},
       },
       true,
       LookupCommand::main},
      {"play", "TRACK", "play a track (keys: space pause, arrows seek, q stop)", {}, true, PlayCommand::main},
      {"rip",
       "",
       "rip tracks into files, check them against AccurateRip and write ripmarrow.log",
       {
           {"--tracks", "LIST", "the tracks, e.g. 1,3-4 (default: every audio track)"},
           {"--format", "wav|mp3|mp2|ogg|wma|flac", "the files' format (default mp3)"},
           {"--flac-level", "0-8", "FLAC compression level (default 5)"},
           {"--mode", "play|burst|synch|secure|paranoid", "the rip mode (default burst)"},
           {"--retries", "N", "reads of a bad block before the on-error action (0-254)"},
           {"--on-error", "stop|silence|cut|correct", "what to do with a block that stays unreadable"},
           {"--speed", "X|max", "read speed (1-64x), or the drive's highest, unpaced"},
           {"--titles", "local|online|all|none", "where file names and tags come from (default local)"},
           {"--out", "FOLDER", "the output folder (default ~/Music/Ripmarrow)"},
           {"--email", "ADDRESS", "the address CDDB requests carry"},
           {"--offset", "N", "the drive's read offset in samples (-2000..2000) instead of drives.ini's"},
           {"--verify", "", "test and copy: read each track twice; differing copy CRCs fail the track"},
           {"--accuraterip-server", "HOST[:PORT]", kServerHelp},
           {"--cue", "", "write a cue sheet beside the files (catalog number, ISRCs, pregaps, titles)"},
           {"--deemphasis", "", "undo pre-emphasis in the files of tracks flagged with it"},
       },
       true,
       RipCommand::main},
      {"offset",
       "show|set N|find",
       "the drive's read offset kept in drives.ini: show it, set it, or find it from a disc AccurateRip knows",
       {
           {"--save", "", "find: keep the offset found in drives.ini"},
           {"--accuraterip-server", "HOST[:PORT]", kServerHelp},
       },
       true,
       OffsetCommand::main},
      {"verify",
       "FOLDER",
       "re-check the files of a rip log against the log and AccurateRip",
       {
           {"--log", "FILE", "the log to check (default: the folder's newest ripmarrow*.log)"},
           {"--accuraterip-server", "HOST[:PORT]", kServerHelp},
       },
       false,
       VerifyCommand::main},
      {"help", "[COMMAND]", "this overview, or one command's options", {}, false, helpMain},
  };
  return table;
}

const CommandEntry* findCommand(std::string_view name) {
  for (const CommandEntry& entry : commandTable()) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

void printCommandHelp(const CommandEntry& command, std::ostream& out) {
  out << "usage: " << synopsis(command) << "\n  " << command.help << "\n";
  if (command.takesDrive) {
    for (const OptionEntry& option : driveOptions()) printOption(option, out);
  }
  for (const OptionEntry& option : command.options) printOption(option, out);
}

void printHelp(std::ostream& out) {
  out << "usage: ripmarrow [--vdrive [IMAGE]] [--drive N] COMMAND [OPTIONS] [ARGUMENTS]\n"
         "       ripmarrow --help | help COMMAND\n\nCommands:\n";
  for (const CommandEntry& command : commandTable()) {
    std::string head = "  " + std::string(command.name);
    head.resize(12, ' ');
    out << head << command.help << "\n";
  }
  out << "\nOptions of the commands that read a disc (info, lookup, play, rip, offset):\n";
  for (const OptionEntry& option : driveOptions()) printOption(option, out);
  for (const CommandEntry& command : commandTable()) {
    if (command.options.empty() && command.arguments.empty()) continue;
    out << "\n" << synopsis(command) << "\n";
    for (const OptionEntry& option : command.options) printOption(option, out);
  }
  out << "\nFiles: $RIPMARROW_HOME (default ~/.config/Ripmarrow) holds the registry, vdrives.ini,\n"
         "drives.ini (each drive's read offset) and cdplayer.ini. See ripmarrow(1).\n";
}

int dispatch(int argc, char** argv) {
  const CommandEntry* command = nullptr;
  bool wantHelp = false;
  // The command word: the first word that is not an option or an option's value.
  for (int i = 1; i < argc && command == nullptr; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      wantHelp = true;
    } else if (!arg.empty() && arg[0] == '-') {
      const OptionEntry* option = findOption(nullptr, arg);
      if (option != nullptr && takesValue(*option)) {
        ++i;
      } else if (option != nullptr && !option->value.empty() && i + 1 < argc && argv[i + 1][0] != '-' &&
                 findCommand(argv[i + 1]) == nullptr) {
        ++i;  // an optional value (--vdrive IMAGE)
      }
    } else {
      command = findCommand(arg);
      if (command == nullptr) {
        std::cerr << "no such command: " << arg << "\n(ripmarrow --help lists them)\n";
        return 2;
      }
    }
  }
  for (int i = 1; i < argc; ++i) wantHelp = wantHelp || std::string_view(argv[i]) == "--help";
  if (wantHelp) {
    if (command != nullptr) {
      printCommandHelp(*command, std::cout);
    } else {
      printHelp(std::cout);
    }
    return 0;
  }
  if (command == nullptr) {
    std::cerr << "usage: ripmarrow [--vdrive [IMAGE]] [--drive N] COMMAND [OPTIONS]\n"
                 "(ripmarrow --help lists the commands and their options)\n";
    return 2;
  }
  // Options the command does not have are refused here, before its parser.
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.size() < 2 || arg.substr(0, 2) != "--") continue;
    const OptionEntry* option = findOption(command, arg);
    if (option == nullptr) {
      std::cerr << "ripmarrow " << command->name << " has no option " << arg << "\n";
      printCommandHelp(*command, std::cerr);
      return 2;
    }
    if (takesValue(*option)) ++i;
  }
  return command->main(argc, argv);
}

}  // namespace ripmarrow
