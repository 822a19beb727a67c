// The frames a secure mode reads again, as both programs' progress lines
// say it while a track rips: "re-reading 1 frame", "re-reading 12 frames".
#pragma once

#include <string>

namespace client {

inline std::string RereadingText(long frames) {
  return "re-reading " + std::to_string(frames) + (frames == 1 ? " frame" : " frames");
}

}  // namespace client
