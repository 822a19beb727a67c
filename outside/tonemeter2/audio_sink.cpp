#include "outside/tonemeter2/audio_sink.h"

#include <portaudio.h>

#include <cstdlib>
#include <cstring>
#include <thread>

namespace tonemeter {

bool SilentSink::start(int rate_hz, int /*channels*/, int /*latency_ms*/) {
  rate_hz_ = rate_hz > 0 ? rate_hz : 44100;
  epoch_ = std::chrono::steady_clock::now();
  frames_written_ = 0;
  running_ = true;
  return true;
}

bool SilentSink::write(const int16_t* /*samples*/, size_t frames) {
  if (!running_) return false;
  // A real device holds the caller back while it plays; so does this. After
  // a gap (paused, starved) the clock restarts instead of racing to catch up.
  const auto now = std::chrono::steady_clock::now();
  auto due = epoch_ + std::chrono::microseconds(frames_written_ * 1000000 / rate_hz_);
  if (due < now) {
    epoch_ = now;
    frames_written_ = 0;
  }
  frames_written_ += static_cast<int64_t>(frames);
  due = epoch_ + std::chrono::microseconds(frames_written_ * 1000000 / rate_hz_);
  std::this_thread::sleep_until(due);
  return true;
}

namespace {

class PortAudioSink final : public AudioSink {
 public:
  ~PortAudioSink() override {
    stop();
    Pa_Terminate();
  }
  bool initialise() { return Pa_Initialize() == paNoError && Pa_GetDefaultOutputDevice() != paNoDevice; }

  bool start(int rate_hz, int channels, int latency_ms) override {
    stop();
    PaStreamParameters out{};
    out.device = Pa_GetDefaultOutputDevice();
    if (out.device == paNoDevice) return false;
    out.channelCount = channels;
    out.sampleFormat = paInt16;
    out.suggestedLatency = latency_ms / 1000.0;
    if (Pa_OpenStream(&stream_, nullptr, &out, rate_hz, paFramesPerBufferUnspecified, paNoFlag, nullptr,
                      nullptr) != paNoError) {
      stream_ = nullptr;
      return false;
    }
    return Pa_StartStream(stream_) == paNoError;
  }

  bool write(const int16_t* samples, size_t frames) override {
    if (!stream_) return false;
    const PaError rc = Pa_WriteStream(stream_, samples, static_cast<unsigned long>(frames));
    return rc == paNoError || rc == paOutputUnderflowed;
  }

  void stop() override {
    if (!stream_) return;
    Pa_StopStream(stream_);  // plays what the device still holds
    Pa_CloseStream(stream_);
    stream_ = nullptr;
  }

 private:
  PaStream* stream_ = nullptr;
};

}  // namespace

std::unique_ptr<AudioSink> makeDefaultSink() {
  const char* wanted = std::getenv("RIPMARROW_AUDIO");
  if (!(wanted && std::strcmp(wanted, "silent") == 0)) {
    auto sink = std::make_unique<PortAudioSink>();
    if (sink->initialise()) return sink;
  }
  return std::make_unique<SilentSink>();
}

}  // namespace tonemeter
