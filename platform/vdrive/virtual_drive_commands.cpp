// The drive's commands other than reads: identification, the table of
// contents, mode parameters, tray and play control.
#include <algorithm>
#include <cstring>

#include "platform/vdrive/cd_text_packs.h"
#include "platform/vdrive/subchannel.h"
#include "platform/vdrive/virtual_drive.h"

namespace platform::vdrive {

using scsi::Command;
using scsi::Direction;
using scsi::Result;

namespace {

uint16_t be16(std::span<const uint8_t> p, size_t at) { return static_cast<uint16_t>(p[at] << 8 | p[at + 1]); }
uint32_t be32(std::span<const uint8_t> p, size_t at) {
  return static_cast<uint32_t>(p[at]) << 24 | p[at + 1] << 16 | p[at + 2] << 8 | p[at + 3];
}
void put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v >> 8);
  out[at + 1] = static_cast<uint8_t>(v);
}
void put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
void putText(std::vector<uint8_t>& out, size_t at, size_t width, const std::string& text) {
  for (size_t i = 0; i < width; ++i) out[at + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : ' ';
}

// A table-of-contents address, as LBA or as MSF (a zero byte, then M, S, F).
void putAddress(std::vector<uint8_t>& out, size_t at, Lba lba, bool msf) {
  if (!msf) {
    put32(out, at, static_cast<uint32_t>(lba));
    return;
  }
  Msf m = lbaToMsf(lba).value_or(Msf{});
  out[at] = 0;
  out[at + 1] = m.minutes;
  out[at + 2] = m.seconds;
  out[at + 3] = m.frames;
}

}  // namespace

Result VirtualDrive::inquiry(const Command& c) {
  const auto cdb = c.cdb;
  if (cdb[1] & 0x03) return invalidField();  // no vital product data pages, CmdDt is obsolete
  if (cdb[2] != 0) return invalidField();
  std::vector<uint8_t> a(96, 0);
  a[0] = 0x05;  // CD/DVD device
  a[1] = 0x80;  // removable medium
  a[2] = 0x05;  // SPC-3
  a[3] = 0x02;  // response data format
  a[4] = static_cast<uint8_t>(a.size() - 5);
  putText(a, 8, 8, model_.vendor);
  putText(a, 16, 16, model_.product);
  putText(a, 32, 4, model_.revision);
  putText(a, 36, 20, "VIRTUAL " + model_.name);
  return sendAnswer(c, a, be16(cdb, 3));
}

Result VirtualDrive::requestSense(const Command& c) {
  if (c.cdb[1] & 0x01) return invalidField();  // descriptor format is not supported
  Sense s;
  if (pendingUnitAttention_ != 0) {
    s = Sense{0x06, pendingUnitAttention_, 0x00, false, 0};
    pendingUnitAttention_ = 0;
  } else if (!disc_ || trayOpen_) {
    s = Sense{0x02, 0x3A, static_cast<uint8_t>(trayOpen_ || !disc_ ? (trayOpen_ ? 0x02 : 0x01) : 0x00), false, 0};
  } else if (notReadyPolls_ > 0) {
    --notReadyPolls_;
    s = Sense{0x02, 0x04, 0x01, false, 0};
  } else {
    s = lastSense_;
  }
  lastSense_ = Sense{};
  std::vector<uint8_t> a(18, 0);
  a[0] = 0x70 | (s.hasInfo ? 0x80 : 0);
  a[2] = s.key;
  put32(a, 3, s.info);
  a[7] = 10;
  a[12] = s.asc;
  a[13] = s.ascq;
  return sendAnswer(c, a, c.cdb[4]);
}

