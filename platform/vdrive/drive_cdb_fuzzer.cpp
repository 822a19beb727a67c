// Sends arbitrary CDBs with arbitrary buffers to a virtual drive: whatever
// arrives, the drive answers within the caller's buffer (the sanitizers watch
// every byte) and never claims to have sent more than the buffer holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/vdrive/disc_description.h"
#include "platform/vdrive/virtual_drive.h"

namespace {

using namespace platform::vdrive;

std::shared_ptr<const Disc> disc() {
  static auto d = std::make_shared<const Disc>(generateDisc(
      "disc catalog=0123456789012\ntrack kind=tone length=40f\ntrack kind=noise length=30f pregap=5f "
      "isrc=AB1234567890\nsession\ntrack kind=data length=10f\n",
      "fuzz"));
  return d;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  FaultPlan faults;
  faults.seed = data[0];
  faults.jitterMaxSamples = data[0] & 7;
  faults.staleCacheSectors = data[1] & 0x10 ? 8 : 0;
  faults.unreadable = {{45, 46, data[1] & 3}};
  static const char* const kModels[] = {"generic", "d8-only", "d4-only", "no-track-info", "atapi"};
  DriveModel model = *driveModelByName(kModels[data[1] % 5]);
  if (data[1] & 0x80) model.refusal = DriveModel::Refusal::SilentSuccess;
  VirtualDrive drive(disc(), model, std::make_shared<ManualClock>());
  drive.setFaults(faults);
  drive.setTiming(TimingModel{data[1] & 0x20 ? 8 : 0, 100});
  size_t at = 2;
  while (at + 3 <= size) {
    const size_t cdbLength = data[at] % 17;
    const size_t bufferBytes = (static_cast<size_t>(data[at + 1]) << 8 | data[at + 2]) * 3 % 70000;
    at += 3;
    if (at + cdbLength > size) break;
    std::vector<uint8_t> cdb(data + at, data + at + cdbLength);
    at += cdbLength;
    // An exact-size heap buffer, so any overrun is caught.
    std::vector<uint8_t> buffer(bufferBytes, 0xAA);
    platform::scsi::Command c;
    c.cdb = cdb;
    c.direction = static_cast<platform::scsi::Direction>(cdbLength % 3);
    c.data = buffer;
    c.timeoutMs = 1000;
    platform::scsi::Result r = drive.execute(c);
    if (r.transferredBytes > buffer.size() || r.senseLength > r.sense.size()) std::abort();
    if ((cdbLength & 7) == 7) drive.busReset(1);
  }
  return 0;
}
