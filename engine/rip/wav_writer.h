// WavWriter: the engine's own WAV output, over the RIFF chunk writer. The
// file is 16-bit stereo 44100 Hz PCM exactly as read from the disc, with an
// 18-byte format chunk (the 16 PCM bytes and a zero extra-size word), so the
// audio starts at offset 46. Both sizes stay 0 until their chunks are
// closed at the end of the rip.
//
// Used by the client's thread to open the file and then by the rip thread
// alone; never by two threads at once.
#pragma once

#include <cstddef>
#include <string>

#include "platform/riff/riff_writer.h"

namespace engine {

class WavWriter {
 public:
  static constexpr size_t kHeaderBytes = 46;

  // Creates (replaces) the file and writes the RIFF header, the format
  // chunk and the header of the data chunk; false on any failure, and the
  // file is then closed.
  bool open(const std::string& path);
  bool isOpen() const { return riff_.isOpen(); }
  // Appends PCM to the data chunk.
  bool append(const void* pcm, size_t bytes);
  // The three closing steps; each answers for itself so that a failure of
  // one does not stop the next.
  bool closeData();
  bool closeRiff();
  bool closeFile();
  int lastErrno() const { return riff_.lastErrno(); }

 private:
  platform::riff::RiffWriter riff_;
};

}  // namespace engine
