#include "platform/vdrive/image_writer.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/vdrive/disc_identity.h"
#include "platform/vdrive/image_error.h"

namespace platform::vdrive {

void writeCueImage(const Disc& disc, const std::string& folder, const std::string& base) {
  const std::string binPath = folder + "/" + base + ".bin";
  const std::string cuePath = folder + "/" + base + ".cue";
  std::ofstream bin(binPath, std::ios::binary | std::ios::trunc);
  if (!bin) throw ImageError("cannot write '" + binPath + "'");
  std::ostringstream cue;
  auto quoted = [](const std::string& s) { return "\"" + s + "\""; };
  if (!disc.text().catalog.empty()) cue << "CATALOG " << disc.text().catalog << "\r\n";
  if (!disc.text().performer.empty()) cue << "PERFORMER " << quoted(disc.text().performer) << "\r\n";
  if (!disc.text().title.empty()) cue << "TITLE " << quoted(disc.text().title) << "\r\n";
  cue << "FILE " << quoted(base + ".bin") << " BINARY\r\n";
  int32_t fileFrame = 0;
  int session = 1;
  std::array<uint8_t, kSectorBytes> sector{};
  for (const Track& t : disc.tracks()) {
    if (t.session != session) {
      session = t.session;
      cue << "REM SESSION " << (session < 10 ? "0" : "") << session << "\r\n";
    }
    const char* mode = isDataMode(t.mode) ? (t.mode == TrackMode::Mode2Raw || t.mode == TrackMode::Mode2Cooked ? "MODE2/2352" : "MODE1/2352") : "AUDIO";
    cue << "  TRACK " << (t.number < 10 ? "0" : "") << t.number << " " << mode << "\r\n";
    if (!t.title.empty()) cue << "    TITLE " << quoted(t.title) << "\r\n";
    if (!t.performer.empty()) cue << "    PERFORMER " << quoted(t.performer) << "\r\n";
    if (!t.isrc.empty()) cue << "    ISRC " << t.isrc << "\r\n";
    std::string flags;
    if (t.copyPermitted) flags += " DCP";
    if (t.preEmphasis) flags += " PRE";
    if (t.fourChannel) flags += " 4CH";
    if (!flags.empty()) cue << "    FLAGS" << flags << "\r\n";
    // A later session's implicit pregap is not written: the reader adds it back.
    Lba from = t.pregapStart;
    const Session& s = disc.sessionOf(t);
    if (t.session > 1 && t.number == s.firstTrack && t.start - t.pregapStart == 150) from = t.start;
    if (from < t.start) cue << "    INDEX 00 " << formatFrameTime(fileFrame) << "\r\n";
    for (size_t i = 0; i < t.indexStarts.size(); ++i)
      cue << "    INDEX " << (i + 1 < 10 ? "0" : "") << i + 1 << " " << formatFrameTime(fileFrame + (t.indexStarts[i] - from))
          << "\r\n";
    for (Lba lba = from; lba < t.end; ++lba) {
      if (!disc.readSector(lba, sector)) throw ImageError("cannot read sector " + std::to_string(lba));
      bin.write(reinterpret_cast<const char*>(sector.data()), sector.size());
    }
    fileFrame += t.end - from;
  }
  bin.close();
  if (!bin) throw ImageError("cannot write '" + binPath + "'");
  std::ofstream out(cuePath, std::ios::binary | std::ios::trunc);
  out << cue.str();
  out.close();
  if (!out) throw ImageError("cannot write '" + cuePath + "'");
}

std::string titleSidecar(const Disc& disc) {
  std::ostringstream out;
  char key[16];
  std::snprintf(key, sizeof key, "%X", cdPlayerKey(disc));
  char id[16];
  std::snprintf(id, sizeof id, "%08x", cddbDiscId(disc));
  out << "; CDDB disc ID " << id << "\r\n";
  out << "[" << key << "]\r\n";
  out << "artist=" << disc.text().performer << "\r\n";
  out << "title=" << disc.text().title << "\r\n";
  int audio = 0;
  std::string order;
  std::ostringstream tracks;
  for (const Track& t : disc.tracks()) {
    if (isDataMode(t.mode)) continue;
    tracks << audio << "=" << t.title << "\r\n";
    order += std::to_string(audio) + " ";
    ++audio;
  }
  out << "numtracks=" << audio << "\r\n" << tracks.str() << "order=" << order << "\r\n";
  return out.str();
}

}  // namespace platform::vdrive
