#include "platform/deviceio/target_channel.h"

#include <algorithm>

#include "platform/deviceio/win_device.h"

namespace platform::deviceio {

TargetChannel::TargetChannel(std::shared_ptr<scsi::Target> target) : target_(std::move(target)) {}

bool TargetChannel::execute(const scsi::Command& command, Outcome& outcome, DWORD& error) {
  const scsi::Result result = target_->execute(command);
  if (!result.completed) {
    error = ERROR_SEM_TIMEOUT;
    return false;
  }
  outcome = Outcome{};
  outcome.status = result.status;
  outcome.senseBytes = static_cast<uint8_t>(std::min<size_t>(result.senseLength, result.sense.size()));
  std::copy_n(result.sense.begin(), outcome.senseBytes, outcome.sense.begin());
  // A target must never report more than it was given room for; trust nothing.
  outcome.transferredBytes = std::min(result.transferredBytes, command.data.size());
  return true;
}

bool TargetChannel::address(scsi::Address& address, DWORD& /*error*/) {
  address = target_->address();
  return true;
}

void TargetChannel::cancelPending() { target_->cancelPending(); }

}  // namespace platform::deviceio
