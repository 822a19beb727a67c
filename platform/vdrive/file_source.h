// A sector source over a file: a BINARY image (little-endian audio), a
// MOTOROLA one (big-endian audio, swapped on reading), or a window of a file
// such as a WAVE file's data chunk.
#pragma once

#include <cstdint>
#include <string>

#include "platform/vdrive/sector_source.h"

namespace platform::vdrive {

class FileSource final : public SectorSource {
 public:
  // Opens the file; throws ImageError when it cannot be opened. The window
  // [windowStart, windowStart + windowBytes) is clamped to the file's size.
  FileSource(const std::string& path, bool swapBytePairs, uint64_t windowStart = 0,
             uint64_t windowBytes = UINT64_MAX);
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  bool read(uint64_t offsetBytes, std::span<uint8_t> out) const override;
  uint64_t sizeBytes() const override { return windowBytes_; }

  // Size of a file in bytes; throws ImageError when it cannot be examined.
  static uint64_t fileSize(const std::string& path);

 private:
  int fd_ = -1;  // read with pread only, so concurrent reads need no lock
  bool swap_ = false;
  uint64_t windowStart_ = 0;
  uint64_t windowBytes_ = 0;
};

}  // namespace platform::vdrive
