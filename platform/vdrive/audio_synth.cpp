#include "platform/vdrive/audio_synth.h"

#include <algorithm>
#include <cmath>

namespace platform::vdrive {

namespace {

constexpr double kRate = 44100.0;
constexpr double kTwoPi = 6.283185307179586;

uint64_t splitmix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// Semitones of the major scale's degrees and whether the diatonic triad is minor.
constexpr int kDegreeSemitones[7] = {0, 2, 4, 5, 7, 9, 11};
constexpr bool kDegreeMinor[7] = {false, true, true, false, false, true, true};

double noteHz(double semitonesFromA4) { return 440.0 * std::pow(2.0, semitonesFromA4 / 12.0); }

int16_t toPcm(double v) {
  double scaled = std::clamp(v, -1.0, 1.0) * 32767.0;
  return static_cast<int16_t>(std::lround(scaled));
}

}  // namespace

AudioSynth::AudioSynth(SynthSettings settings) : settings_(std::move(settings)) {
  if (settings_.progression.empty()) settings_.progression = {0};
  for (int& d : settings_.progression) d = ((d % 7) + 7) % 7;
  if (settings_.tempoBpm < 30) settings_.tempoBpm = 30;
}

void AudioSynth::music(double t, double& left, double& right) const {
  const double beat = 60.0 / settings_.tempoBpm;
  const double chordSeconds = 4 * beat;
  const size_t chordIndex = static_cast<size_t>(t / chordSeconds);
  const int degree = settings_.progression[chordIndex % settings_.progression.size()];
  const double tc = t - static_cast<double>(chordIndex) * chordSeconds;
  // Chord tones in semitones from A4; C4 is -9.
  const int root = -9 + settings_.keySemitones + kDegreeSemitones[degree];
  const int third = root + (kDegreeMinor[degree] ? 3 : 4);
  const int fifth = root + 7;
  const int tones[4] = {root, third, fifth, root + 12};

  // Pad: the triad, softly swelling in and out with each chord.
  double env = std::min(1.0, tc / 0.35) * std::min(1.0, (chordSeconds - tc) / 0.25);
  double pad = 0;
  for (int i = 0; i < 3; ++i) {
    double hz = noteHz(tones[i]);
    pad += std::sin(kTwoPi * hz * t) + 0.25 * std::sin(kTwoPi * 2 * hz * t + 0.5);
  }
  pad *= 0.07 * env;

  // Bass: the root two octaves down, plucked every two beats.
  double tb = std::fmod(tc, 2 * beat);
  double bassHz = noteHz(root - 24);
  double bass = 0.22 * std::exp(-2.5 * tb) * (std::sin(kTwoPi * bassHz * t) + 0.3 * std::sin(kTwoPi * 2 * bassHz * t));

  // Arpeggio: eighth notes over the chord tones an octave up, in a pattern
  // chosen by the voicing; it alternates sides for some width.
  static constexpr int kPatterns[4][8] = {
      {0, 1, 2, 3, 2, 1, 0, 1}, {0, 2, 1, 3, 0, 2, 1, 2}, {3, 2, 1, 0, 1, 2, 3, 2}, {0, 1, 2, 1, 3, 1, 2, 1}};
  const double eighth = beat / 2;
  const size_t step = static_cast<size_t>(tc / eighth);
  const double tn = tc - static_cast<double>(step) * eighth;
  const int note = tones[kPatterns[settings_.voicing & 3][step % 8]] + 12;
  const double arpHz = noteHz(note);
  const double bright = 0.15 + 0.1 * (settings_.voicing & 3);
  double arp = 0.16 * std::exp(-5.0 * tn) * std::min(1.0, tn / 0.004) *
               (std::sin(kTwoPi * arpHz * t) + bright * std::sin(kTwoPi * 3 * arpHz * t));
  double pan = step % 2 ? 0.3 : -0.3;

  left = pad + bass + arp * (1.0 - pan);
  right = pad + bass + arp * (1.0 + pan);
}

void AudioSynth::sample(uint32_t index, int16_t& left, int16_t& right) const {
  double t = index / kRate;
  double l = 0, r = 0;
  switch (settings_.kind) {
    case SynthSettings::Kind::Tone:
      l = r = 0.5 * std::sin(kTwoPi * settings_.toneHz * t);
      break;
    case SynthSettings::Kind::Noise: {
      uint64_t bits = splitmix(settings_.seed * 0x100000001B3ull ^ index);
      left = static_cast<int16_t>(static_cast<int32_t>(bits & 0xFFFF) - 32768) / 3;
      right = static_cast<int16_t>(static_cast<int32_t>((bits >> 16) & 0xFFFF) - 32768) / 3;
      return;
    }
    case SynthSettings::Kind::Music: {
      music(t, l, r);
      // Fade in over half a second and out over the last two.
      double length = settings_.lengthSamples / kRate;
      double fade = std::min({1.0, t / 0.5, std::max(0.0, (length - t) / 2.0)});
      l *= fade;
      r *= fade;
      break;
    }
  }
  left = toPcm(l);
  right = toPcm(r);
}

bool AudioSynth::read(uint64_t offsetBytes, std::span<uint8_t> out) const {
  for (size_t i = 0; i < out.size();) {
    uint64_t byte = offsetBytes + i;
    uint64_t index = byte / 4;
    if (index >= settings_.lengthSamples) {
      std::fill(out.begin() + static_cast<long>(i), out.end(), uint8_t{0});
      break;
    }
    int16_t l = 0, r = 0;
    sample(static_cast<uint32_t>(index), l, r);
    const uint8_t frame[4] = {static_cast<uint8_t>(l & 0xFF), static_cast<uint8_t>((l >> 8) & 0xFF),
                              static_cast<uint8_t>(r & 0xFF), static_cast<uint8_t>((r >> 8) & 0xFF)};
    for (uint64_t b = byte % 4; b < 4 && i < out.size(); ++b) out[i++] = frame[b];
  }
  return true;
}

}  // namespace platform::vdrive
