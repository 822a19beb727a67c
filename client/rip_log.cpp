#include "client/rip_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>

namespace client {
namespace {

using proof::TrackVerdict;
using proof::VerdictKind;

constexpr std::string_view kTitle = "ripmarrow rip log";
constexpr std::string_view kAllAccurate = "Every track is accurate.";
constexpr std::string_view kNotAllAccurate = "Not every track is accurate: ";
// 100 minutes of 75 frames a second: more than any CD holds.
constexpr uint32_t kMaxDiscFrames = 100 * 60 * 75;

std::string hex8(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

std::string signedNumber(long value) { return (value > 0 ? "+" : "") + std::to_string(value); }

// Control characters would break the line structure: they are shown as '?'.
std::string oneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return line;
}

template <typename T>
bool parseInteger(std::string_view text, T& value, int base = 10) {
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool parseHex32(std::string_view text, uint32_t& value) { return text.size() == 8 && parseInteger(text, value, 16); }

bool parseVerdict(std::string_view text, TrackVerdict& verdict) {
  unsigned confidence = 0;
  if (text == "disc not in database") {
    verdict = TrackVerdict{VerdictKind::kNotInDatabase, 0, 0};
    return true;
  }
  if (text == "no answer") {
    verdict = TrackVerdict{VerdictKind::kNoAnswer, 0, 0};
    return true;
  }
  constexpr std::string_view kNot = "not accurate (best confidence ";
  if (text.substr(0, kNot.size()) == kNot && text.back() == ')' &&
      parseInteger(text.substr(kNot.size(), text.size() - kNot.size() - 1), confidence)) {
    verdict = TrackVerdict{VerdictKind::kNotAccurate, 0, confidence};
    return true;
  }
  constexpr std::string_view kYes = "accurate (v";
  constexpr std::string_view kConfidence = "), confidence ";
  if (text.substr(0, kYes.size()) == kYes && text.size() > kYes.size() + kConfidence.size() &&
      (text[kYes.size()] == '1' || text[kYes.size()] == '2') &&
      text.substr(kYes.size() + 1, kConfidence.size()) == kConfidence &&
      parseInteger(text.substr(kYes.size() + 1 + kConfidence.size()), confidence)) {
    verdict = TrackVerdict{VerdictKind::kAccurate, text[kYes.size()] - '0', confidence};
    return true;
  }
  return false;
}

// "Key: value" -> (Key, value); false for a line without ": ".
bool splitLine(std::string_view line, std::string_view& key, std::string_view& value) {
  const size_t colon = line.find(": ");
  if (colon == std::string_view::npos) {
    if (line.size() > 1 && line.back() == ':') {
      key = line.substr(0, line.size() - 1);
      value = {};
      return true;
    }
    return false;
  }
  key = line.substr(0, colon);
  value = line.substr(colon + 2);
  return true;
}

// What makes a table of contents impossible on a CD, "" for none: tracks
// run forwards, the lead-out comes after them, and the disc holds at most
// kMaxDiscFrames (which bounds what `verify` reads for a log).
std::string layoutFault(const proof::DiscLayout& layout) {
  uint32_t previous = 0;
  for (size_t i = 0; i < layout.tracks.size(); ++i) {
    if (i > 0 && layout.tracks[i].startLba <= previous) return "runs backwards at track " + std::to_string(layout.tracks[i].number);
    previous = layout.tracks[i].startLba;
  }
  if (layout.leadOutLba <= previous) return "puts the lead-out before its last track";
  if (layout.leadOutLba > kMaxDiscFrames) return "is longer than a CD can be";
  return {};
}

}  // namespace

bool RipLogTrack::accurate() const {
  return ripped && (!testCrc || *testCrc == copyCrc) && verdict.kind == VerdictKind::kAccurate;
}

bool RipLog::allAccurate() const {
  return !tracks.empty() && std::all_of(tracks.begin(), tracks.end(), [](const RipLogTrack& t) { return t.accurate(); });
}

std::string VerdictText(const TrackVerdict& verdict) {
  switch (verdict.kind) {
    case VerdictKind::kAccurate:
      return "accurate (v" + std::to_string(verdict.version) + "), confidence " + std::to_string(verdict.confidence);
    case VerdictKind::kNotAccurate:
      return "not accurate (best confidence " + std::to_string(verdict.confidence) + ")";
    case VerdictKind::kNotInDatabase: return "disc not in database";
    case VerdictKind::kNoAnswer: return "no answer";
  }
  return "no answer";
}

std::string RipLogDateNow() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
  return text;
}

std::string ReadsText(double framesPerFrame) {
  char text[48];
  std::snprintf(text, sizeof text, "%.2f frames per frame", framesPerFrame);
  return text;
}

std::optional<double> ParseReads(std::string_view text) {
  constexpr std::string_view kTail = " frames per frame";
  if (text.size() <= kTail.size() || text.substr(text.size() - kTail.size()) != kTail) return std::nullopt;
  const std::string number(text.substr(0, text.size() - kTail.size()));
  if (number.find_first_not_of("0123456789.") != std::string::npos || number.front() == '.') return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(number.c_str(), &end);
  if (end != number.c_str() + number.size() || !(value >= 0) || value > 1e6) return std::nullopt;
  return value;
}

std::string RipLogText(const RipLog& log) {
  std::string text;
  const auto line = [&](std::string_view key, const std::string& value) {
    text += std::string(key) + ": " + oneLine(value) + "\n";
  };
  text += std::string(kTitle) + "\n\n";
  line("Program", log.programVersion);
  if (!log.date.empty()) line("Date", log.date);
  line("Drive", log.drive);
  line("Read offset", signedNumber(log.readOffset) + " samples");
  line("Mode", log.mode);
  for (const auto& [key, value] : log.settings) line("Setting " + oneLine(key), value);

  text += "\nTable of contents:\n";
  for (const proof::DiscTrack& track : log.layout.tracks) {
    text += "  Track " + std::to_string(track.number) + ": " + (track.data ? "data" : "audio") + ", start " +
            std::to_string(track.startLba) + "\n";
  }
  text += "  Lead-out: " + std::to_string(log.layout.leadOutLba) + "\n";
  line("AccurateRip identity", log.accurateRipIdentity);
  line("CDDB id", log.cddbId);
  line("MusicBrainz id", log.musicBrainzId);
  line("AccurateRip lookup", log.accurateRipLookup);
  if (!log.c2.empty()) line("C2 error pointers", log.c2);

  size_t accurate = 0;
  for (const RipLogTrack& track : log.tracks) {
    if (track.accurate()) ++accurate;
    text += "\nTrack " + std::to_string(track.number) + "\n";
    line("  File", track.file);
    line("  Status", track.ripped ? std::string("ripped") : "failed: " + track.failure);
    line("  Copy CRC", hex8(track.copyCrc));
    line("  Copy CRC without zero samples", hex8(track.copyCrcSkipZero));
    if (track.testCrc) {
      line("  Test CRC", hex8(*track.testCrc) + (*track.testCrc == track.copyCrc ? " (equal)" : " (DIFFERS)"));
    }
    line("  AccurateRip v1", hex8(track.accurateRipV1));
    line("  AccurateRip v2", hex8(track.accurateRipV2));
    line("  AccurateRip", VerdictText(track.verdict));
    if (!track.ctdb.empty()) {
      line("  CTDB CRC", hex8(track.ctdbCrc));
      line("  CTDB", track.ctdb);
    }
    line("  Retries", std::to_string(track.retries));
    line("  Unconfirmed frames", std::to_string(track.unconfirmedFrames));
    if (!track.note.empty()) line("  Verified mode", track.note);
    if (track.readsPerFrame) line("  Reads", ReadsText(*track.readsPerFrame));
    if (track.c2ErrorFrames > 0) line("  C2 flagged frames", std::to_string(track.c2ErrorFrames));
    if (track.deemphasised) line("  De-emphasised", "yes");
  }
  text += "\n";
  if (log.allAccurate()) {
    text += std::string(kAllAccurate) + "\n";
  } else {
    text += std::string(kNotAllAccurate) + std::to_string(accurate) + " of " + std::to_string(log.tracks.size()) +
            (log.tracks.size() == 1 ? " track" : " tracks") + " accurate.\n";
  }
  return text;
}

std::optional<RipLog> ParseRipLog(std::string_view text, std::string& error) {
  RipLog log;
  enum class Part { kTitle, kHead, kToc, kTrack } part = Part::kTitle;
  bool sawLeadOut = false;
  bool sawEnd = false;
  size_t lineNumber = 0;
  std::map<long, size_t> headingLines;  // track number -> the line of its section
  const auto fail = [&](const std::string& why) {
    error = "line " + std::to_string(lineNumber) + ": " + why;
    return std::nullopt;
  };
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    if (part == Part::kTitle) {
      if (line != kTitle) return fail("not a ripmarrow rip log");
      part = Part::kHead;
      continue;
    }
    if (line == kAllAccurate || line.substr(0, kNotAllAccurate.size()) == kNotAllAccurate) {
      sawEnd = true;
      continue;
    }
    if (line == "Table of contents:") {
      part = Part::kToc;
      continue;
    }
    if (line.substr(0, 6) == "Track ") {
      long number = 0;
      if (!parseInteger(line.substr(6), number) || number < 1 || number > 99) return fail("bad track heading");
      // A track has one section: a repeated one would be checked again and again.
      if (const auto [first, fresh] = headingLines.emplace(number, lineNumber); !fresh) {
        return fail("track " + std::to_string(number) + " again (its section is at line " +
                    std::to_string(first->second) + ")");
      }
      log.tracks.push_back(RipLogTrack{});
      log.tracks.back().number = number;
      part = Part::kTrack;
      continue;
    }
    std::string_view key, value;
    if (!splitLine(line, key, value)) return fail("no \"key: value\"");
    if (part == Part::kToc && key.substr(0, 8) == "  Track ") {
      proof::DiscTrack track;
      unsigned number = 0;
      const size_t comma = value.find(", start ");
      if (!parseInteger(key.substr(8), number) || number < 1 || number > 99 || comma == std::string_view::npos ||
          !parseInteger(value.substr(comma + 8), track.startLba))
        return fail("bad table of contents entry");
      track.number = static_cast<uint8_t>(number);
      track.data = value.substr(0, comma) == "data";
      log.layout.tracks.push_back(track);
    } else if (part == Part::kToc && key == "  Lead-out") {
      if (!parseInteger(value, log.layout.leadOutLba)) return fail("bad lead-out");
      sawLeadOut = true;
    } else if (part == Part::kTrack && key.substr(0, 2) == "  ") {
      RipLogTrack& track = log.tracks.back();
      key.remove_prefix(2);
      bool ok = true;
      if (key == "File") {
        track.file = value;
      } else if (key == "Status") {
        track.ripped = value == "ripped";
        if (!track.ripped) track.failure = value.substr(0, 8) == "failed: " ? value.substr(8) : value;
      } else if (key == "Copy CRC") {
        ok = parseHex32(value, track.copyCrc);
      } else if (key == "Copy CRC without zero samples") {
        ok = parseHex32(value, track.copyCrcSkipZero);
      } else if (key == "Test CRC") {
        uint32_t crc = 0;
        ok = parseHex32(value.substr(0, 8), crc);
        track.testCrc = crc;
      } else if (key == "AccurateRip v1") {
        ok = parseHex32(value, track.accurateRipV1);
      } else if (key == "AccurateRip v2") {
        ok = parseHex32(value, track.accurateRipV2);
      } else if (key == "AccurateRip") {
        ok = parseVerdict(value, track.verdict);
      } else if (key == "Retries") {
        ok = parseInteger(value, track.retries);
      } else if (key == "Unconfirmed frames") {
        ok = parseInteger(value, track.unconfirmedFrames);
      } else if (key == "CTDB CRC") {
        ok = parseHex32(value, track.ctdbCrc);
      } else if (key == "CTDB") {
        track.ctdb = value;
      } else if (key == "Verified mode") {
        track.note = value;
      } else if (key == "Reads") {
        track.readsPerFrame = ParseReads(value);
        ok = track.readsPerFrame.has_value();
      } else if (key == "C2 flagged frames") {
        ok = parseInteger(value, track.c2ErrorFrames);
      } else if (key == "De-emphasised") {
        track.deemphasised = value == "yes";
      }
      if (!ok) return fail("bad value of " + std::string(key));
    } else if (key == "Program") {
      log.programVersion = value;
    } else if (key == "Date") {
      log.date = value;
    } else if (key == "Drive") {
      log.drive = value;
    } else if (key == "Read offset") {
      const size_t space = value.find(' ');
      if (!parseInteger(value.substr(0, space), log.readOffset)) return fail("bad read offset");
    } else if (key == "Mode") {
      log.mode = value;
    } else if (key.substr(0, 8) == "Setting ") {
      log.settings.emplace_back(key.substr(8), value);
    } else if (key == "AccurateRip identity") {
      log.accurateRipIdentity = value;
    } else if (key == "CDDB id") {
      log.cddbId = value;
    } else if (key == "MusicBrainz id") {
      log.musicBrainzId = value;
    } else if (key == "AccurateRip lookup") {
      log.accurateRipLookup = value;
    } else if (key == "C2 error pointers") {
      log.c2 = value;
    }
    // Other keys (of later versions) are passed over.
  }
  if (part == Part::kTitle) return fail("empty");
  if (!sawLeadOut || log.layout.tracks.empty()) return fail("no table of contents");
  if (const std::string why = layoutFault(log.layout); !why.empty()) {
    error = "the table of contents " + why;
    return std::nullopt;
  }
  const size_t audioTracks = log.layout.audioTracks().size();
  for (const auto& [number, line] : headingLines) {
    if (static_cast<size_t>(number) > audioTracks) {
      lineNumber = line;
      return fail("track " + std::to_string(number) + " is not among the table of contents' " +
                  std::to_string(audioTracks) + " audio tracks");
    }
  }
  if (!sawEnd) return fail("the log ends early (no closing line)");
  return log;
}

