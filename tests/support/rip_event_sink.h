// The events a rip reports, as a client of the engine sees them: Error
// codes, RipRetry numbers and RipProgress percents in order, with a hook on
// each progress event (a test acts mid-rip from it, as a client's handler
// would).
#pragma once

#include <functional>
#include <vector>

#include "components/trackmill2.h"
#include "platform/com/com_object.h"

namespace testing_support {

class RipEventSink final : public com::EventSink<RipEventSink, DIID__IAudioCDRipper2Events> {
 public:
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    const LONG first = params != nullptr && params->cArgs > 0 ? params->rgvarg[params->cArgs - 1].lVal : 0;
    if (id == DISPID_AudioCDRipper2_Error) errors.push_back(first);
    if (id == DISPID_AudioCDRipper2_RipRetry) retries.push_back(first);
    if (id == DISPID_AudioCDRipper2_RipProgress) {
      progress.push_back(first);
      if (onProgress) onProgress(first);
    }
    return S_OK;
  }
  // The rip's last event came: RipProgress(100).
  bool finished() const { return !progress.empty() && progress.back() == 100; }

  std::vector<LONG> errors, retries, progress;
  std::function<void(LONG)> onProgress;
};

}  // namespace testing_support
