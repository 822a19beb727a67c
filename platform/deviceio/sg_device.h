// A real drive (/dev/srN) reached through the kernel's SG_IO pass-through.
// One object owns one open file descriptor, like a Windows device handle.
// Every call goes through platform/sys, so tests can play the kernel.
#pragma once

#include <memory>
#include <string>

#include "platform/deviceio/device_channel.h"

namespace platform::deviceio {

class SgDevice final : public DeviceChannel {
 public:
  // Opens the device read-write (read-only when that is refused), without
  // waiting for a medium. Null with a Win32 error when it cannot be opened.
  static std::unique_ptr<SgDevice> open(const std::string& path, DWORD& error);
  ~SgDevice() override;
  SgDevice(const SgDevice&) = delete;
  SgDevice& operator=(const SgDevice&) = delete;

  bool execute(const scsi::Command& command, Outcome& outcome, DWORD& error) override;
  bool address(scsi::Address& address, DWORD& error) override;
  // The kernel offers no way to withdraw a submitted SG_IO; its own time-out
  // ends a command that hangs.
  void cancelPending() override {}

  // The Win32 error for an errno of open or ioctl.
  static DWORD errorFromErrno(int errnoValue);

 private:
  explicit SgDevice(int fd) : fd_(fd) {}

  const int fd_;
};

}  // namespace platform::deviceio
