// One opened drive, the object behind a device handle: it carries commands to
// the drive and knows the drive's SCSI address. Virtual drives answer through
// their emulator, real drives through SG_IO.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/scsi/scsi_target.h"
#include "platform/wintypes/wintypes.h"

namespace platform::deviceio {

// The largest data transfer one command may ask for: 255 audio frames with
// their C2 and subchannel bytes fit; anything larger is refused before it
// reaches a drive, as a Windows port driver refuses more than its adapter's
// maximum transfer length.
inline constexpr size_t kMaxTransferBytes = 1024 * 1024;

// What a command carried to the drive came back with.
struct Outcome {
  uint8_t status = scsi::kStatusGood;  // SCSI status byte
  uint8_t senseBytes = 0;              // valid bytes in sense
  std::array<uint8_t, 32> sense{};     // as the drive sent it (fixed or descriptor format)
  size_t transferredBytes = 0;         // at most the command's data size
};

class DeviceChannel {
 public:
  virtual ~DeviceChannel() = default;
  // Runs one command to completion. False, with a Win32 error in `error`, when
  // the command could not be carried to the drive or did not complete (time-out
  // or cancellation); `outcome` is then meaningless. A command the drive
  // rejects is carried: true, with its status and sense in `outcome`.
  virtual bool execute(const scsi::Command& command, Outcome& outcome, DWORD& error) = 0;
  // The drive's address: host adapter as port, channel as path, id, LUN.
  virtual bool address(scsi::Address& address, DWORD& error) = 0;
  // Makes a command blocked in execute() on another thread return false.
  virtual void cancelPending() = 0;
};

}  // namespace platform::deviceio
