#include "engine/rip/pcm_buffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace engine {

void PcmBuffer::Free::operator()(uint8_t* p) const { std::free(p); }

bool PcmBuffer::allocate(size_t bytes) {
  const size_t ring = std::max<size_t>(std::min(bytes, kMaxRingBytes) & ~size_t{3}, 4);
  data_.reset(static_cast<uint8_t*>(std::calloc(ring, 1)));
  capacity_ = data_ ? ring : 0;
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

// Copies `bytes` to the ring from offset `at` on, across its end when need be.
void PcmBuffer::put(size_t at, const void* pcm, size_t bytes) {
  const size_t place = at % capacity_;
  const size_t first = std::min(bytes, capacity_ - place);
  const auto* from = static_cast<const uint8_t*>(pcm);
  if (from != nullptr) {
    std::memcpy(data_.get() + place, from, first);
    std::memcpy(data_.get(), from + first, bytes - first);
  } else {
    std::memset(data_.get() + place, 0, first);
    std::memset(data_.get(), 0, bytes - first);
  }
}

bool PcmBuffer::append(const void* pcm, size_t bytes) {
  if (!data_) return false;
  // Room only grows while the writer waits: what is free now stays free.
  const size_t room = capacity_ - (write_.load(std::memory_order_relaxed) - read_.load(std::memory_order_acquire));
  return bytes <= room && appendSome(pcm, bytes) == bytes;
}

size_t PcmBuffer::appendSome(const void* pcm, size_t bytes) {
  if (!data_) return 0;
  const size_t at = write_.load(std::memory_order_relaxed);
  const size_t room = capacity_ - (at - read_.load(std::memory_order_acquire));
  const size_t n = std::min(bytes, room);
  if (n == 0) return 0;
  put(at, pcm, n);
  write_.store(at + n, std::memory_order_release);
  return n;
}

size_t PcmBuffer::pendingBytes() const {
  if (!data_) return 0;
  const size_t w = write_.load(std::memory_order_acquire);
  const size_t r = read_.load(std::memory_order_relaxed);
  return std::min(w - r, capacity_ - r % capacity_) & ~size_t{3};
}

}  // namespace engine
