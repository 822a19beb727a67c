#include "platform/sync/win32_time.h"

#include <chrono>
#include <cstdint>
#include <limits>
#include <thread>

void Sleep(DWORD ms) {
  if (ms == 0) {
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

DWORD GetTickCount() {
  const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count());
}

INT MulDiv(INT a, INT b, INT c) {
  if (c == 0) return -1;
  int64_t product = int64_t{a} * b;  // |product| <= 2^62: no overflow
  int64_t divisor = c;
  if (divisor < 0) {
    product = -product;
    divisor = -divisor;
  }
  // Adding half the divisor before truncating toward zero rounds halves away
  // from zero; for an odd divisor no exact half exists.
  const int64_t half = divisor / 2;
  const int64_t result = product >= 0 ? (product + half) / divisor : (product - half) / divisor;
  if (result > std::numeric_limits<INT>::max() || result < std::numeric_limits<INT>::min()) return -1;
  return static_cast<INT>(result);
}
