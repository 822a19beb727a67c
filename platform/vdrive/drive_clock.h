// Time as the virtual drive sees it. The timing model and slow commands sleep
// through it, scheduled removals read it. Tests pass a ManualClock, on which
// sleeping only advances a counter, so they never wait on real time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace platform::vdrive {

class DriveClock {
 public:
  virtual ~DriveClock() = default;
  virtual uint64_t nowMs() = 0;
  virtual void sleepMs(double ms) = 0;
  // Real milliseconds to block while waiting for a command that never
  // completes to reach its time-out of timeoutMs.
  virtual double realWaitMs(double timeoutMs) = 0;
};

// Real time, with sleeps multiplied by scale (0: never sleep).
class SystemClock final : public DriveClock {
 public:
  explicit SystemClock(double scale = 1.0) : scale_(scale) {}
  uint64_t nowMs() override;
  void sleepMs(double ms) override;
  double realWaitMs(double timeoutMs) override { return timeoutMs * scale_; }

 private:
  const double scale_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Virtual time: sleeping advances it, nothing blocks.
class ManualClock final : public DriveClock {
 public:
  uint64_t nowMs() override { return static_cast<uint64_t>(nowUs_.load() / 1000); }
  void sleepMs(double ms) override { nowUs_ += static_cast<uint64_t>(ms * 1000); }
  double realWaitMs(double timeoutMs) override {
    sleepMs(timeoutMs);
    return 0;
  }
  void advanceMs(uint64_t ms) { nowUs_ += ms * 1000; }
  double sleptMs() const { return static_cast<double>(nowUs_.load()) / 1000; }

 private:
  std::atomic<uint64_t> nowUs_{0};
};

}  // namespace platform::vdrive
