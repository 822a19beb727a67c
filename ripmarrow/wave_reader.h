// Reads back the intermediate WAV of a rip piece by piece, so that a whole
// track (up to 80 minutes, 800 MB) is never held in memory: the sample data
// of a 16-bit stereo 44.1 kHz RIFF WAVE file, found by walking its chunks
// (tags may follow the data).
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

namespace ripmarrow {

class WaveReader {
 public:
  // False when the file is not such a WAVE file or cannot be read.
  bool open(const std::string& path);
  // Up to `count` interleaved samples (whole stereo frames) into `samples`;
  // how many were read, 0 at the end. A data chunk that claims more than the
  // file holds (a rip cut short) gives what is there.
  size_t read(int16_t* samples, size_t count);

 private:
  std::ifstream in_;
  uint64_t leftBytes_ = 0;  // of the data chunk
};

}  // namespace ripmarrow
