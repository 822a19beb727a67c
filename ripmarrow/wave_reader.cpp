#include "ripmarrow/wave_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace ripmarrow {

namespace {

constexpr uint32_t kRate = 44100;
constexpr unsigned kChannels = 2;

uint32_t little32(const char* p) {
  return static_cast<uint32_t>(static_cast<uint8_t>(p[0])) |
         static_cast<uint32_t>(static_cast<uint8_t>(p[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(p[2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(p[3])) << 24;
}

unsigned little16(const char* p) {
  return static_cast<uint8_t>(p[0]) | static_cast<unsigned>(static_cast<uint8_t>(p[1])) << 8;
}

}  // namespace

bool WaveReader::open(const std::string& path) {
  in_ = std::ifstream(path, std::ios::binary);
  leftBytes_ = 0;
  char header[12];
  if (!in_.read(header, sizeof header) || std::memcmp(header, "RIFF", 4) != 0 ||
      std::memcmp(header + 8, "WAVE", 4) != 0)
    return false;
  bool formatOk = false;
  char chunk[8];
  while (in_.read(chunk, sizeof chunk)) {
    const uint32_t bytes = little32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      char fmt[16];
      if (bytes < sizeof fmt || !in_.read(fmt, sizeof fmt)) return false;
      const unsigned tag = little16(fmt);
      formatOk = (tag == 1 || tag == 0xFFFE) && little16(fmt + 2) == kChannels &&
                 little32(fmt + 4) == kRate && little16(fmt + 14) == 16;
      in_.seekg(static_cast<std::streamoff>(bytes - sizeof fmt + (bytes & 1)), std::ios::cur);
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      leftBytes_ = bytes;
      return formatOk;
    } else {
      in_.seekg(static_cast<std::streamoff>(bytes + (bytes & 1)), std::ios::cur);
    }
  }
  return false;
}

size_t WaveReader::read(int16_t* samples, size_t count) {
  const uint64_t frameBytes = kChannels * sizeof(int16_t);
  const uint64_t wanted =
      std::min<uint64_t>(count / kChannels * frameBytes, leftBytes_ / frameBytes * frameBytes);
  if (wanted == 0 || !in_) return 0;
  in_.read(reinterpret_cast<char*>(samples), static_cast<std::streamsize>(wanted));
  const uint64_t got = static_cast<uint64_t>(in_.gcount()) / frameBytes * frameBytes;
  leftBytes_ = got < wanted ? 0 : leftBytes_ - got;
  const size_t read = static_cast<size_t>(got / sizeof(int16_t));
  // WAVE files are little-endian; swap on machines that are not.
  if constexpr (std::endian::native == std::endian::big) {
    for (size_t i = 0; i < read; ++i) {
      const auto s = static_cast<uint16_t>(samples[i]);
      samples[i] = static_cast<int16_t>(static_cast<uint16_t>(s >> 8 | s << 8));
    }
  }
  return read;
}

}  // namespace ripmarrow
