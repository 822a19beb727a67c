// An event sink for the test widget's Notify event: records each code and
// the thread it arrived on, and runs an optional action.
#pragma once

#include <functional>
#include <vector>

#include "platform/com/testing/test_widget.h"

class TestSink final : public com::EventSink<TestSink, DIID_ITestWidgetEvents> {
 public:
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    if (id != kNotifyDispid || params->cArgs != 1 || params->rgvarg[0].vt != VT_I4) return DISP_E_MEMBERNOTFOUND;
    codes.push_back(params->rgvarg[0].lVal);
    thread = testWidgetThreadId();
    if (onNotify) onNotify(params->rgvarg[0].lVal);
    return S_OK;
  }

  std::vector<LONG> codes;
  ULONGLONG thread = 0;
  std::function<void(LONG)> onNotify;
};
