#include "platform/vdrive/drive_clock.h"

#include <thread>

namespace platform::vdrive {

uint64_t SystemClock::nowMs() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count());
}

void SystemClock::sleepMs(double ms) {
  if (ms * scale_ > 0) std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms * scale_));
}

}  // namespace platform::vdrive
