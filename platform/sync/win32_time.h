// Win32-named time and arithmetic helpers for code that reads like the
// Windows calls it stands in for.
#pragma once

#include "platform/wintypes/wintypes.h"

// Suspends the calling thread for about ms milliseconds; 0 yields.
void Sleep(DWORD ms);

// Milliseconds since an arbitrary start on a monotonic clock, truncated to
// 32 bits: it wraps to 0 after 49.7 days, so compare ticks by subtraction
// (now - then), never with '<'.
DWORD GetTickCount();

// a * b / c with a 64-bit intermediate, rounded to the nearest integer with
// halves away from zero; -1 when c is 0 or the result does not fit in 32 bits.
INT MulDiv(INT a, INT b, INT c);
