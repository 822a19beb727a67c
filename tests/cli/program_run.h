// Running the built `ripmarrow` program the way its users do, in a test's
// home folder with only virtual drives, and reading what it printed.
#pragma once

#include <stdlib.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <string>

namespace cli_testing {

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Result {
  int status;
  std::string out;
  std::string err;
};

// Runs `ripmarrow <arguments>` in `home` with RIPMARROW_DEVICE_DIR there (no
// real drives) and standard input from `input` (a file; empty: /dev/null).
// The program's own leak check is off: in one of these runs (a WAV rip
// into a fresh home) LeakSanitizer's tracer itself crashes at exit, which
// would turn the exit status into a failure. The test processes, which run
// the same engine in-process, keep their leak checks.
inline Result runRipmarrow(const std::string& home, const std::string& arguments, const std::string& input = "") {
  const std::string out = home + "/out.txt";
  const std::string err = home + "/err.txt";
  const std::string command = "cd '" + home + "' && ASAN_OPTIONS=detect_leaks=0 RIPMARROW_ACCURATERIP_SERVER=none RIPMARROW_CTDB_SERVER=none RIPMARROW_MUSICBRAINZ_SERVER=none RIPMARROW_COVERART_SERVER=none RIPMARROW_CDDB_SERVER=none RIPMARROW_DEVICE_DIR='" + home +
                              "' '" + RIPMARROW_CLI_PATH + "' " + arguments + " > '" + out + "' 2> '" + err +
                              "' < '" + (input.empty() ? std::string("/dev/null") : input) + "'";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
}

// As runRipmarrow, killed after `seconds` (status -1 then): for runs that
// must end, so that a hang fails the test instead of stopping it.
inline Result runRipmarrowWithin(int seconds, const std::string& home, const std::string& arguments) {
  const std::string out = home + "/out.txt";
  const std::string err = home + "/err.txt";
  const std::string command = "cd '" + home + "' && ASAN_OPTIONS=detect_leaks=0 RIPMARROW_ACCURATERIP_SERVER=none RIPMARROW_DEVICE_DIR='" + home +
                              "' timeout -s KILL " + std::to_string(seconds) + " '" + RIPMARROW_CLI_PATH + "' " + arguments +
                              " > '" + out + "' 2> '" + err + "' < /dev/null";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) && WEXITSTATUS(status) != 137 ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
}

}  // namespace cli_testing
