#include "platform/vdrive/msf.h"

#include <charconv>
#include <cstdio>

namespace platform::vdrive {

std::optional<Msf> lbaToMsf(Lba lba) {
  if (lba < kFirstMsfLba || lba > kLastMsfLba) return std::nullopt;
  // Lead-in addresses wrap into 90:00:00..99:59:74.
  int32_t frames = lba >= -kMsfOffsetFrames ? lba + kMsfOffsetFrames : lba + 100 * kFramesPerMinute + kMsfOffsetFrames;
  Msf msf;
  msf.minutes = static_cast<uint8_t>(frames / kFramesPerMinute);
  msf.seconds = static_cast<uint8_t>(frames / kFramesPerSecond % kSecondsPerMinute);
  msf.frames = static_cast<uint8_t>(frames % kFramesPerSecond);
  return msf;
}

std::optional<Lba> msfToLba(Msf msf) {
  if (msf.seconds >= kSecondsPerMinute || msf.frames >= kFramesPerSecond || msf.minutes > 99) return std::nullopt;
  int32_t frames = msf.minutes * kFramesPerMinute + msf.seconds * kFramesPerSecond + msf.frames;
  if (msf.minutes >= 90) return frames - 100 * kFramesPerMinute - kMsfOffsetFrames;
  return frames - kMsfOffsetFrames;
}

std::optional<int32_t> parseFrameTime(std::string_view text) {
  int64_t parts[3] = {0, 0, 0};
  size_t pos = 0;
  for (int i = 0; i < 3; ++i) {
    size_t end = i < 2 ? text.find(':', pos) : text.size();
    if (end == std::string_view::npos) return std::nullopt;
    std::string_view digits = text.substr(pos, end - pos);
    if (digits.empty() || digits.size() > 9 || digits[0] < '0' || digits[0] > '9') return std::nullopt;
    auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), parts[i]);
    if (ec != std::errc() || ptr != digits.data() + digits.size()) return std::nullopt;
    pos = end + 1;
  }
  if (parts[1] >= kSecondsPerMinute || parts[2] >= kFramesPerSecond) return std::nullopt;
  int64_t frames = parts[0] * kFramesPerMinute + parts[1] * kFramesPerSecond + parts[2];
  if (frames > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(frames);
}

std::string formatFrameTime(int32_t frames) {
  if (frames < 0) return "-" + formatFrameTime(-frames);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", frames / kFramesPerMinute,
                frames / kFramesPerSecond % kSecondsPerMinute, frames % kFramesPerSecond);
  return text;
}

}  // namespace platform::vdrive