Result VirtualDrive::readToc(const Command& c) {
  const auto cdb = c.cdb;
  const bool msf = cdb[1] & 0x02;
  const uint8_t format = cdb[2] & 0x0F;
  const uint8_t number = cdb[6];
  const uint32_t allocation = be16(cdb, 7);
  if ((cdb[1] & ~0x02) != 0 || (cdb[2] & 0xF0) != 0) return invalidField();
  const Disc& disc = *disc_;
  std::vector<uint8_t> a(4, 0);
  auto descriptor = [&](uint8_t control, uint8_t track, Lba lba) {
    size_t at = a.size();
    a.resize(at + 8, 0);
    a[at + 1] = static_cast<uint8_t>(0x10 | control);  // ADR 1: Q sub-channel gives the position
    a[at + 2] = track;
    putAddress(a, at + 4, lba, msf);
  };
  if (format == 0) {
    if (number > disc.lastTrackNumber() && number != 0xAA) return invalidField();
    a[2] = static_cast<uint8_t>(disc.firstTrackNumber());
    a[3] = static_cast<uint8_t>(disc.lastTrackNumber());
    for (const Track& t : disc.tracks())
      if (number != 0xAA && t.number >= number) descriptor(t.control(), static_cast<uint8_t>(t.number), t.start);
    descriptor(disc.tracks().back().control(), 0xAA, disc.leadOut());
  } else if (format == 1) {
    const Session& last = disc.sessions().back();
    const Track& first = *disc.track(last.firstTrack);
    a[2] = 1;
    a[3] = static_cast<uint8_t>(last.number);
    descriptor(first.control(), static_cast<uint8_t>(first.number), first.start);
  } else if (format == 2) {
    return readFullToc(c, allocation);
  } else if (format == 5) {
    // CD-TEXT, from the image's titles, performers and songwriters.
    const std::vector<uint8_t> packs = CdTextPacks(disc);
    if (packs.empty()) return invalidField();
    a.insert(a.end(), packs.begin(), packs.end());
  } else {
    return invalidField();  // PMA and ATIP do not exist on a pressed disc
  }
  put16(a, 0, static_cast<uint32_t>(a.size() - 2));  // the real length, whatever the allocation
  return sendAnswer(c, a, allocation);
}

// Format 2: the lead-in's Q entries of every session (A0, A1, A2, the tracks,
// and B0 where another session follows), addresses in binary MSF.
Result VirtualDrive::readFullToc(const Command& c, uint32_t allocation) {
  const Disc& disc = *disc_;
  std::vector<uint8_t> a(4, 0);
  auto entry = [&](int session, uint8_t control, uint8_t point, Msf at, Msf p) {
    const uint8_t e[11] = {static_cast<uint8_t>(session), static_cast<uint8_t>(0x10 | control), 0, point,
                           at.minutes, at.seconds, at.frames, 0, p.minutes, p.seconds, p.frames};
    a.insert(a.end(), e, e + 11);
  };
  const bool mode2 = std::any_of(disc.tracks().begin(), disc.tracks().end(), [](const Track& t) {
    return t.mode == TrackMode::Mode2Raw || t.mode == TrackMode::Mode2Cooked;
  });
  for (const Session& s : disc.sessions()) {
    const Track& first = *disc.track(s.firstTrack);
    const Track& last = *disc.track(s.lastTrack);
    entry(s.number, first.control(), 0xA0, {}, Msf{static_cast<uint8_t>(first.number), static_cast<uint8_t>(mode2 ? 0x20 : 0), 0});
    entry(s.number, last.control(), 0xA1, {}, Msf{static_cast<uint8_t>(last.number), 0, 0});
    entry(s.number, last.control(), 0xA2, {}, lbaToMsf(s.leadOut).value_or(Msf{}));
    for (int n = s.firstTrack; n <= s.lastTrack; ++n) {
      const Track& t = *disc.track(n);
      entry(s.number, t.control(), static_cast<uint8_t>(n), {}, lbaToMsf(t.start).value_or(Msf{}));
    }
    if (s.number < static_cast<int>(disc.sessions().size())) {
      const Track& next = *disc.track(s.lastTrack + 1);
      // B0: where the next session's program area starts, and the latest lead-out possible.
      entry(s.number, 0x04 & next.control(), 0xB0, lbaToMsf(next.pregapStart).value_or(Msf{}), Msf{79, 59, 74});
      a[a.size() - 11 + 1] = 0x50 | (next.control() & 0x0F);  // ADR 5
      a[a.size() - 11 + 7] = static_cast<uint8_t>(disc.sessions().size() - static_cast<size_t>(s.number));
    }
  }
  put16(a, 0, static_cast<uint32_t>(a.size() - 2));
  a[2] = 1;
  a[3] = static_cast<uint8_t>(disc.sessions().size());
  return sendAnswer(c, a, allocation);
}

