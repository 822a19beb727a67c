// Files `ripmarrow rip` writes itself through the engine's codec object
// (GetAudioFile2Interface) rather than through a track rip: the hidden
// track's range and de-emphasised tracks. The codec object then holds the
// same format the engine's own rip of the chosen format uses, so these files
// match the others.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "components/trackmill2.h"
#include "components/wavesmith2.h"
#include "platform/com/com_ptr.h"
#include "ripmarrow/rip_command.h"

namespace ripmarrow {

// How the command rips into `path` through the engine: `start` starts the
// rip (RipTrackToWav, RipRangeToAudioFile2Format, ...), the progress is
// shown, failures are said; the file written is named on success only when
// `announce`. True when it was ripped whole.
using RipInto = std::function<bool(const std::function<HRESULT(BSTR)>& start,
                                   const std::string& path, bool announce)>;

// One file written through the codec object. The object serves one file at
// a time: no rip may run while this is open.
class CodecOutput {
 public:
  static constexpr size_t kChannels = 2;

  // Sets `format` on the engine's codec object as the engine's rip of that
  // format sets it (WAV as 44.1 kHz 16-bit stereo PCM). With `encoders`,
  // MP3, OGG and WMA take those settings, handed over through the engine
  // as the desktop program's batch hands them. "" on success, else why not.
  static std::string setFormat(IAudioCDRipper2* engine, RipCommand::Format format, long flacLevel,
                               const client::EncoderSettings* encoders = nullptr);

  explicit CodecOutput(IAudioCDRipper2* engine) : engine_(engine) {}
  // An unfinished file is closed and removed.
  ~CodecOutput();
  CodecOutput(const CodecOutput&) = delete;
  CodecOutput& operator=(const CodecOutput&) = delete;

  // Creates `path` in the codec object's format, for 16-bit stereo 44.1 kHz
  // input. "" on success, else why not.
  std::string create(const std::string& path);
  // Encodes and appends `count` interleaved samples.
  std::string write(const int16_t* samples, size_t count);
  // Completes the file; on failure it is removed.
  std::string finish();

 private:
  std::string fail(const std::string& what);

  IAudioCDRipper2* engine_;
  com::ComPtr<IAudioFile2> codec_;
  std::string path_;  // the file being written; "" when none
};

}  // namespace ripmarrow
