// PcmBuffer: the encoded rip's PCM on its way from the rip thread to the
// codec, a ring of bounded size shared without a lock by one producer (the
// rip thread appends) and one consumer (the timer thread's pump takes).
// Offsets count every byte since allocate() and only grow; a byte's place in
// the ring is its offset modulo the capacity. The producer publishes its
// write offset only after the bytes are in place (release), and writes only
// below read offset + capacity (acquire); the consumer reads only below the
// write offset (acquire) and alone advances the read offset (release, once
// it is done with the bytes). When the ring is full the producer's append
// fails and the rip thread waits: the drive waits for the encoder.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace engine {

class PcmBuffer {
 public:
  // The ring an encoded rip gets at most, whatever the track's length: a
  // little under 48 seconds of CD audio.
  static constexpr size_t kMaxRingBytes = size_t{8} << 20;

  // Zero-filled room for `bytes`, at most kMaxRingBytes and rounded down to
  // whole 4-byte sample frames (at least one); false when the memory cannot
  // be had.
  bool allocate(size_t bytes);
  void release();
  bool allocated() const { return data_ != nullptr; }
  size_t capacityBytes() const { return capacity_; }

  // Producer: appends `bytes` (zeros when `pcm` is null); false when the
  // ring has not room for all of them (nothing is written then).
  bool append(const void* pcm, size_t bytes);
  // Producer: appends as many of `bytes` as the ring has room for; answers
  // how many (0 when it is full).
  size_t appendSome(const void* pcm, size_t bytes);

  // Consumer: whole 4-byte sample frames written and not yet taken that lie
  // in one piece from readPointer() on (the rest, past the ring's end,
  // follows once these are taken).
  size_t pendingBytes() const;
  const uint8_t* readPointer() const { return data_.get() + read_.load(std::memory_order_relaxed) % capacity_; }
  void advanceRead(size_t bytes) { read_.fetch_add(bytes, std::memory_order_release); }

  size_t readOffset() const { return read_.load(std::memory_order_acquire); }
  size_t writeOffset() const { return write_.load(std::memory_order_acquire); }

 private:
  struct Free {
    void operator()(uint8_t* p) const;
  };
  void put(size_t at, const void* pcm, size_t bytes);
  std::unique_ptr<uint8_t[], Free> data_;
  size_t capacity_ = 0;           // a multiple of 4: a sample frame never spans the ring's end
  std::atomic<size_t> write_{0};  // producer only
  std::atomic<size_t> read_{0};   // consumer only
};

}  // namespace engine
