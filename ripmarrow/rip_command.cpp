#include "ripmarrow/rip_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "client/drive_access.h"
#include "client/engine_session.h"
#include "client/file_names.h"
#include "ripmarrow/command_table.h"
#include "ripmarrow/rip_run.h"

namespace ripmarrow {
namespace {

constexpr long kMaxTracks = 99;

std::string twoDigits(long n) { return (n < 10 ? "0" : "") + std::to_string(n); }

}  // namespace

bool RipCommand::parseTracks(const std::string& text, std::vector<long>& tracks) {
  tracks.clear();
  size_t at = 0;
  while (at <= text.size()) {
    const size_t comma = std::min(text.find(',', at), text.size());
    const std::string item = text.substr(at, comma - at);
    const size_t dash = item.find('-');
    long first = 0;
    long last = 0;
    if (dash == std::string::npos) {
      if (!parseNumber(item, 1, kMaxTracks, first)) return false;
      last = first;
    } else if (!parseNumber(item.substr(0, dash), 1, kMaxTracks, first) ||
               !parseNumber(item.substr(dash + 1), 1, kMaxTracks, last) || last < first) {
      return false;
    }
    for (long t = first; t <= last; ++t) tracks.push_back(t);
    at = comma + 1;
  }
  return !tracks.empty();
}

std::string RipCommand::fileName(long track, const std::string& title, const std::string& extension) {
  // Left out as the desktop program leaves them out.
  const std::string clean = client::CleanTitle(title);
  // Nothing left but blanks and dashes: the default name. (The number comes
  // first, so a title's leading "." hides nothing.)
  if (client::SafeStem(clean, "").empty()) return "Track" + twoDigits(track) + extension;
  return twoDigits(track) + " " + clean + extension;
}

std::string RipCommand::freePath(const std::string& folder, const std::string& name) {
  return client::FreePath(folder, name);
}

int RipCommand::main(const Options& options) {
  // Nothing is played: the player the engine creates needs no sound card
  // (and probing one fills the terminal with the sound library's complaints).
  setenv("RIPMARROW_AUDIO", "silent", 1);
  return client::runInApartment([&] { return run(options, std::cout, std::cerr); });
}

namespace {

// Reserves `path` by creating it empty, so that nothing else takes the name
// between the choice and the engine's open; the engine then writes it.
bool reserve(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

}  // namespace

std::string RipCommand::reservePath(const std::string& folder, const std::string& name) {
  std::string path = freePath(folder, name);
  for (int attempt = 0; !reserve(path) && errno == EEXIST && attempt < 100; ++attempt) path = freePath(folder, name);
  return path;
}

int RipCommand::run(const Options& options, std::ostream& out, std::ostream& err) {
  err << client::driveAccessAdvice();
  auto sink = com::make<RipSink>();
  client::EngineSession session(sink->identity(), err);
  if (!session) return 1;
  const com::ComPtr<IAudioCDRipper2>& engine = session.engine();
  client::putCddbUserEMail(engine.get(), options.email);
  client::putCddbServer(engine.get(), options.cddbServer, options.cddbPort, options.cddbTimeOutMs);
  const int status = RipRun(engine.get(), *sink.get(), options, out, err).run();
  // The last calls of the rip thread (its pointer's release) run before the
  // sink goes.
  session.close(50);
  return status;
}

}  // namespace ripmarrow
