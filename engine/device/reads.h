// Reading raw audio frames into a TrackBuffer. Each handle's read type picks
// one of four routines, each with its own command and one-time drive setup;
// CDRT_ANY finds a working routine by trial on the first read and then keeps
// it. Every routine answers 1 (dataOffset 0, validBytes = frameCount x 2352,
// status 1) or 4 with the reason in lastDeviceError.
#pragma once

#include <cstdint>

#include "engine/device/handles.h"
#include "engine/device/track_buffer.h"

namespace engine::device {

// Runs the handle's read routine; 4 with DEVERR_BAD_HANDLE for a handle that is not open.
int32_t ReadCDAudioLBA(int32_t handle, TrackBuffer& buffer);

// The routine of a read type; the auto-detecting one outside 1..8.
ReadRoutine ReadRoutineFor(uint8_t readType);

int32_t ReadCDAudioLBA_ATAPI(int32_t handle, TrackBuffer& buffer);   // READ CD
int32_t ReadCDAudioLBA_READ10(int32_t handle, TrackBuffer& buffer);  // READ(10), 2352-byte blocks
int32_t ReadCDAudioLBA_D8(int32_t handle, TrackBuffer& buffer);
int32_t ReadCDAudioLBA_D4(int32_t handle, TrackBuffer& buffer);
int32_t ReadCDAudioLBA_ANY(int32_t handle, TrackBuffer& buffer);

// One read through the handle's current routine into a buffer pre-filled
// with AAh: 4 when it fails, or when it claims success but left 32 bytes of
// the pattern in place (the drive delivered nothing there).
int32_t TestRead(int32_t handle, TrackBuffer& buffer);

// Puts the drive back to 2048-byte blocks; the READ(10) routines' release routine.
void RestoreBlockSize(int32_t handle);

}  // namespace engine::device
