// The hidden track before track 1: audio a disc keeps in track 1's pregap,
// between LBA 0 and track 1's INDEX 01, which players skip. When that room
// holds anything but digital silence, `rip` rips it (with
// RipRangeToAudioFile2Format) into "00 Hidden Track.ext" in the chosen
// format; a silent room leaves no file. The range is first ripped into a
// temporary WAV to tell silence from audio, then again into its file.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "components/trackmill2.h"
#include "ripmarrow/codec_output.h"
#include "ripmarrow/rip_command.h"
#include "ripmarrow/temporary_wave.h"

namespace ripmarrow {

class HiddenTrack {
 public:
  static constexpr char kTitle[] = "Hidden Track";

  // True when every sample is zero.
  static bool isDigitalSilence(const std::vector<int16_t>& samples);

  struct Outcome {
    bool ok = true;    // false: the rip failed or was stopped
    std::string path;  // the file written; "" when none (silence, failure)
  };
  // Rips the `frames` frames from LBA 0 into `options.folder` as the file
  // `name` (never replacing one), de-emphasised when `deemphasise`.
  static Outcome rip(IAudioCDRipper2* engine, const RipInto& rip,
                     const RipCommand::Options& options, uint32_t frames, const std::string& name,
                     bool deemphasise, std::ostream& out);
};

}  // namespace ripmarrow
