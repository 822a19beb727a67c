#include "engine/device/handles.h"

#include "engine/device/drive_commands.h"
#include "engine/device/drive_list.h"
#include "engine/device/reads.h"
#include "engine/device/spti.h"
#include "engine/device/transport.h"

namespace engine::device {
namespace {

HandleRecord records[kMaxHandles];

}  // namespace

HandleRecord* FindOpenHandle(int32_t handle) {
  if (handle < 1 || handle > kMaxHandles) return nullptr;
  HandleRecord& record = records[handle - 1];
  return record.open ? &record : nullptr;
}

int32_t OpenDevice(const OpenRequest* request) {
  if (!request) {
    SetLastDeviceError(DEVERR_NULL_REQUEST);
    return 0;
  }
  if (request->version != 1 || request->size < sizeof(OpenRequest)) {
    SetLastDeviceError(DEVERR_BAD_REQUEST);
    return 0;
  }
  for (const HandleRecord& r : records) {
    if (r.open && r.adapter == request->adapter && r.target == request->target &&
        r.lun == request->lun) {
      SetLastDeviceError(DEVERR_ALREADY_OPEN);
      return 0;
    }
  }
  const int32_t type = QueryDeviceType(request->adapter, request->target, request->lun);
  if (type != kDeviceTypeCdrom) {
    if (LastDeviceError() == 0) SetLastDeviceError(DEVERR_NOT_CDROM);
    return 0;
  }
  int index = 0;
  while (index < kMaxHandles && records[index].open) ++index;
  if (index == kMaxHandles) {
    SetLastDeviceError(DEVERR_NO_FREE_HANDLE);
    return 0;
  }
  HandleRecord& r = records[index];
  r = HandleRecord{};
  r.adapter = request->adapter;
  r.target = request->target;
  r.lun = request->lun;
  r.open = 1;
  r.readType = request->readType;
  r.overlapFrames = request->overlapFrames;
  r.rewindFrames = request->rewindFrames;
  r.readRoutine = ReadRoutineFor(request->readType);
  if (r.readRoutine == ReadCDAudioLBA_ANY) r.readType = CDRT_ANY;
  if (SptiHasDrives()) SptiOpenDevice(r.adapter, r.target, r.lun);
  return index + 1;
}

int32_t CloseDevice(int32_t handle) {
  HandleRecord* record = FindOpenHandle(handle);
  if (!record) return 0;
  if (record->releaseRoutine) record->releaseRoutine(handle);
  *record = HandleRecord{};
  return 1;
}

int32_t SetDeviceParameter(int32_t handle, int32_t code, int32_t value) {
  HandleRecord* record = FindOpenHandle(handle);
  if (!record) {
    SetLastDeviceError(DEVERR_BAD_HANDLE);
    return 0;
  }
  switch (code) {
    case PARAM_SPEED:
      return SendSetSpeed(handle, static_cast<uint32_t>(value)) == kResultOk ? 1 : 0;
    case PARAM_MSF:
      record->msfAddressing = value;
      return 1;
    case PARAM_REWIND:
      record->rewindFrames = value;
      return 1;
    case PARAM_OVERLAP:
      record->overlapFrames = value;
      return 1;
    case PARAM_SPARE:
      record->spare = value;
      return 1;
    default:
      return 0;
  }
}

}  // namespace engine::device
