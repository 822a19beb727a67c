#include "platform/vdrive/toc_report.h"

#include <cstdio>

#include "platform/vdrive/disc_identity.h"

namespace platform::vdrive {

namespace {

std::string msfText(Lba lba) {
  auto m = lbaToMsf(lba);
  if (!m) return "--:--:--";
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", m->minutes, m->seconds, m->frames);
  return text;
}

}  // namespace

std::string formatTableOfContents(const Disc& disc) {
  std::string out;
  char line[256];
  if (!disc.text().title.empty() || !disc.text().performer.empty())
    out += "Disc: " + disc.text().title + (disc.text().performer.empty() ? "" : " / " + disc.text().performer) + "\n";
  std::snprintf(line, sizeof line, "Tracks %d-%d, %zu session(s), lead-out at LBA %d (MSF %s)\n",
                disc.firstTrackNumber(), disc.lastTrackNumber(), disc.sessions().size(), disc.leadOut(),
                msfText(disc.leadOut()).c_str());
  out += line;
  std::snprintf(line, sizeof line, "CDDB disc ID %08x, cdplayer.ini key %X\n\n", cddbDiscId(disc), cdPlayerKey(disc));
  out += line;
  out += "track session type        start LBA  start MSF  length    pregap  pre-emph  title\n";
  for (const Track& t : disc.tracks()) {
    std::snprintf(line, sizeof line, "%5d %7d %-11s %9d  %s   %s  %6d  %-8s  %s\n", t.number, t.session,
                  trackModeName(t.mode), t.start, msfText(t.start).c_str(),
                  formatFrameTime(disc.tocLengthFrames(t)).c_str(), t.start - t.pregapStart,
                  t.preEmphasis ? "yes" : "no", t.title.c_str());
    out += line;
  }
  out += "\n";
  for (const Session& s : disc.sessions()) {
    std::snprintf(line, sizeof line, "session %d: tracks %d-%d, lead-out at LBA %d (MSF %s)\n", s.number, s.firstTrack,
                  s.lastTrack, s.leadOut, msfText(s.leadOut).c_str());
    out += line;
  }
  return out;
}

}  // namespace platform::vdrive
