// Helpers shared by this folder's tests: a scratch folder, files written into
// it, and one-call CDB execution against a target.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/scsi/scsi_target.h"

namespace platform::vdrive::testing {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vdrive_test_XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream(file(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                       static_cast<std::streamsize>(bytes.size()));
  }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(file(name), std::ios::binary) << text;
  }

 private:
  std::string path_;
};

// Bytes whose value tells where they sit: frame f, byte i holds (f * 7 + i) & 0xFF.
inline std::vector<uint8_t> patternBytes(uint32_t frames, uint32_t frameBytes = 2352, uint32_t seed = 0) {
  std::vector<uint8_t> out(static_cast<size_t>(frames) * frameBytes);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>((i / frameBytes + seed) * 7 + i % frameBytes);
  return out;
}

inline void put32le(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
inline void put16le(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}

// A WAVE file around the PCM, with a LIST chunk before the data as many tools write.
inline std::vector<uint8_t> waveFile(const std::vector<uint8_t>& pcm, uint16_t channels = 2, uint32_t rate = 44100,
                                     uint16_t bits = 16) {
  std::vector<uint8_t> v;
  auto tag = [&](const char* t) { v.insert(v.end(), t, t + 4); };
  tag("RIFF");
  put32le(v, static_cast<uint32_t>(4 + 8 + 16 + 8 + 6 + 8 + pcm.size()));
  tag("WAVE");
  tag("fmt ");
  put32le(v, 16);
  put16le(v, 1);
  put16le(v, channels);
  put32le(v, rate);
  put32le(v, rate * channels * bits / 8);
  put16le(v, static_cast<uint16_t>(channels * bits / 8));
  put16le(v, bits);
  tag("LIST");
  put32le(v, 5);  // odd size: padded to 6
  v.insert(v.end(), {'I', 'N', 'F', 'O', 'x', 0});
  tag("data");
  put32le(v, static_cast<uint32_t>(pcm.size()));
  v.insert(v.end(), pcm.begin(), pcm.end());
  return v;
}

struct Exchange {
  scsi::Result result;
  std::vector<uint8_t> data;
};

inline Exchange exec(scsi::Target& target, std::vector<uint8_t> cdb, size_t dataBytes = 0,
                     scsi::Direction direction = scsi::Direction::In, uint32_t timeoutMs = 0,
                     std::vector<uint8_t> out = {}) {
  Exchange x;
  x.data = out.empty() ? std::vector<uint8_t>(dataBytes, 0xAA) : out;
  scsi::Command c;
  c.cdb = cdb;
  c.direction = direction;
  c.data = x.data;
  c.timeoutMs = timeoutMs;
  x.result = target.execute(c);
  x.data.resize(x.result.completed ? x.result.transferredBytes : 0);
  return x;
}

}  // namespace platform::vdrive::testing
