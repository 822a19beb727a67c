#include "platform/vdrive/disc.h"

#include <algorithm>
#include <cstring>

#include "platform/vdrive/image_error.h"

namespace platform::vdrive {

uint32_t storedBytesPerSector(TrackMode mode) {
  switch (mode) {
    case TrackMode::Audio:
    case TrackMode::Mode1Raw:
    case TrackMode::Mode2Raw:
      return 2352;
    case TrackMode::Mode1Cooked:
      return 2048;
    case TrackMode::Mode2Cooked:
      return 2336;
  }
  return 2352;
}

const char* trackModeName(TrackMode mode) {
  switch (mode) {
    case TrackMode::Audio: return "AUDIO";
    case TrackMode::Mode1Raw: return "MODE1/2352";
    case TrackMode::Mode1Cooked: return "MODE1/2048";
    case TrackMode::Mode2Raw: return "MODE2/2352";
    case TrackMode::Mode2Cooked: return "MODE2/2336";
  }
  return "?";
}

uint8_t Track::control() const {
  uint8_t c = 0;
  if (isDataMode(mode)) c |= kControlData;
  if (preEmphasis && !isDataMode(mode)) c |= kControlPreEmphasis;
  if (copyPermitted) c |= kControlCopyPermitted;
  if (fourChannel && !isDataMode(mode)) c |= kControlFourChannel;
  return c;
}

Disc::Disc(std::vector<Track> tracks, std::vector<Session> sessions, std::vector<Extent> extents, DiscText text)
    : tracks_(std::move(tracks)), sessions_(std::move(sessions)), extents_(std::move(extents)), text_(std::move(text)) {
  if (tracks_.empty()) throw ImageError("the disc has no tracks");
  if (tracks_.size() > 99) throw ImageError("the disc has more than 99 tracks");
  if (sessions_.empty()) throw ImageError("the disc has no session");
  for (size_t i = 0; i < tracks_.size(); ++i) {
    const Track& t = tracks_[i];
    if (t.number < 1 || t.number > 99 || (i > 0 && t.number != tracks_[i - 1].number + 1))
      throw ImageError("track " + std::to_string(t.number) + " is out of order");
    if (t.pregapStart > t.start || t.start >= t.end || (i > 0 && t.pregapStart < tracks_[i - 1].end) ||
        t.indexStarts.empty() || t.indexStarts[0] != t.start)
      throw ImageError("track " + std::to_string(t.number) + " has no sectors or overlaps another");
  }
  int expectedFirst = tracks_.front().number;
  Lba previousLeadOut = 0;
  for (size_t s = 0; s < sessions_.size(); ++s) {
    const Session& session = sessions_[s];
    if (session.number != static_cast<int>(s) + 1 || session.firstTrack != expectedFirst ||
        session.lastTrack < session.firstTrack)
      throw ImageError("session " + std::to_string(session.number) + " is malformed");
    for (int n = session.firstTrack; n <= session.lastTrack; ++n) {
      const Track* t = track(n);
      if (!t || t->session != session.number || t->end > session.leadOut)
        throw ImageError("track " + std::to_string(n) + " lies outside session " + std::to_string(session.number));
    }
    if (session.leadOut < previousLeadOut) throw ImageError("sessions out of order");
    previousLeadOut = session.leadOut;
    expectedFirst = session.lastTrack + 1;
  }
  if (expectedFirst != tracks_.back().number + 1) throw ImageError("a track belongs to no session");
  if (leadOut() > kLastMsfLba) throw ImageError("the disc is longer than 89:59:74");
  std::sort(extents_.begin(), extents_.end(), [](const Extent& a, const Extent& b) { return a.start < b.start; });
  for (size_t i = 0; i < extents_.size(); ++i) {
    const Extent& e = extents_[i];
    if (e.frames <= 0 || e.start < 0 || e.start + e.frames > leadOut() ||
        (i > 0 && e.start < extents_[i - 1].start + extents_[i - 1].frames))
      throw ImageError("the image's sectors overlap or lie outside the disc");
  }
}

const Track* Disc::track(int number) const {
  int i = number - tracks_.front().number;
  if (i < 0 || i >= static_cast<int>(tracks_.size())) return nullptr;
  return &tracks_[static_cast<size_t>(i)];
}

const Track* Disc::trackContaining(Lba lba) const {
  for (const Track& t : tracks_)
    if (lba >= t.pregapStart && lba < t.end) return &t;
  return nullptr;
}

const Session& Disc::sessionOf(const Track& track) const {
  return sessions_[static_cast<size_t>(track.session - 1)];
}

int32_t Disc::tocLengthFrames(const Track& t) const {
  const Track* next = track(t.number + 1);
  if (next && next->session == t.session) return next->start - t.start;
  return sessionOf(t).leadOut - t.start;
}

const Extent* Disc::extentAt(Lba lba) const {
  auto it = std::upper_bound(extents_.begin(), extents_.end(), lba,
                             [](Lba value, const Extent& e) { return value < e.start; });
  if (it == extents_.begin()) return nullptr;
  --it;
  return lba < it->start + it->frames ? &*it : nullptr;
}

namespace {

uint8_t toBcd(int value) { return static_cast<uint8_t>((value / 10) << 4 | (value % 10)); }

void writeSyncAndHeader(Lba lba, uint8_t mode, std::span<uint8_t, kSectorBytes> out) {
  out[0] = 0x00;
  std::memset(out.data() + 1, 0xFF, 10);
  out[11] = 0x00;
  Msf msf = lbaToMsf(lba).value_or(Msf{});
  out[12] = toBcd(msf.minutes);
  out[13] = toBcd(msf.seconds);
  out[14] = toBcd(msf.frames);
  out[15] = mode;
}

}  // namespace

bool Disc::readSector(Lba lba, std::span<uint8_t, kSectorBytes> out) const {
  const Extent* e = extentAt(lba);
  if (!e) return false;
  uint32_t stored = storedBytesPerSector(e->mode);
  uint64_t offset = e->offsetBytes + static_cast<uint64_t>(lba - e->start) * stored;
  std::fill(out.begin(), out.end(), uint8_t{0});
  switch (e->mode) {
    case TrackMode::Audio:
    case TrackMode::Mode1Raw:
    case TrackMode::Mode2Raw:
      if (e->source && !e->source->read(offset, out)) return false;
      if (!e->source && e->mode != TrackMode::Audio)
        writeSyncAndHeader(lba, e->mode == TrackMode::Mode1Raw ? 1 : 2, out);
      return true;
    case TrackMode::Mode1Cooked:
      writeSyncAndHeader(lba, 1, out);
      return !e->source || e->source->read(offset, out.subspan(16, 2048));
    case TrackMode::Mode2Cooked:
      writeSyncAndHeader(lba, 2, out);
      return !e->source || e->source->read(offset, out.subspan(16, 2336));
  }
  return false;
}

}  // namespace platform::vdrive
