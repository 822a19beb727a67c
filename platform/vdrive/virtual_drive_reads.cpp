// The read commands: READ CD, READ(6)/READ(10) in the block length MODE
// SELECT set, and the vendor reads D4h and D8h; with the read faults
// (unreadable sectors, jitter, the stale cache) and the timing model.
#include <algorithm>
#include <cstring>

#include "platform/vdrive/subchannel.h"
#include "platform/vdrive/virtual_drive.h"

namespace platform::vdrive {

using scsi::Command;
using scsi::Direction;
using scsi::Result;

namespace {

uint32_t be32(std::span<const uint8_t> p, size_t at) {
  return static_cast<uint32_t>(p[at]) << 24 | p[at + 1] << 16 | p[at + 2] << 8 | p[at + 3];
}

constexpr uint8_t kFlagSync = 0x80;
constexpr uint8_t kFlagHeader = 0x20;
constexpr uint8_t kFlagSubheader = 0x40;
constexpr uint8_t kFlagUserData = 0x10;
constexpr uint8_t kFlagEdcEcc = 0x08;

uint32_t subchannelBytes(uint8_t selection) { return selection == 0 ? 0 : selection == 2 ? 16 : 96; }

}  // namespace

Result VirtualDrive::readCd(const Command& c) {
  const auto cdb = c.cdb;
  ReadRequest r;
  r.kind = ReadKind::ReadCd;
  r.expectedType = (cdb[1] >> 2) & 0x07;
  if ((cdb[1] & 0xE1) != 0 || r.expectedType > 5) return invalidField();
  r.lba = static_cast<Lba>(be32(cdb, 2));
  r.count = static_cast<uint32_t>(cdb[6]) << 16 | cdb[7] << 8 | cdb[8];
  r.flags = cdb[9];
  if (r.flags & 0x01) return invalidField();
  if ((r.flags & 0x06) == 0x06) return invalidField();  // error field 11b is reserved
  r.subchannel = cdb[10] & 0x07;
  if ((cdb[10] & 0xF8) != 0 || r.subchannel == 3 || r.subchannel > 4) return invalidField();
  if (r.subchannel != 0 && !model_.subChannel) return invalidField();
  return read(c, r);
}

Result VirtualDrive::readBlocks(const Command& c) {
  const auto cdb = c.cdb;
  ReadRequest r;
  r.kind = ReadKind::Blocks;
  const uint8_t lun = cdb[1] >> 5;
  if (lun != 0 && lun != address().lun) return check(0x05, 0x25, 0x00);  // logical unit not supported
  if (cdb[0] == 0x08) {
    r.lba = static_cast<Lba>((cdb[1] & 0x1F) << 16 | cdb[2] << 8 | cdb[3]);
    r.count = cdb[4] == 0 ? 256 : cdb[4];
  } else {
    if (cdb[1] & 0x01) return invalidField();  // relative addressing
    r.lba = static_cast<Lba>(be32(cdb, 2));
    r.count = static_cast<uint32_t>(cdb[7] << 8 | cdb[8]);
  }
  return read(c, r);
}

Result VirtualDrive::readVendor(const Command& c) {
  const auto cdb = c.cdb;
  ReadRequest r;
  r.lba = static_cast<Lba>(be32(cdb, 2));
  if (cdb[0] == 0xD4) {
    r.kind = ReadKind::VendorD4;
    r.count = static_cast<uint32_t>(cdb[7] << 8 | cdb[8]);
  } else {
    r.kind = ReadKind::VendorD8;
    r.count = be32(cdb, 6);
    // Sub-code forms: 1 adds Q (16 bytes), 2 adds raw P-W (96), 3 gives P-W alone.
    static constexpr uint8_t kSubcodes[4] = {0, 2, 1, 1};
    if (cdb[10] > 3 || (cdb[10] != 0 && !model_.subChannel)) return invalidField();
    r.subchannel = kSubcodes[cdb[10]];
    r.mainData = cdb[10] != 3;
  }
  return read(c, r);
}

uint32_t VirtualDrive::sectorBytes(const ReadRequest& r, TrackMode mode, Sense& refusal) const {
  const Sense illegalMode{0x05, 0x64, 0x00, false, 0};  // illegal mode for this track
  const bool audio = mode == TrackMode::Audio;
  const bool mode2 = mode == TrackMode::Mode2Raw || mode == TrackMode::Mode2Cooked;
  switch (r.kind) {
    case ReadKind::VendorD4:
    case ReadKind::VendorD8:
      if (!audio) refusal = illegalMode;
      return audio ? (r.mainData ? kSectorBytes : 0) + subchannelBytes(r.subchannel) : 0;
    case ReadKind::Blocks:
      if (blockLength_ == 2352 && (!audio || model_.readBlocksAudio)) return 2352;
      if (blockLength_ == 2048 && !audio && !mode2) return 2048;
      if (blockLength_ == 2336 && mode2) return 2336;
      refusal = illegalMode;
      return 0;
    case ReadKind::ReadCd: {
      const uint8_t t = r.expectedType;
      if ((t == 1 && !audio) || (t == 2 && (audio || mode2)) || (t >= 3 && !mode2)) {
        refusal = illegalMode;
        return 0;
      }
      uint32_t bytes = 0;
      if (audio) {
        bytes = (r.flags & 0xF8) ? kSectorBytes : 0;
      } else {
        if (r.flags & kFlagSync) bytes += 12;
        if (r.flags & kFlagHeader) bytes += 4;
        if (mode2) {
          // Mode 2 without forms: the user data field takes in the subheader bytes.
          if (r.flags & kFlagUserData) bytes += 2336;
          else if (r.flags & kFlagSubheader) bytes += 8;
        } else {
          if (r.flags & kFlagUserData) bytes += 2048;
          if (r.flags & kFlagEdcEcc) bytes += 288;
        }
      }
      if ((r.flags & 0x06) == 0x02) bytes += 294;  // C2 error pointers
      if ((r.flags & 0x06) == 0x04) bytes += 296;  // C2 error pointers and block error byte
      return bytes + subchannelBytes(r.subchannel);
    }
  }
  return 0;
}

void VirtualDrive::formatSector(const ReadRequest& r, Lba lba, TrackMode mode,
                                std::span<const uint8_t, kSectorBytes> raw, std::span<uint8_t> out) const {
  const uint32_t sub = subchannelBytes(r.subchannel);
  if (sub > 0) {
    // The sub-channel goes after everything else the sector yields.
    std::span<uint8_t> tail = out.subspan(out.size() - sub);
    const QPosition q = qPosition(*disc_, lba);
    if (r.subchannel == 1) {
      rawSubchannel(q, tail.first<96>());
    } else if (r.subchannel == 2) {
      const auto bits = qSubchannel(q);
      std::memcpy(tail.data(), bits.data(), bits.size());
      std::memset(tail.data() + bits.size(), 0, 4);
    } else {
      std::memset(tail.data(), 0, 96);  // R-W: no CD-TEXT or graphics here
    }
    out = out.first(out.size() - sub);
  }
  size_t at = 0;
  auto put = [&](size_t from, size_t n) {
    std::memcpy(out.data() + at, raw.data() + from, n);
    at += n;
  };
  const bool audio = mode == TrackMode::Audio;
  const bool mode2 = mode == TrackMode::Mode2Raw || mode == TrackMode::Mode2Cooked;
  if (r.kind != ReadKind::ReadCd) {
    if (out.empty()) return;
    if (out.size() == 2352) put(0, 2352);
    else if (out.size() == 2048) put(16, 2048);
    else put(16, 2336);
    return;
  }
  if (audio) {
    if (r.flags & 0xF8) put(0, kSectorBytes);
  } else {
    if (r.flags & kFlagSync) put(0, 12);
    if (r.flags & kFlagHeader) put(12, 4);
    if (mode2) {
      if (r.flags & kFlagUserData) put(16, 2336);
      else if (r.flags & kFlagSubheader) put(16, 8);
    } else {
      if (r.flags & kFlagUserData) put(16, 2048);
      if (r.flags & kFlagEdcEcc) put(2064, 288);
    }
  }
  // C2 pointers and the block error byte: zero unless a scratch sets them.
  std::memset(out.data() + at, 0, out.size() - at);
}

bool VirtualDrive::sectorFails(Lba lba) {
  int failing = -1;
  for (const UnreadableRange& u : faults_.unreadable)
    if (lba >= u.first && lba <= u.last) failing = std::max(failing, u.failingAttempts);
  if (std::binary_search(randomUnreadable_.begin(), randomUnreadable_.end(), lba)) failing = 0;
  if (failing < 0) return false;
  int& tried = attempts_[lba];
  ++tried;
  return failing == 0 || tried <= failing;
}

// The audio as a continuous stream of samples: a jittered read starts
// jitterSamples samples after (or before) the sector asked for.
void VirtualDrive::audioStream(Lba lba, int jitterSamples, std::span<uint8_t, kSectorBytes> out) const {
  if (jitterSamples == 0) {
    if (!disc_->readSector(lba, out)) std::fill(out.begin(), out.end(), uint8_t{0});
    return;
  }
  const int64_t firstByte = static_cast<int64_t>(lba) * kSectorBytes + int64_t{jitterSamples} * kBytesPerSample;
  const int64_t firstSector = firstByte >= 0 ? firstByte / kSectorBytes : (firstByte - kSectorBytes + 1) / kSectorBytes;
  const size_t skip = static_cast<size_t>(firstByte - firstSector * kSectorBytes);
  std::array<uint8_t, kSectorBytes> a{}, b{};
  auto fetch = [&](int64_t sector, std::array<uint8_t, kSectorBytes>& buf) {
    const Extent* e = sector >= 0 ? disc_->extentAt(static_cast<Lba>(sector)) : nullptr;
    if (!e || e->mode != TrackMode::Audio || !disc_->readSector(static_cast<Lba>(sector), buf)) buf.fill(0);
  };
  fetch(firstSector, a);
  fetch(firstSector + 1, b);
  std::memcpy(out.data(), a.data() + skip, kSectorBytes - skip);
  std::memcpy(out.data() + (kSectorBytes - skip), b.data(), skip);
}

void VirtualDrive::spinUp() {
  if (!spunDown_) return;
  spunDown_ = false;
  if (timing_.spinUpMs > 0) clock_->sleepMs(timing_.spinUpMs);
}

void VirtualDrive::spendReadTime(Lba lba, uint32_t count) {
  spinUp();
  const int speed = speedX_ ? std::min(speedX_, timing_.speedX) : timing_.speedX;
  if (speed <= 0) return;
  double ms = 1000.0 * count / (kFramesPerSecond * speed);
  const Lba distance = lba > headLba_ ? lba - headLba_ : headLba_ - lba;
  if (disc_ && disc_->leadOut() > 0)
    ms += timing_.fullSeekMs * std::min(1.0, static_cast<double>(distance) / disc_->leadOut());
  clock_->sleepMs(ms);
}

Result VirtualDrive::read(const Command& c, const ReadRequest& r) {
  if (r.count == 0) return good();
  const Disc& disc = *disc_;
  const int64_t end = static_cast<int64_t>(r.lba) + r.count;
  if (r.lba < 0 || end > disc.leadOut()) return check(Sense{0x05, 0x21, 0x00, true, static_cast<uint32_t>(r.lba)});

  // Every sector must be readable by this command before anything moves.
  uint64_t total = 0;
  uint32_t per = 0;
  for (Lba lba = r.lba; lba < end; ++lba) {
    const Extent* e = disc.extentAt(lba);
    if (!e) return check(Sense{0x05, 0x21, 0x00, true, static_cast<uint32_t>(lba)});  // lead-out or session gap
    Sense refusal;
    uint32_t bytes = sectorBytes(r, e->mode, refusal);
    if (refusal.key != 0) {
      // A model that does not read audio this way refuses as it refuses unknown commands.
      if (r.kind == ReadKind::Blocks && e->mode == TrackMode::Audio && blockLength_ == 2352) return refuse();
      return check(refusal);
    }
    // A read that would mix sector sizes (audio into data) is refused as real drives do.
    if (lba > r.lba && bytes != per) return check(Sense{0x05, 0x64, 0x00, true, static_cast<uint32_t>(lba)});
    per = bytes;
    total += bytes;
  }
  if (total > c.data.size() || (total > 0 && c.direction == Direction::Out)) return dataPhaseError();
  if (total == 0) return good();  // flags that select nothing: the drive moves no data

  spendReadTime(r.lba, r.count);
  // A read far from the last one moves the head away: the cache no longer holds what it asks for.
  if (faults_.staleCacheSectors > 0) {
    const Lba distance = r.lba > lastReadEnd_ ? r.lba - lastReadEnd_ : lastReadEnd_ - r.lba;
    if (distance > faults_.cacheFlushDistance) dropCache();
  }
  const bool audioJitter = r.kind != ReadKind::Blocks || blockLength_ == 2352;
  // The drive's read offset moves every audio read; jitter moves it further.
  const int shift = drawJitter(r.lba) - model_.readOffsetSamples;
  std::array<uint8_t, kSectorBytes> raw{};
  size_t done = 0;
  for (Lba lba = r.lba; lba < end; ++lba) {
    std::span<uint8_t> out(c.data.data() + done, per);
    auto cached = cache_.find(lba);
    if (cached != cache_.end() && cached->second.size() == per) {
      std::memcpy(out.data(), cached->second.data(), per);
      done += per;
      continue;
    }
    if (sectorFails(lba)) {
      headLba_ = lba;
      lastReadEnd_ = lba;
      Result failed = check(Sense{0x03, 0x11, 0x00, true, static_cast<uint32_t>(lba)});  // unrecovered read error
      failed.transferredBytes = done;
      return failed;
    }
    const Extent* e = disc.extentAt(lba);
    if (e->mode == TrackMode::Audio && audioJitter) {
      audioStream(lba, shift, raw);
    } else if (!disc.readSector(lba, raw)) {
      Result failed = check(Sense{0x03, 0x11, 0x00, true, static_cast<uint32_t>(lba)});  // the image itself failed
      failed.transferredBytes = done;
      return failed;
    }
    formatSector(r, lba, e->mode, raw, out);
    if (e->mode == TrackMode::Audio) applyScratch(r, lba, out);
    if (faults_.staleCacheSectors > 0) {
      cache_[lba].assign(out.begin(), out.end());
      cacheOrder_.push_back(lba);
      while (static_cast<int>(cacheOrder_.size()) > faults_.staleCacheSectors) {
        cache_.erase(cacheOrder_.front());
        cacheOrder_.pop_front();
      }
    }
    done += per;
  }
  headLba_ = static_cast<Lba>(end);
  lastReadEnd_ = static_cast<Lba>(end);
  return good(done);
}

}  // namespace platform::vdrive
