#include <gtest/gtest.h>

#include "platform/com/com.h"
#include "platform/com/testing/test_sink.h"

namespace {

struct Connected {
  com::ComPtr<ITestWidget> widget;
  com::ComPtr<IConnectionPoint> point;
  Connected() {
    createTestWidget(IID_ITestWidget, widget.putVoid());
    com::ComPtr<IConnectionPointContainer> container;
    widget.as(&container);
    container->FindConnectionPoint(DIID_ITestWidgetEvents, point.put());
  }
};

TEST(ConnectionPoint, FiresToEverySinkWithDistinctNonZeroCookies) {
  Connected c;
  ASSERT_TRUE(c.point);
  com::ComPtr<TestSink> a = com::make<TestSink>(), b = com::make<TestSink>();
  DWORD ca = 0, cb = 0;
  ASSERT_EQ(c.point->Advise(a.get(), &ca), S_OK);
  ASSERT_EQ(c.point->Advise(b.get(), &cb), S_OK);
  EXPECT_NE(ca, 0u);
  EXPECT_NE(cb, 0u);
  EXPECT_NE(ca, cb);
  c.widget->Raise(7);
  EXPECT_EQ(a->codes, std::vector<LONG>{7});
  EXPECT_EQ(b->codes, std::vector<LONG>{7});

  EXPECT_EQ(c.point->Unadvise(0), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(c.point->Unadvise(ca), S_OK);
  EXPECT_EQ(c.point->Unadvise(ca), CONNECT_E_NOCONNECTION);
  c.widget->Raise(8);
  EXPECT_EQ(a->codes, std::vector<LONG>{7});
  EXPECT_EQ(b->codes, (std::vector<LONG>{7, 8}));
  EXPECT_EQ(c.point->Unadvise(cb), S_OK);
}

TEST(ConnectionPoint, RefusesSinksOfOtherInterfacesAndUnknownPoints) {
  Connected c;
  com::ComPtr<ITestWidget> notASink;
  createTestWidget(IID_ITestWidget, notASink.putVoid());
  DWORD cookie = 5;
  EXPECT_EQ(c.point->Advise(notASink.get(), &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);
  com::ComPtr<IConnectionPointContainer> container;
  c.widget.as(&container);
  com::ComPtr<IConnectionPoint> none;
  EXPECT_EQ(container->FindConnectionPoint(IID_ITestWidget, none.put()), CONNECT_E_NOCONNECTION);
  IID iid{};
  c.point->GetConnectionInterface(&iid);
  EXPECT_EQ(iid, DIID_ITestWidgetEvents);
}

TEST(ConnectionPoint, SinksMayUnadviseDuringFiring) {
  Connected c;
  com::ComPtr<TestSink> first = com::make<TestSink>(), second = com::make<TestSink>(), third = com::make<TestSink>();
  DWORD c1 = 0, c2 = 0, c3 = 0;
  c.point->Advise(first.get(), &c1);
  c.point->Advise(second.get(), &c2);
  c.point->Advise(third.get(), &c3);
  // The first sink drops itself and the second; the second hears nothing.
  first->onNotify = [&](LONG) {
    c.point->Unadvise(c1);
    c.point->Unadvise(c2);
  };
  TestSink* weakSecond = second.get();
  second.reset();  // only the connection point holds it now
  c.widget->Raise(1);
  EXPECT_EQ(first->codes, std::vector<LONG>{1});
  EXPECT_EQ(third->codes, std::vector<LONG>{1});
  (void)weakSecond;
  c.widget->Raise(2);
  EXPECT_EQ(first->codes, std::vector<LONG>{1});
  EXPECT_EQ(third->codes, (std::vector<LONG>{1, 2}));
  c.point->Unadvise(c3);
}

TEST(ConnectionPoint, HoldsNoReferenceToItsContainer) {
  Connected c;
  com::ComPtr<IConnectionPointContainer> back;
  ASSERT_EQ(c.point->GetConnectionPointContainer(back.put()), S_OK);
  back.reset();
  ITestWidget* widget = c.widget.detach();
  EXPECT_EQ(widget->Release(), 0u);  // the connection point kept it from nothing
  EXPECT_EQ(c.point->GetConnectionPointContainer(back.put()), E_UNEXPECTED);
  com::ComPtr<TestSink> late = com::make<TestSink>();
  DWORD cookie = 0;
  EXPECT_EQ(c.point->Advise(late.get(), &cookie), S_OK);  // harmless: nobody fires any more
  c.point->Unadvise(cookie);
}

}  // namespace
