#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/com/com.h"
#include "platform/com/testing/test_sink.h"
#include "platform/sync/event.h"

namespace {

// The test thread as an apartment owning a widget with one sink connected.
class Marshal : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    ASSERT_EQ(createTestWidget(IID_ITestWidget, widget.putVoid()), S_OK);
    com::ComPtr<IConnectionPointContainer> container;
    widget.as(&container);
    container->FindConnectionPoint(DIID_ITestWidgetEvents, point.put());
    sink = com::make<TestSink>();
    ASSERT_EQ(point->Advise(sink.get(), &cookie), S_OK);
    owner = testWidgetThreadId();
  }
  void TearDown() override {
    point->Unadvise(cookie);
    point.reset();
    sink.reset();
    widget.reset();
    CoUninitialize();
  }
  IStream* marshal(REFIID iid) {
    IStream* stream = nullptr;
    EXPECT_EQ(CoMarshalInterThreadInterfaceInStream(iid, widget.get(), &stream), S_OK);
    return stream;
  }

  com::ComPtr<ITestWidget> widget;
  com::ComPtr<IConnectionPoint> point;
  com::ComPtr<TestSink> sink;
  DWORD cookie = 0;
  ULONGLONG owner = 0;
};

TEST_F(Marshal, EventsRaisedByAWorkerRunOnTheOwnerWhileTheWorkerWaits) {
  IStream* stream = marshal(IID_ITestWidget);
  std::atomic<bool> handled{false};
  std::atomic<bool> seenByWorker{false};
  sink->onNotify = [&](LONG) { handled = true; };
  HRESULT workerHr = E_FAIL;
  ULONGLONG worker = 0;
  com::ComThread thread([&] {
    worker = testWidgetThreadId();
    ITestWidget* proxy = nullptr;
    if (FAILED(CoGetInterfaceAndReleaseStream(stream, IID_ITestWidget, reinterpret_cast<void**>(&proxy)))) return;
    proxy->put_PendingCode(5);
    workerHr = proxy->_OnEvent();
    seenByWorker = handled.load();  // the handler has run by the time the call returns
    proxy->Release();
  });
  ASSERT_EQ(thread.join(), S_OK);  // runs the worker's calls meanwhile
  EXPECT_EQ(workerHr, S_OK);
  EXPECT_TRUE(seenByWorker);
  EXPECT_EQ(sink->codes, std::vector<LONG>{5});
  EXPECT_EQ(sink->thread, owner);
  EXPECT_NE(worker, owner);
  ULONGLONG callThread = 0;
  widget->get_CallThread(&callThread);
  EXPECT_EQ(callThread, owner);
}

