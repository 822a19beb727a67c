#include "engine/device/reads.h"

#include <cstring>

#include "engine/device/cdb.h"
#include "engine/device/command.h"
#include "engine/device/device_log.h"
#include "engine/device/device_types.h"
#include "engine/device/transport.h"

namespace engine::device {
namespace {

// MODE SELECT carries its parameter list to the drive, so it is sent as a
// data-out command: without the direction a pass-through moves no data and
// the drive never sees the block size.
constexpr uint8_t kFlagsModeSelect = kFlagsOut;
constexpr uint32_t kMaxFramesPerRead = 255;  // the command's count is one byte

enum class Setup { None, BlockSizeA, BlockSizeB, Pause, PauseModeD };

Setup SetupOf(uint8_t readType) {
  switch (readType) {
    case CDRT_READ6:
    case CDRT_READ10:
      return Setup::BlockSizeA;
    case CDRT_READ10_2:
      return Setup::BlockSizeB;
    case CDRT_READ_D8:
    case CDRT_READ_D4:
      return Setup::Pause;
    case CDRT_READ_D4_1:
      return Setup::PauseModeD;
    default:
      return Setup::None;
  }
}

template <size_t N>
int32_t ModeSelect(int32_t handle, bool pageFormat, const std::array<uint8_t, N>& list,
                   uint8_t cdbBytes) {
  std::array<uint8_t, N> copy = list;  // the transport wants a writable buffer
  return ExecuteOnHandle(handle, ModeSelect6Cdb(pageFormat, cdbBytes), kFlagsModeSelect,
                         copy.data(), N);
}

// 1 when the routine may read; the READ(10) setups must succeed, the others are not examined.
int32_t RunSetup(int32_t handle, HandleRecord& record) {
  switch (SetupOf(record.readType)) {
    case Setup::BlockSizeA:
      if (ModeSelect(handle, false, kModeBlock2352, 0x0C) != kResultOk) return kResultFail;
      record.releaseRoutine = RestoreBlockSize;
      break;
    case Setup::BlockSizeB:
      if (ModeSelect(handle, true, kModeBlock2352Page23, 0x14) != kResultOk ||
          ModeSelect(handle, true, kModeBlock2352Recovery, 0x14) != kResultOk) {
        return kResultFail;
      }
      record.releaseRoutine = RestoreBlockSize;
      break;
    case Setup::Pause:
      ExecuteOnHandle(handle, PauseCdb(), kFlagsNoData, nullptr, 0);
      break;
    case Setup::PauseModeD:
      ExecuteOnHandle(handle, PauseCdb(), kFlagsNoData, nullptr, 0);
      ModeSelect(handle, true, kModeBlock2352NoLength, 0x08);
      break;
    case Setup::None:
      break;
  }
  record.setupDone = 1;
  return kResultOk;
}

// The frame every routine shares; `atapi` adds the READ CD routine's extra lines.
int32_t ReadFrame(const char* firstLine, bool atapi, int32_t handle, TrackBuffer& buffer) {
  DeviceLog(firstLine);
  if (!TransportEntries().sendCommand) {
    DeviceLog("Pointer error!");
    SetTransportUsable(false);
    return kResultFail;
  }
  SetTransportUsable(true);
  DeviceLog("Success");
  HandleRecord* record = FindOpenHandle(handle);
  if (!record) {
    SetLastDeviceError(DEVERR_BAD_HANDLE);
    return kResultFail;
  }
  if (uint64_t{buffer.frameCount} * kFrameBytes > buffer.capacity) {
    SetLastDeviceError(DEVERR_BUFFER_TOO_SMALL);
    return kResultFail;
  }
  if (buffer.frameCount > kMaxFramesPerRead) {
    // The command could not say so many frames; reporting them read would
    // hand back data the drive never delivered.
    SetLastDeviceError(DEVERR_BAD_REQUEST);
    return kResultFail;
  }
  if (!record->setupDone && RunSetup(handle, *record) != kResultOk) return kResultFail;

  const Cdb cdb = ReadAudioCdb(record->readType, buffer.startFrame, buffer.frameCount, record->lun);
  const uint32_t bufferBytes =
      record->readType == CDRT_READ_D8 ? buffer.frameCount * kFrameBytes : buffer.capacity;
  if (atapi) DeviceLog("SendASPI32Command");
  const int32_t result = ExecuteOnHandle(handle, cdb, kFlagsIn, buffer.data(), bufferBytes);
  if (atapi) DeviceLog("Check returned state");
  if (result != kResultOk) return kResultFail;
  buffer.dataOffset = 0;
  buffer.validBytes = buffer.frameCount * kFrameBytes;
  buffer.status = 1;
  return kResultOk;
}

// CDRT_READ6 is not tried: it reads exactly as CDRT_READ10 does.
constexpr uint8_t kDetectionOrder[] = {CDRT_ATAPI2,  CDRT_ATAPI1,  CDRT_READ10_2, CDRT_READ10,
                                       CDRT_READ_D8, CDRT_READ_D4, CDRT_READ_D4_1};
constexpr int kTestReadsPerType = 3;
constexpr int kPatternWords = 8;
constexpr uint8_t kPatternByte = 0xAA;

}  // namespace

int32_t ReadCDAudioLBA_ATAPI(int32_t handle, TrackBuffer& buffer) {
  return ReadFrame("ReadCDAudioLBA_ATAPI. Check Pointer...", true, handle, buffer);
}
int32_t ReadCDAudioLBA_READ10(int32_t handle, TrackBuffer& buffer) {
  return ReadFrame("ReadCDAudioLBA_READ10. Check Pointer...", false, handle, buffer);
}
int32_t ReadCDAudioLBA_D8(int32_t handle, TrackBuffer& buffer) {
  return ReadFrame("ReadCDAudioLBA_D8. Check Pointer...", false, handle, buffer);
}
int32_t ReadCDAudioLBA_D4(int32_t handle, TrackBuffer& buffer) {
  return ReadFrame("ReadCDAudioLBA_D4. Check Pointer...", false, handle, buffer);
}

ReadRoutine ReadRoutineFor(uint8_t readType) {
  switch (readType) {
    case CDRT_ATAPI1:
    case CDRT_ATAPI2:
      return ReadCDAudioLBA_ATAPI;
    case CDRT_READ6:
    case CDRT_READ10:
    case CDRT_READ10_2:
      return ReadCDAudioLBA_READ10;
    case CDRT_READ_D8:
      return ReadCDAudioLBA_D8;
    case CDRT_READ_D4:
    case CDRT_READ_D4_1:
      return ReadCDAudioLBA_D4;
    default:
      return ReadCDAudioLBA_ANY;
  }
}

int32_t ReadCDAudioLBA(int32_t handle, TrackBuffer& buffer) {
  DeviceLog("ReadCDAudioLBA");
  if (handle >= 1 && handle <= kMaxHandles) {
    DeviceLog("Check Handles");
    if (HandleRecord* record = FindOpenHandle(handle)) {
      DeviceLog("Success");
      return record->readRoutine(handle, buffer);
    }
  }
  SetLastDeviceError(DEVERR_BAD_HANDLE);
  return kResultFail;
}

int32_t TestRead(int32_t handle, TrackBuffer& buffer) {
  DeviceLog("Test read CD Audio");
  HandleRecord* record = FindOpenHandle(handle);
  if (!record) {
    SetLastDeviceError(DEVERR_BAD_HANDLE);
    return kResultFail;
  }
  const uint64_t fill = uint64_t{buffer.frameCount} * kFrameBytes;
  std::memset(buffer.data(), kPatternByte, fill < buffer.capacity ? fill : buffer.capacity);
  const int32_t result = record->readRoutine(handle, buffer);
  if (result != kResultOk) return result;
  const uint8_t* valid = buffer.data() + buffer.dataOffset;
  int run = 0;
  for (uint32_t at = 0; at + 4 <= buffer.validBytes; at += 4) {
    uint32_t word;
    std::memcpy(&word, valid + at, 4);
    run = word == 0xAAAAAAAAu ? run + 1 : 0;
    if (run == kPatternWords) return kResultFail;  // success claimed, nothing delivered
  }
  return kResultOk;
}

int32_t ReadCDAudioLBA_ANY(int32_t handle, TrackBuffer& buffer) {
  DeviceLog("ReadCDAudioLBA_ANY");
  HandleRecord* record = FindOpenHandle(handle);
  if (!record) {
    SetLastDeviceError(DEVERR_BAD_HANDLE);
    return kResultFail;
  }
  if (uint64_t{buffer.frameCount} * kFrameBytes > buffer.capacity) {
    SetLastDeviceError(DEVERR_BUFFER_TOO_SMALL);
    return kResultFail;
  }
  int32_t result = kResultFail;
  for (uint8_t readType : kDetectionOrder) {
    record->readType = readType;
    record->readRoutine = ReadRoutineFor(readType);
    record->releaseRoutine = nullptr;
    record->setupDone = 0;
    for (int attempt = 0; attempt < kTestReadsPerType; ++attempt) {
      result = TestRead(handle, buffer);
      if (result == kResultOk) return kResultOk;  // the handle keeps this read type
    }
  }
  record->readType = CDRT_ANY;
  record->readRoutine = ReadCDAudioLBA_ANY;
  return result;
}

void RestoreBlockSize(int32_t handle) {
  HandleRecord* record = FindOpenHandle(handle);
  if (!record) return;
  record->setupDone = 0;
  std::array<uint8_t, 12> list = kModeBlock2048;
  ExecuteOnHandle(handle, ModeSelect6Cdb(false, 0x0C), kFlagsModeSelect | 0x04, list.data(),
                  list.size());
}

}  // namespace engine::device
