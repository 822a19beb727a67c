#include "platform/deviceio/win_device.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/deviceio/drive_table.h"
#include "platform/deviceio/fake_target.h"

namespace platform::deviceio {
namespace {

using testing::FakeTarget;

// The request and its sense area in one buffer, as callers lay it out.
struct Request {
  SCSI_PASS_THROUGH_DIRECT sptd;
  UCHAR sense[24];
};

class PassThroughTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DriveTable::Options options;
    options.deviceDirectory = "/nonexistent";
    options.configurationPath = "/nonexistent/vdrives.ini";
    DriveTable::instance().configure(options);
    target = std::make_shared<FakeTarget>();
    ASSERT_TRUE(registerDrive('E', target));
    device = CreateFileA("\\\\.\\E:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
  }
  void TearDown() override { CloseHandle(device); }

  // INQUIRY for 36 bytes into `data`.
  Request inquiry() {
    Request request{};
    request.sptd.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
    request.sptd.CdbLength = 6;
    request.sptd.SenseInfoLength = sizeof request.sense;
    request.sptd.DataIn = SCSI_IOCTL_DATA_IN;
    request.sptd.DataTransferLength = static_cast<ULONG>(data.size());
    request.sptd.TimeOutValue = 2;
    request.sptd.DataBuffer = data.data();
    request.sptd.SenseInfoOffset = offsetof(Request, sense);
    const UCHAR cdb[6] = {0x12, 0, 0, 0, 36, 0};
    std::memcpy(request.sptd.Cdb, cdb, sizeof cdb);
    return request;
  }

  BOOL send(HANDLE handle, Request& request, DWORD outBytes = sizeof(Request)) {
    returned = 0xFFFF;
    return DeviceIoControl(handle, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request, &request, outBytes,
                           &returned, nullptr);
  }

  std::shared_ptr<FakeTarget> target;
  HANDLE device = INVALID_HANDLE_VALUE;
  std::vector<uint8_t> data = std::vector<uint8_t>(36);
  DWORD returned = 0;
};

TEST_F(PassThroughTest, GoodCommandCarriesDataAndStatus) {
  target->fill = {0x05, 0x80, 0x05, 0x32};
  Request request = inquiry();
  ASSERT_TRUE(send(device, request));
  EXPECT_EQ(request.sptd.ScsiStatus, 0);
  EXPECT_EQ(request.sptd.DataTransferLength, 4u);  // what the drive actually sent
  EXPECT_EQ(request.sptd.SenseInfoLength, 0);
  EXPECT_EQ(returned, sizeof(SCSI_PASS_THROUGH_DIRECT));
  EXPECT_EQ(data[0], 0x05);
  EXPECT_EQ(target->lastCdb, (std::vector<uint8_t>{0x12, 0, 0, 0, 36, 0}));
  EXPECT_EQ(target->lastDirection, scsi::Direction::In);
  EXPECT_EQ(target->lastDataBytes, 36u);
  EXPECT_EQ(target->lastTimeoutMs, 2000u);
}

TEST_F(PassThroughTest, CheckConditionIsReportedWithItsSense) {
  target->answer = FakeTarget::checkCondition(0x05, 0x24, 0x00);
  Request request = inquiry();
  request.sptd.SenseInfoLength = 14;  // less room than the drive's 18 bytes
  std::memset(request.sense, 0xEE, sizeof request.sense);
  ASSERT_TRUE(send(device, request));
  EXPECT_EQ(request.sptd.ScsiStatus, scsi::kStatusCheckCondition);
  EXPECT_EQ(request.sptd.SenseInfoLength, 14);
  EXPECT_EQ(request.sense[0], 0x70);
  EXPECT_EQ(request.sense[2], 0x05);
  EXPECT_EQ(request.sense[12], 0x24);
  EXPECT_EQ(request.sense[14], 0xEE);  // nothing past the room given
  EXPECT_EQ(returned, offsetof(Request, sense) + 14);
}

TEST_F(PassThroughTest, MediumChangeIsReportedOnceToEveryHandleOpenedBefore) {
  HANDLE second = CreateFileA("\\\\.\\e:", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(second, INVALID_HANDLE_VALUE);
  target->mediumChangePending = true;

  Request request = inquiry();
  EXPECT_FALSE(send(device, request));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MEDIA_CHANGED));
  EXPECT_TRUE(send(device, request));

  HANDLE third = CreateFileA("\\\\.\\E:", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_TRUE(send(third, request));

  const int commandsBefore = target->commands;
  EXPECT_FALSE(send(second, request));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MEDIA_CHANGED));
  EXPECT_EQ(target->commands, commandsBefore);  // refused before reaching the drive
  EXPECT_TRUE(send(second, request));
  CloseHandle(second);
  CloseHandle(third);
}

