// One output file of one format. A writer takes interleaved 16-bit PCM that
// is already in its own layout (rate and channels); the codec facade
// resamples and remixes the caller's input before it gets here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "outside/wavesmith2/pcm_layout.h"

namespace wavesmith {

class AudioWriter {
 public:
  virtual ~AudioWriter() = default;

  virtual PcmLayout layout() const = 0;
  // A lossless writer takes the caller's layout as its own as long as no
  // samples were written; the others keep theirs and answer false.
  virtual bool adoptLayout(PcmLayout) { return false; }
  // Creates (or replaces) the file. On failure `error` says why and no file
  // is left open.
  virtual bool open(const std::string& path, std::string& error) = 0;
  // Encodes and appends `frames` sample frames of layout().channels samples.
  virtual bool write(const int16_t* samples, size_t frames, std::string& error) = 0;
  // Flushes the encoder and completes the file (headers, sizes, VBR header).
  // Safe to call when nothing is open.
  virtual bool close(std::string& error) = 0;
};

}  // namespace wavesmith
