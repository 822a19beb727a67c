#include "ripmarrow/command_table.h"

#include <cctype>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "components/registrar/component_registrar.h"
#include "client/component_setup.h"
#include "platform/version/product_version.h"
#include "client/proof_recorder.h"
#include "client/drive_offsets.h"
#include "client/encoder_settings.h"
#include "client/naming_template.h"
#include "client/musicbrainz_lookup.h"
#include "ripmarrow/info_command.h"
#include "ripmarrow/lookup_command.h"
#include "ripmarrow/offset_command.h"
#include "ripmarrow/play_command.h"
#include "ripmarrow/rip_command.h"
#include "ripmarrow/verify_command.h"
#include "ripmarrow/watch_command.h"

namespace ripmarrow {
namespace {

constexpr std::string_view kServerValue = "HOST[:PORT]|none";
constexpr std::string_view kServerHelp =
    "the AccurateRip server (default www.accuraterip.com; port 80); none: ask no server";
constexpr std::string_view kEmailHelp = "the address CDDB requests carry";
constexpr std::string_view kServiceValue = "URL|HOST[:PORT]|none";

// The value, when it is one of `choices`, into `result`.
template <typename T>
bool pick(std::string_view value, std::initializer_list<std::pair<std::string_view, T>> choices, T& result) {
  for (const auto& [name, choice] : choices) {
    if (value == name) {
      result = choice;
      return true;
    }
  }
  return false;
}

// The setter of an option `O::*field` that keeps the value as it is.
template <typename O>
auto text(std::string O::*field) {
  return [field](O& options, std::string_view value) {
    options.*field = std::string(value);
    return true;
  };
}

// The setter of a switch.
template <typename O>
auto on(bool O::*field) {
  return [field](O& options, std::string_view) {
    options.*field = true;
    return true;
  };
}

// The setter of --accuraterip-server into an HttpServer (nothing for none).
template <typename O>
auto accurateRipServer() {
  return [](O& options, std::string_view value) { return client::ParseAccurateRipServer(std::string(value), options.server); };
}

// The setter of --musicbrainz-server: the value as given, once it is a server.
template <typename O>
auto musicBrainzServer() {
  return [](O& options, std::string_view value) {
    options.musicBrainzServer = std::string(value);
    return client::ParseServiceServer(value).has_value();
  };
}

// Offset and verify start from the server of $RIPMARROW_ACCURATERIP_SERVER
// (else the public one); a value that is no server leaves them asking none,
// as rip does.
template <typename O>
O withDefaultServer() {
  O options;
  client::ParseAccurateRipServer(client::DefaultAccurateRipServer(), options.server);
  return options;
}

std::string oneArgument(const std::vector<std::string_view>& words, std::string_view what, std::string& into) {
  if (words.empty()) return std::string(what) + " is missing";
  if (words.size() > 1) return "unexpected word " + std::string(words[1]);
  into = std::string(words[0]);
  return "";
}

// "wav|mp3|...": the formats' names, in the table's order.
const std::string& formatChoices() {
  static const std::string choices = [] {
    std::string joined;
    for (const client::AudioFormatInfo& format : client::kAudioFormats)
      joined += (joined.empty() ? "" : "|") + std::string(format.name);
    return joined;
  }();
  return choices;
}

struct RegisterOptions {};

struct HelpOptions {
  const CommandEntry* command = nullptr;  // nullptr: every command
};

CommandEntry registerCommand() {
  return command<RegisterOptions>({
      .name = "register",
      .help = "register the engine and components installed with the program in $RIPMARROW_HOME (every command does it when needed)",
      .run = [](const RegisterOptions&) { return ComponentRegistrar::installed().registerAll(std::cout) ? 0 : 1; },
  });
}

CommandEntry infoCommand() {
  return command<InfoCommand::Options>({
      .name = "info",
      .help = "list the drives and the disc in one of them: type, disc ids, tracks",
      .run = InfoCommand::main,
  });
}

CommandEntry lookupCommand() {
  using O = LookupCommand::Options;
  return command<O>({
      .name = "lookup",
      .help = "the disc's titles from cdplayer.ini, MusicBrainz or a CDDB server",
      .options =
          {
              {"--source", "all|online|local",
               "where to look (default all: cdplayer.ini, then MusicBrainz, then the CDDB server)",
               [](O& o, std::string_view v) { return LookupCommand::parseSource(std::string(v), o.source); }},
              {"--musicbrainz-server", kServiceValue, "the MusicBrainz server", musicBrainzServer<O>()},
              {"--release", "N|MBID", "the MusicBrainz release, by its number in the list or its id", text(&O::release)},
              {"--server", "HOST[:PORT]", "the CDDB server",
               [](O& o, std::string_view v) {
                 return LookupCommand::parseServer(std::string(v), o.serverHost, o.serverPort);
               }},
              {"--email", "ADDRESS", kEmailHelp, text(&O::email)},
          },
      .run = LookupCommand::main,
  });
}

CommandEntry playCommand() {
  using O = PlayCommand::Options;
  return command<O>({
      .name = "play",
      .arguments = "TRACK",
      .help = "play a track (keys: space pause, arrows seek, q stop)",
      .finish =
          [](O& o, const std::vector<std::string_view>& words) {
            std::string track;
            std::string complaint = oneArgument(words, "TRACK", track);
            if (complaint.empty() && !parseNumber(track, 1, 99, o.track)) complaint = "no track " + track;
            return complaint;
          },
      .run = PlayCommand::main,
  });
}

CommandDecl<RipCommand::Options> ripDecl() {
  using O = RipCommand::Options;
  using T = RipCommand::Titles;
  return {
      .name = "rip",
      .help = "rip tracks into files, check them against AccurateRip and write ripmarrow.log",
      .options =
          {
              {"--tracks", "LIST", "the tracks, e.g. 1,3-4 (default: every audio track)",
               [](O& o, std::string_view v) { return RipCommand::parseTracks(std::string(v), o.tracks); }},
              {"--format", formatChoices(), "the files' format (default mp3)",
               [](O& o, std::string_view v) {
                 const auto format = client::FormatOfName(v);
                 if (format) o.format = *format;
                 return format.has_value();
               }},
              {"--flac-level", "0-8", "FLAC compression level (default 5, or the encoder settings')",
               [](O& o, std::string_view v) { return o.flacLevelGiven = parseNumber(v, 0, 8, o.flacLevel); }},
              {"--encoder-settings", "FILE",
               "the encoders' settings from a quavern.ini-format file's [mp3] [ogg] [wma] [flac] (default: MP3 at "
               "128 kbit/s CBR, the engine's OGG and WMA)",
               [](O& o, std::string_view v) {
                 o.encoderSettingsFile = std::string(v);
                 return !v.empty();
               }},
              {"--mode", "play|burst|synch|secure|paranoid|verified",
               "the rip mode (default burst); verified: burst, and secure for tracks no database confirms",
               [](O& o, std::string_view v) {
                 o.verified = v == "verified";
                 if (o.verified) {
                   o.mode = BURST;
                   return true;
                 }
                 return pick<RipModePresetConstants>(
                     v, {{"play", PLAY}, {"burst", BURST}, {"synch", SYNCH}, {"secure", SECURE}, {"paranoid", PARANOID}},
                     o.mode);
               }},
              {"--retries", "N", "reads of a bad block before the on-error action (0-254)",
               [](O& o, std::string_view v) { return parseNumber(v, 0, 254, o.retries); }},
              {"--on-error", "stop|silence|cut|correct", "what to do with a block that stays unreadable",
               [](O& o, std::string_view v) {
                 return pick<long>(v, {{"stop", StopRip}, {"silence", SILENCE}, {"cut", CUT}, {"correct", CORRECT}},
                                   o.onError);
               }},
              {"--speed", "X|max", "read speed (1-64x), or the drive's highest, unpaced",
               [](O& o, std::string_view v) {
                 o.speedMax = v == "max";
                 return o.speedMax || parseNumber(v, 1, 64, o.speed);
               }},
              {"--titles", "local|online|all|cdtext|none",
               "where file names and tags come from (default all: cdplayer.ini, MusicBrainz, the CDDB server, CD-TEXT)",
               [](O& o, std::string_view v) {
                 return pick<T>(v,
                                {{"local", T::kLocal},
                                 {"online", T::kOnline},
                                 {"all", T::kAll},
                                 {"cdtext", T::kCdText},
                                 {"none", T::kNone}},
                                o.titles);
               }},
              {"--musicbrainz-server", kServiceValue, "the MusicBrainz server", musicBrainzServer<O>()},
              {"--coverart-server", kServiceValue, "the cover art server",
               [](O& o, std::string_view v) {
                 o.coverArtServer = std::string(v);
                 return client::ParseServiceServer(v).has_value();
               }},
              {"--release", "N|MBID", "the MusicBrainz release when several share the disc", text(&O::release)},
              {"--cover-art", "embed|file|both|none",
               "the release's front cover in the files, as cover.jpg or cover.png beside them, or both (default both)",
               [](O& o, std::string_view v) {
                 int choice = 0;
                 if (!pick<int>(v, {{"none", 0}, {"file", 1}, {"embed", 2}, {"both", 3}}, choice)) return false;
                 o.coverArtFile = (choice & 1) != 0;
                 o.coverArtEmbed = (choice & 2) != 0;
                 return true;
               }},
              {"--out", "FOLDER", "the output folder (default ~/Music/Ripmarrow)",
               [](O& o, std::string_view v) {
                 o.folder = std::string(v);
                 return !v.empty();
               }},
              {"--email", "ADDRESS", kEmailHelp, text(&O::email)},
              {"--cddb-server", "HOST[:PORT]", "the CDDB server (default gnudb.gnudb.org, port 80)",
               [](O& o, std::string_view v) {
                 return LookupCommand::parseServer(std::string(v), o.cddbServer, o.cddbPort);
               }},
              {"--cddb-timeout", "MS", "how long a CDDB request may take, in milliseconds (default 4000)",
               [](O& o, std::string_view v) { return parseNumber(v, 1, 999999, o.cddbTimeOutMs); }},
              {"--offset", "N", "the drive's read offset in samples (-2000..2000) instead of drives.ini's",
               [](O& o, std::string_view v) {
                 long offset = 0;
                 const bool ok = client::DriveOffsets::parseOffset(std::string(v), offset);
                 o.offset = offset;
                 return ok;
               }},
              {"--verify", "", "test and copy: read each track twice; differing copy CRCs fail the track",
               on(&O::verify)},
              {"--accuraterip-server", kServerValue, kServerHelp,
               [](O& o, std::string_view v) {
                 o.accurateRipServer = std::string(v);
                 std::optional<client::HttpServer> server;
                 return client::ParseAccurateRipServer(o.accurateRipServer, server);
               }},
              {"--ctdb-server", "http://HOST[:PORT][/PATH]|HOST[:PORT]|none",
               "the CUETools database to ask (default $RIPMARROW_CTDB_SERVER, else http://db.cuetools.net)",
               [](O& o, std::string_view v) {
                 o.ctdbServer = std::string(v);
                 std::string error;
                 return client::ParseCtdbServer(o.ctdbServer, error).has_value();
               }},
              {"--cue", "", "write a cue sheet beside the files (catalog number, ISRCs, pregaps, titles)",
               on(&O::cue)},
              {"--deemphasis", "", "undo pre-emphasis in the files of tracks flagged with it", on(&O::deemphasis)},
              {"--naming", "TEMPLATE", "folders and file names, e.g. %A/%D/%N %T (%A %a %D %Y %N %T %d)",
               [](O& o, std::string_view v) {
                 o.naming = std::string(v);
                 return client::NamingTemplateProblem(v).empty();
               }},
              {"--replaygain", "", "tag ReplayGain 2.0 track and album gain and peak, measured while ripping",
               on(&O::replayGain)},
          },
      .finish =
          [](O& o, const std::vector<std::string_view>& words) -> std::string {
            if (!words.empty()) return "unexpected word " + std::string(words[0]);
            if (!o.encoderSettingsFile.empty()) {
              std::string error;
              o.encoders = client::LoadEncoderSettingsFile(o.encoderSettingsFile, error);
              if (!o.encoders) return "--encoder-settings: " + error;
              if (!o.flacLevelGiven) o.flacLevel = o.encoders->flacLevel;
            }
            if (!o.folder.empty()) return "";
            const char* home = std::getenv("HOME");
            if (home == nullptr || *home == '\0') return "HOME is not set: name the folder with --out";
            o.folder = std::string(home) + "/Music/Ripmarrow";
            return "";
          },
      .run = RipCommand::main,
  };
}

CommandEntry ripCommand() { return command(ripDecl()); }

CommandEntry watchCommand() { return WatchCommand::tableEntry(ripDecl()); }

CommandEntry offsetCommand() {
  using O = OffsetCommand::Options;
  using A = OffsetCommand::Action;
  return command<O>({
      .name = "offset",
      .arguments = "show|set N|find",
      .help = "the drive's read offset kept in drives.ini: show it, set it, or find it from a disc AccurateRip knows",
      .options =
          {
              {"--save", "", "find: keep the offset found in drives.ini", on(&O::save)},
              {"--accuraterip-server", kServerValue, kServerHelp, accurateRipServer<O>()},
          },
      .finish =
          [](O& o, const std::vector<std::string_view>& words) -> std::string {
            // No action: show.
            const std::string_view action = words.empty() ? "show" : words[0];
            const size_t count = words.empty() ? 0 : action == "set" ? 2 : 1;
            if (!pick<A>(action, {{"show", A::kShow}, {"set", A::kSet}, {"find", A::kFind}}, o.action)) {
              return "no action " + std::string(action) + " (show, set N or find)";
            }
            if (words.size() < count) return "set needs the offset N";
            if (words.size() > count) return "unexpected word " + std::string(words[count]);
            if (o.action == A::kSet && !client::DriveOffsets::parseOffset(std::string(words[1]), o.offset)) {
              return "bad offset " + std::string(words[1]) + " (-2000..2000)";
            }
            if (o.save && o.action != A::kFind) return "--save goes with find";
            return "";
          },
      .run = OffsetCommand::main,
      .defaults = withDefaultServer<O>,
  });
}

CommandEntry verifyCommand() {
  using O = VerifyCommand::Options;
  return command<O>({
      .name = "verify",
      .arguments = "FOLDER",
      .help = "re-check the files of a rip log against the log and AccurateRip",
      .options =
          {
              {"--log", "FILE", "the log to check (default: the folder's newest ripmarrow*.log)", text(&O::log)},
              {"--accuraterip-server", kServerValue, kServerHelp, accurateRipServer<O>()},
          },
      .finish = [](O& o, const std::vector<std::string_view>& words) { return oneArgument(words, "FOLDER", o.folder); },
      .run = [](const O& o) { return VerifyCommand::run(o, std::cout, std::cerr); },
      .defaults = withDefaultServer<O>,
  });
}

CommandEntry helpCommand() {
  return command<HelpOptions>({
      .name = "help",
      .arguments = "[COMMAND]",
      .help = "this overview, or one command's options",
      .finish =
          [](HelpOptions& o, const std::vector<std::string_view>& words) -> std::string {
            if (words.size() > 1) return "unexpected word " + std::string(words[1]);
            if (words.empty()) return "";
            o.command = findCommand(words[0]);
            return o.command == nullptr ? "no command " + std::string(words[0]) : "";
          },
      .run =
          [](const HelpOptions& o) {
            if (o.command != nullptr) {
              printCommandHelp(*o.command, std::cout);
            } else {
              printHelp(std::cout);
            }
            return 0;
          },
  });
}

// The options a command takes: the drive options first when it reads a disc.
std::vector<const OptionEntry*> optionsOf(const CommandEntry& command) {
  std::vector<const OptionEntry*> options;
  if (command.readsDisc) {
    for (const OptionEntry& option : driveOptions()) options.push_back(&option);
  }
  for (const OptionEntry& option : command.options) options.push_back(&option);
  return options;
}

const OptionEntry* findOption(const std::vector<const OptionEntry*>& options, std::string_view name) {
  for (const OptionEntry* option : options) {
    if (option->name == name) return option;
  }
  return nullptr;
}

// Before the command word is known: any command's option.
const OptionEntry* findAnyOption(std::string_view name) {
  for (const OptionEntry& option : driveOptions()) {
    if (option.name == name) return &option;
  }
  for (const CommandEntry& command : commandTable()) {
    for (const OptionEntry& option : command.options) {
      if (option.name == name) return &option;
    }
  }
  return nullptr;
}

std::string optionText(const OptionEntry& option) {
  return std::string(option.name) + (option.value.empty() ? "" : " " + std::string(option.value));
}

void printOption(const OptionEntry& option, std::ostream& out) {
  std::string head = "  " + optionText(option);
  if (head.size() < 30) head.resize(30, ' ');
  else head += "\n" + std::string(30, ' ');
  out << head << option.help << "\n";
}

std::string driveSynopsis() {
  std::string text;
  for (const OptionEntry& option : driveOptions()) text += "[" + optionText(option) + "] ";
  return text;
}

// "ripmarrow [--vdrive [IMAGE]] [--drive N] rip [OPTIONS]", or with every
// option written out, the lines broken before 80 columns.
std::string synopsis(const CommandEntry& command, bool everyOption) {
  std::vector<std::string> words = {"ripmarrow"};
  if (command.readsDisc) {
    for (const OptionEntry& option : driveOptions()) words.push_back("[" + optionText(option) + "]");
  }
  words.emplace_back(command.name);
  if (everyOption) {
    for (const OptionEntry& option : command.options) words.push_back("[" + optionText(option) + "]");
  } else if (!command.options.empty()) {
    words.emplace_back("[OPTIONS]");
  }
  if (!command.arguments.empty()) words.emplace_back(command.arguments);
  std::string text;
  size_t column = 0;
  for (const std::string& word : words) {
    if (column > 0 && column + 1 + word.size() > 78) {
      text += "\n         ";
      column = 9;
    } else if (column > 0) {
      text += ' ';
      ++column;
    }
    text += word;
    column += word.size();
  }
  return text;
}

// An option's value or a command's arguments in roff: the placeholders
// (upper-case words) in italics, hyphens as roff's minus.
std::string roff(std::string_view text) {
  std::string result;
  for (size_t i = 0; i < text.size();) {
    if (std::isupper(static_cast<unsigned char>(text[i]))) {
      size_t end = i;
      while (end < text.size() && std::isupper(static_cast<unsigned char>(text[end]))) ++end;
      result += "\\fI" + std::string(text.substr(i, end - i)) + "\\fR";
      i = end;
    } else {
      result += text[i] == '-' ? std::string("\\-") : std::string(1, text[i]);
      ++i;
    }
  }
  return result;
}

// "[--format wav|mp3]", its words held together on one line.
std::string roffOption(const OptionEntry& option) {
  std::string text = "[\\fB" + roff(option.name) + "\\fR";
  if (!option.value.empty()) text += "\\ " + roff(option.value);
  return text + "]";
}

}  // namespace

const std::vector<BoundOption<DriveChoice>>& driveOptions() {
  static const std::vector<BoundOption<DriveChoice>> options = {
      {"--vdrive", "[IMAGE]",
       "put IMAGE (a CUE sheet or a disc description; default: the demo disc) into virtual drive V: and use it",
       [](DriveChoice& d, std::string_view v) {
         d.vdrive.given = true;
         d.vdrive.image = std::string(v);
         return true;
       }},
      {"--drive", "N", "use drive N (from 1, as 'info' lists them)",
       [](DriveChoice& d, std::string_view v) { return parseNumber(v, 1, 99, d.driveNum); }},
  };
  return options;
}

const std::vector<CommandEntry>& commandTable() {
  static const std::vector<CommandEntry> table = {
      registerCommand(), infoCommand(), lookupCommand(), playCommand(),
      ripCommand(),      offsetCommand(), verifyCommand(), helpCommand(),
      watchCommand(),
  };
  return table;
}

const CommandEntry* findCommand(std::string_view name) {
  for (const CommandEntry& entry : commandTable()) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

bool parseNumber(std::string_view text, long low, long high, long& result) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string_view::npos) return false;
  result = std::strtol(std::string(text).c_str(), nullptr, 10);
  return result >= low && result <= high;
}

