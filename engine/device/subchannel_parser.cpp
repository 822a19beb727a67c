#include "engine/device/subchannel_parser.h"

#include <algorithm>

namespace engine::device {

namespace {

constexpr uint32_t kMsfOffsetFrames = 150;

// CRC-16 of the Q channel (CCITT polynomial, the disc stores it inverted).
uint16_t QCrc(std::span<const uint8_t> bytes) {
  uint16_t crc = 0;
  for (uint8_t b : bytes) {
    crc = static_cast<uint16_t>(crc ^ (b << 8));
    for (int i = 0; i < 8; ++i) crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}

std::optional<int> FromBcd(uint8_t value) {
  const int high = value >> 4, low = value & 0x0F;
  if (high > 9 || low > 9) return std::nullopt;
  return high * 10 + low;
}

}  // namespace

std::string CatalogFromSubChannel(std::span<const uint8_t> answer) {
  if (answer.size() < 22 || (answer[8] & 0x80) == 0) return {};
  std::string digits(reinterpret_cast<const char*>(answer.data() + 9), 13);
  if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return {};
  if (digits.find_first_not_of('0') == std::string::npos) return {};
  return digits;
}

std::string IsrcFromSubChannel(std::span<const uint8_t> answer) {
  if (answer.size() < 21 || (answer[8] & 0x80) == 0) return {};
  std::string isrc(reinterpret_cast<const char*>(answer.data() + 9), 12);
  if (!std::all_of(isrc.begin(), isrc.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'); }))
    return {};
  return isrc;
}

std::optional<QPosition> PositionFromFormattedQ(std::span<const uint8_t> q) {
  if (q.size() < 12 || (q[0] & 0x0F) != 1) return std::nullopt;
  const uint16_t stored = static_cast<uint16_t>(q[10] << 8 | q[11]);
  if (stored != 0 && stored != static_cast<uint16_t>(~QCrc(q.first(10)))) return std::nullopt;
  QPosition position;
  position.control = static_cast<uint8_t>(q[0] >> 4);
  if (q[1] == 0xAA) {
    position.track = 0xAA;
  } else {
    const auto track = FromBcd(q[1]);
    if (!track || *track < 1) return std::nullopt;
    position.track = static_cast<uint8_t>(*track);
  }
  const auto index = FromBcd(q[2]);
  const auto m = FromBcd(q[7]), s = FromBcd(q[8]), f = FromBcd(q[9]);
  if (!index || !m || !s || !f || *s > 59 || *f > 74) return std::nullopt;
  position.index = static_cast<uint8_t>(*index);
  position.lba = (*m * 60 + *s) * 75 + *f - static_cast<int32_t>(kMsfOffsetFrames);
  return position;
}

}  // namespace engine::device
