// AudioPlayer2: the player component's COM class, a PlayerCore behind
// IAudioPlayer2, whose events go out through an EventRelay so that each sink
// hears them on the thread that advised it.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "components/tonemeter2.h"
#include "outside/tonemeter2/event_relay.h"
#include "outside/tonemeter2/player_core.h"

namespace tonemeter {

class AudioPlayer2 final : public com::ComObject<AudioPlayer2, IAudioPlayer2, IConnectionPointContainer> {
 public:
  AudioPlayer2();  // plays into makeDefaultSink()
  explicit AudioPlayer2(std::unique_ptr<AudioSink> sink);
  ~AudioPlayer2() override;

  static const com::DispatchTable& dispatchTable();

  HRESULT STDMETHODCALLTYPE get_OutputName(BSTR* name) override;
  HRESULT STDMETHODCALLTYPE Play() override;
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE WriteSamples(SAFEARRAY* samples) override;
  HRESULT STDMETHODCALLTYPE Flush() override;
  HRESULT STDMETHODCALLTYPE SetFormat(LONG sampleRateHz, LONG channels) override;
  HRESULT STDMETHODCALLTYPE SetBufferTime(LONG ms, LONG* msInEffect) override;
  HRESULT STDMETHODCALLTYPE get_samplesPlayed(LONG* frames) override;
  HRESULT STDMETHODCALLTYPE get_samplesQueued(LONG* frames) override;
  HRESULT STDMETHODCALLTYPE get_isPlaying(VARIANT_BOOL* playing) override;
  HRESULT STDMETHODCALLTYPE Reserved17() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved18() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved19() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved20() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved21() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved22() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved23() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved24() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved25() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved26() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved27() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved28() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved29() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetState(AudioPlayer2State* state) override;

  // IConnectionPointContainer: the one event interface, served by the relay.
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;
  // Needed by the ComObject base only; the relay is not one of these.
  com::ConnectionPoints& connectionPoints() { return unused_; }

 private:
  // Turns the core's reports (render thread) into queued events.
  class Forwarder final : public PlayerEvents {
   public:
    explicit Forwarder(EventRelay* relay) : relay_(relay) {}
    void moreSamplesWanted() override;
    void position(int64_t frames_played, int left_level, int right_level) override;
    void endOfStream() override;

   private:
    EventRelay* relay_;  // outlives the core, which calls this
  };

  const com::ComPtr<EventRelay> relay_;
  Forwarder forwarder_;
  // The core's sink, which the core owns: opened by the calls that need the
  // device (Play, SetFormat, OutputName), not at creation, so a player that
  // never plays never probes the audio system.
  AudioSink* const sink_;
  std::unique_ptr<PlayerCore> core_;  // reset first in the destructor: no event after it
  com::ConnectionPoints unused_;
  // What the core was last told, for GetState (the core's defaults first).
  std::atomic<LONG> bufferMs_{300};
  std::atomic<LONG> rateHz_{44100};
  std::atomic<LONG> channels_{2};
};

}  // namespace tonemeter
