// `ripmarrow [--vdrive [IMAGE]] [--drive N] play TRACK`: plays a track of the
// disc through the engine (to the sound card, or the silent sink when
// RIPMARROW_AUDIO=silent or no device exists), showing the position and the
// levels, until the track ends or the user stops it. Keys: space or p pause
// and resume, right or f 10 s on, left or b 10 s back, q stop. When stdin is
// not a terminal the same letters come one per line, and "seek S" moves to
// second S.
#pragma once

#include <ostream>

namespace ripmarrow {

class PlayCommand {
 public:
  struct Options {
    long driveNum = 0;         // 1-based; 0: the drive at preferredLetter, else drive 1
    char preferredLetter = 0;
    long track = 1;
  };
  // Runs as the program: in a COM apartment of its own, on stdout and
  // stderr; the process's exit status.
  static int main(const Options& options);
  // 0 when the track played to its end or was stopped; 1 when it could not play.
  static int run(const Options& options, std::ostream& out, std::ostream& err);
};

}  // namespace ripmarrow
