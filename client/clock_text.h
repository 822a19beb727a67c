// A length of time as people read it on a clock: "1:05", "1:02:05".
// Both programs' progress lines use it.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace client {

inline std::string ClockText(double seconds) {
  const long s = std::lround(std::max(seconds, 0.0));
  char text[32];
  if (s >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  }
  return text;
}

}  // namespace client
