// Disc addresses: logical block addresses (frames from the start of the
// program area) and MSF absolute time (minutes, seconds, frames; LBA 0 is
// 00:02:00). Also the "mm:ss:ff" lengths of cue sheets and descriptions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::vdrive {

using Lba = int32_t;

inline constexpr int32_t kFramesPerSecond = 75;
inline constexpr int32_t kSecondsPerMinute = 60;
inline constexpr int32_t kFramesPerMinute = kFramesPerSecond * kSecondsPerMinute;
inline constexpr int32_t kMsfOffsetFrames = 150;  // LBA 0 is MSF 00:02:00
inline constexpr uint32_t kSectorBytes = 2352;
inline constexpr uint32_t kSamplesPerFrame = 588;  // stereo sample frames per sector
inline constexpr uint32_t kBytesPerSample = 4;     // one 16-bit stereo sample frame

// The highest program-area address MSF can express (89:59:74): MMC gives the
// times from 90:00:00 up to the lead-in.
inline constexpr Lba kLastMsfLba = 89 * kFramesPerMinute + 59 * kFramesPerSecond + 74 - kMsfOffsetFrames;
// MMC maps LBAs below -150 (the lead-in) to MSF times from 90:00:00 upwards.
inline constexpr Lba kFirstMsfLba = -(10 * kFramesPerMinute) - kMsfOffsetFrames;  // 90:00:00

struct Msf {
  uint8_t minutes = 0;
  uint8_t seconds = 0;
  uint8_t frames = 0;
  friend bool operator==(const Msf&, const Msf&) = default;
};

// Empty when the address has no MSF form (outside kFirstMsfLba..kLastMsfLba).
std::optional<Msf> lbaToMsf(Lba lba);
// Empty for seconds above 59 or frames above 74.
std::optional<Lba> msfToLba(Msf msf);

// "mm:ss:ff" as a frame count (no 150-frame offset). Minutes may have more
// than two digits; empty on any syntax error or overflow past 2^31 frames.
std::optional<int32_t> parseFrameTime(std::string_view text);
std::string formatFrameTime(int32_t frames);

}  // namespace platform::vdrive
