// The desktop program's hold on the engine, as a COM client and nothing
// more: the AudioCDRipper2 object and its MP3 settings object of Trackmill2
// and the AudioInformation2 tag component, created through the registry
// store, with the engine's events connected. Calls go through the dual
// interface's table; the two text properties cddbServerAddress and
// cddbCGIScript are set by name through IDispatch.
//
// Owned by the main window for the program's lifetime; lives and is called
// on the GUI thread only, where the engine's events arrive too.
#pragma once

#include <functional>
#include <string>

#include "components/tonemeter2.h"
#include "components/trackmill2.h"
#include "platform/com/com.h"

namespace quavern {

// An error result of a component call: the application-wide handler turns
// it into the restart question.
class ComponentError : public std::runtime_error {
 public:
  ComponentError(const std::string& what, HRESULT hr);
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

// Throws ComponentError for a failed result.
void check(HRESULT hr, const char* what);

// A text property put by name through IDispatch; ComponentError when the
// object refuses it.
void putTextByName(IDispatch* object, const char* name, const std::string& value);

class EngineLink {
 public:
  struct Handlers {
    std::function<void(LONG percent)> ripProgress;
    std::function<void()> mediaChange;
    std::function<void()> endTrackPlay;
    // The rip batch's: a refused or failed rip ends its track.
    std::function<void(LONG code)> error;
    // CDDBQueryStatus: the title look-up's steps and, for BeginCDDBInfo,
    // its end.
    std::function<void(LONG status)> cddbQueryStatus;
  };

  EngineLink();
  ~EngineLink();
  EngineLink(const EngineLink&) = delete;
  EngineLink& operator=(const EngineLink&) = delete;

  // Creates the engine on first use and connects its events to handlers.
  // False when the engine cannot be created (not registered).
  bool bind(Handlers handlers);
  bool bound() const { return static_cast<bool>(engine_); }

  IAudioCDRipper2* engine() const { return engine_.get(); }
  // Created on first use; null when the component is not registered.
  IAudioCDRipperLameMP3Encoder2* mp3Settings();
  IAudioInformation2* audioInformation();

  // Property reads that leave a default when the engine refuses them.
  LONG getLong(HRESULT (STDMETHODCALLTYPE IAudioCDRipper2::*get)(LONG*), LONG fallback = 0) const;
  std::string getText(HRESULT (STDMETHODCALLTYPE IAudioCDRipper2::*get)(BSTR*)) const;
  // A text property put by name through IDispatch.
  void putTextByName(const char* name, const std::string& value);

  // Disconnects the events and lets the objects go.
  void release();

 private:
  class Sink;
  com::ComPtr<IAudioCDRipper2> engine_;
  com::ComPtr<IAudioCDRipperLameMP3Encoder2> mp3Settings_;
  com::ComPtr<IAudioInformation2> audioInformation_;
  com::ComPtr<Sink> sink_;
  com::ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

}  // namespace quavern
