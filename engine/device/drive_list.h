// Finding the CD drives behind the transport: host adapters, the devices on
// them, and their INQUIRY names.
#pragma once

#include <cstdint>

#include "engine/device/device_types.h"

namespace engine::device {

// The adapter count, or -1 (DEVERR_COMMAND_FAILED and the status kept).
int32_t QueryAdapterCount();
// The device type (5 for a CD drive), or 31 when no device answers there.
int32_t QueryDeviceType(uint8_t adapter, uint8_t target, uint8_t lun);
// Lists up to 8 CD drives, in adapter, target, LUN order. Always 1; an empty
// list when there is no adapter.
int32_t BuildDriveList(DriveList& list);
// Names a drive from its INQUIRY answer: 1, or 4 with the entry unchanged.
int32_t DescribeDrive(uint8_t adapter, uint8_t target, uint8_t lun, DriveEntry& entry);

}  // namespace engine::device
