// The device layer's tests run against in-process drives: each test starts
// with a fresh drive table (no real devices, no configuration file) and
// leaves the transport unloaded and every handle closed.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "engine/device/handles.h"
#include "engine/device/test_drive.h"
#include "engine/device/transport.h"
#include "platform/deviceio/drive_table.h"

namespace engine::device::testing {

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm_device_test.XXXXXX";
    home_ = mkdtemp(pattern);
    setenv("RIPMARROW_HOME", home_.c_str(), 1);
    platform::deviceio::DriveTable::Options options;
    options.deviceDirectory = home_;  // no sr devices there
    options.configurationPath = home_ + "/vdrives.ini";
    platform::deviceio::DriveTable::instance().configure(options);
    ClearDeviceErrors();
  }
  void TearDown() override {
    for (int32_t h = 1; h <= kMaxHandles; ++h) CloseDevice(h);
    UnloadTransport(useExternalAspi_);
    platform::deviceio::DriveTable::instance().configure({});
    std::string cleanup = "rm -rf '" + home_ + "'";
    ASSERT_EQ(system(cleanup.c_str()), 0);
  }

  std::shared_ptr<TestDrive> AddDrive(char letter, std::vector<uint32_t> tracks,
                                      platform::scsi::Address where = {1, 0, 0, 0}) {
    auto drive = std::make_shared<TestDrive>(std::move(tracks), where);
    platform::deviceio::registerDrive(letter, drive);
    return drive;
  }

  // Opens a handle on the drive at adapter/target/LUN with the given read type.
  int32_t Open(uint8_t adapter, uint8_t readType, uint8_t overlap = 0, uint8_t rewind = 0,
               uint8_t target = 0, uint8_t lun = 0) {
    OpenRequest request;
    request.adapter = adapter;
    request.target = target;
    request.lun = lun;
    request.readType = readType;
    request.overlapFrames = overlap;
    request.rewindFrames = rewind;
    return OpenDevice(&request);
  }

  std::string home_;
  bool useExternalAspi_ = false;
};

}  // namespace engine::device::testing
