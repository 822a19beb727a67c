// The CD audio device the engine asks for the length of a disc's last audio
// track, as the system's MCI CD audio service answers it. The table of
// contents gives a track's length as the distance to the next start, which
// for the last audio track before a data session includes the gap between
// sessions; this device knows the track's own length.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "engine/device/device_types.h"

namespace engine {

class CdAudioDevice {
 public:
  virtual ~CdAudioDevice() = default;
  // Opens the device for a drive of the drive list; false when it cannot.
  virtual bool open(const device::DriveEntry& drive) = 0;
  // The length of track `trackNumber` (as the disc numbers it, data tracks
  // included) as minutes, seconds, frames. All zero when the device cannot
  // tell; callers check the value, not a result.
  virtual std::array<uint8_t, 3> trackLengthMsf(int trackNumber) = 0;
  virtual void close() = 0;
};

// The device over the drive itself: READ TRACK INFORMATION's track size,
// sent through the engine's SCSI transport to the drive's address.
std::unique_ptr<CdAudioDevice> MakeDriveCdAudioDevice();

}  // namespace engine
