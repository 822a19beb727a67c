#include "ripmarrow/cue_sheet_writer.h"

#include <cstdio>

namespace ripmarrow {

namespace {

constexpr char kEnd[] = "\r\n";

// A cue sheet has no escape for quotes and line ends: quotes become
// apostrophes, control characters are left out.
std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') {
      out += '\'';
    } else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) {
      out += c;
    }
  }
  return out + "\"";
}

std::string twoDigits(int n) {
  char text[4];
  std::snprintf(text, sizeof text, "%02d", n);
  return text;
}

}  // namespace

std::string CueSheetWriter::msf(uint32_t frames) {
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", frames / 4500, frames / 75 % 60, frames % 75);
  return text;
}

std::string CueSheetWriter::write(const Disc& disc) {
  std::string out;
  if (!disc.catalog.empty()) out += "CATALOG " + disc.catalog + kEnd;
  if (!disc.performer.empty()) out += "PERFORMER " + quoted(disc.performer) + kEnd;
  if (!disc.title.empty()) out += "TITLE " + quoted(disc.title) + kEnd;
  if (disc.pregapsUnknown) out += std::string("REM PREGAPS UNKNOWN: the drive did not tell them") + kEnd;
  const std::string type = std::string(" ") + (disc.fileType.empty() ? "WAVE" : disc.fileType) + kEnd;
  const Track* previous = nullptr;  // the last audio track written
  for (const Track& track : disc.tracks) {
    if (track.data) continue;
    const bool first = previous == nullptr;
    const bool pregapInPreviousFile = !first && track.pregapFrames > 0 &&
                                      track.startLba >= previous->startLba + static_cast<uint32_t>(track.pregapFrames);
    const bool hidden = first && track.pregapFrames > 0 && !disc.hiddenTrackFile.empty();
    // Without a pregap in the previous file the track opens its own FILE.
    if (hidden) {
      out += "FILE " + quoted(disc.hiddenTrackFile) + type;
    } else if (!pregapInPreviousFile) {
      out += "FILE " + quoted(track.file) + type;
    }
    out += "  TRACK " + twoDigits(track.number) + " AUDIO" + kEnd;
    std::string flags;
    if (track.fourChannel) flags += " 4CH";
    if (track.copyPermitted) flags += " DCP";
    if (track.preEmphasis) flags += " PRE";
    if (!flags.empty()) out += "    FLAGS" + flags + kEnd;
    if (!track.isrc.empty()) out += "    ISRC " + track.isrc + kEnd;
    if (!track.title.empty()) out += "    TITLE " + quoted(track.title) + kEnd;
    if (!track.performer.empty()) out += "    PERFORMER " + quoted(track.performer) + kEnd;
    if (first && track.pregapFrames > 0 && !hidden) out += "    PREGAP " + msf(static_cast<uint32_t>(track.pregapFrames)) + kEnd;
    if (pregapInPreviousFile) {
      const uint32_t at = track.startLba - static_cast<uint32_t>(track.pregapFrames) - previous->startLba;
      out += "    INDEX 00 " + msf(at) + kEnd;
      out += "FILE " + quoted(track.file) + type;
    } else if (hidden) {
      out += "    INDEX 00 " + msf(0) + kEnd;
      out += "FILE " + quoted(track.file) + type;
    }
    out += "    INDEX 01 " + msf(0) + kEnd;
    previous = &track;
  }
  return out;
}

}  // namespace ripmarrow
