// A small MMC drive for the device layer's tests: a generated audio disc, the
// read commands a drive model accepts, seeded jitter and answers that can be
// made to misbehave. Test code only.
#pragma once

#include <algorithm>
#include <cstring>
#include <mutex>
#include <random>
#include <vector>

#include "platform/scsi/scsi_target.h"

namespace engine::device::testing {

namespace scsi = platform::scsi;

class TestDrive final : public scsi::Target {
 public:
  static constexpr uint32_t kFrame = 2352;

  // A disc of audio tracks of the given lengths (frames), first at LBA 0,
  // whose samples never repeat and are never silent.
  explicit TestDrive(std::vector<uint32_t> trackFrames, scsi::Address where = {1, 0, 0, 0})
      : where_(where) {
    uint32_t lba = 0;
    for (uint32_t frames : trackFrames) {
      starts.push_back(lba);
      lba += frames;
    }
    leadOut = lba;
    image.resize(size_t{leadOut} * kFrame);
    for (size_t i = 0; i < image.size() / 4; ++i) {
      const uint32_t s = uint32_t(i * 2654435761u) ^ uint32_t(i >> 9) ^ 0x01010101u;
      std::memcpy(image.data() + 4 * i, &s, 4);
    }
  }

  scsi::Result execute(const scsi::Command& c) override {
    std::lock_guard lock(mutex);
    cdbs.emplace_back(c.cdb.begin(), c.cdb.end());
    scsi::Result r;
    const uint8_t* b = c.cdb.data();
    switch (b[0]) {
      case 0x12:
        return give(c, inquiry());
      case 0x00:
        return discPresent ? r : check(0x02, 0x3A);
      case 0x43:
        return tocOverride.empty() ? give(c, toc(b[1] & 2)) : give(c, tocOverride);
      case 0x52:
        return rejectTrackInfo ? check(0x05, 0x20) : give(c, trackInfo());
      case 0x15:
        if (c.direction != scsi::Direction::Out || c.data.size() < 12) return check(0x05, 0x1A);
        blockBytes = (uint32_t(c.data[9]) << 16) | (uint32_t(c.data[10]) << 8) | c.data[11];
        return r;
      case 0xBE:
        return acceptReadCd ? read(c, lba24(b + 3), b[8]) : check(0x05, 0x20);
      case 0x28:
        if (!acceptRead10 || blockBytes != kFrame) return check(0x05, 0x64);
        return read(c, lba24(b + 3), b[8]);
      case 0xD8:
        return acceptD8 ? read(c, lba24(b + 3), b[9]) : check(0x05, 0x20);
      case 0xD4:
        return acceptD4 ? read(c, lba24(b + 3), b[8]) : check(0x05, 0x20);
      case 0xBB:
      case 0x1E:
      case 0x1B:
      case 0x4B:
        return r;
      default:
        return check(0x05, 0x20);
    }
  }
  scsi::Address address() const override { return where_; }

  std::mutex mutex;            // guards every field below
  std::vector<uint8_t> image;  // the whole disc's audio
  std::vector<uint32_t> starts;
  uint32_t leadOut = 0;
  bool discPresent = true;
  bool acceptReadCd = true, acceptRead10 = true, acceptD8 = true, acceptD4 = true;
  bool rejectTrackInfo = false;
  // Claim success for reads without delivering data (as a drive behind a
  // pass-through that ignores status would appear).
  bool silentReads = false;
  size_t inquiryBytes = 36;
  std::vector<uint8_t> tocOverride;
  // Reads start up to this many sample frames early (negative) or late, seeded.
  int jitterMin = 0, jitterMax = 0;
  std::mt19937 rng{1234};
  uint32_t blockBytes = 2048;
  std::vector<std::vector<uint8_t>> cdbs;

 private:
  static uint32_t lba24(const uint8_t* p) {
    return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
  }
  static scsi::Result check(uint8_t key, uint8_t asc) {
    scsi::Result r;
    r.status = scsi::kStatusCheckCondition;
    r.senseLength = 18;
    r.sense[0] = 0x70;
    r.sense[2] = key;
    r.sense[12] = asc;
    return r;
  }
  static scsi::Result give(const scsi::Command& c, const std::vector<uint8_t>& answer) {
    scsi::Result r;
    r.transferredBytes = std::min(answer.size(), c.data.size());
    std::copy_n(answer.begin(), r.transferredBytes, c.data.begin());
    return r;
  }
  scsi::Result read(const scsi::Command& c, uint32_t lba, uint32_t frames) {
    scsi::Result r;
    if (silentReads) return r;
    const int jitter = jitterMax > jitterMin
                           ? std::uniform_int_distribution<int>(jitterMin, jitterMax)(rng)
                           : jitterMin;
    const int64_t from = int64_t{lba} * kFrame + int64_t{jitter} * 4;
    const size_t bytes = std::min<size_t>(size_t{frames} * kFrame, c.data.size());
    for (size_t i = 0; i < bytes; ++i) {
      const int64_t at = from + int64_t(i);
      c.data[i] = at >= 0 && at < int64_t(image.size()) ? image[size_t(at)] : 0;
    }
    r.transferredBytes = bytes;
    return r;
  }
  std::vector<uint8_t> inquiry() const {
    std::vector<uint8_t> a(36, ' ');
    a[0] = 5;
    a[1] = 0x80;
    a[2] = 0;
    a[3] = 2;
    a[4] = 31;
    a[5] = a[6] = a[7] = 0;
    std::memcpy(a.data() + 8, "RIPTEST Virtual CD-ROM  1.00", 28);
    a.resize(std::min(a.size(), inquiryBytes));
    return a;
  }
  std::vector<uint8_t> toc(bool msf) const {
    std::vector<uint8_t> t(4);
    const size_t count = starts.size();
    const size_t length = 2 + (count + 1) * 8;
    t[0] = uint8_t(length >> 8);
    t[1] = uint8_t(length);
    t[2] = 1;
    t[3] = uint8_t(count);
    for (size_t i = 0; i <= count; ++i) {
      const uint32_t lba = i < count ? starts[i] : leadOut;
      std::vector<uint8_t> d = {0, 0x10, uint8_t(i < count ? i + 1 : 0xAA), 0, 0, 0, 0, 0};
      if (msf) {
        const uint32_t f = lba + 150;
        d[5] = uint8_t(f / 4500);
        d[6] = uint8_t(f / 75 % 60);
        d[7] = uint8_t(f % 75);
      } else {
        d[4] = uint8_t(lba >> 24);
        d[5] = uint8_t(lba >> 16);
        d[6] = uint8_t(lba >> 8);
        d[7] = uint8_t(lba);
      }
      t.insert(t.end(), d.begin(), d.end());
    }
    return t;
  }
  std::vector<uint8_t> trackInfo() const {
    std::vector<uint8_t> a(28);
    a[1] = 26;
    a[3] = 1;
    a[5] = 0x00;
    a[6] = 0x0F;
    return a;
  }
  scsi::Address where_;
};

}  // namespace engine::device::testing
