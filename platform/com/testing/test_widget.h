// A small dual-interface class with an event interface, used by the
// runtime's tests in-process and as the class of the test server library
// (libcomrt_test_server.so).
#pragma once

#include "platform/com/com.h"

inline constexpr CLSID CLSID_TestWidget = com::guid("8E6B5A10-2C1F-4A4B-9D3E-6F1A2B3C4D01");
inline constexpr GUID LIBID_TestWidgetLib = com::guid("8E6B5A10-2C1F-4A4B-9D3E-6F1A2B3C4D02");
inline constexpr IID IID_ITestWidget = com::guid("8E6B5A10-2C1F-4A4B-9D3E-6F1A2B3C4D03");
inline constexpr IID DIID_ITestWidgetEvents = com::guid("8E6B5A10-2C1F-4A4B-9D3E-6F1A2B3C4D04");

struct ITestWidget : IDispatch {
  static constexpr const IID& uuid = IID_ITestWidget;
  STDMETHOD(Add)(LONG a, LONG b, LONG* sum) PURE;                 // 0x1
  STDMETHOD(get_Name)(BSTR* name) PURE;                           // 0x2
  STDMETHOD(put_Name)(BSTR name) PURE;
  STDMETHOD(get_Flag)(VARIANT_BOOL* flag) PURE;                   // 0x3
  STDMETHOD(put_Flag)(VARIANT_BOOL flag) PURE;
  STDMETHOD(Split)(LONG value, SHORT* high, SHORT* low) PURE;     // 0x4, two [out]
  STDMETHOD(SumSamples)(SAFEARRAY* samples, LONG* total) PURE;    // 0x5
  STDMETHOD(Echo)(VARIANT value, VARIANT* result) PURE;           // 0x6
  STDMETHOD(Raise)(LONG code) PURE;                               // 0x7, fires Notify(code)
  STDMETHOD(get_CallThread)(ULONGLONG* threadId) PURE;            // 0x8, the thread of the last call
  STDMETHOD(Fail)() PURE;                                         // 0x9, answers E_FAIL
  STDMETHOD(_OnEvent)() PURE;                                     // 0x6e, fires Notify(pendingCode)
  STDMETHOD(put_PendingCode)(LONG code) PURE;                     // 0x6f
};

// Events: Notify(LONG code), dispid 1.
inline constexpr DISPID kNotifyDispid = 1;

// Current thread, as the widget reports it.
ULONGLONG testWidgetThreadId();
HRESULT createTestWidget(REFIID riid, void** ppv);
extern const com::ServerClass kTestServerClasses[1];