Result VirtualDrive::readSubchannel(const Command& c) {
  const auto cdb = c.cdb;
  const bool msf = cdb[1] & 0x02;
  const bool subQ = cdb[2] & 0x40;
  const uint8_t format = cdb[3];
  const uint32_t allocation = be16(cdb, 7);
  if ((cdb[1] & ~0x02) != 0 || (cdb[2] & ~0x40) != 0 || format < 1 || format > 3) return invalidField();
  const Disc& disc = *disc_;
  std::vector<uint8_t> a(4, 0);
  a[1] = play_ == Play::Playing ? 0x11 : play_ == Play::Paused ? 0x12 : 0x15;  // audio status
  if (subQ) {
    if (format == 1) {
      const QPosition q = qPosition(disc, std::min(headLba_, disc.leadOut()));
      a.resize(16, 0);
      a[4] = 0x01;
      a[5] = static_cast<uint8_t>(0x10 | q.control);
      a[6] = q.track;
      a[7] = q.index;
      putAddress(a, 8, q.absolute, msf);
      if (msf) {
        a[12] = 0;
        a[13] = static_cast<uint8_t>(q.relativeFrames / kFramesPerMinute);
        a[14] = static_cast<uint8_t>(q.relativeFrames / kFramesPerSecond % kSecondsPerMinute);
        a[15] = static_cast<uint8_t>(q.relativeFrames % kFramesPerSecond);
      } else {
        put32(a, 12, static_cast<uint32_t>(q.relativeFrames));
      }
    } else if (format == 2) {
      a.resize(24, 0);
      a[4] = 0x02;
      if (!disc.text().catalog.empty()) {
        a[8] = 0x80;  // MCVal
        for (size_t i = 0; i < 13; ++i) a[9 + i] = static_cast<uint8_t>(disc.text().catalog[i]);
      }
    } else {
      const Track* t = disc.track(cdb[6]);
      if (!t) return invalidField();
      a.resize(24, 0);
      a[4] = 0x03;
      a[5] = static_cast<uint8_t>(0x10 | t->control());
      a[6] = static_cast<uint8_t>(t->number);
      if (t->isrc.size() == 12) {
        a[8] = 0x80;  // TCVal
        for (size_t i = 0; i < 12; ++i) a[9 + i] = static_cast<uint8_t>(t->isrc[i]);
      }
    }
  }
  put16(a, 2, static_cast<uint32_t>(a.size() - 4));
  return sendAnswer(c, a, allocation);
}

Result VirtualDrive::readTrackInformation(const Command& c) {
  const auto cdb = c.cdb;
  const uint8_t type = cdb[1] & 0x03;
  const uint32_t value = be32(cdb, 2);
  const uint32_t allocation = be16(cdb, 7);
  if (cdb[1] & 0xF8) return invalidField();
  const Disc& disc = *disc_;
  const Track* track = nullptr;
  if (type == 0) {  // the track that holds an LBA
    if (static_cast<int32_t>(value) < 0 || static_cast<Lba>(value) >= disc.leadOut()) return check(0x05, 0x21, 0x00);
    for (const Track& t : disc.tracks())
      if (static_cast<Lba>(value) >= t.start) track = &t;
    if (!track || static_cast<Lba>(value) >= disc.sessionOf(*track).leadOut) return check(0x05, 0x21, 0x00);
  } else if (type == 1) {  // a track number; 0 (lead-in) and FFh (invisible track) do not exist on a pressed disc
    track = value <= 99 ? disc.track(static_cast<int>(value)) : nullptr;
    if (!track) return invalidField();
  } else if (type == 2) {  // the first track of a session
    if (value == 0 || value > disc.sessions().size()) return invalidField();
    track = disc.track(disc.sessions()[value - 1].firstTrack);
  } else {
    return invalidField();
  }
  std::vector<uint8_t> a(36, 0);
  put16(a, 0, static_cast<uint32_t>(a.size() - 2));
  a[2] = static_cast<uint8_t>(track->number);
  a[3] = static_cast<uint8_t>(track->session);
  a[5] = track->control() & 0x0F;  // track mode
  uint8_t dataMode = 0x0F;         // audio: no data block type
  if (track->mode == TrackMode::Mode1Raw || track->mode == TrackMode::Mode1Cooked) dataMode = 1;
  if (track->mode == TrackMode::Mode2Raw || track->mode == TrackMode::Mode2Cooked) dataMode = 2;
  a[6] = dataMode;
  put32(a, 8, static_cast<uint32_t>(track->start));
  const int32_t size = disc.tocLengthFrames(*track);
  put32(a, 24, static_cast<uint32_t>(size));
  put32(a, 28, static_cast<uint32_t>(track->start + size - 1));  // last recorded address
  a[7] = 0x02;                                                    // last recorded address valid
  return sendAnswer(c, a, allocation);
}

