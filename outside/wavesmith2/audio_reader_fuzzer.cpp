// Feeds arbitrary bytes to the reader as a file and reads it to the end.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "outside/wavesmith2/audio_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int fd = memfd_create("wavesmith-fuzz", 0);
  if (fd < 0) return 0;
  if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  wavesmith::AudioReader reader;
  std::string error;
  if (!reader.open(path, error)) return 0;
  (void)reader.lengthFrames();
  (void)reader.durationMs();
  for (int i = 0; i < 100000 && !reader.read(8192).empty(); ++i) {
  }
  return 0;
}
