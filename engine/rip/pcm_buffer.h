// PcmBuffer: the encoded rip's whole-track PCM store, shared without a lock
// by one producer (the rip thread appends) and one consumer (the timer
// thread's pump takes). The producer publishes its write offset only after
// the bytes are in place (release); the consumer reads only below it
// (acquire) and alone advances the read offset.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace engine {

class PcmBuffer {
 public:
  // Zero-filled room for `bytes`; false when the memory cannot be had.
  bool allocate(size_t bytes);
  void release();
  bool allocated() const { return data_ != nullptr; }
  size_t capacityBytes() const { return capacity_; }

  // Producer: appends `bytes` (zeros when `pcm` is null); false when the
  // buffer is full (nothing is written then).
  bool append(const void* pcm, size_t bytes);

  // Consumer: whole 4-byte sample frames written and not yet taken.
  size_t pendingBytes() const;
  const uint8_t* readPointer() const { return data_.get() + read_.load(std::memory_order_relaxed); }
  void advanceRead(size_t bytes) { read_.fetch_add(bytes, std::memory_order_release); }

  size_t readOffset() const { return read_.load(std::memory_order_acquire); }
  size_t writeOffset() const { return write_.load(std::memory_order_acquire); }

 private:
  struct Free {
    void operator()(uint8_t* p) const;
  };
  std::unique_ptr<uint8_t[], Free> data_;
  size_t capacity_ = 0;
  std::atomic<size_t> write_{0};  // producer only
  std::atomic<size_t> read_{0};   // consumer only
};

}  // namespace engine
