#include "engine/device/spti.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "platform/aspi/wnaspi32.h"
#include "platform/deviceio/win_device.h"

namespace engine::device {
namespace {

constexpr int kFirstLetter = 2;  // C; A and B are never probed
constexpr int kLetters = 26;
constexpr uint8_t kInquiryStoredBytes = 36;
constexpr uint8_t kScsiStatusGood = 0x00;

// The pass-through structure with room for sense data behind it, as one
// buffer for DeviceIoControl's input and output.
struct PassThrough {
  SCSI_PASS_THROUGH_DIRECT sptd;
  uint32_t filler;
  uint8_t sense[32];
};

int32_t sptiInitialised = 0;
int32_t sptiHasDrives = 0;
SptiDriveTable table;

HANDLE OpenDrive(int letterIndex) {
  char path[8];
  std::snprintf(path, sizeof(path), "\\\\.\\%c:", 'A' + letterIndex);
  // The NT family from version 5 on: read and write; then the other way round.
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  HANDLE device = CreateFileA(path, access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (device == INVALID_HANDLE_VALUE) {
    access = GENERIC_READ;
    device = CreateFileA(path, access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  return device == INVALID_HANDLE_VALUE ? nullptr : device;
}

void CloseDrive(SptiDriveEntry& entry) {
  if (entry.device) CloseHandle(entry.device);
  entry.device = nullptr;
}

BOOL PassThroughCall(HANDLE device, PassThrough& pt) {
  DWORD returned = 0;
  return DeviceIoControl(device, IOCTL_SCSI_PASS_THROUGH_DIRECT, &pt, sizeof(pt), &pt, sizeof(pt),
                         &returned, nullptr);
}

void Probe(int letterIndex) {
  SptiDriveEntry& entry = table.entries[letterIndex];
  entry = SptiDriveEntry{};
  HANDLE device = OpenDrive(letterIndex);
  if (!device) return;
  uint8_t answer[100] = {};
  PassThrough pt{};
  pt.sptd.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
  pt.sptd.CdbLength = 6;
  pt.sptd.SenseInfoLength = 24;
  pt.sptd.DataIn = SCSI_IOCTL_DATA_IN;
  pt.sptd.DataTransferLength = sizeof(answer);
  pt.sptd.TimeOutValue = 2;
  pt.sptd.DataBuffer = answer;
  pt.sptd.SenseInfoOffset = offsetof(PassThrough, sense);
  const uint8_t inquiry[6] = {0x12, 0, 0, 0, 0x64, 0};
  std::memcpy(pt.sptd.Cdb, inquiry, sizeof(inquiry));
  SCSI_ADDRESS address{};
  address.Length = sizeof(address);
  DWORD returned = 0;
  if (PassThroughCall(device, pt) && pt.sptd.ScsiStatus == kScsiStatusGood &&
      DeviceIoControl(device, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address, sizeof(address),
                      &returned, nullptr)) {
    std::memcpy(entry.inquiry, answer, kInquiryStoredBytes);
    entry.port = address.PortNumber;
    entry.target = address.TargetId;
    entry.lun = address.Lun;
    entry.letterIndex = static_cast<uint8_t>(letterIndex);
    entry.present = 1;
  }
  CloseHandle(device);
}

SptiDriveEntry* FindEntry(uint8_t adapter, uint8_t target, uint8_t lun) {
  for (int i = kFirstLetter; i < kLetters; ++i) {
    SptiDriveEntry& e = table.entries[i];
    if (e.present && e.port == adapter && e.target == target && e.lun == lun) return &e;
  }
  return nullptr;
}

DWORD Fail(SRB_ExecSCSICmd& srb, uint8_t targetStatus) {
  srb.SRB_Status = SS_ERR;
  srb.SRB_TargStat = targetStatus;
  return SS_ERR;
}

DWORD Execute(SRB_ExecSCSICmd& srb, bool retry) {
  SptiDriveEntry* entry = FindEntry(srb.SRB_HaId, srb.SRB_Target, srb.SRB_Lun);
  if (!entry) {
    srb.SRB_Status = SS_ERR;
    return SS_ERR;
  }
  if (srb.CDBByte[0] == 0x12) {
    // INQUIRY is answered from the probe, never asked again; the copy stops
    // at the caller's buffer.
    const uint32_t bytes =
        srb.SRB_BufLen < kInquiryStoredBytes ? srb.SRB_BufLen : kInquiryStoredBytes;
    if (srb.SRB_BufPointer && bytes) std::memcpy(srb.SRB_BufPointer, entry->inquiry, bytes);
    srb.SRB_Status = SS_COMP;
    return SS_COMP;
  }
  if (!entry->device) entry->device = OpenDrive(entry->letterIndex);

  PassThrough pt{};
  pt.sptd.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
  pt.sptd.CdbLength = srb.SRB_CDBLen > 16 ? 16 : srb.SRB_CDBLen;
  pt.sptd.SenseInfoLength = sizeof(pt.sense);
  pt.sptd.DataIn = (srb.SRB_Flags & SRB_DIR_IN)    ? SCSI_IOCTL_DATA_IN
                   : (srb.SRB_Flags & SRB_DIR_OUT) ? SCSI_IOCTL_DATA_OUT
                                                   : SCSI_IOCTL_DATA_UNSPECIFIED;
  pt.sptd.DataTransferLength = srb.SRB_BufLen;
  pt.sptd.TimeOutValue = 5;
  pt.sptd.DataBuffer = srb.SRB_BufPointer;
  pt.sptd.SenseInfoOffset = offsetof(PassThrough, sense);
  std::memcpy(pt.sptd.Cdb, srb.CDBByte, pt.sptd.CdbLength);

  if (entry->device && PassThroughCall(entry->device, pt)) {
    if (pt.sptd.ScsiStatus == kScsiStatusGood) {
      srb.SRB_Status = SS_COMP;
      return SS_COMP;
    }
    // The drive rejected the command (CHECK CONDITION or another status).
    const size_t senseBytes = pt.sptd.SenseInfoLength < sizeof(srb.SenseArea)
                                  ? pt.sptd.SenseInfoLength
                                  : sizeof(srb.SenseArea);
    std::memcpy(srb.SenseArea, pt.sense, senseBytes);
    return Fail(srb, pt.sptd.ScsiStatus);
  }
  const DWORD error = entry->device ? GetLastError() : ERROR_INVALID_HANDLE;
  Fail(srb, 4);
  if (retry) return SS_ERR;
  if (error == ERROR_MEDIA_CHANGED || error == ERROR_INVALID_HANDLE) {
    // The drive was replaced or its handle went away: probe the letter
    // afresh and try once more.
    const int letter = entry->letterIndex;
    CloseDrive(*entry);
    Probe(letter);
    return Execute(srb, true);
  }
  return SS_ERR;
}

}  // namespace

int32_t SptiInitialise() {
  if (sptiInitialised) return 0;
  table = SptiDriveTable{};
  int32_t found = 0;
  for (int i = kFirstLetter; i < kLetters; ++i) {
    const char root[4] = {char('A' + i), ':', '\\', 0};
    if (GetDriveTypeA(root) != DRIVE_CDROM) continue;
    Probe(i);
    if (table.entries[i].present) ++found;
  }
  bool ports[256] = {};
  ports[0] = true;  // port 0 always counts, with or without drives
  int adapters = 1;
  for (const SptiDriveEntry& e : table.entries) {
    if (e.present && !ports[e.port]) {
      ports[e.port] = true;
      ++adapters;
    }
  }
  table.adapterCount = static_cast<uint8_t>(adapters > 255 ? 255 : adapters);
  sptiInitialised = 1;
  if (found > 0) sptiHasDrives = 1;
  return found;
}

void SptiShutdown() {
  for (SptiDriveEntry& e : table.entries) CloseDrive(e);
  table = SptiDriveTable{};
  sptiInitialised = 0;
}

bool SptiHasDrives() {
  return sptiHasDrives != 0;
}

DWORD SptiGetSupportInfo() {
  if (table.adapterCount == 0) return DWORD{SS_NO_ADAPTERS} << 8;
  return (DWORD{SS_COMP} << 8) | table.adapterCount;
}

DWORD SptiSendCommand(void* request) {
  if (!request) return SS_ERR;
  const uint8_t command = static_cast<uint8_t*>(request)[0];
  if (command == SC_HA_INQUIRY) {
    auto& srb = *static_cast<SRB_HAInquiry*>(request);
    srb.HA_Count = table.adapterCount;
    if (srb.SRB_HaId >= table.adapterCount) {
      srb.SRB_Status = SS_INVALID_HA;
      return SS_INVALID_HA;
    }
    srb.HA_SCSI_ID = 7;
    std::memcpy(srb.HA_ManagerId, "VXASPI v0.000001", 16);
    std::memcpy(srb.HA_Identifier, "SCSI Adapter    ", 16);
    srb.HA_Identifier[13] = static_cast<uint8_t>('0' + srb.SRB_HaId);
    std::memset(srb.HA_Unique, 0, sizeof(srb.HA_Unique));
    // Targets per adapter: 8, or more when a drive sits at a higher target
    // (a virtual drive may be given any address), so a scan finds it.
    unsigned targets = 8;
    for (const SptiDriveEntry& e : table.entries) {
      if (e.present && e.port == srb.SRB_HaId) targets = std::max(targets, e.target + 1u);
    }
    srb.HA_Unique[3] = static_cast<uint8_t>(std::min(targets, 255u));
    const uint32_t maxTransferBytes = 65536;
    for (int i = 0; i < 4; ++i) srb.HA_Unique[4 + i] = uint8_t(maxTransferBytes >> (8 * i));
    srb.SRB_Status = SS_COMP;
    return SS_COMP;
  }
  if (command == SC_GET_DEV_TYPE) {
    auto& srb = *static_cast<SRB_GDEVBlock*>(request);
    const bool found = FindEntry(srb.SRB_HaId, srb.SRB_Target, srb.SRB_Lun) != nullptr;
    srb.SRB_Status = found ? SS_COMP : SS_NO_DEVICE;
    srb.SRB_DeviceType = found ? 5 : 31;
    return srb.SRB_Status;
  }
  if (command == SC_EXEC_SCSI_CMD) return Execute(*static_cast<SRB_ExecSCSICmd*>(request), false);
  static_cast<SRB_ExecSCSICmd*>(request)->SRB_Status = SS_ERR;
  return SS_ERR;
}

uint8_t SptiLetterFor(uint8_t adapter, uint8_t target, uint8_t lun) {
  const SptiDriveEntry* e = FindEntry(adapter, target, lun);
  return e ? e->letterIndex : 0;
}

void SptiOpenDevice(uint8_t adapter, uint8_t target, uint8_t lun) {
  SptiDriveEntry* e = FindEntry(adapter, target, lun);
  if (e && !e->device) e->device = OpenDrive(e->letterIndex);
}

}  // namespace engine::device