int refuse(std::string_view command, const std::string& complaint) {
  std::cerr << "ripmarrow " << command << ": " << complaint << "\n";
  if (const CommandEntry* entry = findCommand(command)) std::cerr << "usage: " << synopsis(*entry, false) << "\n";
  std::cerr << "See 'ripmarrow " << command << " --help'.\n";
  return 2;
}

void printCommandHelp(const CommandEntry& command, std::ostream& out) {
  out << "usage: " << synopsis(command, true) << "\n  " << command.help << "\n";
  for (const OptionEntry* option : optionsOf(command)) printOption(*option, out);
}

void printHelp(std::ostream& out) {
  out << "usage: ripmarrow " << driveSynopsis() << "COMMAND [OPTIONS] [ARGUMENTS]\n"
         "       ripmarrow --help | --version | help COMMAND | COMMAND --help\n\nCommands:\n";
  std::string readers;
  for (const CommandEntry& command : commandTable()) {
    std::string head = "  " + std::string(command.name);
    head.resize(12, ' ');
    out << head << command.help << "\n";
    if (command.readsDisc) readers += (readers.empty() ? "" : ", ") + std::string(command.name);
  }
  out << "\nOptions of the commands that read a disc (" << readers << "):\n";
  for (const OptionEntry& option : driveOptions()) printOption(option, out);
  for (const CommandEntry& command : commandTable()) {
    if (command.options.empty() && command.arguments.empty()) continue;
    out << "\n" << synopsis(command, false) << "\n";
    for (const OptionEntry& option : command.options) printOption(option, out);
  }
  out << "\nFiles: $RIPMARROW_HOME (default ~/.config/Ripmarrow) holds the registry, vdrives.ini,\n"
         "drives.ini (each drive's read offset) and cdplayer.ini. See ripmarrow(1).\n";
}

