// De-emphasis of tracks mastered with pre-emphasis (the TOC's flag): the
// standard 50/15 us curve undone by FFmpeg's aemphasis filter (mode
// reproduction, type cd), on the way to the output file. The engine rips the
// track into a temporary WAV, so its checksums stay those of the disc's
// audio; the filtered audio, still 16-bit 44.1 kHz stereo, is then written
// in the chosen format through the codec object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "components/trackmill2.h"
#include "ripmarrow/codec_output.h"
#include "ripmarrow/rip_command.h"
#include "ripmarrow/temporary_wave.h"

namespace ripmarrow {

class Deemphasis {
 public:
  Deemphasis();
  ~Deemphasis();
  Deemphasis(const Deemphasis&) = delete;
  Deemphasis& operator=(const Deemphasis&) = delete;

  // Sets the filter up. "" on success, else why not.
  std::string start();
  // Runs `count` interleaved 16-bit stereo 44.1 kHz samples through the
  // filter, appending what it gives back to `result` (it may hold some
  // back until finish).
  std::string filter(const int16_t* samples, size_t count, std::vector<int16_t>& result);
  // Appends what the filter still holds.
  std::string finish(std::vector<int16_t>& result);

  // The whole of `samples` through the filter into `result` (as many
  // samples). "" on success, else why not.
  static std::string apply(const std::vector<int16_t>& samples, std::vector<int16_t>& result);

  // Rips track `track` de-emphasised into `path` (reserved empty by the
  // caller) in `format` (with `encoders`' settings when given). True when
  // written whole; what went wrong is said on `out`.
  static bool ripTrack(IAudioCDRipper2* engine, const RipInto& rip, RipCommand::Format format,
                       long flacLevel, long track, const std::string& path, std::ostream& out,
                       const client::EncoderSettings* encoders = nullptr);

  // Writes the WAV rip at `wavePath` de-emphasised into `path` in the
  // codec object's format, a piece at a time. "" on success, else why not
  // (and `path` is removed).
  static std::string writeFiltered(IAudioCDRipper2* engine, const std::string& wavePath,
                                   const std::string& path);

 private:
  class Graph;
  std::unique_ptr<Graph> graph_;
};

}  // namespace ripmarrow
