// `ripmarrow lookup`: the titles of the disc in a drive (artist, album, genre
// and one title per track) from cdplayer.ini, MusicBrainz or a CDDB server,
// in that order (TitleLookup); the MusicBrainz releases are listed with
// their numbers for `--release`.
#pragma once

#include <ostream>
#include <string>

#include "components/trackmill2.h"

namespace ripmarrow {

class LookupCommand {
 public:
  struct Options {
    CDDBSourceConstants source = ALL;
    std::string serverHost;      // empty: the engine's default server
    long serverPort = 0;         // 0: the engine's default port
    std::string email;           // empty: [cddb] "email" of quavern.ini, else login@host
    long driveNum = 0;           // 1-based; 0: the drive at preferredLetter, else drive 1
    char preferredLetter = 0;    // a drive letter to prefer when driveNum is 0
    std::string musicBrainzServer;  // --musicbrainz-server; "": the environment's, quavern.ini's or the public one
    std::string release;            // --release N|MBID; "": the best when the releases agree
  };
  // Runs as the program: in a COM apartment of its own, on stdout and
  // stderr; the process's exit status.
  static int main(const Options& options);

  // Splits HOST[:PORT]; false for an empty host or a port outside 1..65535.
  static bool parseServer(const std::string& text, std::string& host, long& port);
  // all, online or local; false otherwise.
  static bool parseSource(const std::string& text, CDDBSourceConstants& source);

  // Runs the lookup in the calling thread's apartment. Progress (the engine's
  // query phases) and errors go to err, the titles to out.
  static int run(const Options& options, std::ostream& out, std::ostream& err);
};

}  // namespace ripmarrow
