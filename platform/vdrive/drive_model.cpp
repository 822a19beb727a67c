#include "platform/vdrive/drive_model.h"

#include <cstdio>
#include <cstdlib>

namespace platform::vdrive {

std::string revisionForReadOffset(int readOffsetSamples) {
  if (readOffsetSamples == 0) return "1.00";
  char text[8];
  std::snprintf(text, sizeof text, "%c%03X", readOffsetSamples < 0 ? '-' : '+',
                static_cast<unsigned>(std::abs(readOffsetSamples)) & 0xFFFu);
  return text;
}

std::optional<DriveModel> driveModelByName(std::string_view name) {
  DriveModel m;
  m.name = std::string(name);
  if (name == "generic") return m;
  if (name == "d8-only") {
    // An older SCSI drive whose only way to audio is its vendor read D8h.
    m.product = "Virtual CD D8";
    m.readCd = m.readBlocksAudio = m.readD4 = false;
    m.pauseWithoutPlay = true;
    m.maxSpeedX = 12;
    return m;
  }
  if (name == "d4-only") {
    m.product = "Virtual CD D4";
    m.readCd = m.readBlocksAudio = m.readD8 = false;
    m.pauseWithoutPlay = true;
    m.maxSpeedX = 8;
    return m;
  }
  if (name == "no-track-info") {
    m.product = "Virtual CD NTI";
    m.readTrackInformation = false;
    return m;
  }
  if (name == "no-subchannel") {
    // A drive (or a bridge) that gives no sub-channel: no catalog number,
    // ISRCs or Q positions.
    m.product = "Virtual CD NSC";
    m.subChannel = false;
    return m;
  }
  if (name == "atapi") {
    m.product = "Virtual ATAPI CD";
    m.modeSelect6 = false;
    m.readD4 = m.readD8 = false;
    return m;
  }
  return std::nullopt;
}

}  // namespace platform::vdrive
