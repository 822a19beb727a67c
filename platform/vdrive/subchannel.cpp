#include "platform/vdrive/subchannel.h"

namespace platform::vdrive {

namespace {

uint8_t bcd(int value) { return static_cast<uint8_t>((value / 10) << 4 | (value % 10)); }

uint16_t crc16(std::span<const uint8_t> bytes) {
  uint16_t crc = 0;
  for (uint8_t b : bytes) {
    crc = static_cast<uint16_t>(crc ^ (b << 8));
    for (int i = 0; i < 8; ++i) crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}

void putTime(uint8_t* out, int32_t frames) {
  out[0] = bcd(frames / kFramesPerMinute % 100);
  out[1] = bcd(frames / kFramesPerSecond % kSecondsPerMinute);
  out[2] = bcd(frames % kFramesPerSecond);
}

}  // namespace

QPosition qPosition(const Disc& disc, Lba lba) {
  QPosition q;
  q.absolute = lba;
  const Track* t = disc.trackContaining(lba);
  if (!t) {  // a lead-out (or the gap after one)
    const Track& last = disc.tracks().back();
    q.control = last.control();
    q.track = 0xAA;
    q.index = 1;
    Lba leadOut = disc.leadOut();
    for (const Session& s : disc.sessions())
      if (s.leadOut <= lba) leadOut = s.leadOut;
    q.relativeFrames = lba - leadOut;
    return q;
  }
  q.control = t->control();
  q.track = static_cast<uint8_t>(t->number);
  if (lba < t->start) {
    q.index = 0;
    q.relativeFrames = t->start - lba;
    return q;
  }
  for (size_t i = 0; i < t->indexStarts.size(); ++i)
    if (t->indexStarts[i] <= lba) q.index = static_cast<uint8_t>(i + 1);
  q.relativeFrames = lba - t->start;
  return q;
}

std::array<uint8_t, 12> qSubchannel(const QPosition& q) {
  std::array<uint8_t, 12> out{};
  out[0] = static_cast<uint8_t>(q.control << 4 | 0x01);
  out[1] = q.track == 0xAA ? 0xAA : bcd(q.track);
  out[2] = bcd(q.index);
  putTime(&out[3], q.relativeFrames);
  out[6] = 0;
  putTime(&out[7], q.absolute + kMsfOffsetFrames);
  uint16_t crc = static_cast<uint16_t>(~crc16(std::span<const uint8_t>(out.data(), 10)));
  out[10] = static_cast<uint8_t>(crc >> 8);
  out[11] = static_cast<uint8_t>(crc);
  return out;
}

void rawSubchannel(const QPosition& q, std::span<uint8_t, 96> out) {
  const auto bits = qSubchannel(q);
  const bool pause = q.index == 0;
  for (size_t i = 0; i < 96; ++i) {
    uint8_t qBit = (bits[i / 8] >> (7 - i % 8)) & 1;
    out[i] = static_cast<uint8_t>((pause ? 0x80 : 0) | qBit << 6);
  }
}

}  // namespace platform::vdrive
