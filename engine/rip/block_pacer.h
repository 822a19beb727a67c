// Paces the block loop of a rip to the chosen drive speed: every iteration
// lasts at least blockMs. Measured on the steady clock in microseconds, not
// in whole milliseconds: with 5 ms blocks (64x) a read of 0.9 ms rounded down
// to 0 ms would make every block 18 % longer than the speed allows.
#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

namespace engine {

class BlockPacer {
 public:
  explicit BlockPacer(uint32_t blockMs) : block_(std::chrono::milliseconds(blockMs)) {}

  void startIteration() { began_ = std::chrono::steady_clock::now(); }

  // Sleeps what is left of the block's time, if anything.
  void finishIteration() const { std::this_thread::sleep_until(began_ + block_); }

 private:
  std::chrono::steady_clock::duration block_;
  std::chrono::steady_clock::time_point began_ = std::chrono::steady_clock::now();
};

}  // namespace engine
