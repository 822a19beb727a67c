// Where the bytes of a stretch of disc come from: an image file, a WAVE file's
// data chunk, or a generator. Sources are read lazily, a few sectors at a time,
// so an image is never held in memory as a whole.
#pragma once

#include <cstdint>
#include <span>

namespace platform::vdrive {

class SectorSource {
 public:
  virtual ~SectorSource() = default;
  // Fills out with the bytes at offsetBytes. Bytes past the end of the source
  // read as zeros. False on an I/O error. Must be safe to call from several
  // threads at once (sources are shared between the discs that use them).
  virtual bool read(uint64_t offsetBytes, std::span<uint8_t> out) const = 0;
  virtual uint64_t sizeBytes() const = 0;
};

}  // namespace platform::vdrive
