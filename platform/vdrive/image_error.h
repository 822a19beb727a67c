// The one error type of disc images: a cue sheet, a description or an image
// file that cannot be used. The message names the file and, for text, the line
// ("demo.cue:12: INDEX 01 beyond the end of 'a.bin'").
#pragma once

#include <stdexcept>
#include <string>

namespace platform::vdrive {

class ImageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace platform::vdrive
