// Where the player's PCM goes: an audio device (PortAudio) or a silent sink
// that consumes samples at real-time pace, for machines without a device
// and for tests.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace tonemeter {

class AudioSink {
 public:
  virtual ~AudioSink() = default;
  // Prepares for interleaved 16-bit PCM of this layout.
  virtual bool start(int rate_hz, int channels, int latency_ms) = 0;
  // Takes `frames` sample frames; returns once they have been handed to the
  // device, at the pace the device plays them. Called from one thread.
  virtual bool write(const int16_t* samples, size_t frames) = 0;
  virtual void stop() = 0;
};

// Consumes samples at real-time pace and plays nothing.
class SilentSink final : public AudioSink {
 public:
  bool start(int rate_hz, int channels, int latency_ms) override;
  bool write(const int16_t* samples, size_t frames) override;
  void stop() override { running_ = false; }

 private:
  // Owned by the render thread, like every call of this class.
  bool running_ = false;
  int rate_hz_ = 44100;
  std::chrono::steady_clock::time_point epoch_;
  int64_t frames_written_ = 0;
};

// The default output device, or a SilentSink when PortAudio finds none or
// RIPMARROW_AUDIO=silent is set in the environment.
std::unique_ptr<AudioSink> makeDefaultSink();

}  // namespace tonemeter
