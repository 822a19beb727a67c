#include "engine/device/drive_commands.h"

#include "engine/device/cdb.h"
#include "engine/device/command.h"
#include "engine/device/device_types.h"
#include "engine/device/handles.h"
#include "engine/device/transport.h"
#include "platform/aspi/wnaspi32.h"

namespace engine::device {
namespace {

uint8_t ReadTypeOf(int32_t handle) {
  const HandleRecord* r = FindOpenHandle(handle);
  return r ? r->readType : uint8_t{CDRT_ANY};
}

}  // namespace

int32_t SendSetSpeed(int32_t handle, uint32_t speedKBps) {
  return ExecuteOnHandle(handle, SetSpeedCdb(speedKBps), kFlagsOut, nullptr, 0);
}

int32_t SendPreventAllow(int32_t handle, int32_t lock) {
  return ExecuteOnHandle(handle, PreventAllowCdb(lock != 0, ReadTypeOf(handle)), kFlagsOut, nullptr,
                         0);
}

int32_t SendStartStop(int32_t handle, int32_t loadEject, int32_t start) {
  return ExecuteOnHandle(handle, StartStopCdb(loadEject != 0, start != 0, ReadTypeOf(handle)),
                         kFlagsNoData, nullptr, 0);
}

int32_t SendPause(int32_t handle) {
  return ExecuteOnHandle(handle, PauseCdb(), kFlagsNoData, nullptr, 0);
}

uint32_t ReadCurrentSpeedKBps(int32_t handle) {
  uint8_t answer[64] = {};
  if (ExecuteOnHandle(handle, ModeSense10Cdb(0x2A, sizeof answer), kFlagsIn, answer, sizeof answer) != kResultOk)
    return 0;
  const uint32_t descriptors = uint32_t{answer[6]} << 8 | answer[7];
  const size_t page = 8 + descriptors;
  if (page + 16 > sizeof answer || (answer[page] & 0x3F) != 0x2A || answer[page + 1] < 14) return 0;
  return uint32_t{answer[page + 14]} << 8 | answer[page + 15];
}

int32_t SendTestUnitReady(int32_t handle) {
  const HandleRecord* r = FindOpenHandle(handle);
  if (!r) {
    SetLastDeviceError(DEVERR_BAD_HANDLE);
    return kResultFail;
  }
  const ScsiAddress address{r->adapter, r->target, r->lun};
  if (SendScsiCommand(address, TestUnitReadyCdb12(), kFlagsIn, nullptr, 0) == SS_COMP) {
    return kResultOk;
  }
  return SendScsiCommand(address, TestUnitReadyCdb10(), kFlagsIn, nullptr, 0);
}

}  // namespace engine::device
