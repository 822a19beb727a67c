#include "engine/rip/track_loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>

namespace engine {

TrackLoudness::TrackLoudness() : state_(ebur128_init(2, 44100, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK)) {}

TrackLoudness::~TrackLoudness() {
  auto* state = static_cast<ebur128_state*>(state_);
  if (state != nullptr) ebur128_destroy(&state);
}

void TrackLoudness::add(const uint8_t* bytes, size_t size) {
  const size_t frames = size / 4;
  if (state_ == nullptr || frames == 0) return;
  scratch_.resize(frames * 2);
  for (size_t i = 0; i < frames * 2; ++i)
    scratch_[i] = static_cast<int16_t>(static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8));
  if (ebur128_add_frames_short(static_cast<ebur128_state*>(state_), scratch_.data(), frames) == EBUR128_SUCCESS) frames_ += frames;
}

namespace {

double truePeak(ebur128_state* state) {
  double peak = 0;
  for (unsigned channel = 0; channel < 2; ++channel) {
    double p = 0;
    if (ebur128_true_peak(state, channel, &p) == EBUR128_SUCCESS) peak = std::max(peak, p);
  }
  return peak;
}

}  // namespace

bool TrackLoudness::measure(double& loudness, double& peak) const {
  return AlbumLoudness({this}, loudness, peak);
}

bool AlbumLoudness(const std::vector<const TrackLoudness*>& tracks, double& loudness, double& peak) {
  std::vector<ebur128_state*> states;
  double highest = 0;
  for (const TrackLoudness* track : tracks) {
    if (track == nullptr || track->state() == nullptr || track->frames() == 0) return false;
    auto* state = static_cast<ebur128_state*>(track->state());
    states.push_back(state);
    highest = std::max(highest, truePeak(state));
  }
  if (states.empty()) return false;
  double value = 0;
  if (ebur128_loudness_global_multiple(states.data(), states.size(), &value) != EBUR128_SUCCESS) return false;
  if (!std::isfinite(value)) return false;  // silence, or too short to measure
  loudness = value;
  peak = highest;
  return true;
}

}  // namespace engine