TEST_F(Marshal, ManyCallsInARowThroughVtableAndDispatch) {
  IStream* stream = marshal(IID_ITestWidget);
  IStream* dispatchStream = marshal(IID_IDispatch);
  LONG total = 0;
  HRESULT invokeHr = E_FAIL;
  VARIANT result;
  VariantInit(&result);
  com::ComThread thread([&] {
    com::ComPtr<ITestWidget> proxy;
    com::ComPtr<IDispatch> dispatch;
    CoGetInterfaceAndReleaseStream(stream, IID_ITestWidget, proxy.putVoid());
    CoGetInterfaceAndReleaseStream(dispatchStream, IID_IDispatch, dispatch.putVoid());
    for (LONG i = 1; i <= 1000; ++i) {
      LONG sum = 0;
      if (FAILED(proxy->Add(total, i, &sum))) return;
      total = sum;
    }
    VARIANT args[2] = {com::variantI4(2), com::variantI4(40)};
    DISPPARAMS params{args, nullptr, 2, 0};
    invokeHr = dispatch->Invoke(0x1, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
  });
  ASSERT_EQ(thread.join(), S_OK);
  EXPECT_EQ(total, 500500);
  EXPECT_EQ(invokeHr, S_OK);
  EXPECT_EQ(result.lVal, 42);
}

TEST_F(Marshal, ProxiesKeepIdentityAndRefuseWhatCannotCross) {
  IStream* stream = marshal(IID_ITestWidget);
  HRESULT containerHr = S_OK;
  bool sameIdentity = false, dispatchIsProxy = false;
  com::ComThread thread([&] {
    com::ComPtr<ITestWidget> proxy;
    CoGetInterfaceAndReleaseStream(stream, IID_ITestWidget, proxy.putVoid());
    com::ComPtr<IUnknown> u1, u2;
    com::ComPtr<IDispatch> dispatch;
    proxy.as(&u1);
    proxy.as(&dispatch);
    dispatch.as(&u2);
    sameIdentity = u1 && u1.get() == u2.get() && static_cast<void*>(u1.get()) != static_cast<void*>(widget.get());
    dispatchIsProxy = static_cast<void*>(dispatch.get()) == static_cast<void*>(proxy.get());
    com::ComPtr<IConnectionPointContainer> container;
    containerHr = proxy.as(&container);  // no proxy description for it
  });
  ASSERT_EQ(thread.join(), S_OK);
  EXPECT_TRUE(sameIdentity);
  EXPECT_TRUE(dispatchIsProxy);
  EXPECT_EQ(containerHr, E_NOINTERFACE);

  IStream* none = nullptr;
  EXPECT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IConnectionPointContainer, widget.get(), &none),
            REGDB_E_IIDNOTREG);
  // Unmarshalled at home, the stream gives the object itself.
  ITestWidget* self = nullptr;
  ASSERT_EQ(CoGetInterfaceAndReleaseStream(marshal(IID_ITestWidget), IID_ITestWidget,
                                           reinterpret_cast<void**>(&self)),
            S_OK);
  EXPECT_EQ(self, widget.get());
  self->Release();
}

TEST_F(Marshal, TwoApartmentsCallingEachOtherDoNotDeadlock) {
  // The worker owns a second widget; the owner's event handler calls it while
  // the worker is still waiting for the owner to handle its event.
  IStream* toWorker = marshal(IID_ITestWidget);
  std::atomic<IStream*> toOwner{nullptr};
  std::atomic<bool> ownerReady{false};
  com::ComPtr<ITestWidget> workerWidget;
  LONG fromHandler = 0;
  ULONGLONG handlerCallThread = 0, workerThread = 0;
  sink->onNotify = [&](LONG code) {
    workerWidget->Add(code, 100, &fromHandler);
    workerWidget->get_CallThread(&handlerCallThread);
  };
  com::ComThread thread([&] {
    workerThread = testWidgetThreadId();
    com::ComPtr<ITestWidget> mine, proxy;
    createTestWidget(IID_ITestWidget, mine.putVoid());
    IStream* s = nullptr;
    CoMarshalInterThreadInterfaceInStream(IID_ITestWidget, mine.get(), &s);
    toOwner = s;
    CoGetInterfaceAndReleaseStream(toWorker, IID_ITestWidget, proxy.putVoid());
    CoWaitUntil([](void* r) -> BOOL { return static_cast<std::atomic<bool>*>(r)->load(); }, &ownerReady, INFINITE);
    proxy->Raise(7);
  });
  ASSERT_EQ(CoWaitUntil([](void* s) -> BOOL { return static_cast<std::atomic<IStream*>*>(s)->load() != nullptr; },
                        &toOwner, INFINITE),
            S_OK);
  ASSERT_EQ(CoGetInterfaceAndReleaseStream(toOwner.load(), IID_ITestWidget, workerWidget.putVoid()), S_OK);
  ownerReady = true;
  CoWakeWaiters();
  ASSERT_EQ(thread.join(), S_OK);
  EXPECT_EQ(fromHandler, 107);
  EXPECT_EQ(handlerCallThread, workerThread);  // ran on the worker, which pumped while it waited
  workerWidget.reset();  // its apartment is gone: released there already, nothing left to do here
}

