#include "engine/device/command.h"

#include <atomic>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/device/device_types.h"
#include "engine/device/handles.h"
#include "engine/device/transport.h"
#include "platform/aspi/wnaspi32.h"
#include "platform/sync/event_c.h"

namespace engine::device {
namespace {

// A request handed to the ASPI library. The library may still own it when
// the wait ends, so it lives on the heap with its own copy of the data and
// its own completion event, and is parked rather than freed until the
// library has finished with it.
struct LibraryRequest {
  LibraryRequest() : event(rm_event_create(0)) {}
  ~LibraryRequest() { rm_event_destroy(event); }
  LibraryRequest(const LibraryRequest&) = delete;
  LibraryRequest& operator=(const LibraryRequest&) = delete;
  uint8_t status() { return std::atomic_ref<uint8_t>(srb.SRB_Status).load(); }
  // Done with by the library: it sets the status first and signals the
  // event after, so a status seen final is not enough before the event
  // (and the block holding it) may be destroyed.
  bool released() { return status() != SS_PENDING && (!queued || rm_event_wait(event, 0) == 1); }

  SRB_ExecSCSICmd srb{};
  std::vector<uint8_t> data;
  RmEvent* event;  // signalled by the library when the request completes
  bool queued = false;  // the library took the request (answered SS_PENDING): it will signal the event
};

std::mutex parkedMutex;  // guards parked (commands come from several threads)
std::list<std::unique_ptr<LibraryRequest>> parked;

void FillRequest(SRB_ExecSCSICmd& srb, const ScsiAddress& address, const Cdb& cdb, uint8_t flags,
                 uint8_t* data, uint32_t bufferBytes) {
  srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
  srb.SRB_HaId = address.adapter;
  srb.SRB_Target = address.target;
  srb.SRB_Lun = address.lun;
  srb.SRB_Flags = flags;
  srb.SRB_BufLen = bufferBytes;
  srb.SRB_BufPointer = data;
  srb.SRB_SenseLen = SENSE_LEN;
  srb.SRB_CDBLen = cdb.length;
  std::memcpy(srb.CDBByte, cdb.bytes.data(), cdb.length);
}

uint8_t SendThroughLibrary(const ScsiAddress& address, const Cdb& cdb, uint8_t flags, uint8_t* data,
                           uint32_t bufferBytes) {
  ReapParkedCommands();
  auto request = std::make_unique<LibraryRequest>();
  request->data.assign(data, data + (data ? bufferBytes : 0));
  FillRequest(request->srb, address, cdb, flags, data ? request->data.data() : nullptr,
              bufferBytes);
  if (!request->event) return SS_ERR;
  request->srb.SRB_PostProc = request->event;
  rm_event_reset(request->event);
  const DWORD answer = TransportEntries().sendCommand(&request->srb);
  request->queued = answer == SS_PENDING;
  if (request->queued) rm_event_wait(request->event, kCommandWaitMs);
  const uint8_t status = request->status();
  if (status == SS_PENDING) {
    // Ask the library to give the request up; until it has, the block, its
    // data and its event stay parked and alive. The caller sees status 0.
    SRB_Abort abort{};
    abort.SRB_Cmd = SC_ABORT_SRB;
    abort.SRB_HaId = address.adapter;
    abort.SRB_ToAbort = &request->srb;
    TransportEntries().sendCommand(&abort);
    std::lock_guard lock(parkedMutex);
    parked.push_back(std::move(request));
    return SS_PENDING;
  }
  if (data && (flags & SRB_DIR_IN)) std::memcpy(data, request->data.data(), bufferBytes);
  if (!request->released()) {
    // Completed, but the library has yet to signal the event: parked until then.
    std::lock_guard lock(parkedMutex);
    parked.push_back(std::move(request));
  }
  return status;
}

}  // namespace

uint8_t SendScsiCommand(const ScsiAddress& address, const Cdb& cdb, uint8_t flags, uint8_t* data,
                        uint32_t bufferBytes) {
  if (!TransportIsEmulation()) return SendThroughLibrary(address, cdb, flags, data, bufferBytes);
  // The emulation completes before it returns: the caller's buffer is used directly.
  SRB_ExecSCSICmd srb{};
  FillRequest(srb, address, cdb, flags, data, bufferBytes);
  TransportEntries().sendCommand(&srb);
  return srb.SRB_Status;
}

int32_t ExecuteScsiCommand(const ScsiAddress& address, const Cdb& cdb, uint8_t flags, uint8_t* data,
                           uint32_t bufferBytes) {
  const uint8_t status = SendScsiCommand(address, cdb, flags, data, bufferBytes);
  if (status == SS_COMP) return kResultOk;
  SetCommandFailure(status);
  return kResultFail;
}

int32_t ExecuteOnHandle(int32_t handle, const Cdb& cdb, uint8_t flags, uint8_t* data,
                        uint32_t bufferBytes) {
  const HandleRecord* record = FindOpenHandle(handle);
  if (!record) {
    SetLastDeviceError(DEVERR_BAD_HANDLE);
    return kResultFail;
  }
  return ExecuteScsiCommand({record->adapter, record->target, record->lun}, cdb, flags, data,
                            bufferBytes);
}

bool ReapParkedCommands() {
  std::lock_guard lock(parkedMutex);
  parked.remove_if(
      [](const std::unique_ptr<LibraryRequest>& r) { return r->released(); });
  return parked.empty();
}

}  // namespace engine::device
