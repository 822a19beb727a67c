// Sending one SCSI command through the transport and waiting for it: the
// pattern of every drive command, TOC read and audio read.
#pragma once

#include <cstdint>

#include "engine/device/cdb.h"

namespace engine::device {

inline constexpr uint8_t kFlagsIn = 0x48;      // SRB_DIR_IN | SRB_EVENT_NOTIFY
inline constexpr uint8_t kFlagsOut = 0x50;     // SRB_DIR_OUT | SRB_EVENT_NOTIFY
inline constexpr uint8_t kFlagsNoData = 0x40;  // SRB_EVENT_NOTIFY
inline constexpr uint32_t kCommandWaitMs = 4000;

struct ScsiAddress {
  uint8_t adapter = 0;
  uint8_t target = 0;
  uint8_t lun = 0;
};

// Sends the command and answers its SRB_Status (SS_COMP 1 on success; 0 when
// it was still pending after 4000 ms). Records nothing. `data` (bufferBytes
// long) is read or filled as the flags say; it is never touched after the
// call returns, even when the request outlives the wait.
uint8_t SendScsiCommand(const ScsiAddress& address, const Cdb& cdb, uint8_t flags, uint8_t* data,
                        uint32_t bufferBytes);

// The same with the layer's result convention: 1 on SS_COMP; otherwise 4,
// with DEVERR_COMMAND_FAILED and the status kept.
int32_t ExecuteScsiCommand(const ScsiAddress& address, const Cdb& cdb, uint8_t flags, uint8_t* data,
                           uint32_t bufferBytes);

// On a drive handle: 4 with DEVERR_BAD_HANDLE, nothing sent, when the handle
// is not open.
int32_t ExecuteOnHandle(int32_t handle, const Cdb& cdb, uint8_t flags, uint8_t* data,
                        uint32_t bufferBytes);

// Frees the requests that outlived their wait and have since completed.
// True when none is left pending in the library.
bool ReapParkedCommands();

}  // namespace engine::device
