// WAVE files named by cue sheets: a walk over the RIFF chunks that finds the
// PCM data. Only what an audio CD holds can be used: 16-bit stereo 44.1 kHz.
#pragma once

#include <cstdint>
#include <string>

namespace platform::vdrive {

struct WaveData {
  uint64_t offsetBytes = 0;  // of the first sample in the file
  uint64_t sizeBytes = 0;    // of the sample data, clamped to the file
};

// Throws ImageError naming the file when it is not a RIFF WAVE file, has no
// "fmt " or "data" chunk, or holds anything but 16-bit stereo 44.1 kHz PCM.
WaveData probeWaveFile(const std::string& path);

}  // namespace platform::vdrive
