#include "engine/device/track_buffer.h"

#include <cstdlib>
#include <new>

#include "engine/device/device_types.h"

namespace engine::device {

void TrackBufferFree::operator()(TrackBuffer* buffer) const {
  if (buffer) {
    buffer->~TrackBuffer();
    std::free(buffer);
  }
}

TrackBufferPtr AllocateTrackBuffer(uint32_t frames) {
  const uint64_t bytes = uint64_t{frames} * kFrameBytes;
  if (bytes > UINT32_MAX - sizeof(TrackBuffer)) return nullptr;
  void* memory = std::calloc(1, sizeof(TrackBuffer) + bytes);
  if (!memory) return nullptr;
  auto* buffer = new (memory) TrackBuffer{};
  buffer->capacity = static_cast<uint32_t>(bytes);
  return TrackBufferPtr(buffer);
}

}  // namespace engine::device
