#include "engine/com/engine_time.h"

#include "platform/sync/win32_time.h"

namespace engine {

void SleepMs(uint32_t ms) { Sleep(ms); }
uint32_t TickCountMs() { return GetTickCount(); }
int32_t MulDivRounded(int32_t a, int32_t b, int32_t c) { return MulDiv(a, b, c); }

}  // namespace engine
