#include "frontend/rip_progress.h"

#include "client/clock_text.h"
#include "client/rereading_text.h"

#include <cmath>
#include <cstdio>

namespace quavern {

namespace {
constexpr const char* kDot = " \u00b7 ";
}

std::string timeLeftText(double seconds) { return client::ClockText(seconds); }

std::string ripProgressText(int ordinal, int total, int percent, double speed, double trackLeftSeconds,
                            double batchLeftSeconds, long retriedFrames) {
  std::string text = "Track " + std::to_string(ordinal) + " of " + std::to_string(total) + kDot +
                     std::to_string(percent) + "%";
  if (speed > 0) {
    char x[32];
    std::snprintf(x, sizeof x, "%.1fx", speed);
    text += kDot + std::string(x);
  }
  if (retriedFrames > 0) text += kDot + client::RereadingText(retriedFrames);
  if (speed > 0) {
    text += kDot + timeLeftText(trackLeftSeconds) + " left";
    if (total > ordinal) text += kDot + std::string("batch ") + timeLeftText(batchLeftSeconds) + " left";
  }
  return text;
}

void RipProgressClock::startTrack(int ordinal, int total, long trackMs, long laterMs, Clock::time_point now) {
  ordinal_ = ordinal;
  total_ = total;
  trackMs_ = trackMs;
  laterMs_ = laterMs;
  start_ = now;
}

double RipProgressClock::speed(int percent, Clock::time_point now) const {
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  // Too early to tell: the first moments and first percent measure the
  // drive's spin-up more than its speed.
  if (elapsed < 0.25 || percent < 2 || trackMs_ <= 0) return 0;
  return trackMs_ / 1000.0 * percent / 100.0 / elapsed;
}

std::string RipProgressClock::at(int percent, long retriedFrames, Clock::time_point now) const {
  const double x = speed(percent, now);
  const double trackLeft = trackMs_ / 1000.0 * (100 - percent) / 100.0;
  return ripProgressText(ordinal_, total_, percent, x, x > 0 ? trackLeft / x : 0,
                         x > 0 ? (trackLeft + laterMs_ / 1000.0) / x : 0, retriedFrames);
}

}  // namespace quavern
