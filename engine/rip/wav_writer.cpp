#include "engine/rip/wav_writer.h"

#include <cstdint>

namespace engine {
namespace {

using platform::riff::fourCC;

// PCM, 2 channels, 44100 Hz, 176400 bytes/s, block align 4, 16 bits, no extra bytes.
constexpr uint8_t kFormat[18] = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 0x02, 0, 4, 0, 16, 0, 0, 0};

}  // namespace

bool WavWriter::open(const std::string& path) {
  const bool ok = riff_.create(path) && riff_.createChunk(fourCC("RIFF"), fourCC("WAVE")) &&
                  riff_.createChunk(fourCC("fmt ")) && riff_.write(kFormat, sizeof kFormat) && riff_.closeChunk() &&
                  riff_.createChunk(fourCC("data"));
  if (!ok && riff_.isOpen()) riff_.close();
  return ok;
}

bool WavWriter::append(const void* pcm, size_t bytes) { return riff_.write(pcm, bytes); }

bool WavWriter::closeData() { return riff_.openChunks() == 2 && riff_.closeChunk(); }

bool WavWriter::closeRiff() { return riff_.openChunks() == 1 && riff_.closeChunk(); }

bool WavWriter::closeFile() { return riff_.isOpen() && riff_.close(); }

}  // namespace engine
