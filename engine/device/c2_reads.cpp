#include "engine/device/c2_reads.h"

#include <algorithm>
#include <cstring>

#include "engine/device/cdb.h"
#include "engine/device/command.h"
#include "engine/device/device_log.h"
#include "engine/device/device_types.h"
#include "engine/device/handles.h"
#include "engine/device/transport.h"

namespace engine::device {
namespace {

constexpr uint32_t kC2FrameBytes = kFrameBytes + kC2BytesPerFrame;

Cdb ReadCdC2Cdb(uint32_t lba, uint32_t frames) {
  Cdb cdb;
  const uint8_t bytes[12] = {0xBE, 0x04,  // CD-DA sectors only
                             static_cast<uint8_t>(lba >> 24), static_cast<uint8_t>(lba >> 16),
                             static_cast<uint8_t>(lba >> 8), static_cast<uint8_t>(lba),
                             static_cast<uint8_t>(frames >> 16), static_cast<uint8_t>(frames >> 8),
                             static_cast<uint8_t>(frames),
                             0x12,  // user data, C2 error pointers (294 bytes)
                             0, 0};
  std::memcpy(cdb.bytes.data(), bytes, sizeof bytes);
  cdb.length = sizeof bytes;
  return cdb;
}

}  // namespace

bool DriveReportsC2(int32_t handle) {
  uint8_t answer[64] = {};
  if (ExecuteOnHandle(handle, ModeSense10Cdb(0x2A, sizeof answer), kFlagsIn, answer, sizeof answer) != kResultOk)
    return false;
  const uint32_t descriptors = uint32_t{answer[6]} << 8 | answer[7];
  const size_t page = 8 + descriptors;
  if (page + 6 > sizeof answer || (answer[page] & 0x3F) != 0x2A || answer[page + 1] < 4) return false;
  return (answer[page + 5] & 0x10) != 0;
}

int32_t ReadCDAudioWithC2(int32_t handle, TrackBuffer& buffer, std::vector<uint8_t>& c2) {
  DeviceLog("ReadCDAudioWithC2");
  if (!FindOpenHandle(handle)) {
    SetLastDeviceError(DEVERR_BAD_HANDLE);
    return kResultFail;
  }
  const uint32_t frames = buffer.frameCount;
  if (uint64_t{frames} * kFrameBytes > buffer.capacity || frames > kMaxC2FramesPerRead) {
    SetLastDeviceError(frames > kMaxC2FramesPerRead ? DEVERR_BAD_REQUEST : DEVERR_BUFFER_TOO_SMALL);
    return kResultFail;
  }
  std::vector<uint8_t> raw(size_t{frames} * kC2FrameBytes);
  if (ExecuteOnHandle(handle, ReadCdC2Cdb(buffer.startFrame, frames), kFlagsIn, raw.data(),
                      static_cast<uint32_t>(raw.size())) != kResultOk)
    return kResultFail;
  c2.resize(size_t{frames} * kC2BytesPerFrame);
  for (uint32_t f = 0; f < frames; ++f) {
    std::memcpy(buffer.data() + size_t{f} * kFrameBytes, raw.data() + size_t{f} * kC2FrameBytes, kFrameBytes);
    std::memcpy(c2.data() + size_t{f} * kC2BytesPerFrame, raw.data() + size_t{f} * kC2FrameBytes + kFrameBytes,
                kC2BytesPerFrame);
  }
  buffer.dataOffset = 0;
  buffer.validBytes = frames * kFrameBytes;
  buffer.status = 1;
  return kResultOk;
}

bool C2Flagged(const std::vector<uint8_t>& c2, size_t from, size_t bytes) {
  const size_t end = std::min(from + bytes, c2.size() * 8);
  for (size_t at = from; at < end;) {
    if (at % 8 == 0 && at + 8 <= end) {
      if (c2[at / 8] != 0) return true;
      at += 8;
      continue;
    }
    if (c2[at / 8] & (0x80 >> (at % 8))) return true;
    ++at;
  }
  return false;
}

}  // namespace engine::device
