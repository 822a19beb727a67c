#include "engine/rip/pcm_buffer.h"

#include <cstdlib>
#include <cstring>

namespace engine {

void PcmBuffer::Free::operator()(uint8_t* p) const { std::free(p); }

bool PcmBuffer::allocate(size_t bytes) {
  data_.reset(static_cast<uint8_t*>(std::calloc(bytes == 0 ? 1 : bytes, 1)));
  capacity_ = data_ ? bytes : 0;
  write_.store(0);
  read_.store(0);
  return data_ != nullptr;
}

void PcmBuffer::release() {
  data_.reset();
  capacity_ = 0;
  write_.store(0);
  read_.store(0);
}

bool PcmBuffer::append(const void* pcm, size_t bytes) {
  const size_t at = write_.load(std::memory_order_relaxed);
  if (!data_ || bytes > capacity_ - at) return false;
  if (pcm != nullptr) {
    std::memcpy(data_.get() + at, pcm, bytes);
  } else {
    std::memset(data_.get() + at, 0, bytes);
  }
  write_.store(at + bytes, std::memory_order_release);
  return true;
}

size_t PcmBuffer::pendingBytes() const {
  const size_t w = write_.load(std::memory_order_acquire);
  const size_t r = read_.load(std::memory_order_relaxed);
  return (w - r) & ~size_t{3};
}

}  // namespace engine
