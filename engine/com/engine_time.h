// Sleep, millisecond ticks and MulDiv under the names the engine's sources
// use. They forward to platform/sync/win32_time.h, which sources that include
// the COM headers may now include directly (INFINITE has one definition, in
// platform/wintypes/wintypes.h); new code should, and these go once the last
// caller has moved.
#pragma once

#include <cstdint>

namespace engine {

void SleepMs(uint32_t ms);
uint32_t TickCountMs();  // wraps: compare by subtraction
int32_t MulDivRounded(int32_t a, int32_t b, int32_t c);  // -1 when c is 0 or it does not fit

}  // namespace engine
