// The process's CD drives by letter, C to Z: virtual drives at the letters
// their configuration names (in-process registrations first, then
// $RIPMARROW_HOME/vdrives.ini), then /dev/sr0, /dev/sr1… at the next free
// letters. The table is built on first use and rebuilt by rescan().
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/deviceio/device_channel.h"
#include "platform/deviceio/vdrive_config.h"

namespace platform::deviceio {

// One CD drive at one letter. Open handles keep it alive after a rescan.
struct DriveEntry {
  char letter = 0;
  std::shared_ptr<scsi::Target> target;  // a virtual drive, or null for a real one
  std::string devicePath;                // /dev/srN of a real drive
  // Medium changes seen by commands through any handle; a handle remembers
  // the count it has reported so that each handle reports a change once.
  std::atomic<uint32_t> mediumChanges{0};
};

class DriveTable {
 public:
  // Builds a virtual drive from its vdrives.ini keys; null with a reason
  // when the keys do not describe a drive.
  using VirtualDriveFactory = std::function<std::shared_ptr<scsi::Target>(const VdriveConfig::Keys& keys,
                                                                          std::string& error)>;
  struct Options {
    std::string deviceDirectory = "/dev";      // where sr0, sr1… are looked for
    std::string configurationPath;             // empty: VdriveConfig::defaultPath() at each scan
    VirtualDriveFactory factory;               // null: the virtual drive's own
  };

  // The table the Windows calls of win_device.h use.
  static DriveTable& instance();

  DriveTable();
  explicit DriveTable(Options options);

  // Starts afresh with other options (tests point them at fakes): drops the
  // in-process registrations and rescans.
  void configure(Options options);
  // Re-reads the configuration and the device folder.
  void rescan();

  // Puts an in-process virtual drive at `letter` (C..Z), ahead of the
  // configuration file; a null target removes the registration. False for a
  // letter outside C..Z.
  bool registerDrive(char letter, std::shared_ptr<scsi::Target> target);

  // The drive at `letter` (either case), or null.
  std::shared_ptr<DriveEntry> find(char letter);
  // Letters that hold a drive, in order.
  std::string letters();
  // Opens a device channel onto the drive, as CreateFileA does.
  std::unique_ptr<DeviceChannel> open(const DriveEntry& drive, DWORD& error);

  // Why configured drives were left out at the last scan.
  std::vector<std::string> configurationErrors();

 private:
  void scanLocked();    // requires mutex_
  void assignLocked();  // requires mutex_

  std::mutex mutex_;  // guards every field below
  Options options_;
  bool scanned_ = false;
  std::map<char, std::shared_ptr<scsi::Target>> registered_;
  std::map<char, std::shared_ptr<scsi::Target>> configured_;
  std::vector<std::string> devicePaths_;  // sr devices in number order
  std::vector<std::string> errors_;
  std::map<char, std::shared_ptr<DriveEntry>> drives_;  // the letter map
};

// The process table's registration, for tests and hosts that make drives in-process.
inline bool registerDrive(char letter, std::shared_ptr<scsi::Target> target) {
  return DriveTable::instance().registerDrive(letter, std::move(target));
}

}  // namespace platform::deviceio
