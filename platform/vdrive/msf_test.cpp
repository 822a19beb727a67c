#include "platform/vdrive/msf.h"

#include <gtest/gtest.h>

namespace platform::vdrive {
namespace {

TEST(Msf, AddressesAtTheEdgesOfTheProgramAreaAndLeadIn) {
  EXPECT_EQ(lbaToMsf(0), (Msf{0, 2, 0}));
  EXPECT_EQ(lbaToMsf(-150), (Msf{0, 0, 0}));
  EXPECT_EQ(lbaToMsf(-151), (Msf{99, 59, 74}));  // the lead-in wraps to the top of the clock
  EXPECT_EQ(lbaToMsf(kFirstMsfLba), (Msf{90, 0, 0}));
  EXPECT_EQ(lbaToMsf(kLastMsfLba), (Msf{89, 59, 74}));
  EXPECT_EQ(lbaToMsf(4499 - 150), (Msf{0, 59, 74}));
  EXPECT_EQ(lbaToMsf(4500 - 150), (Msf{1, 0, 0}));
  EXPECT_FALSE(lbaToMsf(kFirstMsfLba - 1));
  EXPECT_FALSE(lbaToMsf(kLastMsfLba + 1));
}

TEST(Msf, RoundTripsOverTheWholeRange) {
  for (Lba lba = kFirstMsfLba; lba <= kLastMsfLba; ++lba) {
    auto msf = lbaToMsf(lba);
    ASSERT_TRUE(msf) << lba;
    ASSERT_EQ(msfToLba(*msf), lba) << lba;
  }
  EXPECT_FALSE(msfToLba(Msf{0, 60, 0}));
  EXPECT_FALSE(msfToLba(Msf{0, 0, 75}));
  EXPECT_FALSE(msfToLba(Msf{100, 0, 0}));
}

TEST(Msf, ParsesAndFormatsCueTimes) {
  EXPECT_EQ(parseFrameTime("00:00:00"), 0);
  EXPECT_EQ(parseFrameTime("01:02:03"), 4500 + 150 + 3);
  EXPECT_EQ(parseFrameTime("120:00:00"), 120 * 4500);  // minutes may pass 99
  for (const char* bad : {"", "00:00", "00:60:00", "00:00:75", "a:b:c", "00:00:00:00", "-1:00:00", "1 :00:00",
                          "9999999999:00:00", "00::00"})
    EXPECT_FALSE(parseFrameTime(bad)) << bad;
  EXPECT_EQ(formatFrameTime(4500 + 150 + 3), "01:02:03");
  EXPECT_EQ(formatFrameTime(0), "00:00:00");
}

}  // namespace
}  // namespace platform::vdrive
