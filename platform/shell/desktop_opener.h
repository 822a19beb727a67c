// The desktop's opener: shows a folder in the file manager, a file in its
// program, a URL (http:, mailto:) in the browser or mail program. It stands
// where Windows code runs "explorer <folder>" or opens help and mail links.
#pragma once

#include <string>
#include <string_view>

namespace platform {

class DesktopOpener {
 public:
  virtual ~DesktopOpener() = default;
  // True when the opener was started; what it then shows is the desktop's
  // affair and is not waited for.
  virtual bool open(std::string_view target) = 0;
};

}  // namespace platform
