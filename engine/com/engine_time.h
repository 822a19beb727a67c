// Sleep, millisecond ticks and MulDiv for the engine's sources. The platform
// declares them beside its own INFINITE, which the COM headers define too, so
// sources that include the COM headers reach them through here.
#pragma once

#include <cstdint>

namespace engine {

void SleepMs(uint32_t ms);
uint32_t TickCountMs();  // wraps: compare by subtraction
int32_t MulDivRounded(int32_t a, int32_t b, int32_t c);  // -1 when c is 0 or it does not fit

}  // namespace engine
