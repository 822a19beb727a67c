// The engine's sink for the player's events: a small COM object that answers
// the player's event interface with its IDispatch and hands every event to
// the engine object. It holds no reference to the engine (the engine owns
// the sink and detaches it before it goes).
#pragma once

#include <atomic>

#include "components/tonemeter2.h"
#include "platform/com/com.h"

namespace engine {

class AudioCDRipper2;

class PlayerEventSink final : public com::EventSink<PlayerEventSink, DIID_IAudioPlayer2Events> {
 public:
  explicit PlayerEventSink(AudioCDRipper2* engine) : engine_(engine) {}

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override;

  // After this the sink answers events without reaching the engine.
  void detach() { engine_.store(nullptr); }

 private:
  std::atomic<AudioCDRipper2*> engine_;  // not a reference; cleared by detach()
};

}  // namespace engine
