#include "platform/deviceio/sg_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <scsi/scsi.h>
#include <scsi/sg.h>
#include <stdlib.h>

#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "platform/deviceio/drive_table.h"
#include "platform/deviceio/win_device.h"
#include "platform/sys/sys.h"

namespace platform::deviceio {
namespace {

// A kernel with one SG device: it checks every SG_IO header the way the
// kernel would and answers with what the test scripted.
class FakeKernel {
 public:
  int open(const char* path, int flags) {
    openedPath = path;
    openFlags.push_back(flags);
    if (!openErrors.empty()) {
      errno = openErrors.front();
      openErrors.pop_front();
      return -1;
    }
    return 7;
  }
  int ioctl(int fd, unsigned long request, void* argument) {
    EXPECT_EQ(fd, 7);
    if (interruptions > 0) {
      --interruptions;
      errno = EINTR;
      return -1;
    }
    if (request == SG_GET_SCSI_ID) {
      errno = ENOTTY;  // the sr driver does not know it
      return -1;
    }
    if (request == SCSI_IOCTL_GET_IDLUN) {
      static_cast<int*>(argument)[0] = (2 << 24) | (1 << 16) | (3 << 8) | 5;  // host 2, channel 1, lun 3, id 5
      return 0;
    }
    if (request != SG_IO) {
      errno = EINVAL;
      return -1;
    }
    auto& io = *static_cast<sg_io_hdr_t*>(argument);
    ++commands;
    EXPECT_EQ(io.interface_id, 'S');
    direction = io.dxfer_direction;
    transferBytes = io.dxfer_len;
    cdb.assign(io.cmdp, io.cmdp + io.cmd_len);
    timeoutMs = io.timeout;
    if (io.dxfer_direction == SG_DXFER_FROM_DEV) {
      EXPECT_NE(io.dxferp, nullptr);
      std::memset(io.dxferp, 0xA5, io.dxfer_len - resid);
    }
    io.status = status;
    io.host_status = hostStatus;
    io.resid = resid;
    const size_t senseBytes = std::min<size_t>(sense.size(), io.mx_sb_len);
    std::memcpy(io.sbp, sense.data(), senseBytes);
    io.sb_len_wr = static_cast<unsigned char>(senseBytes);
    return 0;
  }
  int close(int fd) {
    EXPECT_EQ(fd, 7);
    ++closes;
    return 0;
  }

  std::deque<int> openErrors;
  int interruptions = 0;
  uint8_t status = 0;
  uint16_t hostStatus = 0;
  int resid = 0;
  std::vector<uint8_t> sense;

