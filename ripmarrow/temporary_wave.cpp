#include "ripmarrow/temporary_wave.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

namespace ripmarrow {

TemporaryWave::TemporaryWave(const std::string& folder) {
  std::string pattern = (std::filesystem::path(folder) / ".ripmarrow-XXXXXX.wav").string();
  const int fd = mkstemps(pattern.data(), 4);
  if (fd < 0) return;
  ::close(fd);
  path_ = pattern;
}

TemporaryWave::~TemporaryWave() {
  if (path_.empty()) return;
  std::error_code ec;
  std::filesystem::remove(path_, ec);
}

}  // namespace ripmarrow
