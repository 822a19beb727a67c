// What kind of drive a virtual drive pretends to be: which commands it knows
// and how it refuses the others. Real drives differ exactly here, and the
// engine's read-type detection has to cope with each of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::vdrive {

struct DriveModel {
  // How a command the model does not know is refused: with CHECK CONDITION
  // (ILLEGAL REQUEST, INVALID COMMAND OPERATION CODE), or, as some bridges
  // and pass-through paths do, with GOOD status and no data at all.
  enum class Refusal : uint8_t { CheckCondition, SilentSuccess };

  std::string name = "generic";
  std::string vendor = "RIPMARRW";     // INQUIRY, 8 characters
  std::string product = "Virtual CD-ROM";  // 16 characters
  std::string revision = "1.00";       // 4 characters
  bool readCd = true;            // READ CD (BEh)
  bool readBlocksAudio = true;   // READ(6)/READ(10) of audio in 2352-byte blocks
  bool readD4 = true;            // vendor read D4h
  bool readD8 = true;            // vendor read D8h
  bool readTrackInformation = true;
  bool subChannel = true;        // READ SUB-CHANNEL, and READ CD and D8h with sub-channel data
  bool modeSelect6 = true;       // MODE SELECT(6) / MODE SENSE(6); ATAPI drives know only the 10-byte forms
  bool pauseWithoutPlay = false; // accept PAUSE/RESUME when no audio play is in progress
  Refusal refusal = Refusal::CheckCondition;
  int maxSpeedX = 48;
  // The drive's read offset in samples, as rippers state it: a drive of +667
  // delivers, for a sector, the audio that starts 667 samples before it, so a
  // ripper must read 667 samples later to get the disc's own positions.
  // Samples outside the disc's audio come back as zeros.
  int readOffsetSamples = 0;
};

// The INQUIRY revision of a drive with this read offset: "1.00" without one,
// else the sign and the offset in three hexadecimal digits ("+29B" for +667),
// so that drives of different offsets are told apart by their identity.
std::string revisionForReadOffset(int readOffsetSamples);

// "generic" (every read), "d8-only", "d4-only", "no-track-info", "atapi",
// "no-subchannel".
std::optional<DriveModel> driveModelByName(std::string_view name);

}  // namespace platform::vdrive
