// Known signals for the codec tests: tones in, frequency estimates out, and
// a scratch folder per test.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace wavesmith::test {

// `seconds` of a sine at `tone_hz` (amplitude ~0.5 full scale) in every
// channel, interleaved.
std::vector<int16_t> tone(int rate_hz, int channels, double seconds, double tone_hz);

// `seconds` of deterministic white noise (a fixed-seed LCG), interleaved.
std::vector<int16_t> noise(int rate_hz, int channels, double seconds);

// The frequency of the strongest sine in one channel, from zero crossings of
// the middle part (skipping encoder start-up and tail).
double dominantHz(const std::vector<int16_t>& samples, int channels, int channel, int rate_hz);

// Reads every sample of a file through the component's reader.
struct Decoded {
  int rate_hz = 0;
  int channels = 0;
  int64_t length_frames = 0;
  int64_t duration_ms = 0;
  std::vector<int16_t> samples;
};
Decoded decodeAll(const std::string& path);

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace wavesmith::test
