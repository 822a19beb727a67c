// The intermediate WAV of a rip that is processed before its file is
// written (the hidden track's silence check, de-emphasis).
#pragma once

#include <string>

namespace ripmarrow {

// A file in `folder` for a rip's intermediate audio, created empty and
// removed with this object, so that none stays behind.
class TemporaryWave {
 public:
  explicit TemporaryWave(const std::string& folder);
  ~TemporaryWave();
  TemporaryWave(const TemporaryWave&) = delete;
  TemporaryWave& operator=(const TemporaryWave&) = delete;

  const std::string& path() const { return path_; }  // "" when it could not be created
 private:
  std::string path_;
};

}  // namespace ripmarrow
