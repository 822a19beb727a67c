#include "engine/device/transport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/device/device_fixture.h"
#include "engine/device/device_log.h"
#include "engine/device/drive_commands.h"
#include "engine/device/drive_list.h"
#include "engine/device/os_class.h"
#include "engine/device/reads.h"
#include "engine/device/spti.h"
#include "platform/aspi/wnaspi32.h"

namespace engine::device::testing {
namespace {

TEST(OsClass, EveryNtVersionFromFiveOnIsNtClass) {
  auto cls = [](uint32_t platform, uint32_t major, uint32_t minor, const char* sp = "") {
    OsVersion v;
    v.platformId = platform;
    v.major = major;
    v.minor = minor;
    std::strncpy(v.servicePack, sp, sizeof(v.servicePack) - 1);
    return OsClassFromVersion(v);
  };
  EXPECT_EQ(cls(1, 4, 0, " C"), 1);
  EXPECT_EQ(cls(1, 4, 0, ""), 0);
  EXPECT_EQ(cls(1, 4, 10, " A"), 2);
  EXPECT_EQ(cls(1, 4, 10, ""), 0);
  EXPECT_EQ(cls(1, 4, 90), 3);
  EXPECT_EQ(cls(2, 4, 0), 4);
  EXPECT_EQ(cls(2, 5, 0), 5);
  EXPECT_EQ(cls(2, 5, 1), 6);
  EXPECT_GE(cls(2, 5, 2), kOsClassFirstNt);
  EXPECT_GE(cls(2, 10, 0), kOsClassFirstNt);
  EXPECT_EQ(cls(0, 3, 1), 0);
  EXPECT_GE(OsClass(), kOsClassFirstNt);  // this platform reports an NT-class system
}

using Transport = DeviceTest;

TEST_F(Transport, EmulationListsDrivesByPortAndRefusesASecondLoad) {
  std::vector<std::string> lines;
  SetDeviceLog([&lines](std::string_view line) { lines.emplace_back(line); });
  AddDrive('E', {1000}, {1, 0, 0, 0});
  AddDrive('F', {1000}, {2, 0, 3, 0});
  ASSERT_EQ(LoadTransport(false), 1);
  EXPECT_TRUE(TransportIsEmulation());
  EXPECT_TRUE(TransportUsable());
  EXPECT_EQ(LoadTransport(false), 0);
  SetDeviceLog(nullptr);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "Extended Log Start\r\n");

  // Ports 1 and 2, and port 0 which always counts.
  EXPECT_EQ(QueryAdapterCount(), 3);
  DriveList list;
  EXPECT_EQ(BuildDriveList(list), 1);
  ASSERT_EQ(list.count, 2);
  EXPECT_EQ(list.drives[0].adapter, 1);
  EXPECT_EQ(list.drives[1].adapter, 2);
  EXPECT_EQ(list.drives[1].target, 3);
  EXPECT_STREQ(list.drives[0].name, "RIPTEST , Virtual CD-ROM   v1.00 (1:0:0)");
  EXPECT_STREQ(list.drives[0].vendorSpecific, "E:\\");
  EXPECT_STREQ(list.drives[1].vendorSpecific, "F:\\");
  EXPECT_EQ(QueryDeviceType(0, 0, 0), 31);

  SRB_HAInquiry inquiry{};
  inquiry.SRB_Cmd = SC_HA_INQUIRY;
  inquiry.SRB_HaId = 2;
  EXPECT_EQ(TransportEntries().sendCommand(&inquiry), DWORD{SS_COMP});
  EXPECT_EQ(std::string(reinterpret_cast<char*>(inquiry.HA_Identifier), 16), "SCSI Adapter 2  ");
  inquiry.SRB_HaId = 3;
  EXPECT_EQ(TransportEntries().sendCommand(&inquiry), DWORD{SS_INVALID_HA});

