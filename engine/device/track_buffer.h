// The block buffer of every audio read: a header followed, in the same
// allocation, by a data area of whole frames that the drive fills directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace engine::device {

struct TrackBuffer {
  uint32_t startFrame = 0;  // LBA to read; after an overlapped read, LBA of the first valid frame
  uint32_t frameCount = 0;  // frames to read; after an overlapped read, whole valid frames
  uint32_t capacity = 0;    // bytes of the data area
  uint32_t validBytes = 0;  // valid bytes starting at dataOffset
  uint32_t status = 0;      // 1 after a successful read
  int32_t dataOffset = 0;   // offset of the first valid byte in the data area

  // The data area follows the header (capacity bytes).
  uint8_t* data() { return reinterpret_cast<uint8_t*>(this + 1); }
  const uint8_t* data() const { return reinterpret_cast<const uint8_t*>(this + 1); }
};
static_assert(sizeof(TrackBuffer) == 24);

struct TrackBufferFree {
  void operator()(TrackBuffer* buffer) const;
};
using TrackBufferPtr = std::unique_ptr<TrackBuffer, TrackBufferFree>;

// A zeroed buffer with room for `frames` frames: capacity = frames x 2352 and
// every other header field 0. Null when the memory cannot be had.
TrackBufferPtr AllocateTrackBuffer(uint32_t frames);

// The valid region of a buffer (validBytes from dataOffset), or null when
// its header points outside the data area.
const uint8_t* ValidData(const TrackBuffer& buffer);

// Whether all `count` bytes are zero (a tail of silence matches anything).
bool AllZero(const uint8_t* bytes, size_t count);

}  // namespace engine::device
