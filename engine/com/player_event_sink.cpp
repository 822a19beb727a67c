#include "engine/com/player_event_sink.h"

#include "engine/com/audio_cd_ripper.h"

namespace engine {

HRESULT STDMETHODCALLTYPE PlayerEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                                  EXCEPINFO*, UINT*) {
  if (id < kPlayerEventMoreWanted || id > kPlayerEventEnd) return E_NOTIMPL;
  if (AudioCDRipper2* engine = engine_.load()) engine->onPlayerEvent(id, params);
  return S_OK;
}

}  // namespace engine