TEST_F(Marshal, CallsToAClosedApartmentFailAndTheHookHearsArrivals) {
  std::atomic<IStream*> stream{nullptr};
  std::atomic<bool> done{false};
  com::ComThread ownerThread([&] {
    com::ComPtr<ITestWidget> theirs;
    createTestWidget(IID_ITestWidget, theirs.putVoid());
    IStream* s = nullptr;
    CoMarshalInterThreadInterfaceInStream(IID_ITestWidget, theirs.get(), &s);
    stream = s;
    CoWaitUntil([](void* d) -> BOOL { return static_cast<std::atomic<bool>*>(d)->load(); }, &done, INFINITE);
  });
  CoWaitUntil([](void* s) -> BOOL { return static_cast<std::atomic<IStream*>*>(s)->load() != nullptr; }, &stream,
              INFINITE);
  com::ComPtr<ITestWidget> proxy;
  ASSERT_EQ(CoGetInterfaceAndReleaseStream(stream.load(), IID_ITestWidget, proxy.putVoid()), S_OK);
  LONG sum = 0;
  EXPECT_EQ(proxy->Add(1, 2, &sum), S_OK);  // runs while the other thread waits (and pumps)
  EXPECT_EQ(sum, 3);
  done = true;
  CoWakeWaiters();
  ASSERT_EQ(ownerThread.join(), S_OK);
  EXPECT_EQ(proxy->Add(1, 2, &sum), RPC_E_DISCONNECTED);
  proxy.reset();

  // The hook runs on the caller's thread each time a call is queued here.
  static std::atomic<int> arrivals{0};
  ASSERT_EQ(CoSetCallArrivedHook([](void*) { ++arrivals; }, nullptr), S_OK);
  IStream* mine = marshal(IID_ITestWidget);
  std::atomic<bool> finished{false};
  com::ComThread caller([&] {
    com::ComPtr<ITestWidget> p;
    CoGetInterfaceAndReleaseStream(mine, IID_ITestWidget, p.putVoid());
    LONG s = 0;
    p->Add(2, 2, &s);
    p.reset();
    finished = true;
  });
  while (!finished) CoPumpCalls(50);  // what a GUI loop does when the hook posts to it
  ASSERT_EQ(caller.join(), S_OK);
  EXPECT_GE(arrivals.load(), 1);
  CoSetCallArrivedHook(nullptr, nullptr);
}

TEST_F(Marshal, OwnerWaitingOnAnEventRunsTheWorkersCalls) {
  // As the engine waits for its rip thread to hand over the end of a rip
  // while that thread still raises events.
  IStream* stream = marshal(IID_ITestWidget);
  platform::Event over;
  std::thread worker([&] {
    CoInitialize(nullptr);
    com::ComPtr<ITestWidget> proxy;
    CoGetInterfaceAndReleaseStream(stream, IID_ITestWidget, proxy.putVoid());
    for (LONG code = 1; code <= 3; ++code) proxy->Raise(code);
    proxy.reset();
    CoUninitialize();
    over.set();
  });
  EXPECT_EQ(com::CoWaitForEvent(over, INFINITE), S_OK);
  worker.join();
  EXPECT_EQ(sink->codes, (std::vector<LONG>{1, 2, 3}));
  EXPECT_EQ(sink->thread, owner);
  platform::Event never;
  EXPECT_EQ(com::CoWaitForEvent(never, 0), RPC_S_CALLPENDING);
}

TEST(Apartment, InitialisationRules) {
  EXPECT_EQ(CoPumpCalls(0), CO_E_NOTINITIALIZED);
  IStream* stream = nullptr;
  com::ComPtr<ITestWidget> widget;
  createTestWidget(IID_ITestWidget, widget.putVoid());
  EXPECT_EQ(CoMarshalInterThreadInterfaceInStream(IID_ITestWidget, widget.get(), &stream), CO_E_NOTINITIALIZED);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  EXPECT_EQ(CoPumpCalls(0), S_FALSE);
  CoUninitialize();
  CoUninitialize();
  EXPECT_EQ(CoPumpCalls(0), CO_E_NOTINITIALIZED);
}

}  // namespace
