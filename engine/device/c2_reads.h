// C2 error pointers: a drive that has them says so on MODE SENSE page 2Ah,
// and READ CD with error field 01b hands, after each frame's 2352 bytes, 294
// bytes with one bit for each of them (the frame's first byte in bit 7 of
// the first), set where the drive's C2 decoder could not correct the byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/device/track_buffer.h"

namespace engine::device {

inline constexpr uint32_t kC2BytesPerFrame = 294;
// The most frames one READ CD with C2 pointers may ask for: 46 x 2646 bytes
// stay within the 120 KiB a USB bridge takes in one command.
inline constexpr uint32_t kMaxC2FramesPerRead = 46;

// Whether the drive says it gives C2 error pointers; false when it cannot be asked.
bool DriveReportsC2(int32_t handle);

// READ CD of buffer.frameCount frames from buffer.startFrame with C2 error
// pointers: the audio in the buffer as every read routine leaves it, the
// pointers in `c2` (kC2BytesPerFrame a frame). 1, or 4 with the reason in
// lastDeviceError (a drive that refuses the error field fails here).
int32_t ReadCDAudioWithC2(int32_t handle, TrackBuffer& buffer, std::vector<uint8_t>& c2);

// Whether any of `bytes` bytes from byte `from` of a C2 read is flagged.
bool C2Flagged(const std::vector<uint8_t>& c2, size_t from, size_t bytes);

}  // namespace engine::device