  EXPECT_EQ(UnloadTransport(false), 1);
  EXPECT_EQ(UnloadTransport(false), 0);
}

// A drive at a target above 7 (any address may be given to a virtual
// drive) is found: the adapter counts the targets its drives use.
TEST_F(Transport, ADriveAtAHighTargetIsListed) {
  AddDrive('E', {100}, {0, 0, 7, 0});
  AddDrive('F', {100}, {0, 0, 8, 0});
  ASSERT_EQ(LoadTransport(false), 1);
  DriveList list;
  BuildDriveList(list);
  ASSERT_EQ(list.count, 2);
  EXPECT_EQ(list.drives[1].target, 8);
  EXPECT_STREQ(list.drives[1].vendorSpecific, "F:\\");
}

TEST_F(Transport, NinthDriveIsNotListed) {
  for (int i = 0; i < 9; ++i)
    AddDrive(char('D' + i), {100}, {1, 0, uint8_t(i % 8), uint8_t(i / 8)});
  ASSERT_EQ(LoadTransport(false), 1);
  DriveList list;
  BuildDriveList(list);
  EXPECT_EQ(list.count, 8);
  EXPECT_EQ(list.capacity, 8);
}

TEST_F(Transport, WithoutDrivesOrLibraryTheStandByAnswers) {
  SetAspiLibraryPath(home_ + "/missing/libwnaspi32.so");
  EXPECT_EQ(LoadTransport(false), 0);  // no drive by letter, so the library is tried
  EXPECT_EQ(LastDeviceError(), DEVERR_NO_LIBRARY);
  EXPECT_EQ(TransportEntries().getSupportInfo(), 0xE3u);
  EXPECT_EQ(QueryAdapterCount(), -1);
  EXPECT_EQ(LastCommandStatus(), 0);
  SRB_ExecSCSICmd srb{};
  EXPECT_EQ(TransportEntries().sendCommand(&srb), DWORD{SS_NO_ASPI});
  EXPECT_EQ(srb.SRB_Status, SS_NO_ASPI);

  SetAspiLibraryPath("libm.so.6");  // a library without the entry points
  EXPECT_EQ(LoadTransport(true), 0);
  EXPECT_EQ(LastDeviceError(), DEVERR_NO_SUPPORT_ENTRY);
  SetAspiLibraryPath("libwnaspi32.so");
}

TEST_F(Transport, HandlesAndTheirChecks) {
  AddDrive('E', {1000}, {1, 0, 0, 0});
  ASSERT_EQ(LoadTransport(false), 1);
  EXPECT_EQ(OpenDevice(nullptr), 0);
  EXPECT_EQ(LastDeviceError(), DEVERR_NULL_REQUEST);
  OpenRequest bad;
  bad.version = 2;
  EXPECT_EQ(OpenDevice(&bad), 0);
  EXPECT_EQ(LastDeviceError(), DEVERR_BAD_REQUEST);
  bad.version = 1;
  bad.size = 11;
  EXPECT_EQ(OpenDevice(&bad), 0);
  EXPECT_EQ(LastDeviceError(), DEVERR_BAD_REQUEST);

  ClearDeviceErrors();
  EXPECT_EQ(Open(0, CDRT_ATAPI2), 0);
  EXPECT_EQ(LastDeviceError(), DEVERR_NOT_CDROM);

  const int32_t h = Open(1, 9, 1, 3);  // a read type outside 1..8: auto-detection
  ASSERT_EQ(h, 1);
  EXPECT_EQ(FindOpenHandle(h)->readType, CDRT_ANY);
  EXPECT_EQ(FindOpenHandle(h)->overlapFrames, 1);
  EXPECT_EQ(FindOpenHandle(h)->rewindFrames, 3);
  EXPECT_EQ(Open(1, CDRT_ATAPI2), 0);
  EXPECT_EQ(LastDeviceError(), DEVERR_ALREADY_OPEN);

  for (int32_t code : {0x21, 0x22, 0x23, 0x28}) EXPECT_EQ(SetDeviceParameter(h, code, 5), 0);
  EXPECT_EQ(FindOpenHandle(h)->rewindFrames, 3);
  EXPECT_EQ(SetDeviceParameter(h, PARAM_REWIND, 2), 1);
  EXPECT_EQ(FindOpenHandle(h)->rewindFrames, 2);
  EXPECT_EQ(SetDeviceParameter(h, PARAM_SPEED, 44885), 1);
  EXPECT_EQ(SetDeviceParameter(5, PARAM_MSF, 1), 0);
  EXPECT_EQ(LastDeviceError(), DEVERR_BAD_HANDLE);

  EXPECT_EQ(CloseDevice(h), 1);
  EXPECT_EQ(CloseDevice(h), 0);
  EXPECT_EQ(CloseDevice(17), 0);
  EXPECT_EQ(SendPreventAllow(h, 1), kResultFail);
  EXPECT_EQ(LastDeviceError(), DEVERR_BAD_HANDLE);
}

TEST_F(Transport, SixteenHandlesAtMost) {
  for (int i = 0; i < 17; ++i)
    AddDrive(char('C' + i), {100}, {1, 0, uint8_t(i % 8), uint8_t(i / 8)});
  ASSERT_EQ(LoadTransport(false), 1);
  for (int i = 0; i < 16; ++i)
    ASSERT_EQ(Open(1, CDRT_ATAPI2, 0, 0, uint8_t(i % 8), uint8_t(i / 8)), i + 1);
  EXPECT_EQ(Open(1, CDRT_ATAPI2, 0, 0, 0, 2), 0);
  EXPECT_EQ(LastDeviceError(), DEVERR_NO_FREE_HANDLE);
}

TEST_F(Transport, RejectedCommandsFailAndTestUnitReadyTriesTwice) {
  auto drive = AddDrive('E', {1000});
  ASSERT_EQ(LoadTransport(false), 1);
  const int32_t h = Open(1, CDRT_ATAPI2);
  EXPECT_EQ(SendTestUnitReady(h), kResultOk);
  drive->discPresent = false;
  drive->cdbs.clear();
  ClearDeviceErrors();
  EXPECT_EQ(SendTestUnitReady(h), kResultFail);  // the second try's status
  ASSERT_EQ(drive->cdbs.size(), 2u);
  EXPECT_EQ(drive->cdbs[0].size(), 12u);
  EXPECT_EQ(drive->cdbs[1].size(), 10u);
  EXPECT_EQ(LastDeviceError(), 0);

  // CHECK CONDITION through the pass-through is a failure, not a success.
  drive->acceptReadCd = false;
  auto buffer = AllocateTrackBuffer(1);
  buffer->frameCount = 1;
  EXPECT_EQ(ReadCDAudioLBA_ATAPI(h, *buffer), kResultFail);
  EXPECT_EQ(LastDeviceError(), DEVERR_COMMAND_FAILED);
  EXPECT_EQ(LastCommandStatus(), SS_ERR);
}

TEST_F(Transport, InquiryShorterThanAskedLeavesTheRestClear) {
  auto drive = AddDrive('E', {100});
  drive->inquiryBytes = 12;
  ASSERT_EQ(LoadTransport(false), 1);
  DriveList list;
  BuildDriveList(list);
  ASSERT_EQ(list.count, 1);
  EXPECT_STREQ(list.drives[0].vendor, "RIPT");
  EXPECT_STREQ(list.drives[0].product, "");
  EXPECT_STREQ(list.drives[0].name, "RIPT,  v (1:0:0)");
}

}  // namespace
}  // namespace engine::device::testing
