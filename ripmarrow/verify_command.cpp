#include "ripmarrow/verify_command.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "client/accuraterip_lookup.h"
#include "client/audio_stream.h"
#include "client/proof_recorder.h"
#include "client/rip_check.h"
#include "client/rip_log.h"
#include "client/terminal_text.h"
#include "proof/accuraterip_id.h"
#include "proof/accuraterip_verdict.h"
#include "ripmarrow/command_table.h"

namespace ripmarrow {
namespace {

// The most a log may hold: a rip log of 99 tracks is some 60 KB.
constexpr uint64_t kMaxLogBytes = 4 * 1024 * 1024;

std::string hex8(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

// The CUETools database's verdict the log read back, and whether the file's
// CTDB CRC is still the one the log keeps.
std::string ctdbLine(const client::TrackCheck& check) {
  const client::RipLogTrack& track = *check.track;
  return client::TerminalText(track.ctdb) +
         (check.ctdbCrc == track.ctdbCrc ? " (CRC " + hex8(check.ctdbCrc) + " as in the log)"
                                         : " (CRC " + hex8(check.ctdbCrc) + " DIFFERS from the log's " +
                                               hex8(track.ctdbCrc) + ")");
}

// "NNN-AAAAAAAA-BBBBBBBB-CCCCCCCC" as the log states the disc's identity.
std::optional<proof::AccurateRipDiscId> parseIdentity(const std::string& text) {
  if (text.size() != 30 || text[3] != '-' || text[12] != '-' || text[21] != '-') return std::nullopt;
  const auto number = [&](size_t at, size_t length, int base, uint32_t& value) {
    const std::string part = text.substr(at, length);
    if (part.find_first_not_of(base == 10 ? "0123456789" : "0123456789abcdef") != std::string::npos) return false;
    value = static_cast<uint32_t>(std::stoul(part, nullptr, base));
    return true;
  };
  proof::AccurateRipDiscId id;
  if (!number(0, 3, 10, id.audioTracks) || !number(4, 8, 16, id.id1) || !number(13, 8, 16, id.id2) ||
      !number(22, 8, 16, id.cddbId))
    return std::nullopt;
  return id;
}

// What the checks found, counted for the closing line and the exit status.
struct Tally {
  size_t tracks = 0;
  size_t matching = 0;
  size_t lossy = 0;
  size_t deemphasised = 0;
  size_t accurate = 0;
  bool notAccurate = false;
};

// One track's lines: its file, then each check of it (the log's copy CRC,
// AccurateRip's verdict), one line each.
void sayTrack(const client::TrackCheck& check, const proof::AccurateRipLookup& lookup, std::ostream& out,
              Tally& tally) {
  using Kind = client::TrackCheck::Kind;
  const client::RipLogTrack& track = *check.track;
  ++tally.tracks;
  out << "Track " << track.number << ": "
      << (track.file.empty() ? std::string("(no file)") : client::TerminalText(track.file)) << "\n";
  switch (check.kind) {
    case Kind::kRipFailed: out << "  not checked: the rip of this track failed\n"; return;
    case Kind::kNotAFileName: out << "  not checked: not a file name\n"; return;
    case Kind::kLossy:
      out << "  not checked: " << client::TerminalText(check.detail) << " files keep no exact copy of the audio\n";
      ++tally.lossy;
      return;
    case Kind::kDeemphasised:
      out << "  not checked: de-emphasised, its audio is not the disc's\n";
      ++tally.deemphasised;
      return;
    case Kind::kCannotCheck: out << "  CANNOT CHECK: " << client::TerminalText(check.detail) << "\n"; return;
    case Kind::kChecked: break;
  }
  if (check.matchesLog) {
    ++tally.matching;
    out << "  copy CRC " << hex8(check.values.copyCrc) << ": as in the log\n";
  } else {
    out << "  copy CRC " << hex8(check.values.copyCrc) << ": DIFFERS from the log's " << hex8(track.copyCrc) << "\n";
  }
  const proof::TrackVerdict verdict =
      proof::AccurateRipVerdict(lookup, check.audioIndex, check.values.accurateRipV1, check.values.accurateRipV2);
  if (verdict.kind == proof::VerdictKind::kAccurate) ++tally.accurate;
  if (verdict.kind == proof::VerdictKind::kNotAccurate) tally.notAccurate = true;
  out << "  AccurateRip: " << client::VerdictText(verdict) << "\n";
  if (!track.ctdb.empty()) out << "  CTDB: " << ctdbLine(check) << "\n";
}

}  // namespace

std::optional<std::string> VerifyCommand::readAudio(const std::string& path, std::string& error) {
  std::string pcm;
  // The engine's own file of a stretch of the disc: no track bounds it.
  constexpr uint64_t kNoBound = uint64_t{1} << 40;
  if (!client::StreamAudioFile(
          path, kNoBound, [&](std::span<const uint8_t> block) { pcm.append(block.begin(), block.end()); }, error)) {
    return std::nullopt;
  }
  return pcm;
}

// The command line goes through the command table, as every command's does.
int VerifyCommand::main(int argc, char** argv) { return dispatch(argc, argv); }

int VerifyCommand::run(const Options& options, std::ostream& out, std::ostream& err) {
  namespace fs = std::filesystem;
  std::string logPath = options.log;
  if (logPath.empty()) {
    const std::vector<std::string> logs = client::RipLogsIn(options.folder);
    if (logs.empty()) {
      err << "No rip log (ripmarrow.log) in " << client::TerminalText(options.folder) << ".\n";
      return 1;
    }
    logPath = logs.back();
  } else {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(logPath, ec)) && fs::exists(fs::path(options.folder) / logPath, ec)) {
      logPath = (fs::path(options.folder) / logPath).string();
    }
  }
  std::string why;
  const std::optional<std::string> text = client::ReadRegularFile(logPath, kMaxLogBytes, why);
  if (!text) {
    err << "Cannot read the log " << client::TerminalText(logPath) << ": " << why << ".\n";
    return 1;
  }
  const std::optional<client::RipLog> log = client::ParseRipLog(*text, why);
  if (!log) {
    err << client::TerminalText(logPath) << ": " << why << "\n";
    return 1;
  }
  out << "Log: " << client::TerminalText(logPath) << "\n";

  // The identity the rip stated (its CDDB id counts the disc's data tracks,
  // which the log's table of contents may leave out); else the layout's.
  const proof::AccurateRipDiscId disc =
      parseIdentity(log->accurateRipIdentity).value_or(proof::AccurateRipDiscIdOf(log->layout));
  const proof::AccurateRipLookup lookup = client::LookUpDisc(options.server, disc);
  out << "AccurateRip " << proof::AccurateRipIdentity(disc) << ": " << client::TerminalText(client::LookupText(lookup))
      << "\n";

  Tally tally;
  client::CheckRipFiles(options.folder, *log,
                        [&](const client::TrackCheck& check) { sayTrack(check, lookup, out, tally); });
  const size_t checkable = tally.tracks - tally.lossy - tally.deemphasised;
  out << tally.matching << " of " << checkable << (checkable == 1 ? " file matches" : " files match") << " the log";
  if (tally.lossy > 0) out << " (" << tally.lossy << " lossy " << (tally.lossy == 1 ? "file" : "files") << " not checked)";
  if (tally.deemphasised > 0) {
    out << " (" << tally.deemphasised << " de-emphasised " << (tally.deemphasised == 1 ? "file" : "files")
        << " not checked)";
  }
  out << "; " << tally.accurate << " accurate by AccurateRip.\n";
  return tally.matching == checkable && !tally.notAccurate ? 0 : 1;
}

}  // namespace ripmarrow