std::vector<std::string> RipLogsIn(const std::string& folder) {
  std::vector<std::pair<long, std::string>> found;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    long number = 0;
    if (name == "ripmarrow.log") {
      number = 1;
    } else if (name.size() >= 17 && name.substr(0, 11) == "ripmarrow (" && name.substr(name.size() - 5) == ").log") {
      if (!parseInteger(std::string_view(name).substr(11, name.size() - 16), number) || number < 2) continue;
    } else {
      continue;
    }
    found.emplace_back(number, entry.path().string());
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  for (auto& [number, path] : found) paths.push_back(std::move(path));
  return paths;
}

std::string WriteRipLog(const std::string& folder, const RipLog& log, std::string& error) {
  const std::string text = RipLogText(log);
  for (int n = 1; n <= 999; ++n) {
    const std::string path =
        folder + "/" + (n == 1 ? std::string("ripmarrow.log") : "ripmarrow (" + std::to_string(n) + ").log");
    // O_EXCL: a log that exists, or one another rip takes at this moment, is never replaced.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      error = "cannot write " + path + ": " + std::strerror(errno);
      return {};
    }
    size_t written = 0;
    while (written < text.size()) {
      const ssize_t done = ::write(fd, text.data() + written, text.size() - written);
      if (done < 0 && errno == EINTR) continue;
      if (done <= 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        ::close(fd);
        return {};
      }
      written += static_cast<size_t>(done);
    }
    if (::close(fd) != 0) {
      error = "cannot write " + path + ": " + std::strerror(errno);
      return {};
    }
    return path;
  }
  error = "999 logs in " + folder + " already";
  return {};
}

}  // namespace client
