// The 16 drive handles: handle number = record index + 1. Each remembers the
// drive's address, its read type and read routine, and the overlapped read's
// parameters. Process-wide and unlocked: the engine holds at most one handle
// and serialises its use (see transport.h).
#pragma once

#include <cstdint>

#include "engine/device/device_types.h"
#include "engine/device/track_buffer.h"

namespace engine::device {

using ReadRoutine = int32_t (*)(int32_t handle, TrackBuffer& buffer);
using ReleaseRoutine = void (*)(int32_t handle);

struct HandleRecord {
  uint8_t adapter = 0;
  uint8_t target = 0;
  uint8_t lun = 0;
  uint8_t readType = CDRT_ANY;  // 0 while auto-detecting
  int32_t open = 0;
  int32_t msfAddressing = 0;  // READ TOC asks for MSF addresses
  int32_t setupDone = 0;      // the read routine's one-time setup is done
  ReadRoutine readRoutine = nullptr;
  ReleaseRoutine releaseRoutine = nullptr;  // run by CloseDevice
  int32_t overlapFrames = 0;
  int32_t rewindFrames = 0;
  int32_t spare = 0;  // set by PARAM_SPARE, never read
};

// A handle 1..16 or 0 with lastDeviceError set: DEVERR_NULL_REQUEST,
// DEVERR_BAD_REQUEST, DEVERR_ALREADY_OPEN, DEVERR_NOT_CDROM or
// DEVERR_NO_FREE_HANDLE. A read type outside 1..8 opens in auto-detection.
int32_t OpenDevice(const OpenRequest* request);
// Runs the handle's release routine and frees it: 1, or 0 for a handle that
// is not open (no error recorded).
int32_t CloseDevice(int32_t handle);
// PARAM_SPEED sends SET CD SPEED now (1 only if it succeeded); PARAM_MSF,
// PARAM_REWIND, PARAM_OVERLAP and PARAM_SPARE store the value (1). Every
// other code, 0x21..0x23 included, does nothing and answers 0. A handle that
// is not open: DEVERR_BAD_HANDLE and 0.
int32_t SetDeviceParameter(int32_t handle, int32_t code, int32_t value);

// The open record of a handle, or null (no error recorded).
HandleRecord* FindOpenHandle(int32_t handle);

}  // namespace engine::device
