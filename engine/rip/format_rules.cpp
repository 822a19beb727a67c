#include "engine/rip/format_rules.h"

#include <algorithm>
#include <iterator>

namespace engine {
namespace {
constexpr int32_t kFrequencies[] = {6000, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 48000, 88200, 96000};
constexpr int32_t kBitrates[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 350};
}  // namespace

int32_t normaliseFrequency(int32_t hz) {
  return std::find(std::begin(kFrequencies), std::end(kFrequencies), hz) != std::end(kFrequencies) ? hz : 44100;
}
int32_t normaliseBitrate(int32_t kbps) {
  return std::find(std::begin(kBitrates), std::end(kBitrates), kbps) != std::end(kBitrates) ? kbps : 0;
}
int32_t normaliseChannels(int32_t channels) { return channels == 1 ? 1 : 2; }
int32_t normaliseStereoMode(int32_t mode) { return mode >= 2 && mode <= 4 ? mode : 1; }
int32_t normaliseVbrMethod(int32_t method) { return method >= 0 && method <= 4 ? method : -1; }

}  // namespace engine
