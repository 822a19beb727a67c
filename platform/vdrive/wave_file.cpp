#include "platform/vdrive/wave_file.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/vdrive/file_source.h"
#include "platform/vdrive/image_error.h"

namespace platform::vdrive {

namespace {

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;

}  // namespace

WaveData probeWaveFile(const std::string& path) {
  uint64_t fileSize = FileSource::fileSize(path);
  FileSource file(path, false);
  auto fail = [&](const std::string& why) { return ImageError("'" + path + "': " + why); };
  uint8_t head[12];
  if (fileSize < sizeof head || !file.read(0, head) || std::memcmp(head, "RIFF", 4) != 0 ||
      std::memcmp(head + 8, "WAVE", 4) != 0)
    throw fail("not a RIFF WAVE file");

  bool haveFormat = false;
  uint64_t pos = 12;
  while (pos + 8 <= fileSize) {
    uint8_t chunk[8];
    if (!file.read(pos, chunk)) throw fail("cannot be read");
    uint64_t size = le32(chunk + 4);
    uint64_t body = pos + 8;
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      uint8_t fmt[40] = {};
      if (size < 16) throw fail("its format chunk is too short");
      if (!file.read(body, std::span<uint8_t>(fmt, size < sizeof fmt ? size : sizeof fmt))) throw fail("cannot be read");
      uint16_t tag = le16(fmt);
      if (tag == kFormatExtensible && size >= 40) tag = le16(fmt + 24);  // sub-format GUID starts with the tag
      uint16_t channels = le16(fmt + 2);
      uint32_t rate = le32(fmt + 4);
      uint16_t blockAlign = le16(fmt + 12);
      uint16_t bits = le16(fmt + 14);
      if (tag != kFormatPcm)
        throw fail("compressed audio (format " + std::to_string(tag) + "); only 16-bit stereo 44.1 kHz PCM can be used");
      if (channels != 2 || rate != 44100 || bits != 16 || blockAlign != 4)
        throw fail(std::to_string(bits) + "-bit, " + std::to_string(channels) + " channels, " + std::to_string(rate) +
                   " Hz; only 16-bit stereo 44.1 kHz PCM can be used");
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!haveFormat) throw fail("its data chunk comes before the format chunk");
      // Streaming writers leave the size at 0 or 0xFFFFFFFF: take what the file holds.
      uint64_t available = fileSize - body;
      if (size == 0 || size > available) size = available;
      return WaveData{body, size - size % 4};
    }
    pos = body + size + (size & 1);  // chunks are padded to even sizes
  }
  throw fail(haveFormat ? "no data chunk" : "no format chunk");
}

}  // namespace platform::vdrive