TEST_F(PassThroughTest, ClosedOrUnknownHandlesAreInvalid) {
  HANDLE other = CreateFileA("\\\\.\\E:", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_TRUE(CloseHandle(other));
  EXPECT_FALSE(CloseHandle(other));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  Request request = inquiry();
  for (HANDLE bad : {other, INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr), reinterpret_cast<HANDLE>(0x1234)}) {
    EXPECT_FALSE(send(bad, request));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  }
  EXPECT_EQ(CreateFileA("\\\\.\\F:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(CreateFileA("E:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(target->commands, 0);
}

TEST_F(PassThroughTest, MalformedRequestsNeverReachTheDrive) {
  struct Case {
    const char* what;
    void (*spoil)(Request&);
    DWORD outBytes;
  };
  const Case cases[] = {
      {"CDB longer than 16", [](Request& r) { r.sptd.CdbLength = 17; }, sizeof(Request)},
      {"empty CDB", [](Request& r) { r.sptd.CdbLength = 0; }, sizeof(Request)},
      {"foreign Length", [](Request& r) { r.sptd.Length = 44; }, sizeof(Request)},
      {"sense past the output", [](Request& r) { r.sptd.SenseInfoLength = 32; }, sizeof(Request)},
      {"sense over the request", [](Request& r) { r.sptd.SenseInfoOffset = 8; }, sizeof(Request)},
      {"huge sense offset", [](Request& r) { r.sptd.SenseInfoOffset = 0xFFFFFFF0u; }, sizeof(Request)},
      {"output too small", [](Request&) {}, sizeof(SCSI_PASS_THROUGH_DIRECT) - 1},
      {"transfer without buffer", [](Request& r) { r.sptd.DataBuffer = nullptr; }, sizeof(Request)},
      {"transfer beyond the limit", [](Request& r) { r.sptd.DataTransferLength = 0x7FFFFFFF; }, sizeof(Request)},
      {"no time-out", [](Request& r) { r.sptd.TimeOutValue = 0; }, sizeof(Request)},
      {"unknown direction", [](Request& r) { r.sptd.DataIn = 3; }, sizeof(Request)},
  };
  for (const Case& c : cases) {
    Request request = inquiry();
    c.spoil(request);
    EXPECT_FALSE(send(device, request, c.outBytes)) << c.what;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << c.what;
  }
  Request request = inquiry();
  EXPECT_FALSE(DeviceIoControl(device, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request - 30, &request,
                               sizeof request, &returned, nullptr));
  EXPECT_EQ(target->commands, 0);
}

TEST_F(PassThroughTest, DriveGetsNoMoreRoomThanTheCallerGave) {
  target->fill.assign(4096, 0x5A);
  std::vector<uint8_t> guarded(64, 0);
  Request request = inquiry();
  request.sptd.Cdb[4] = 0xFF;  // the CDB asks for 255 bytes
  request.sptd.DataBuffer = guarded.data();
  request.sptd.DataTransferLength = 16;
  ASSERT_TRUE(send(device, request));
  EXPECT_EQ(target->lastDataBytes, 16u);
  EXPECT_EQ(guarded[15], 0x5A);
  EXPECT_EQ(guarded[16], 0);

  request = inquiry();
  request.sptd.DataIn = SCSI_IOCTL_DATA_UNSPECIFIED;
  ASSERT_TRUE(send(device, request));
  EXPECT_EQ(target->lastDirection, scsi::Direction::None);
  EXPECT_EQ(target->lastDataBytes, 0u);
  EXPECT_EQ(request.sptd.DataTransferLength, 0u);
}

TEST_F(PassThroughTest, UnfinishedCommandFails) {
  target->answer.completed = false;
  Request request = inquiry();
  EXPECT_FALSE(send(device, request));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SEM_TIMEOUT));
}

TEST_F(PassThroughTest, AddressOfAVirtualDrive) {
  target->where = {3, 1, 4, 1};
  SCSI_ADDRESS address{};
  ASSERT_TRUE(DeviceIoControl(device, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address, sizeof address, &returned, nullptr));
  EXPECT_EQ(returned, 8u);
  EXPECT_EQ(address.Length, 8u);
  EXPECT_EQ(address.PortNumber, 3);
  EXPECT_EQ(address.PathId, 1);
  EXPECT_EQ(address.TargetId, 4);
  EXPECT_EQ(address.Lun, 1);
  EXPECT_FALSE(DeviceIoControl(device, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address, 7, &returned, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_FALSE(DeviceIoControl(device, 0x12345, nullptr, 0, &address, sizeof address, &returned, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_FUNCTION));
}

}  // namespace
}  // namespace platform::deviceio