std::string manSynopsis() {
  // Left-aligned and unhyphenated, so that an option breaks whole.
  std::string text = ".SH SYNOPSIS\n.nh\n.ad l\n";
  for (const CommandEntry& command : commandTable()) {
    text += ".B ripmarrow\n";
    if (command.readsDisc) {
      for (const OptionEntry& option : driveOptions()) text += roffOption(option) + "\n";
    }
    text += ".B " + std::string(command.name) + "\n";
    for (const OptionEntry& option : command.options) text += roffOption(option) + "\n";
    if (!command.arguments.empty()) text += roff(command.arguments) + "\n";
    text += ".br\n";
  }
  return text + ".B ripmarrow\n\\fICOMMAND\\fR \\fB\\-\\-help\\fR\n.br\n.B ripmarrow \\-\\-version\n.ad\n.hy\n";
}

int dispatch(int argc, char** argv) {
  const std::vector<std::string_view> words(argv + 1, argv + argc);
  const CommandEntry* command = nullptr;
  size_t commandAt = words.size();
  bool wantHelp = false;
  // The command word: the first word that is not an option or an option's
  // value. Options may stand before it, so any command's count here.
  for (size_t i = 0; i < words.size() && command == nullptr; ++i) {
    const std::string_view word = words[i];
    if (word == "--help" || word == "-h") {
      wantHelp = true;
    } else if (word == "--version" && command == nullptr) {
      std::cout << "ripmarrow " << platform::productVersion() << "\n";
      return 0;
    } else if (!word.empty() && word[0] == '-') {
      const OptionEntry* option = findAnyOption(word);
      if (option != nullptr && option->takesValue()) {
        ++i;
      } else if (option != nullptr && option->mayTakeValue() && i + 1 < words.size() && !words[i + 1].empty() &&
                 words[i + 1][0] != '-' && findCommand(words[i + 1]) == nullptr) {
        ++i;  // --vdrive IMAGE
      }
    } else if ((command = findCommand(word)) == nullptr) {
      std::cerr << "no such command: " << word << "\n(ripmarrow --help lists them)\n";
      return 2;
    } else {
      commandAt = i;
    }
  }
  for (const std::string_view word : words) wantHelp = wantHelp || word == "--help";
  if (wantHelp) {
    if (command != nullptr) {
      printCommandHelp(*command, std::cout);
    } else {
      printHelp(std::cout);
    }
    return 0;
  }
  if (command == nullptr) {
    std::cerr << "usage: ripmarrow " << driveSynopsis() << "COMMAND [OPTIONS] [ARGUMENTS]\n"
              << "(ripmarrow --help lists the commands and their options)\n";
    return 2;
  }

  const std::vector<const OptionEntry*> options = optionsOf(*command);
  CommandLine line;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string_view word = words[i];
    if (i == commandAt) continue;
    if (word.size() < 2 || word.substr(0, 2) != "--") {
      line.arguments.push_back(word);  // "-472" too: offset set takes it
      continue;
    }
    const OptionEntry* option = findOption(options, word);
    if (option == nullptr) return refuse(command->name, "unknown option " + std::string(word));
    std::string_view value;
    if (option->takesValue()) {
      if (i + 1 >= words.size()) {
        return refuse(command->name, std::string(word) + " needs a value: " + std::string(option->value));
      }
      value = words[++i];
    } else if (option->mayTakeValue() && i + 1 < words.size() && i + 1 != commandAt && !words[i + 1].empty() &&
               words[i + 1][0] != '-') {
      value = words[++i];
    }
    line.options.emplace_back(word, value);
  }
  // First use in a new home (or after the components moved): register them
  // quietly; a failure is said, and the command goes on to say what fails.
  if (command->name != "register" && command->name != "help") {
    std::ostringstream registrar;
    if (!client::ensureComponentsRegistered(registrar)) std::cerr << registrar.str();
  }
  return command->run(line);
}

}  // namespace ripmarrow
