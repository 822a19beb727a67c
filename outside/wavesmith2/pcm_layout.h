// The layout of interleaved 16-bit PCM as it crosses between the codec
// component's callers, its writers and its reader.
#pragma once

namespace wavesmith {

struct PcmLayout {
  int rate_hz = 44100;
  int channels = 2;

  bool operator==(const PcmLayout&) const = default;
};

}  // namespace wavesmith
