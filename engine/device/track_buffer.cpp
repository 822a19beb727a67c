#include "engine/device/track_buffer.h"

#include <algorithm>
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

const uint8_t* ValidData(const TrackBuffer& buffer) {
  if (buffer.dataOffset < 0) return nullptr;
  const uint64_t end = uint64_t(uint32_t(buffer.dataOffset)) + buffer.validBytes;
  if (end > buffer.capacity) return nullptr;
  return buffer.data() + buffer.dataOffset;
}

bool AllZero(const uint8_t* bytes, size_t count) {
  return std::all_of(bytes, bytes + count, [](uint8_t b) { return b == 0; });
}

}  // namespace engine::device
