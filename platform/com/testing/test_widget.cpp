#include "platform/com/testing/test_widget.h"

#include <pthread.h>

#include <atomic>

namespace {

class TestWidget final : public com::ComObject<TestWidget, ITestWidget, IConnectionPointContainer> {
 public:
  TestWidget() { events_.add(DIID_ITestWidgetEvents, this); }
  ~TestWidget() { SysFreeString(name_); }

  static const com::DispatchTable& dispatchTable() {
    static const com::DispatchTable table(IID_ITestWidget, {
        com::method<&ITestWidget::Add>("Add", 0x1),
        com::propget<&ITestWidget::get_Name>("Name", 0x2),
        com::propput<&ITestWidget::put_Name>("Name", 0x2),
        com::propget<&ITestWidget::get_Flag>("Flag", 0x3, {VT_BOOL}),
        com::propput<&ITestWidget::put_Flag>("Flag", 0x3, {VT_BOOL}),
        com::method<&ITestWidget::Split>("Split", 0x4, {}, false),
        com::method<&ITestWidget::SumSamples>("SumSamples", 0x5),
        com::method<&ITestWidget::Echo>("Echo", 0x6),
        com::method<&ITestWidget::Raise>("Raise", 0x7),
        com::propget<&ITestWidget::get_CallThread>("CallThread", 0x8),
        com::method<&ITestWidget::Fail>("Fail", 0x9),
        com::method<&ITestWidget::_OnEvent>("_OnEvent", 0x6e),
        com::propput<&ITestWidget::put_PendingCode>("PendingCode", 0x6f),
    });
    return table;
  }
  com::ConnectionPoints& connectionPoints() { return events_; }

  HRESULT STDMETHODCALLTYPE Add(LONG a, LONG b, LONG* sum) override {
    note();
    if (sum == nullptr) return E_POINTER;
    *sum = a + b;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override {
    note();
    if (name == nullptr) return E_POINTER;
    *name = SysAllocStringLen(name_, SysStringLen(name_));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Name(BSTR name) override {
    note();
    SysReAllocStringLen(&name_, name, SysStringLen(name));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Flag(VARIANT_BOOL* flag) override {
    note();
    if (flag == nullptr) return E_POINTER;
    *flag = flag_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Flag(VARIANT_BOOL flag) override {
    note();
    flag_ = flag;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Split(LONG value, SHORT* high, SHORT* low) override {
    note();
    if (high == nullptr || low == nullptr) return E_POINTER;
    *high = static_cast<SHORT>(static_cast<uint32_t>(value) >> 16);
    *low = static_cast<SHORT>(value & 0xFFFF);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SumSamples(SAFEARRAY* samples, LONG* total) override {
    note();
    if (total == nullptr) return E_POINTER;
    HRESULT hr = com::checkVector(samples, VT_I2);
    if (FAILED(hr)) return hr;
    SHORT* data = nullptr;
    SafeArrayAccessData(samples, reinterpret_cast<void**>(&data));
    LONG sum = 0;
    for (ULONG i = 0; i < samples->rgsabound[0].cElements; ++i) sum += data[i];
    SafeArrayUnaccessData(samples);
    *total = sum;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Echo(VARIANT value, VARIANT* result) override {
    note();
    if (result == nullptr) return E_POINTER;
    VariantInit(result);
    return VariantCopy(result, &value);
  }
  HRESULT STDMETHODCALLTYPE Raise(LONG code) override {
    note();
    events_.get(DIID_ITestWidgetEvents)->fire(kNotifyDispid, {com::variantI4(code)});
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_CallThread(ULONGLONG* threadId) override {
    if (threadId == nullptr) return E_POINTER;
    *threadId = lastThread_.load();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Fail() override { return E_FAIL; }
  HRESULT STDMETHODCALLTYPE _OnEvent() override { return Raise(pending_.load()); }
  HRESULT STDMETHODCALLTYPE put_PendingCode(LONG code) override {
    pending_.store(code);
    return S_OK;
  }

 private:
  void note() { lastThread_.store(testWidgetThreadId()); }

  com::ConnectionPoints events_;
  BSTR name_ = nullptr;          // the owning thread's
  VARIANT_BOOL flag_ = VARIANT_FALSE;
  std::atomic<ULONGLONG> lastThread_{0};
  std::atomic<LONG> pending_{0};  // written by workers before they call _OnEvent
};

}  // namespace

ULONGLONG testWidgetThreadId() { return static_cast<ULONGLONG>(pthread_self()); }

HRESULT createTestWidget(REFIID riid, void** ppv) { return com::createInstance<TestWidget>(riid, ppv); }

const com::ServerClass kTestServerClasses[] = {
    {{CLSID_TestWidget, "TestWidget Class", "ComrtTest.TestWidget.1", "ComrtTest.TestWidget", "Apartment"},
     &com::factoryFor<TestWidget>},
};
