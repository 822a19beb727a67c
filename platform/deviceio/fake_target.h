// A scripted SCSI target for the device tests: it records what it was sent and
// answers with the status, sense and data the test sets.
#pragma once

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/scsi/scsi_target.h"

namespace platform::deviceio::testing {

class FakeTarget final : public scsi::Target {
 public:
  scsi::Result execute(const scsi::Command& command) override {
    std::lock_guard lock(mutex);
    ++commands;
    lastCdb.assign(command.cdb.begin(), command.cdb.end());
    lastDirection = command.direction;
    lastDataBytes = command.data.size();
    lastTimeoutMs = command.timeoutMs;
    if (mediumChangePending) {
      mediumChangePending = false;
      return checkCondition(0x06, 0x28, 0x00);
    }
    scsi::Result result = answer;
    if (command.direction == scsi::Direction::In) {
      const size_t bytes = std::min(command.data.size(), fill.size());
      std::copy_n(fill.begin(), bytes, command.data.begin());
      result.transferredBytes = bytes;
    }
    return result;
  }
  scsi::Address address() const override { return where; }

  static scsi::Result checkCondition(uint8_t key, uint8_t asc, uint8_t ascq) {
    scsi::Result result;
    result.status = scsi::kStatusCheckCondition;
    result.senseLength = 18;
    result.sense[0] = 0x70;
    result.sense[2] = key;
    result.sense[7] = 10;
    result.sense[12] = asc;
    result.sense[13] = ascq;
    return result;
  }

  std::mutex mutex;  // guards every field below
  scsi::Result answer;               // what the next commands answer
  std::vector<uint8_t> fill;         // data a read returns
  bool mediumChangePending = false;  // the next command reports a medium change
  scsi::Address where{1, 0, 2, 0};
  int commands = 0;
  std::vector<uint8_t> lastCdb;
  scsi::Direction lastDirection = scsi::Direction::None;
  size_t lastDataBytes = 0;
  uint32_t lastTimeoutMs = 0;
};

}  // namespace platform::deviceio::testing
