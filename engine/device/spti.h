// The built-in emulation of the ASPI entry points over the pass-through
// interface (CreateFileA on "\\.\E:", DeviceIoControl). It finds the CD
// drives by letter, asks each for its SCSI address, presents the SCSI ports
// as host adapters (port 0 always counts, so drives on ports 1 and 2 give
// three adapters) and carries request blocks out with pass-through calls.
// Every request completes before the entry point returns.
//
// Unlike a plain pass-through, a command the drive rejects (any SCSI status
// but GOOD) fails with SS_ERR: it did not deliver what was asked.
//
// State: SptiDriveTable, indexed by drive letter, and two flags; process-wide
// and unlocked like the rest of the transport.
#pragma once

#include <cstdint>

#include "platform/wintypes/wintypes.h"

namespace engine::device {

struct SptiDriveEntry {
  uint8_t port = 0;  // presented as the adapter number
  uint8_t target = 0;
  uint8_t lun = 0;
  uint8_t letterIndex = 0;  // 0 = A
  int32_t present = 0;
  void* device = nullptr;    // "\\.\E:" opened on first use and kept; null when closed
  uint8_t inquiry[36] = {};  // the drive's INQUIRY answer at probe time
};

struct SptiDriveTable {
  uint8_t adapterCount = 0;
  SptiDriveEntry entries[26];  // by letter; only C..Z are ever filled
};

// Probes C..Z and answers the number of drives found; 0 when already done.
int32_t SptiInitialise();
// Closes every device, clears the table; the has-drives flag stays set.
void SptiShutdown();
bool SptiHasDrives();

DWORD SptiGetSupportInfo();
DWORD SptiSendCommand(void* srb);

// The letter index (0 = A) of the first present drive with this address
// from C on, or 0 when there is none.
uint8_t SptiLetterFor(uint8_t adapter, uint8_t target, uint8_t lun);
// Opens the device of the drive with this address if it has none yet.
void SptiOpenDevice(uint8_t adapter, uint8_t target, uint8_t lun);

}  // namespace engine::device
