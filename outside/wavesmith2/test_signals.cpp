#include "outside/wavesmith2/test_signals.h"

#include <cmath>
#include <cstdlib>

#include "outside/wavesmith2/audio_reader.h"

namespace wavesmith::test {

std::vector<int16_t> tone(int rate_hz, int channels, double seconds, double tone_hz) {
  const size_t frames = static_cast<size_t>(seconds * rate_hz);
  std::vector<int16_t> out(frames * static_cast<size_t>(channels));
  for (size_t i = 0; i < frames; ++i) {
    const double v = 16000.0 * std::sin(2.0 * M_PI * tone_hz * static_cast<double>(i) / rate_hz);
    for (int c = 0; c < channels; ++c) out[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] = static_cast<int16_t>(std::lrint(v));
  }
  return out;
}

std::vector<int16_t> noise(int rate_hz, int channels, double seconds) {
  std::vector<int16_t> out(static_cast<size_t>(seconds * rate_hz) * static_cast<size_t>(channels));
  uint32_t state = 12345;
  for (auto& v : out) {
    state = state * 1664525u + 1013904223u;
    v = static_cast<int16_t>(static_cast<int32_t>(state >> 16) - 32768) / 4;
  }
  return out;
}

double dominantHz(const std::vector<int16_t>& samples, int channels, int channel, int rate_hz) {
  const size_t frames = samples.size() / static_cast<size_t>(channels);
  const size_t begin = frames / 5, end = frames - frames / 5;
  if (end <= begin + 2) return 0;
  // Count upward crossings with a little hysteresis against coding noise.
  size_t first = 0, last = 0, crossings = 0;
  bool below = false;
  for (size_t i = begin; i < end; ++i) {
    const int v = samples[i * static_cast<size_t>(channels) + static_cast<size_t>(channel)];
    if (v < -1000) below = true;
    if (below && v > 1000) {
      below = false;
      if (crossings == 0) first = i;
      last = i;
      ++crossings;
    }
  }
  if (crossings < 2) return 0;
  return static_cast<double>(crossings - 1) * rate_hz / static_cast<double>(last - first);
}

Decoded decodeAll(const std::string& path) {
  Decoded d;
  AudioReader reader;
  std::string error;
  if (!reader.open(path, error)) return d;
  d.rate_hz = reader.layout().rate_hz;
  d.channels = reader.layout().channels;
  d.length_frames = reader.lengthFrames();
  d.duration_ms = reader.durationMs();
  for (;;) {
    auto block = reader.read(static_cast<size_t>(d.rate_hz * d.channels));
    if (block.empty()) break;
    d.samples.insert(d.samples.end(), block.begin(), block.end());
  }
  return d;
}

ScratchDir::ScratchDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "wavesmith-XXXXXX").string();
  path_ = ::mkdtemp(templ.data());
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace wavesmith::test