Result VirtualDrive::readCapacity(const Command& c) {
  std::vector<uint8_t> a(8, 0);
  put32(a, 0, static_cast<uint32_t>(disc_->leadOut() - 1));
  put32(a, 4, 2048);
  return sendAnswer(c, a, 8);
}

Result VirtualDrive::modeSelect(const Command& c, bool tenByte) {
  const auto cdb = c.cdb;
  if (cdb[1] & 0x01) return check(0x05, 0x39, 0x00);  // saving parameters not supported
  if (cdb[1] & 0xEE) return invalidField();
  const uint32_t length = tenByte ? be16(cdb, 7) : cdb[4];
  if (length == 0) return good();
  if (c.direction == Direction::In || length > c.data.size()) return dataPhaseError();
  std::span<const uint8_t> list(c.data.data(), length);
  const size_t header = tenByte ? 8 : 4;
  if (length < header) return check(0x05, 0x1A, 0x00);  // parameter list length error
  const size_t descriptorLength = tenByte ? be16(list, 6) : list[3];
  if (descriptorLength != 0 && descriptorLength != 8) return check(0x05, 0x26, 0x00);
  if (header + descriptorLength > length) return check(0x05, 0x1A, 0x00);
  uint32_t newBlock = blockLength_;
  uint8_t newDensity = density_;
  if (descriptorLength == 8) {
    std::span<const uint8_t> d = list.subspan(header, 8);
    newDensity = d[0];
    newBlock = static_cast<uint32_t>(d[5]) << 16 | d[6] << 8 | d[7];
    if (newBlock != 2048 && newBlock != 2336 && newBlock != 2352) return check(0x05, 0x26, 0x00);
  }
  uint8_t retries = readRetries_;
  for (size_t at = header + descriptorLength; at < length;) {
    if (at + 2 > length) return check(0x05, 0x1A, 0x00);
    const uint8_t page = list[at] & 0x3F;
    const size_t pageLength = list[at + 1];
    if (at + 2 + pageLength > length) return check(0x05, 0x1A, 0x00);
    if (page == 0x01 && (pageLength == 6 || pageLength == 10)) {
      retries = list[at + 3];
    } else if (page == 0x0E && pageLength == 14) {
      // audio control: accepted, nothing here plays sound
    } else {
      return check(0x05, 0x26, 0x00);  // invalid field in parameter list
    }
    at += 2 + pageLength;
  }
  blockLength_ = newBlock;
  density_ = newDensity;
  readRetries_ = retries;
  return good();
}

Result VirtualDrive::modeSense(const Command& c, bool tenByte) {
  const auto cdb = c.cdb;
  const bool noDescriptor = cdb[1] & 0x08;
  const uint8_t control = cdb[2] >> 6;
  const uint8_t page = cdb[2] & 0x3F;
  const uint32_t allocation = tenByte ? be16(cdb, 7) : cdb[4];
  if (control == 3) return check(0x05, 0x39, 0x00);
  const bool changeable = control == 1;
  std::vector<uint8_t> a(tenByte ? 8 : 4, 0);
  if (!noDescriptor) {
    size_t at = a.size();
    a.resize(at + 8, 0);
    a[at] = changeable ? 0xFF : density_;
    uint32_t block = changeable ? 0xFFFFFF : blockLength_;
    a[at + 5] = static_cast<uint8_t>(block >> 16);
    a[at + 6] = static_cast<uint8_t>(block >> 8);
    a[at + 7] = static_cast<uint8_t>(block);
    if (tenByte) a[7] = 8; else a[3] = 8;
  }
  bool any = false;
  if (page == 0x01 || page == 0x3F) {
    size_t at = a.size();
    a.resize(at + 12, 0);
    a[at] = 0x01;
    a[at + 1] = 10;
    a[at + 3] = changeable ? 0xFF : readRetries_;
    any = true;
  }
  if (page == 0x2A || page == 0x3F) {  // capabilities: reads CD-DA accurately, tray with lock and eject
    size_t at = a.size();
    a.resize(at + 22, 0);
    a[at] = 0x2A;
    a[at + 1] = 20;
    if (!changeable) {
      a[at + 4] = 0x01;                               // audio play
      a[at + 5] = 0x03;                               // CD-DA commands, accurate stream
      if (faults_.c2 != C2Report::None) a[at + 5] |= 0x10;  // C2 error pointers
      a[at + 6] = 0x29 | (locked_ ? 0x02 : 0x00);     // lock, eject, tray loader; lock state
      uint32_t maxKbps = static_cast<uint32_t>(model_.maxSpeedX) * 176;
      // A drive whose timing model takes no time reads as fast as it is
      // asked: it says so with the unlimited speed.
      uint32_t curKbps = timing_.speedX <= 0 ? 0xFFFF : static_cast<uint32_t>(speedX_ ? speedX_ : model_.maxSpeedX) * 176;
      a[at + 8] = static_cast<uint8_t>(maxKbps >> 8);
      a[at + 9] = static_cast<uint8_t>(maxKbps);
      a[at + 14] = static_cast<uint8_t>(curKbps >> 8);
      a[at + 15] = static_cast<uint8_t>(curKbps);
    }
    any = true;
  }
  if (!any) return invalidField();
  if (tenByte) put16(a, 0, static_cast<uint32_t>(a.size() - 2));
  else a[0] = static_cast<uint8_t>(a.size() - 1);
  return sendAnswer(c, a, allocation);
}

