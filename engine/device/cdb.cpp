#include "engine/device/cdb.h"

#include <initializer_list>

#include "engine/device/device_types.h"

namespace engine::device {
namespace {

Cdb Make(std::initializer_list<uint8_t> bytes) {
  Cdb cdb;
  uint8_t i = 0;
  for (uint8_t b : bytes) cdb.bytes[i++] = b;
  cdb.length = i;
  return cdb;
}

uint8_t Byte(uint32_t value, int shift) {
  return static_cast<uint8_t>(value >> shift);
}

}  // namespace

uint8_t ReadTypeFlagByte(uint8_t readType) {
  return readType == CDRT_ATAPI1 ? 0x10 : 0xF0;
}

Cdb ReadAudioCdb(uint8_t readType, uint32_t startFrame, uint32_t frameCount, uint8_t lun) {
  const uint8_t l2 = Byte(startFrame, 16), l1 = Byte(startFrame, 8), l0 = Byte(startFrame, 0);
  const uint8_t n = Byte(frameCount, 0);
  switch (readType) {
    case CDRT_ATAPI1:
    case CDRT_ATAPI2:
      return Make({0xBE, 0, 0, l2, l1, l0, 0, 0, n, ReadTypeFlagByte(readType), 0, 0});
    case CDRT_READ_D8:
      return Make({0xD8, 0, 0, l2, l1, l0, 0, 0, 0, n, 0, 0});
    case CDRT_READ_D4:
    case CDRT_READ_D4_1:
      return Make({0xD4, 0, 0, l2, l1, l0, 0, 0, n, 0});
    default:  // CDRT_READ6, CDRT_READ10, CDRT_READ10_2
      return Make({0x28, static_cast<uint8_t>(lun << 5), 0, l2, l1, l0, 0, 0, n, 0});
  }
}

Cdb ReadTocCdb(bool msf) {
  return Make({0x43, uint8_t(msf ? 2 : 0), 0, 0, 0, 0, 0, 0x03, 0x24, 0});
}

Cdb ReadCdTextCdb(uint16_t allocationBytes) {
  return Make({0x43, 0, 0x05, 0, 0, 0, 0, Byte(allocationBytes, 8), Byte(allocationBytes, 0), 0});
}

Cdb ReadTrackInfoCdb(uint32_t track, uint8_t readType) {
  return Make({0x52, 1, Byte(track, 24), Byte(track, 16), Byte(track, 8), Byte(track, 0), 0, 0,
               0x1C, ReadTypeFlagByte(readType)});
}

Cdb ReadSubChannelCdb(uint8_t format, uint8_t track) {
  return Make({0x42, 0, 0x40, format, 0, 0, track, 0, 24, 0});
}

Cdb ReadCdQCdb(uint32_t lba, bool mainData) {
  return Make({0xBE, 0, Byte(lba, 24), Byte(lba, 16), Byte(lba, 8), Byte(lba, 0), 0, 0, 1,
               uint8_t(mainData ? 0xF8 : 0x00), 0x02, 0});
}

Cdb InquiryCdb() {
  return Make({0x12, 0, 0, 0, 0x64, 0});
}

Cdb SetSpeedCdb(uint32_t speedKBps) {
  const uint8_t sh = Byte(speedKBps, 8), sl = Byte(speedKBps, 0);
  return Make({0xBB, 0, sh, sl, sh, sl, 0, 0, 0, 0, 0, 0});
}

Cdb ModeSense10Cdb(uint8_t page, uint16_t allocationBytes) {
  return Make({0x5A, 0x08, uint8_t(page & 0x3F), 0, 0, 0, 0, Byte(allocationBytes, 8), Byte(allocationBytes, 0), 0});
}

Cdb PreventAllowCdb(bool lock, uint8_t readType) {
  return Make({0x1E, 0, 0, 0, uint8_t(lock ? 1 : 0), ReadTypeFlagByte(readType)});
}

Cdb StartStopCdb(bool loadEject, bool start, uint8_t readType) {
  const uint8_t e = static_cast<uint8_t>((loadEject ? 2 : 0) + (start ? 1 : 0));
  return Make({0x1B, 1, 0, 0, e, 0, 0, 0, 0, 0, 0, ReadTypeFlagByte(readType)});
}

Cdb PauseCdb() {
  return Make({0x4B, 0, 0, 0, 0, 0, 0, 0, 0, 0});
}
// Sent as a 12-byte block first, with the 6-byte command's control byte set.
Cdb TestUnitReadyCdb12() {
  return Make({0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0});
}
Cdb TestUnitReadyCdb10() {
  return Make({0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10});
}

Cdb ModeSelect6Cdb(bool pageFormat, uint8_t listBytes) {
  return Make({0x15, uint8_t(pageFormat ? 0x10 : 0), 0, 0, listBytes, 0});
}

}  // namespace engine::device
