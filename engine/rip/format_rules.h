// The normalisation every format operation applies before a value reaches
// the codec component: unknown rates become 44100 Hz, unknown bit rates 0
// (BR_NONE), anything but mono stereo. Pure.
#pragma once

#include <cstdint>

namespace engine {

int32_t normaliseFrequency(int32_t hz);
int32_t normaliseBitrate(int32_t kbps);
int32_t normaliseChannels(int32_t channels);
int32_t normaliseStereoMode(int32_t mode);  // 2, 3, 4 pass; else 1 (SIMPLY)
int32_t normaliseVbrMethod(int32_t method); // 0 … 4 pass; else -1 (VBR_NONE)

}  // namespace engine