Result VirtualDrive::setCdSpeed(const Command& c) {
  if (c.cdb[1] & 0xFC) return invalidField();
  const uint32_t kbps = be16(c.cdb, 2);
  // Drives pick the fastest speed they have that is not above the one asked for.
  speedX_ = kbps == 0xFFFF ? 0 : std::clamp(static_cast<int>(kbps / 176), 1, model_.maxSpeedX);
  if (speedX_ == model_.maxSpeedX) speedX_ = 0;
  return good();
}

Result VirtualDrive::preventAllow(const Command& c) {
  if (c.cdb[4] & 0xFC) return invalidField();
  locked_ = c.cdb[4] & 0x01;
  return good();
}

Result VirtualDrive::startStop(const Command& c) {
  const uint8_t b4 = c.cdb[4];
  if (b4 & 0xFC) return invalidField();  // power conditions are not offered
  const bool loadEject = b4 & 0x02;
  const bool start = b4 & 0x01;
  if (!loadEject) {
    if (start) {
      if (disc_ && !trayOpen_) spinUp();
    } else {
      play_ = Play::Stopped;
      spunDown_ = true;
    }
    return good();
  }
  if (!start) {
    if (locked_) return check(0x05, 0x53, 0x02);  // medium removal prevented
    trayOpen_ = true;
    spunDown_ = true;
    play_ = Play::Stopped;
    dropCache();
    if (stacked_) {
      // The changer takes the disc away and loads the next; after the last
      // the tray stays open and empty.
      disc_.reset();
      if (!stack_.empty()) {
        disc_ = stack_.front();
        stack_.pop_front();
        trayOpen_ = false;
        pendingUnitAttention_ = 0x28;
      }
    }
    return good();
  }
  if (trayOpen_) {
    trayOpen_ = false;
    if (disc_) pendingUnitAttention_ = 0x28;  // the next command learns of the medium
  }
  return good();
}

Result VirtualDrive::pauseResume(const Command& c) {
  const bool resume = c.cdb[8] & 0x01;
  if (play_ == Play::Stopped) {
    // Nothing to pause: MMC answers a command sequence error; older drives did not care.
    return model_.pauseWithoutPlay ? good() : check(0x05, 0x2C, 0x00);
  }
  play_ = resume ? Play::Playing : Play::Paused;
  return good();
}

Result VirtualDrive::playAudio(const Command& c) {
  const auto cdb = c.cdb;
  if (cdb[0] == 0x4E) {  // STOP PLAY/SCAN
    play_ = Play::Stopped;
    return good();
  }
  Lba first = 0, end = 0;
  if (cdb[0] == 0x45) {
    first = static_cast<Lba>(be32(cdb, 2));
    end = first + be16(cdb, 7);
  } else {
    auto a = msfToLba(Msf{cdb[3], cdb[4], cdb[5]});
    auto b = msfToLba(Msf{cdb[6], cdb[7], cdb[8]});
    if (!a || !b) return invalidField();
    first = *a;
    end = *b;
    if (end < first) return invalidField();
  }
  if (end == first) return good();
  if (first < 0 || end > disc_->leadOut()) return check(0x05, 0x21, 0x00);
  const Track* t = disc_->trackContaining(first);
  if (!t || isDataMode(t->mode)) return check(0x05, 0x64, 0x00);  // illegal mode for this track
  play_ = Play::Playing;
  return good();
}

}  // namespace platform::vdrive
