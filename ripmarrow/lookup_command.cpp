#include "ripmarrow/lookup_command.h"
#include "client/terminal_text.h"

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "platform/text/utf.h"
#include "ripmarrow/engine_errors.h"
#include "client/engine_session.h"

namespace ripmarrow {
namespace {

// Collects the engine's Error events and reports its query phases as they
// happen. Events fire on this thread, inside the engine call.
class LookupSink final : public com::EventSink<LookupSink, DIID__IAudioCDRipper2Events> {
 public:
  LookupSink(CDDBSourceConstants source, std::ostream& err) : source_(source), err_(err) {}

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    if (params == nullptr || params->cArgs != 1) return S_OK;
    const LONG value = params->rgvarg[0].lVal;
    if (id == DISPID_AudioCDRipper2_Error) {
      errors.push_back(value);
    } else if (id == DISPID_AudioCDRipper2_CDDBQueryStatus) {
      if (value == QUERY) {
        // ALL asks cdplayer.ini first and the server second.
        const bool online = source_ == ONLINEDATABASE || (source_ == ALL && queries_ > 0);
        ++queries_;
        err_ << (online ? "Querying " + server + "...\n" : std::string("Looking in cdplayer.ini...\n"));
      } else if (value == PROCESSANSWER) {
        err_ << "Reading the entry...\n";
      }
    }
    return S_OK;
  }

  std::vector<LONG> errors;
  std::string server;  // HOST:PORT, for the progress lines

 private:
  const CDDBSourceConstants source_;
  std::ostream& err_;
  int queries_ = 0;
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
  auto sink = com::make<LookupSink>(options.source, err);
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
    VARIANT_BOOL found = VARIANT_FALSE;
    if (discRead) engine->GetCDDBInfo(options.source, &found);
    if (!discRead) {
      err << "No readable disc in drive " << drive << ".\n";
    } else if (found != VARIANT_TRUE) {
      // Gate failures arrive as Error events, reported below.
      if (sink->errors.size() == errorsBefore) err << "No titles found for the disc.\n";
    } else {
      BSTR artist = nullptr;
      BSTR album = nullptr;
      BSTR genre = nullptr;
      engine->get_cddbInfoArtist(&artist);
      engine->get_cddbInfoAlbum(&album);
      engine->get_cddbInfoGenre(&genre);
      // The server's text, cleaned of what a terminal would act on.
      out << "Artist: " << client::TerminalText(com::TakeUtf8(artist)) << "\n";
      out << "Album:  " << client::TerminalText(com::TakeUtf8(album)) << "\n";
      out << "Genre:  " << client::TerminalText(com::TakeUtf8(genre)) << "\n";
      for (LONG t = 1; t <= tracks; ++t) {
        engine->put_trackNum(t);
        BSTR title = nullptr;
        engine->get_cddbInfoTitle(&title);
        out << (t < 10 ? " " : "") << t << "  " << client::TerminalText(com::TakeUtf8(title)) << "\n";
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
