#include "engine/device/drive_list.h"

#include <cstdio>
#include <cstring>

#include "engine/device/cdb.h"
#include "engine/device/command.h"
#include "engine/device/os_class.h"
#include "engine/device/spti.h"
#include "engine/device/transport.h"
#include "platform/aspi/wnaspi32.h"

namespace engine::device {
namespace {

constexpr uint32_t kInquiryBytes = 100;
constexpr uint8_t kNoDeviceType = 31;

// Inquiry bytes as text: exactly the bytes asked for, then a terminator.
template <size_t N>
void CopyText(char (&to)[N], const uint8_t* from) {
  std::memcpy(to, from, N - 1);
  to[N - 1] = 0;
}

}  // namespace

int32_t QueryAdapterCount() {
  const DWORD info = TransportEntries().getSupportInfo();
  const uint8_t status = static_cast<uint8_t>(info >> 8);
  if (status == SS_COMP || status == SS_NO_ADAPTERS) return static_cast<int32_t>(info & 0xFF);
  SetCommandFailure(status);
  return -1;
}

int32_t QueryDeviceType(uint8_t adapter, uint8_t target, uint8_t lun) {
  SRB_GDEVBlock block{};
  block.SRB_Cmd = SC_GET_DEV_TYPE;
  block.SRB_HaId = adapter;
  block.SRB_Target = target;
  block.SRB_Lun = lun;
  TransportEntries().sendCommand(&block);
  return block.SRB_Status == SS_COMP ? block.SRB_DeviceType : kNoDeviceType;
}

int32_t BuildDriveList(DriveList& list) {
  const uint8_t capacity = list.capacity;
  list = DriveList{};
  list.capacity = capacity;
  const int32_t adapters = QueryAdapterCount();
  for (int32_t adapter = 0; adapter < adapters; ++adapter) {
    SRB_HAInquiry inquiry{};
    inquiry.SRB_Cmd = SC_HA_INQUIRY;
    inquiry.SRB_HaId = static_cast<uint8_t>(adapter);
    TransportEntries().sendCommand(&inquiry);
    if (inquiry.SRB_Status != SS_COMP) continue;
    const int targets = inquiry.HA_Unique[3] ? inquiry.HA_Unique[3] : 8;
    for (int target = 0; target < targets; ++target) {
      for (int lun = 0; lun < 8; ++lun) {
        if (QueryDeviceType(uint8_t(adapter), uint8_t(target), uint8_t(lun)) != kDeviceTypeCdrom) {
          continue;
        }
        if (list.count >= kMaxListedDrives) continue;  // a ninth drive is not listed
        DriveEntry& entry = list.drives[list.count++];
        entry = DriveEntry{};
        entry.adapter = uint8_t(adapter);
        entry.target = uint8_t(target);
        entry.lun = uint8_t(lun);
        DescribeDrive(entry.adapter, entry.target, entry.lun, entry);
      }
    }
  }
  return 1;
}

int32_t DescribeDrive(uint8_t adapter, uint8_t target, uint8_t lun, DriveEntry& entry) {
  uint8_t answer[kInquiryBytes] = {};
  if (ExecuteScsiCommand({adapter, target, lun}, InquiryCdb(), kFlagsIn, answer, kInquiryBytes) !=
      kResultOk) {
    return kResultFail;
  }
  CopyText(entry.vendor, answer + 8);
  CopyText(entry.product, answer + 16);
  CopyText(entry.revision, answer + 32);
  CopyText(entry.vendorSpecific, answer + 36);
  if (OsClass() >= kOsClassFirstNt) {
    std::snprintf(entry.vendorSpecific, sizeof(entry.vendorSpecific), "%c:\\",
                  'A' + SptiLetterFor(adapter, target, lun));
  }
  std::snprintf(entry.name, sizeof(entry.name), "%s, %s v%s (%d:%d:%d)", entry.vendor,
                entry.product, entry.revision, adapter, target, lun);
  return kResultOk;
}

}  // namespace engine::device
