#include "frontend/engine_link.h"

#include <sstream>

#include "platform/com/bstr_text.h"

namespace quavern {

ComponentError::ComponentError(const std::string& what, HRESULT hr) : std::runtime_error(what), result_(hr) {}

void check(HRESULT hr, const char* what) {
  if (FAILED(hr)) {
    std::ostringstream text;
    text << what << " failed (0x" << std::hex << static_cast<uint32_t>(hr) << ")";
    throw ComponentError(text.str(), hr);
  }
}

void putTextByName(IDispatch* object, const char* name, const std::string& value) {
  std::u16string wide(name, name + std::char_traits<char>::length(name));
  LPOLESTR names[] = {wide.data()};
  DISPID id = DISPID_UNKNOWN;
  check(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), name);
  VARIANT argument;
  VariantInit(&argument);
  argument.vt = VT_BSTR;
  argument.bstrVal = com::NewBstr(value);
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&argument, &named, 1, 1};
  const HRESULT hr = object->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
  VariantClear(&argument);
  check(hr, name);
}

// Receives _IAudioCDRipper2Events on the GUI thread and hands the five the
// program handles to their handlers.
class EngineLink::Sink final : public com::EventSink<EngineLink::Sink, DIID__IAudioCDRipper2Events> {
 public:
  explicit Sink(Handlers handlers) : handlers_(std::move(handlers)) {}

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    const LONG first = params != nullptr && params->cArgs > 0 ? params->rgvarg[params->cArgs - 1].lVal : 0;
    switch (id) {
      case DISPID_AudioCDRipper2_RipProgress:
        if (handlers_.ripProgress) handlers_.ripProgress(first);
        break;
      case DISPID_AudioCDRipper2_MediaChange:
        if (handlers_.mediaChange) handlers_.mediaChange();
        break;
      case DISPID_AudioCDRipper2_EndTrackPlay:
        if (handlers_.endTrackPlay) handlers_.endTrackPlay();
        break;
      case DISPID_AudioCDRipper2_Error:
        if (handlers_.error) handlers_.error(first);
        break;
      case DISPID_AudioCDRipper2_CDDBQueryStatus:
        if (handlers_.cddbQueryStatus) handlers_.cddbQueryStatus(first);
        break;
      default:
        break;
    }
    return S_OK;
  }

  // Handlers are dropped before the window goes, so a late event finds none.
  void forget() { handlers_ = {}; }

 private:
  Handlers handlers_;
};

EngineLink::EngineLink() = default;

EngineLink::~EngineLink() { release(); }

bool EngineLink::bind(Handlers handlers) {
  if (engine_) return true;
  if (FAILED(CoCreateInstance(CLSID_AudioCDRipper2, nullptr, CLSCTX_INPROC_SERVER, IID_IAudioCDRipper2,
                              engine_.putVoid()))) {
    return false;
  }
  sink_ = com::make<Sink>(std::move(handlers));
  com::ComPtr<IConnectionPointContainer> container;
  if (SUCCEEDED(engine_.as(&container)) &&
      SUCCEEDED(container->FindConnectionPoint(DIID__IAudioCDRipper2Events, point_.put()))) {
    point_->Advise(sink_->identity(), &cookie_);
  }
  return true;
}

IAudioCDRipperLameMP3Encoder2* EngineLink::mp3Settings() {
  if (!mp3Settings_) {
    CoCreateInstance(CLSID_AudioCDRipperLameMP3Encoder2, nullptr, CLSCTX_INPROC_SERVER,
                     IID_IAudioCDRipperLameMP3Encoder2, mp3Settings_.putVoid());
  }
  return mp3Settings_.get();
}

IAudioInformation2* EngineLink::audioInformation() {
  if (!audioInformation_) {
    CoCreateInstance(CLSID_AudioInformation2, nullptr, CLSCTX_INPROC_SERVER, IID_IAudioInformation2,
                     audioInformation_.putVoid());
  }
  return audioInformation_.get();
}

LONG EngineLink::getLong(HRESULT (STDMETHODCALLTYPE IAudioCDRipper2::*get)(LONG*), LONG fallback) const {
  LONG value = fallback;
  if (engine_) (engine_.get()->*get)(&value);
  return value;
}

std::string EngineLink::getText(HRESULT (STDMETHODCALLTYPE IAudioCDRipper2::*get)(BSTR*)) const {
  BSTR value = nullptr;
  if (engine_) (engine_.get()->*get)(&value);
  return com::TakeUtf8(value);
}

void EngineLink::putTextByName(const char* name, const std::string& value) {
  if (engine_) quavern::putTextByName(engine_.get(), name, value);
}

void EngineLink::release() {
  if (sink_) sink_->forget();
  if (point_) point_->Unadvise(cookie_);
  point_.reset();
  sink_.reset();
  audioInformation_.reset();
  mp3Settings_.reset();
  engine_.reset();
}

}  // namespace quavern
