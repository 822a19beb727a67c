#include "client/replay_gain.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace client {

LoudnessMeter::LoudnessMeter()
    : state_(ebur128_init(2, 44100, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK)) {}

LoudnessMeter::LoudnessMeter(unsigned channels, unsigned long sampleRate)
    : state_(channels >= 1 && channels <= 64 && sampleRate >= 8000 && sampleRate <= 384000
                 ? ebur128_init(channels, sampleRate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK)
                 : nullptr),
      channels_(channels) {}

LoudnessMeter::~LoudnessMeter() {
  auto* state = static_cast<ebur128_state*>(state_);
  if (state != nullptr) ebur128_destroy(&state);
}

void LoudnessMeter::add(const int16_t* pcm, size_t frames) {
  if (state_ == nullptr || frames == 0) return;
  if (ebur128_add_frames_short(static_cast<ebur128_state*>(state_), pcm, frames) == EBUR128_SUCCESS) frames_ += frames;
}

void LoudnessMeter::addBytes(const uint8_t* bytes, size_t size) {
  const size_t frames = size / 4;
  scratch_.resize(frames * 2);
  for (size_t i = 0; i < frames * 2; ++i) {
    scratch_[i] = static_cast<int16_t>(static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8));
  }
  add(scratch_.data(), frames);
}

namespace {

double truePeak(void* meterState, unsigned channels) {
  auto* state = static_cast<ebur128_state*>(meterState);
  double peak = 0;
  for (unsigned channel = 0; channel < channels; ++channel) {
    double p = 0;
    if (ebur128_true_peak(state, channel, &p) == EBUR128_SUCCESS) peak = std::max(peak, p);
  }
  return peak;
}

std::optional<ReplayGain> gainOf(double loudness, double peak) {
  if (!std::isfinite(loudness)) return std::nullopt;  // silence, or too short to measure
  return ReplayGain{kReplayGainReferenceLufs - loudness, peak, loudness};
}

}  // namespace

std::optional<ReplayGain> TrackGain(const LoudnessMeter& meter) {
  if (meter.state() == nullptr || meter.frames() == 0) return std::nullopt;
  double loudness = 0;
  if (ebur128_loudness_global(static_cast<ebur128_state*>(meter.state()), &loudness) != EBUR128_SUCCESS)
    return std::nullopt;
  return gainOf(loudness, truePeak(meter.state(), meter.channels()));
}

std::optional<ReplayGain> AlbumGain(const std::vector<const LoudnessMeter*>& tracks) {
  std::vector<ebur128_state*> states;
  double peak = 0;
  for (const LoudnessMeter* meter : tracks) {
    if (meter == nullptr || meter->state() == nullptr || meter->frames() == 0) continue;
    states.push_back(static_cast<ebur128_state*>(meter->state()));
    peak = std::max(peak, truePeak(meter->state(), meter->channels()));
  }
  if (states.empty()) return std::nullopt;
  double loudness = 0;
  if (ebur128_loudness_global_multiple(states.data(), states.size(), &loudness) != EBUR128_SUCCESS) return std::nullopt;
  return gainOf(loudness, peak);
}

std::string GainText(double gainDb) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f dB", gainDb);
  return text;
}

std::string PeakText(double peak) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", peak);
  return text;
}

}  // namespace client
