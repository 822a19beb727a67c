#include "outside/tonemeter2/audio_sink.h"

#include <alsa/error.h>
#include <jack/jack.h>
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

AudioSink& DeferredSink::device() {
  std::call_once(once_, [this] {
    sink_ = openDevice_ ? openDevice_() : nullptr;
    if (!sink_) sink_ = std::make_unique<SilentSink>();
    opened_.store(true);
  });
  return *sink_;
}

namespace {

void ignoreAlsa(const char*, int, const char*, int, const char*, ...) {}
void ignoreJack(const char*) {}

// While PortAudio probes its host APIs, ALSA reports every PCM plugin it
// cannot open and JACK every server it cannot reach, each on stderr; a
// machine without a sound card or a JACK server is normal here, so those
// reports go nowhere for the probe's length. The handlers are process-wide:
// probes are serialised by one lock and the previous handlers come back.
class QuietAudioLibraries {
 public:
  QuietAudioLibraries() : guard_(lock()) {
    alsa_ = snd_lib_error;
    jackError_ = jack_error_callback;
    jackInfo_ = jack_info_callback;
    snd_lib_error_set_handler(&ignoreAlsa);
    jack_set_error_function(&ignoreJack);
    jack_set_info_function(&ignoreJack);
  }
  ~QuietAudioLibraries() {
    snd_lib_error_set_handler(alsa_);
    jack_set_error_function(jackError_);
    jack_set_info_function(jackInfo_);
  }
  QuietAudioLibraries(const QuietAudioLibraries&) = delete;
  QuietAudioLibraries& operator=(const QuietAudioLibraries&) = delete;

 private:
  static std::mutex& lock() {
    static std::mutex m;
    return m;
  }
  std::lock_guard<std::mutex> guard_;
  snd_lib_error_handler_t alsa_;
  void (*jackError_)(const char*);
  void (*jackInfo_)(const char*);
};

class PortAudioSink final : public AudioSink {
 public:
  ~PortAudioSink() override {
    stop();
    QuietAudioLibraries quiet;
    Pa_Terminate();
  }
  // False when PortAudio cannot start or finds no output device; the
  // destructor terminates PortAudio either way.
  bool initialise() {
    QuietAudioLibraries quiet;
    return Pa_Initialize() == paNoError && Pa_GetDefaultOutputDevice() != paNoDevice;
  }

  bool start(int rate_hz, int channels, int latency_ms) override {
    stop();
    PaStreamParameters out{};
    out.device = Pa_GetDefaultOutputDevice();
    if (out.device == paNoDevice) return false;
    out.channelCount = channels;
    out.sampleFormat = paInt16;
    out.suggestedLatency = latency_ms / 1000.0;
    QuietAudioLibraries quiet;
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
  if (wanted && std::strcmp(wanted, "silent") == 0) return std::make_unique<SilentSink>();
  return std::make_unique<DeferredSink>([]() -> std::unique_ptr<AudioSink> {
    auto sink = std::make_unique<PortAudioSink>();
    if (!sink->initialise()) return nullptr;
    return sink;
  });
}

}  // namespace tonemeter
