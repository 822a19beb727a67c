// The drive a user names on a command line or a desktop hands over when an
// audio CD is inserted: a device ("/dev/sr1"), the URI a desktop passes
// ("cdda://sr1/", "cdda:///dev/sr1"), a drive letter ("E", "E:") or the
// drive's number from 1, as `ripmarrow info` lists them.
#pragma once

#include <string>

#include "components/trackmill2.h"

namespace client {

struct DriveRequest {
  long number = 0;         // from 1; 0: not by number
  char letter = 0;         // 'C'..'Z'; 0: not by letter
  std::string devicePath;  // "/dev/sr1"; empty: not by device

  bool empty() const { return number == 0 && letter == 0 && devicePath.empty(); }
};

// False, with what is wrong in `error`, for text that names no drive.
// A device name without a folder ("sr1") is looked for in the device
// folder ($RIPMARROW_DEVICE_DIR, else /dev).
bool parseDriveRequest(const std::string& text, DriveRequest& request, std::string& error);

// The engine's drive number (from 1) for the request, 0 when the engine has
// no such drive. A device is found at the letter the drive table gives it.
// Leaves the engine's current drive as it happens to be.
LONG resolveDriveRequest(IAudioCDRipper2* engine, const DriveRequest& request);

}  // namespace client
