// What libwnaspi32.so serves: the process's CD drives (drive_table.h) as ASPI
// devices. Each drive's SCSI port is its host adapter number, so adapters
// 0..(highest port) exist and a drive is addressed by port, target id and LUN
// as IOCTL_SCSI_GET_ADDRESS reports them. Drives are found on first use.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/aspi/command_worker.h"
#include "platform/aspi/wnaspi32.h"
#include "platform/deviceio/device_channel.h"

namespace platform::aspi {

class AspiHost {
 public:
  AspiHost() = default;
  // Cancels running commands and stops the workers.
  ~AspiHost();
  AspiHost(const AspiHost&) = delete;
  AspiHost& operator=(const AspiHost&) = delete;

  uint32_t supportInfo();
  uint32_t send(void* srb);

 private:
  struct Device {
    scsi::Address address;
    std::unique_ptr<deviceio::DeviceChannel> channel;
    std::unique_ptr<CommandWorker> worker;  // declared after the channel it uses
  };

  void scanLocked();  // requires mutex_
  Device* findLocked(uint8_t adapter, uint8_t target, uint8_t lun);  // requires mutex_
  uint32_t inquiry(SRB_HAInquiry& srb);
  uint32_t deviceType(SRB_GDEVBlock& srb);
  uint32_t execute(SRB_ExecSCSICmd& srb);
  uint32_t abort(SRB_Abort& srb);

  std::mutex mutex_;  // guards the fields below; never held while a command runs
  bool scanned_ = false;
  unsigned adapterCount_ = 0;
  std::vector<Device> devices_;
};

}  // namespace platform::aspi
