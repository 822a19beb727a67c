#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/com/com.h"
#include "platform/com/testing/test_widget.h"

namespace {

int destroyed = 0;

struct ICounter : IUnknown {
  static constexpr IID uuid = com::guid("0C3F9B0A-1111-4A4B-9D3E-6F1A2B3C4D05");
  STDMETHOD_(LONG, Value)() PURE;
};

class Counter final : public com::ComObject<Counter, ICounter> {
 public:
  ~Counter() { ++destroyed; }
  LONG STDMETHODCALLTYPE Value() override { return 1; }
};

TEST(ComObject, IdentityAndQueryInterfaceRules) {
  com::ComPtr<ITestWidget> widget;
  ASSERT_EQ(createTestWidget(IID_ITestWidget, widget.putVoid()), S_OK);
  com::ComPtr<IUnknown> fromWidget, fromContainer;
  com::ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(widget.as(&fromWidget), S_OK);
  ASSERT_EQ(widget.as(&container), S_OK);
  ASSERT_EQ(container.as(&fromContainer), S_OK);
  EXPECT_EQ(fromWidget.get(), fromContainer.get());  // one identity
  com::ComPtr<IDispatch> dispatch;
  ASSERT_EQ(container.as(&dispatch), S_OK);  // symmetric and transitive
  EXPECT_EQ(static_cast<void*>(dispatch.get()), static_cast<void*>(widget.get()));

  void* nothing = reinterpret_cast<void*>(1);
  EXPECT_EQ(widget->QueryInterface(IID_IClassFactory, &nothing), E_NOINTERFACE);
  EXPECT_EQ(nothing, nullptr);
  EXPECT_EQ(widget->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST(ComObject, CountsAreAtomicAndFreeOnce) {
  destroyed = 0;
  Counter* c = new Counter;
  EXPECT_EQ(c->AddRef(), 1u);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([c] {
      for (int i = 0; i < 10000; ++i) {
        c->AddRef();
        c->Release();
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(c->Release(), 0u);
  EXPECT_EQ(destroyed, 1);
}

TEST(ComObject, ReleaseBelowZeroNeitherWrapsNorFreesAgain) {
  std::atomic<ULONG> count{1};
  bool last = false;
  EXPECT_EQ(com::releaseFloored(count, &last), 0u);
  EXPECT_TRUE(last);
  EXPECT_EQ(com::releaseFloored(count, &last), 0u);
  EXPECT_FALSE(last);  // a second "last" would free twice
  EXPECT_EQ(count.load(), 0u);

  // A module's lock count floors the same way, so DllCanUnloadNow cannot
  // be talked into unloading a library whose objects live.
  ASSERT_EQ(com::moduleLockCount(), 0);
  com::ComPtr<IClassFactory> factory;
  ASSERT_EQ(com::factoryFor<Counter>(IID_IClassFactory, factory.putVoid()), S_OK);
  EXPECT_EQ(com::moduleLockCount(), 1);
  for (int i = 0; i < 3; ++i) factory->LockServer(FALSE);
  EXPECT_EQ(com::moduleLockCount(), 0);
  factory.reset();
  EXPECT_EQ(com::moduleLockCount(), 0);
}

TEST(ComObject, FactoryRefusesAggregationAndUnknownInterfaces) {
  destroyed = 0;
  com::ComPtr<IClassFactory> factory;
  ASSERT_EQ(com::factoryFor<Counter>(IID_IClassFactory, factory.putVoid()), S_OK);
  void* p = nullptr;
  EXPECT_EQ(factory->CreateInstance(factory.get(), ICounter::uuid, &p), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &p), E_NOINTERFACE);
  EXPECT_EQ(destroyed, 1);  // the object made for the refused request is gone
  ASSERT_EQ(factory->CreateInstance(nullptr, ICounter::uuid, &p), S_OK);
  EXPECT_EQ(static_cast<ICounter*>(p)->Value(), 1);
  static_cast<ICounter*>(p)->Release();
}

}  // namespace
