// The small drive commands that are not reads. Each answers 1 on SS_COMP and
// 4 otherwise (DEVERR_COMMAND_FAILED with the status kept; DEVERR_BAD_HANDLE,
// nothing sent, for a handle that is not open).
#pragma once

#include <cstdint>

namespace engine::device {

// Both read and write speed in kB/s (176 per multiple of the single speed, plus 5).
int32_t SendSetSpeed(int32_t handle, uint32_t speedKBps);
int32_t SendPreventAllow(int32_t handle, int32_t lock);
int32_t SendStartStop(int32_t handle, int32_t loadEject, int32_t start);
int32_t SendPause(int32_t handle);
// Readiness in two tries (a 12-byte, then a 10-byte block): 1 when either is
// ready; otherwise the second try's SRB_Status as it came. Records no error
// except DEVERR_BAD_HANDLE (answer 4).
int32_t SendTestUnitReady(int32_t handle);

// The read speed the drive reports as its current one (MODE SENSE page 2Ah),
// in kB/s; 0 when it does not say. kUnlimitedSpeedKBps means a drive that
// answers as fast as it is asked (a disc image).
inline constexpr uint32_t kUnlimitedSpeedKBps = 0xFFFF;
uint32_t ReadCurrentSpeedKBps(int32_t handle);

}  // namespace engine::device
