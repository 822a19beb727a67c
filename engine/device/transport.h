// The process-wide SCSI command transport. It offers the two ASPI entry
// points, GetASPI32SupportInfo and SendASPI32Command, and takes ASPI request
// blocks; behind them stands either the ASPI library libwnaspi32.so (loaded
// at run time) or the built-in emulation of it over the pass-through
// interface (spti.h). Everything above is written once against the request
// blocks and does not know which one is active.
//
// The state is process-wide and unlocked, like the handle table: the engine
// serialises drive use (its rip-in-progress flag, the timer's pause during a
// refresh) and loads and unloads from one thread. Only the sticky error
// codes are atomics, because every thread that sends a command writes them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/wintypes/wintypes.h"

namespace engine::device {

using SupportInfoEntry = DWORD (*)();
using SendCommandEntry = DWORD (*)(void* srb);
using AuxiliaryEntry = void (*)();  // kept, never called

struct ScsiTransportEntries {
  SupportInfoEntry getSupportInfo = nullptr;  // GetASPI32SupportInfo
  SendCommandEntry sendCommand = nullptr;     // SendASPI32Command
  AuxiliaryEntry getBuffer = nullptr;         // GetASPI32Buffer
  AuxiliaryEntry freeBuffer = nullptr;        // FreeASPI32Buffer
  AuxiliaryEntry translateAddress = nullptr;  // TranslateASPI32Address
  AuxiliaryEntry getDllVersion = nullptr;     // GetASPI32DLLVersion
};

// 1 when loaded (the SPTI emulation or the library with both entry points),
// 0 when refused (already loaded) or failed; lastDeviceError tells why.
// Without the library the stand-by entry points are installed, which answer
// SS_NO_ASPI to everything.
int32_t LoadTransport(bool useExternalAspi);
// 1 when it was loaded, 0 otherwise.
int32_t UnloadTransport(bool useExternalAspi);
// Always true on an NT-class system; otherwise the usable flag.
bool TransportUsable();

// The library file LoadTransport opens (default "libwnaspi32.so", found the
// way dlopen finds libraries). Hosts that ship it beside themselves and tests
// set a full path.
void SetAspiLibraryPath(std::string path);

// The active entry points (the stand-by ones when nothing is loaded).
const ScsiTransportEntries& TransportEntries();
bool TransportLoaded();
// True while the pass-through emulation stands behind the entry points: it
// always completes a request before returning.
bool TransportIsEmulation();
void SetTransportUsable(bool usable);

// The sticky reason of the last failure (success never clears it) and the
// SRB_Status of the last failed command.
int32_t LastDeviceError();
uint8_t LastCommandStatus();
void SetLastDeviceError(int32_t error);
void SetCommandFailure(uint8_t srbStatus);  // DEVERR_COMMAND_FAILED with the status
// Puts both back to 0; for hosts that report them afresh, and tests.
void ClearDeviceErrors();

}  // namespace engine::device
