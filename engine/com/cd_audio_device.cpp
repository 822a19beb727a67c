#include "engine/com/cd_audio_device.h"

#include "engine/device/cdb.h"
#include "engine/device/command.h"

namespace engine {
namespace {

class DriveCdAudioDevice final : public CdAudioDevice {
 public:
  bool open(const device::DriveEntry& drive) override {
    address_ = {drive.adapter, drive.target, drive.lun};
    open_ = true;
    return true;
  }

  std::array<uint8_t, 3> trackLengthMsf(int trackNumber) override {
    std::array<uint8_t, 3> msf{};
    if (!open_ || trackNumber < 1 || trackNumber > 99) return msf;
    // READ TRACK INFORMATION, address type 1 (a track number), 28 bytes.
    uint8_t answer[28] = {};
    const device::Cdb cdb = device::ReadTrackInfoCdb(static_cast<uint32_t>(trackNumber), device::CDRT_ANY);
    if (device::ExecuteScsiCommand(address_, cdb, device::kFlagsIn, answer, sizeof answer) != device::kResultOk) {
      return msf;
    }
    const uint32_t frames = (uint32_t{answer[24]} << 24) | (uint32_t{answer[25]} << 16) |
                            (uint32_t{answer[26]} << 8) | answer[27];
    const uint32_t minutes = frames / (60 * 75);
    if (minutes > 255) return msf;
    msf = {static_cast<uint8_t>(minutes), static_cast<uint8_t>(frames / 75 % 60), static_cast<uint8_t>(frames % 75)};
    return msf;
  }

  void close() override { open_ = false; }

 private:
  device::ScsiAddress address_;
  bool open_ = false;
};

}  // namespace

std::unique_ptr<CdAudioDevice> MakeDriveCdAudioDevice() { return std::make_unique<DriveCdAudioDevice>(); }

}  // namespace engine
