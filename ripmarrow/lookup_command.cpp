#include "ripmarrow/lookup_command.h"
#include "client/terminal_text.h"

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "platform/text/utf.h"
#include "ripmarrow/engine_errors.h"
#include "client/engine_session.h"
#include "client/musicbrainz_settings.h"
#include "ripmarrow/title_lookup.h"

namespace ripmarrow {
namespace {

// Collects the engine's Error events and reports its query phases as they
// happen. Events fire on this thread, inside the engine call.
class LookupSink final : public com::EventSink<LookupSink, DIID__IAudioCDRipper2Events> {
 public:
  explicit LookupSink(std::ostream& err) : err_(err) {}

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    if (params == nullptr || params->cArgs != 1) return S_OK;
    const LONG value = params->rgvarg[0].lVal;
    if (id == DISPID_AudioCDRipper2_Error) {
      errors.push_back(value);
    } else if (id == DISPID_AudioCDRipper2_CDDBQueryStatus) {
      if (value == QUERY) {
        err_ << (askingServer ? "Querying " + server + "...\n" : std::string("Looking in cdplayer.ini...\n"));
      } else if (value == PROCESSANSWER) {
        err_ << "Reading the entry...\n";
      }
    }
    return S_OK;
  }

  std::vector<LONG> errors;
  std::string server;         // HOST:PORT, for the progress lines
  bool askingServer = false;  // the engine's query goes to the server, not cdplayer.ini

 private:
  std::ostream& err_;
};

}  // namespace

bool LookupCommand::parseSource(const std::string& value, CDDBSourceConstants& source) {
  if (value == "all") {
    source = ALL;
  } else if (value == "online") {
    source = ONLINEDATABASE;
  } else if (value == "local") {
    source = CDPLAYERINI;
  } else {
    return false;
  }
  return true;
}

bool LookupCommand::parseServer(const std::string& value, std::string& host, long& port) {
  const size_t colon = value.rfind(':');
  host = value.substr(0, colon);
  port = 0;
  if (colon != std::string::npos) {
    const std::string digits = value.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    port = std::strtol(digits.c_str(), nullptr, 10);
    if (port < 1 || port > 65535) return false;
  }
  // The engine takes a bare host name: no scheme, path or spaces.
  return !host.empty() && host.find_first_of("/ \t") == std::string::npos;
}

int LookupCommand::main(const Options& options) {
  return client::runInApartment([&] { return run(options, std::cout, std::cerr); });
}

int LookupCommand::run(const Options& options, std::ostream& out, std::ostream& err) {
  std::string refused;
  const auto online = client::ReadMusicBrainzSettings(options.musicBrainzServer, "", refused);
  if (!online) {
    err << refused << "\n";
    return 2;
  }
  auto sink = com::make<LookupSink>(err);
  client::EngineSession session(sink->identity(), err);
  if (!session) return 1;
  const com::ComPtr<IAudioCDRipper2>& engine = session.engine();
  // DriverOpen sets the CDDB defaults, so the server is chosen after it.
  if (!options.serverHost.empty()) {
    BSTR host = com::NewBstr(options.serverHost);
    engine->put_cddbServerAddress(host);
    SysFreeString(host);
  }
  if (options.serverPort != 0) engine->put_cddbServerHTTPPort(options.serverPort);
  client::putCddbUserEMail(engine.get(), options.email);
  BSTR serverHost = nullptr;
  LONG serverPort = 0;
  engine->get_cddbServerAddress(&serverHost);
  engine->get_cddbServerHTTPPort(&serverPort);
  sink->server = com::TakeUtf8(serverHost) + ":" + std::to_string(serverPort);

  int status = 1;
  const LONG drive = client::chooseDrive(engine.get(), options.driveNum, options.preferredLetter, false);
  if (drive == 0) {
    err << "No CD drive.\n";
  } else {
    engine->put_driveNum(drive);
    const size_t errorsBefore = sink->errors.size();
    engine->Refresh();
    LONG tracks = 0;
    engine->get_trackCount(&tracks);
    const bool discRead = sink->errors.size() == errorsBefore;
    TitleLookup lookup(engine.get(), out, err);
    lookup.beforeEngineQuery = [&sink](bool server) { sink->askingServer = server; };
    TitleLookup::Outcome outcome = TitleLookup::Outcome::kNotFound;
    if (discRead) {
      TitleLookup::Settings settings;
      settings.sources = options.source == CDPLAYERINI      ? TitleLookup::Sources::kLocal
                         : options.source == ONLINEDATABASE ? TitleLookup::Sources::kOnline
                                                            : TitleLookup::Sources::kAll;
      settings.musicBrainzServer = online->server;
      settings.country = online->country;
      settings.release = options.release;
      settings.cddbServerOff = options.serverHost.empty() && client::CddbServerOffByEnvironment();
      settings.listCandidates = true;
      outcome = lookup.run(settings, tracks);
    }
    if (!discRead) {
      err << "No readable disc in drive " << drive << ".\n";
    } else if (outcome == TitleLookup::Outcome::kReleaseNotChosen) {
      status = kExitReleaseNotChosen;
    } else if (outcome != TitleLookup::Outcome::kFound) {
      // Gate failures arrive as Error events, reported below.
      if (sink->errors.size() == errorsBefore) err << "No titles found for the disc.\n";
    } else {
      const client::DiscTitles& titles = lookup.titles();
      out << "Source: " << client::TerminalText(titles.source) << "\n";
      out << "Artist: " << client::TerminalText(titles.artist) << "\n";
      out << "Album:  " << client::TerminalText(titles.album) << "\n";
      if (titles.source == "MusicBrainz") {
        if (!titles.date.empty()) out << "Date:   " << client::TerminalText(titles.date) << "\n";
        if (titles.discTotal > 1) out << "Disc:   " << titles.discNumber << " of " << titles.discTotal << "\n";
        out << "Release: " << client::TerminalText(titles.releaseId) << "\n";
      } else if (titles.source != "CD-TEXT") {
        out << "Genre:  " << client::TerminalText(titles.genre) << "\n";
      }
      if (!titles.hiddenTrackTitle.empty()) out << " 0  " << client::TerminalText(titles.hiddenTrackTitle) << "\n";
      for (size_t t = 0; t < titles.trackTitles.size(); ++t) {
        out << (t + 1 < 10 ? " " : "") << t + 1 << "  " << client::TerminalText(titles.trackTitles[t]);
        if (!titles.trackArtists[t].empty() && titles.trackArtists[t] != titles.artist) out << " / " << client::TerminalText(titles.trackArtists[t]);
        out << "\n";
      }
      status = 0;
    }
  }
  session.close();
  for (LONG code : sink->errors) {
    err << "engine error: " << errorName(code) << " (" << code << ")\n";
    status = 1;
  }
  return status;
}

}  // namespace ripmarrow
