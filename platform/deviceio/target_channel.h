// A device channel onto an in-process SCSI target (a virtual drive or a test's
// fake). Several handles may share one target; the target serialises commands.
#pragma once

#include <memory>

#include "platform/deviceio/device_channel.h"

namespace platform::deviceio {

class TargetChannel final : public DeviceChannel {
 public:
  explicit TargetChannel(std::shared_ptr<scsi::Target> target);
  bool execute(const scsi::Command& command, Outcome& outcome, DWORD& error) override;
  bool address(scsi::Address& address, DWORD& error) override;
  void cancelPending() override;

 private:
  std::shared_ptr<scsi::Target> target_;
};

}  // namespace platform::deviceio
