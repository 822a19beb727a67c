#include <gtest/gtest.h>

#include <climits>
#include <thread>
#include <vector>

#include "platform/com/objbase.h"
#include "platform/sync/event.h"
#include "platform/sync/event_c.h"
#include "platform/sync/win32_time.h"

namespace platform {
namespace {

// The COM runtime's waits and the time helpers share one INFINITE, so a
// source may include both.
static_assert(INFINITE == 0xFFFFFFFFu);
static_assert(INFINITE == RM_EVENT_INFINITE);

TEST(EventTest, StaysSignalledUntilResetAndReleasesEveryWaiter) {
  Event event;
  EXPECT_FALSE(event.wait(0));
  std::vector<std::thread> waiters;
  std::vector<int> released(3, 0);
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&event, &released, i] { released[i] = event.wait(Event::kInfiniteMs) ? 1 : 0; });
  }
  event.set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(released, (std::vector<int>{1, 1, 1}));
  EXPECT_TRUE(event.wait(0));  // manual reset: still set
  event.reset();
  EXPECT_FALSE(event.wait(1));
}

TEST(EventTest, CCodeSignalsTheSameObject) {
  Event event;
  RmEvent* handle = event.cHandle();
  std::thread signaller([handle] { rm_event_set(handle); });
  EXPECT_TRUE(event.wait());
  signaller.join();
  rm_event_reset(handle);
  EXPECT_FALSE(event.isSet());

  RmEvent* owned = rm_event_create(1);
  ASSERT_NE(owned, nullptr);
  EXPECT_EQ(rm_event_wait(owned, 0), 1);
  rm_event_reset(owned);
  EXPECT_EQ(rm_event_wait(owned, 0), 0);
  rm_event_destroy(owned);
}

TEST(MulDivTest, RoundsHalvesAwayFromZero) {
  EXPECT_EQ(MulDiv(5, 1, 2), 3);
  EXPECT_EQ(MulDiv(-5, 1, 2), -3);
  EXPECT_EQ(MulDiv(5, -1, 2), -3);
  EXPECT_EQ(MulDiv(5, 1, -2), -3);
  EXPECT_EQ(MulDiv(-5, -1, -2), -3);
  EXPECT_EQ(MulDiv(7, 1, 4), 2);   // 1.75
  EXPECT_EQ(MulDiv(-7, 1, 4), -2);
  EXPECT_EQ(MulDiv(5, 1, 4), 1);   // 1.25
  EXPECT_EQ(MulDiv(2, 1, 3), 1);   // 0.67
  EXPECT_EQ(MulDiv(1, 1, 3), 0);
  // The intermediate needs 64 bits.
  EXPECT_EQ(MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX);
  EXPECT_EQ(MulDiv(1000000, 1000000, 1000), 1000000000);
  EXPECT_EQ(MulDiv(INT_MIN, 1, 1), INT_MIN);
}

TEST(MulDivTest, AnswersMinusOneForZeroDivisorAndOverflow) {
  EXPECT_EQ(MulDiv(1, 2, 0), -1);
  EXPECT_EQ(MulDiv(INT_MAX, 2, 1), -1);
  EXPECT_EQ(MulDiv(INT_MIN, -1, 1), -1);
  EXPECT_EQ(MulDiv(INT_MIN, INT_MIN, 1), -1);
  EXPECT_EQ(MulDiv(INT_MIN, 1, -1), -1);
}

TEST(TickCountTest, NeverGoesBackwards) {
  const DWORD first = GetTickCount();
  Sleep(0);
  EXPECT_LT(static_cast<DWORD>(GetTickCount() - first), 0x80000000u);
}

}  // namespace
}  // namespace platform
