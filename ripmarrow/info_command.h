// `ripmarrow info`: the drives, and the disc in one of them (its class, its
// CDDB identifier and every track with its duration), all asked of the
// engine through COM as any client would.
#pragma once

#include <ostream>

namespace ripmarrow {

class InfoCommand {
 public:
  struct Options {
    long driveNum = 0;          // 1-based; 0: the drive at preferredLetter, else drive 1
    char preferredLetter = 0;   // a drive letter to prefer when driveNum is 0
  };
  // Runs as the program: in a COM apartment of its own, on stdout and
  // stderr; the process's exit status.
  static int main(const Options& options);
  // 0 on success; 1 when the engine cannot be created or reported an error.
  static int run(const Options& options, std::ostream& out, std::ostream& err);
};

}  // namespace ripmarrow
