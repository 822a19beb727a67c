#include "platform/aspi/aspi_host.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/deviceio/drive_table.h"

namespace platform::aspi {
namespace {

uint32_t answer(uint8_t& statusField, uint8_t status) {
  statusField = status;
  return status;
}

}  // namespace

AspiHost::~AspiHost() {
  std::lock_guard lock(mutex_);
  devices_.clear();  // each worker cancels and joins before its channel closes
}

void AspiHost::scanLocked() {
  scanned_ = true;
  auto& drives = deviceio::DriveTable::instance();
  for (const char letter : drives.letters()) {
    const auto drive = drives.find(letter);
    if (!drive) continue;
    DWORD error = 0;
    Device device;
    device.channel = drives.open(*drive, error);
    if (!device.channel || !device.channel->address(device.address, error)) continue;
    // Two drives at one address: the first letter keeps it.
    if (findLocked(device.address.port, device.address.target, device.address.lun) != nullptr) continue;
    device.worker = std::make_unique<CommandWorker>(*device.channel);
    adapterCount_ = std::max<unsigned>(adapterCount_, device.address.port + 1u);
    devices_.push_back(std::move(device));
  }
}

AspiHost::Device* AspiHost::findLocked(uint8_t adapter, uint8_t target, uint8_t lun) {
  for (Device& device : devices_) {
    if (device.address.port == adapter && device.address.target == target && device.address.lun == lun)
      return &device;
  }
  return nullptr;
}

uint32_t AspiHost::supportInfo() {
  std::lock_guard lock(mutex_);
  if (!scanned_) scanLocked();
  if (adapterCount_ == 0) return SS_NO_ADAPTERS << 8;
  return (SS_COMP << 8) | std::min(adapterCount_, 255u);
}

uint32_t AspiHost::send(void* block) {
  if (block == nullptr) return SS_INVALID_SRB;
  {
    std::lock_guard lock(mutex_);
    if (!scanned_) scanLocked();
  }
  auto* header = static_cast<SRB_Header*>(block);
  switch (header->SRB_Cmd) {
    case SC_HA_INQUIRY:
      return inquiry(*static_cast<SRB_HAInquiry*>(block));
    case SC_GET_DEV_TYPE:
      return deviceType(*static_cast<SRB_GDEVBlock*>(block));
    case SC_EXEC_SCSI_CMD:
      return execute(*static_cast<SRB_ExecSCSICmd*>(block));
    case SC_ABORT_SRB:
      return abort(*static_cast<SRB_Abort*>(block));
    default:
      return answer(header->SRB_Status, SS_INVALID_SRB);
  }
}

uint32_t AspiHost::inquiry(SRB_HAInquiry& srb) {
  std::lock_guard lock(mutex_);
  srb.HA_Count = static_cast<uint8_t>(std::min(adapterCount_, 255u));
  if (srb.SRB_HaId >= adapterCount_) return answer(srb.SRB_Status, SS_INVALID_HA);
  srb.HA_SCSI_ID = 7;
  std::memcpy(srb.HA_ManagerId, "ASPI for WIN32  ", 16);
  char identifier[17];
  std::snprintf(identifier, sizeof identifier, "SCSI host %-6u", static_cast<unsigned>(srb.SRB_HaId));
  std::memcpy(srb.HA_Identifier, identifier, 16);
  std::memset(srb.HA_Unique, 0, sizeof srb.HA_Unique);
  unsigned targets = 8;
  for (const Device& device : devices_) {
    if (device.address.port == srb.SRB_HaId) targets = std::max(targets, device.address.target + 1u);
  }
  srb.HA_Unique[3] = static_cast<uint8_t>(std::min(targets, 255u));
  const uint32_t maxTransferBytes = deviceio::kMaxTransferBytes;
  for (int i = 0; i < 4; ++i) srb.HA_Unique[4 + i] = static_cast<uint8_t>(maxTransferBytes >> (8 * i));
  return answer(srb.SRB_Status, SS_COMP);
}

uint32_t AspiHost::deviceType(SRB_GDEVBlock& srb) {
  std::lock_guard lock(mutex_);
  if (srb.SRB_HaId >= adapterCount_) return answer(srb.SRB_Status, SS_INVALID_HA);
  const bool present = findLocked(srb.SRB_HaId, srb.SRB_Target, srb.SRB_Lun) != nullptr;
  srb.SRB_DeviceType = present ? DTYPE_CDROM : DTYPE_UNKNOWN;
  return answer(srb.SRB_Status, present ? SS_COMP : SS_NO_DEVICE);
}

uint32_t AspiHost::execute(SRB_ExecSCSICmd& srb) {
  std::unique_lock lock(mutex_);
  if (srb.SRB_HaId >= adapterCount_) return answer(srb.SRB_Status, SS_INVALID_HA);
  Device* device = findLocked(srb.SRB_HaId, srb.SRB_Target, srb.SRB_Lun);
  if (device == nullptr) return answer(srb.SRB_Status, SS_NO_DEVICE);
  const uint8_t direction = srb.SRB_Flags & (SRB_DIR_IN | SRB_DIR_OUT);
  const bool notify = (srb.SRB_Flags & SRB_EVENT_NOTIFY) != 0;
  // Posting routines are not offered; an event is the way to be told.
  if (srb.SRB_CDBLen == 0 || srb.SRB_CDBLen > sizeof srb.CDBByte || direction == (SRB_DIR_IN | SRB_DIR_OUT) ||
      (srb.SRB_Flags & SRB_POSTING) != 0 || (notify && srb.SRB_PostProc == nullptr) ||
      (srb.SRB_BufLen != 0 && direction != 0 && srb.SRB_BufPointer == nullptr))
    return answer(srb.SRB_Status, SS_INVALID_SRB);
  if (srb.SRB_BufLen > deviceio::kMaxTransferBytes) return answer(srb.SRB_Status, SS_BUFFER_TO_BIG);
  srb.SRB_HaStat = HASTAT_OK;
  srb.SRB_TargStat = scsi::kStatusGood;
  srb.SRB_Status = SS_PENDING;
  device->worker->submit(&srb);
  return SS_PENDING;
}

uint32_t AspiHost::abort(SRB_Abort& srb) {
  std::lock_guard lock(mutex_);
  const auto* target = static_cast<const SRB_ExecSCSICmd*>(srb.SRB_ToAbort);
  for (Device& device : devices_) {
    if (target != nullptr && device.worker->abort(target)) return answer(srb.SRB_Status, SS_COMP);
  }
  return answer(srb.SRB_Status, SS_ABORT_FAIL);
}

}  // namespace platform::aspi
