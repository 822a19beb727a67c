// Files `ripmarrow rip` writes itself through the engine's codec object
// (GetAudioFile2Interface) rather than through a track rip: the hidden
// track's range and de-emphasised tracks. The codec object then holds the
// same format the engine's own rip of the chosen format uses, so these files
// match the others.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "components/trackmill2.h"
#include "ripmarrow/rip_command.h"

namespace ripmarrow {

// How the command rips into `path` through the engine: `start` starts the
// rip (RipTrackToWav, RipRangeToAudioFile2Format, ...), the progress is
// shown, failures are said; the file written is named on success only when
// `announce`. True when it was ripped whole.
using RipInto =
    std::function<bool(const std::function<HRESULT(BSTR)>& start, const std::string& path, bool announce)>;

class CodecOutput {
 public:
  // Sets `format` on the engine's codec object as the engine's rip of that
  // format sets it (WAV as 44.1 kHz 16-bit stereo PCM). "" on success, else
  // why not.
  static std::string setFormat(IAudioCDRipper2* engine, RipCommand::Format format, long flacLevel);

  // Writes interleaved 16-bit stereo 44.1 kHz `samples` into `path` in the
  // codec object's format. "" on success, else why not (a partial file is
  // then removed).
  static std::string write(IAudioCDRipper2* engine, const std::string& path, const std::vector<int16_t>& samples);

  // The interleaved samples of the data chunk of a 16-bit stereo 44.1 kHz
  // WAVE file. False when the file is not one (or cannot be read).
  static bool readWave(const std::string& path, std::vector<int16_t>& samples);
};

}  // namespace ripmarrow
