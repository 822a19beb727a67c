// TrackLoudness: the loudness meter a rip feeds with the audio it hands on
// (libebur128: BS.1770 gated integrated loudness and 4x oversampled true
// peak of 44.1 kHz stereo 16-bit PCM). The rip thread owns a meter while it
// feeds it; once the rip reached the end of its track the meter is only
// read, and the engine keeps it for the disc's album value (the gating of
// an album runs over all its tracks' blocks, ebur128_loudness_global_multiple,
// so the meters themselves are kept, not their results).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace engine {

// The ReplayGain 2.0 reference: gain = -18 LUFS minus the loudness.
inline constexpr double kReplayGainReferenceLufs = -18.0;

class TrackLoudness {
 public:
  TrackLoudness();
  ~TrackLoudness();
  TrackLoudness(const TrackLoudness&) = delete;
  TrackLoudness& operator=(const TrackLoudness&) = delete;

  // Audio as the disc holds it: little-endian 16-bit stereo, 4 bytes a frame.
  void add(const uint8_t* bytes, size_t size);

  // The integrated loudness in LUFS and the true peak (linear, 1.0 full
  // scale). False for audio shorter than one 400 ms block, all below the
  // gate (silence), or a meter the library could not make.
  bool measure(double& loudness, double& peak) const;

  // The library's state (an ebur128_state*, a type its header gives no
  // name to forward).
  void* state() const { return state_; }
  size_t frames() const { return frames_; }

 private:
  void* state_;
  size_t frames_ = 0;
  std::vector<int16_t> scratch_;
};

// The album's loudness over `tracks` (each measured to its end) and their
// highest true peak; false as measure() is, or when `tracks` is empty.
bool AlbumLoudness(const std::vector<const TrackLoudness*>& tracks, double& loudness, double& peak);

}  // namespace engine