  std::string openedPath;
  std::vector<int> openFlags;
  int commands = 0;
  int direction = 0;
  unsigned transferBytes = 0;
  std::vector<uint8_t> cdb;
  unsigned timeoutMs = 0;
  int closes = 0;
};

FakeKernel* kernelInUse = nullptr;

// Only the drive is the fake kernel's; other files are real.
int fakeOpen(const char* path, int flags, mode_t mode) {
  if (std::string_view(path).ends_with("/sr0")) return kernelInUse->open(path, flags);
  return sys::realSysCalls().open(path, flags, mode);
}
int fakeIoctl(int fd, unsigned long request, void* argument) { return kernelInUse->ioctl(fd, request, argument); }
int fakeClose(int fd) { return fd == 7 ? kernelInUse->close(fd) : sys::realSysCalls().close(fd); }

class SgPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kernelInUse = kernel.get();
    char pattern[] = "/tmp/deviceio_sg.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    std::ofstream(folder / "sr0").put('\0');
    DriveTable::Options options;
    options.deviceDirectory = folder.string();
    options.configurationPath = (folder / "vdrives.ini").string();
    DriveTable::instance().configure(options);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  HANDLE open() {
    return CreateFileA("\\\\.\\C:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                       nullptr);
  }

  SCSI_PASS_THROUGH_DIRECT readCd(std::vector<uint8_t>& buffer, UCHAR direction = SCSI_IOCTL_DATA_IN) {
    SCSI_PASS_THROUGH_DIRECT request{};
    request.Length = sizeof request;
    request.CdbLength = 12;
    request.DataIn = direction;
    request.DataTransferLength = static_cast<ULONG>(buffer.size());
    request.DataBuffer = buffer.data();
    request.TimeOutValue = 5;
    const UCHAR cdb[12] = {0xBE, 0, 0, 0, 0, 0, 0, 0, 2, 0x10, 0, 0};  // two frames
    std::memcpy(request.Cdb, cdb, sizeof cdb);
    return request;
  }

  struct WithSense {
    SCSI_PASS_THROUGH_DIRECT sptd;
    UCHAR sense[32];
  };

  std::filesystem::path folder;
  std::unique_ptr<FakeKernel> kernel = std::make_unique<FakeKernel>();
  sys::ScopedSysCall<decltype(sys::SysCalls::open)> openGuard{&sys::SysCalls::open, fakeOpen};
  sys::ScopedSysCall<decltype(sys::SysCalls::ioctl)> ioctlGuard{&sys::SysCalls::ioctl, fakeIoctl};
  sys::ScopedSysCall<decltype(sys::SysCalls::close)> closeGuard{&sys::SysCalls::close, fakeClose};
};

TEST_F(SgPathTest, OpensReadWriteThenReadOnlyAndClosesWithTheLastUser) {
  kernel->openErrors = {EACCES};
  HANDLE device = open();
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  EXPECT_EQ(kernel->openedPath, (folder / "sr0").string());
  ASSERT_EQ(kernel->openFlags.size(), 2u);
  EXPECT_EQ(kernel->openFlags[0] & O_ACCMODE, O_RDWR);
  EXPECT_NE(kernel->openFlags[0] & O_NONBLOCK, 0);
  EXPECT_EQ(kernel->openFlags[1] & O_ACCMODE, O_RDONLY);
  EXPECT_TRUE(CloseHandle(device));
  EXPECT_EQ(kernel->closes, 1);

  kernel->openErrors = {ENOENT};
  EXPECT_EQ(open(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  kernel->openErrors = {EBUSY};
  EXPECT_EQ(open(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_BUSY));
}

TEST_F(SgPathTest, ReadCarriesDirectionLengthAndResidue) {
  HANDLE device = open();
  std::vector<uint8_t> buffer(2 * 2352 + 8, 0);
  kernel->resid = 2352;  // the drive sent one frame
  auto request = readCd(buffer);
  request.DataTransferLength = 2 * 2352;  // less than the buffer holds
  ASSERT_TRUE(DeviceIoControl(device, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request, &request,
                              sizeof request, nullptr, nullptr));
  EXPECT_EQ(kernel->direction, SG_DXFER_FROM_DEV);
  EXPECT_EQ(kernel->transferBytes, 2u * 2352);
  EXPECT_EQ(kernel->cdb.size(), 12u);
  EXPECT_EQ(kernel->cdb[0], 0xBE);
  EXPECT_EQ(kernel->timeoutMs, 5000u);
  EXPECT_EQ(request.DataTransferLength, 2352u);
  EXPECT_EQ(buffer[2351], 0xA5);
  EXPECT_EQ(buffer[2352], 0);

  auto none = readCd(buffer, SCSI_IOCTL_DATA_UNSPECIFIED);
  ASSERT_TRUE(DeviceIoControl(device, IOCTL_SCSI_PASS_THROUGH_DIRECT, &none, sizeof none, &none, sizeof none,
                              nullptr, nullptr));
  EXPECT_EQ(kernel->direction, SG_DXFER_NONE);
  EXPECT_EQ(kernel->transferBytes, 0u);

  auto out = readCd(buffer, SCSI_IOCTL_DATA_OUT);
  kernel->resid = 0;
  ASSERT_TRUE(DeviceIoControl(device, IOCTL_SCSI_PASS_THROUGH_DIRECT, &out, sizeof out, &out, sizeof out, nullptr,
                              nullptr));
  EXPECT_EQ(kernel->direction, SG_DXFER_TO_DEV);
  EXPECT_EQ(kernel->transferBytes, buffer.size());
  CloseHandle(device);
}

TEST_F(SgPathTest, StatusAndSenseComeBackAndInterruptionsAreRetried) {
  HANDLE device = open();
  std::vector<uint8_t> buffer(2352);
  kernel->status = scsi::kStatusCheckCondition;
  kernel->sense = {0x70, 0, 0x03, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x11, 0x05, 0, 0, 0, 0, 0xAB, 0xCD};
  kernel->interruptions = 2;
  WithSense request{readCd(buffer), {}};
  request.sptd.SenseInfoLength = 32;
  request.sptd.SenseInfoOffset = offsetof(WithSense, sense);
  DWORD returned = 0;
  ASSERT_TRUE(DeviceIoControl(device, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request, &request,
                              sizeof request, &returned, nullptr));
  EXPECT_EQ(kernel->commands, 1);
  EXPECT_EQ(request.sptd.ScsiStatus, scsi::kStatusCheckCondition);
  EXPECT_EQ(request.sptd.SenseInfoLength, 20);  // all the drive sent, longer than fixed sense
  EXPECT_EQ(request.sense[12], 0x11);
  EXPECT_EQ(request.sense[19], 0xCD);
  EXPECT_EQ(returned, offsetof(WithSense, sense) + 20);

  kernel->hostStatus = 0x03;  // DID_TIME_OUT
  EXPECT_FALSE(DeviceIoControl(device, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request, &request,
                               sizeof request, &returned, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SEM_TIMEOUT));
  CloseHandle(device);
}

TEST_F(SgPathTest, AddressFromTheOlderIoctl) {
  HANDLE device = open();
  SCSI_ADDRESS address{};
  ASSERT_TRUE(DeviceIoControl(device, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address, sizeof address, nullptr, nullptr));
  EXPECT_EQ(address.PortNumber, 2);
  EXPECT_EQ(address.PathId, 1);
  EXPECT_EQ(address.TargetId, 5);
  EXPECT_EQ(address.Lun, 3);
  CloseHandle(device);
}

}  // namespace
}  // namespace platform::deviceio
