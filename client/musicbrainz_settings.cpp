#include "client/musicbrainz_settings.h"

#include <cstdlib>
#include <cstring>

#include "client/musicbrainz_lookup.h"
#include "platform/profile/profile_file.h"

namespace client {
namespace {

// The first of: the given text, the environment's, quavern.ini's, the
// default.
std::string Chosen(const std::string& given, const char* variable, const std::string& stored,
                   const char* fallback) {
  if (!given.empty()) return given;
  const char* environment = std::getenv(variable);
  if (environment != nullptr && environment[0] != '\0') return environment;
  return stored.empty() ? fallback : stored;
}

}  // namespace

std::optional<MusicBrainzSettings> ReadMusicBrainzSettings(const std::string& givenServer,
                                                           const std::string& givenCoverArt, std::string& error) {
  const platform::ProfileFile ini("quavern.ini");
  const bool enabled = ini.readBool("musicbrainz", "enabled", true);
  const std::string server = Chosen(givenServer, "RIPMARROW_MUSICBRAINZ_SERVER",
                                    enabled ? ini.readString("musicbrainz", "server", "") : "none",
                                    kDefaultMusicBrainzServer);
  const std::string cover = Chosen(givenCoverArt, "RIPMARROW_COVERART_SERVER",
                                   ini.readString("musicbrainz", "coverart server", ""), kDefaultCoverArtServer);
  MusicBrainzSettings settings;
  const auto parsedServer = ParseServiceServer(server);
  if (!parsedServer) {
    error = "not a MusicBrainz server: '" + server + "'";
    return std::nullopt;
  }
  const auto parsedCover = ParseServiceServer(cover);
  if (!parsedCover) {
    error = "not a cover art server: '" + cover + "'";
    return std::nullopt;
  }
  settings.server = *parsedServer;
  settings.coverArtServer = *parsedCover;
  settings.country = ini.readString("musicbrainz", "country", "");
  settings.coverArt = ini.readBool("musicbrainz", "cover art", true);
  return settings;
}

bool CddbServerOffByEnvironment() {
  const char* server = std::getenv("RIPMARROW_CDDB_SERVER");
  return server != nullptr && std::strcmp(server, "none") == 0;
}

}  // namespace client
