// Files written through FFmpeg: one encoder (by name) in one container (by
// muxer name). Serves MP2 (`mp2` in an MPEG audio stream), WMA (`wmav2` or
// `wmav1` in ASF) and WAV (`pcm_*` in RIFF).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "outside/wavesmith2/audio_writer.h"

namespace wavesmith {

struct LavcTarget {
  std::string encoder;  // FFmpeg encoder name, e.g. "mp2", "wmav2", "pcm_s16le"
  std::string muxer;    // FFmpeg muxer name, e.g. "mp2", "asf", "wav"
  PcmLayout layout;
  int64_t bit_rate_bps = 0;  // 0 for PCM
};

class LavcWriter final : public AudioWriter {
 public:
  explicit LavcWriter(LavcTarget target);
  ~LavcWriter() override;

  PcmLayout layout() const override { return target_.layout; }
  bool open(const std::string& path, std::string& error) override;
  bool write(const int16_t* samples, size_t frames, std::string& error) override;
  bool close(std::string& error) override;

  // Opens the encoder without a file: empty when the target can be written,
  // else the encoder's reason.
  static std::string probe(const LavcTarget& target);

 private:
  struct State;
  bool encodeFrame(const int16_t* samples, size_t frames, std::string& error);
  bool drainPackets(std::string& error);

  LavcTarget target_;
  std::unique_ptr<State> state_;  // present while a file is open
  std::vector<int16_t> pending_;  // samples not yet a whole encoder frame
};

}  // namespace wavesmith
