// Feeds arbitrary text to the rip log reader, which `ripmarrow verify` runs
// on files it did not write: it must end in a log or a reason, and what it
// reads must write out as a log that reads back the same. A log that reads
// is then checked against a folder of rip files as `verify` checks it (the
// client library's CheckRipFiles: small WAV files, a FIFO, a folder in a
// file's place), and the work it causes is bounded: each file read at most
// once, whatever the log repeats, plus a small amount for each byte of log.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "client/rip_check.h"
#include "client/rip_log.h"

namespace {

// Each WAV file of the folder holds this many frames of audio.
constexpr uint32_t kFileFrames = 20;
constexpr uint64_t kFileAudioBytes = uint64_t{kFileFrames} * 588 * 4;
constexpr int kWavFiles = 3;
// The work of one track's check beside its audio (a file opened, a line said),
// and the work a byte of log may add beside the folder's audio read once.
constexpr uint64_t kWorkPerTrack = 1024;
constexpr uint64_t kMaxTracks = 99;
constexpr uint64_t kWorkPerLogByte = 64;

std::string le32(uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>(value >> (8 * i) & 0xff);
  return bytes;
}

// The folder: 01.wav ... 03.wav, 04.wav a FIFO, 05.wav a folder. Made once,
// removed at exit (its name outlives every static destructor).
const std::string& ripFolder() {
  static const std::string* const folder = [] {
    char pattern[] = "/tmp/rm_rip_log_fuzzer.XXXXXX";
    const std::string made = mkdtemp(pattern);
    for (int n = 1; n <= kWavFiles; ++n) {
      std::string pcm(kFileAudioBytes, '\0');
      for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<char>(i * 31 + static_cast<size_t>(n));
      std::ofstream(made + "/0" + std::to_string(n) + ".wav", std::ios::binary)
          << "RIFF" << le32(static_cast<uint32_t>(36 + pcm.size())) << "WAVEfmt " << le32(16)
          << std::string("\x01\x00\x02\x00", 4) << le32(44100) << le32(44100 * 4)
          << std::string("\x04\x00\x10\x00", 4) << "data" << le32(static_cast<uint32_t>(pcm.size())) << pcm;
    }
    mkfifo((made + "/04.wav").c_str(), 0600);
    std::filesystem::create_directory(made + "/05.wav");
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(ripFolder(), ec);
    });
    return new std::string(made);
  }();
  return *folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  const auto log = client::ParseRipLog({reinterpret_cast<const char*>(data), size}, error);
  if (!log) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  log->allAccurate();
  const std::string text = client::RipLogText(*log);
  const auto again = client::ParseRipLog(text, error);
  if (!again || client::RipLogText(*again) != text) __builtin_trap();

  uint64_t work = 0;
  size_t checks = 0;
  client::CheckRipFiles(ripFolder(), *log, [&](const client::TrackCheck& check) {
    if (check.track != &log->tracks[checks++]) __builtin_trap();  // one outcome a track, in order
    work += check.pcmBytes + kWorkPerTrack;
  });
  if (checks != log->tracks.size()) __builtin_trap();
  if (work > kWavFiles * kFileAudioBytes + kMaxTracks * kWorkPerTrack + kWorkPerLogByte * size) __builtin_trap();
  return 0;
}
