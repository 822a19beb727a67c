// Where the player's PCM goes: an audio device (PortAudio) or a silent sink
// that consumes samples at real-time pace, for machines without a device
// and for tests.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace tonemeter {

class AudioSink {
 public:
  virtual ~AudioSink() = default;
  // Opens the audio system if that has not happened yet; start() does it
  // otherwise. Lets the owner choose the moment and the thread.
  virtual void open() {}
  // What the audio goes to, as the player names its output.
  virtual std::string outputName() { return "default output"; }
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
  std::string outputName() override { return "silent"; }
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

// A sink that opens its device at the first call that needs one (open,
// outputName, start), not when it is made: a player is created long before
// anything plays, and probing the audio system is slow and, in some of its
// libraries, noisy. `openDevice` answers the device's sink, or null when
// there is none; a SilentSink takes its place then. open and outputName may
// come from the owner's thread while start, write and stop come from the
// render thread.
class DeferredSink final : public AudioSink {
 public:
  using Opener = std::function<std::unique_ptr<AudioSink>()>;
  explicit DeferredSink(Opener openDevice) : openDevice_(std::move(openDevice)) {}

  void open() override { device(); }
  std::string outputName() override { return device().outputName(); }
  bool start(int rate_hz, int channels, int latency_ms) override {
    return device().start(rate_hz, channels, latency_ms);
  }
  bool write(const int16_t* samples, size_t frames) override { return device().write(samples, frames); }
  void stop() override {
    if (isOpen()) device().stop();
  }
  bool isOpen() const { return opened_.load(); }

 private:
  AudioSink& device();

  Opener openDevice_;
  std::once_flag once_;
  std::unique_ptr<AudioSink> sink_;  // written once under once_, then only read
  std::atomic<bool> opened_{false};
};

// The default output device, opened when first needed, or a SilentSink when
// PortAudio finds none or RIPMARROW_AUDIO=silent is set in the environment.
std::unique_ptr<AudioSink> makeDefaultSink();

}  // namespace tonemeter
