// Generated track content: pleasant synthesized music (a chord progression
// with pad, bass and arpeggio voices), a sine tone, or white noise. Every
// sample is a pure function of its index, so any stretch can be produced on
// demand and the same description always gives the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/vdrive/sector_source.h"

namespace platform::vdrive {

struct SynthSettings {
  enum class Kind : uint8_t { Music, Tone, Noise };
  Kind kind = Kind::Music;
  uint64_t seed = 1;
  double toneHz = 440.0;
  int keySemitones = 0;                // music: 0 = C, 1 = C#, … 11 = B
  std::vector<int> progression{0, 4, 5, 3};  // music: scale degrees 0..6 (I, V, vi, IV)
  double tempoBpm = 96.0;              // music
  int voicing = 0;                     // music: arpeggio pattern and timbre, 0..3
  uint32_t lengthSamples = 0;          // for the fade-in and fade-out of music
};

class AudioSynth final : public SectorSource {
 public:
  explicit AudioSynth(SynthSettings settings);
  bool read(uint64_t offsetBytes, std::span<uint8_t> out) const override;
  uint64_t sizeBytes() const override { return uint64_t{settings_.lengthSamples} * 4; }

  // One stereo sample frame (left, right).
  void sample(uint32_t index, int16_t& left, int16_t& right) const;

 private:
  void music(double t, double& left, double& right) const;

  SynthSettings settings_;
};

}  // namespace platform::vdrive
