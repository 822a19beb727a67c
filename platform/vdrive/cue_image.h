// Turns a parsed cue sheet into a disc: lays the files out one after the
// other, inserts PREGAP/POSTGAP silence and the gap between sessions, and
// checks every index against the length of its file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/vdrive/cue_sheet.h"
#include "platform/vdrive/disc.h"

namespace platform::vdrive {

// Between the end of one session and the first track of the next lie the
// lead-out (6750 frames) and the next lead-in (4500); the track's 150-frame
// pregap follows.
inline constexpr int32_t kSessionGapFrames = 6750 + 4500;
inline constexpr int32_t kFirstPregapFrames = 150;

// Opens the files a sheet names; the disk implementation resolves names
// against the sheet's folder, tests and the fuzzer substitute their own.
class CueFileOpener {
 public:
  virtual ~CueFileOpener() = default;
  // Throws ImageError when the file is missing or unusable.
  virtual std::shared_ptr<const SectorSource> open(const CueFile& file) = 0;
};

class DiskFileOpener final : public CueFileOpener {
 public:
  explicit DiskFileOpener(std::string folder) : folder_(std::move(folder)) {}
  std::shared_ptr<const SectorSource> open(const CueFile& file) override;

 private:
  std::string folder_;
};

// Throws ImageError "<sheet>:<line>: …" for layouts the files cannot fill.
Disc buildCueDisc(const CueSheet& sheet, CueFileOpener& files);

// Reads, parses and builds the image of a .cue file.
Disc loadCueImage(const std::string& cuePath);

}  // namespace platform::vdrive
