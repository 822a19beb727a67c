// Resamples and remixes interleaved 16-bit PCM from one layout to another
// (libswresample). A converter between equal layouts copies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "outside/wavesmith2/pcm_layout.h"

struct SwrContext;

namespace wavesmith {

class PcmConverter {
 public:
  PcmConverter() = default;
  ~PcmConverter();
  PcmConverter(const PcmConverter&) = delete;
  PcmConverter& operator=(const PcmConverter&) = delete;

  bool configure(PcmLayout in, PcmLayout out, std::string& error);
  bool configured() const { return configured_; }
  // Equal layouts: convert() would only copy, so callers may skip it.
  bool passthrough() const { return configured_ && swr_ == nullptr; }
  PcmLayout input() const { return in_; }
  PcmLayout output() const { return out_; }

  // Appends the converted form of `in_frames` input frames to `out`.
  bool convert(const int16_t* in, size_t in_frames, std::vector<int16_t>& out);
  // Appends what the resampler still holds (its filter delay) to `out`.
  bool drain(std::vector<int16_t>& out);

 private:
  SwrContext* swr_ = nullptr;  // null when the layouts are equal
  PcmLayout in_;
  PcmLayout out_;
  bool configured_ = false;
};

}  // namespace wavesmith
