// Where the programs' on-line titles and cover art come from, from the
// command line, the environment and quavern.ini's [musicbrainz] section, in
// that order: the environment is how test harnesses and mirrors turn a
// service off ("none") or point it elsewhere for every run.
#pragma once

#include <optional>
#include <string>

namespace client {

struct MusicBrainzSettings {
  std::string server;          // a base address; "" off
  std::string coverArtServer;  // a base address; "" off
  std::string country;         // ranking preference; "" none
  bool coverArt = true;        // [musicbrainz] "cover art"
};

// `givenServer` / `givenCoverArt`: the command line's values ("" not
// given). Nothing, with `error` set, when a value is not a server.
std::optional<MusicBrainzSettings> ReadMusicBrainzSettings(const std::string& givenServer,
                                                           const std::string& givenCoverArt, std::string& error);

// The CDDB server is off for this run: $RIPMARROW_CDDB_SERVER is "none".
bool CddbServerOffByEnvironment();

}  // namespace client
