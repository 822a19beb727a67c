// The Linux desktop opener: runs `xdg-open <target>` with posix_spawnp, the
// target as one argument and never through a shell, so no character in a
// path or URL can run a command. The child is reaped in the background; the
// caller does not wait for it.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/shell/desktop_opener.h"

namespace platform {

class XdgOpener : public DesktopOpener {
 public:
  // Starts argv (argv[0] is looked up on PATH); returns 0 or an errno value.
  using Spawn = std::function<int(const std::vector<std::string>& argv)>;

  // The real opener; program is "xdg-open" except in tests.
  explicit XdgOpener(std::string program = "xdg-open");
  // An opener that hands the command to spawn instead (tests).
  XdgOpener(std::string program, Spawn spawn);

  bool open(std::string_view target) override;

  // The command line open() starts for target; empty when the target is
  // refused (empty, or holding a NUL byte).
  std::vector<std::string> commandFor(std::string_view target) const;

  // posix_spawnp of argv, with a background thread that reaps the child.
  static int spawnDetached(const std::vector<std::string>& argv);

 private:
  std::string program_;
  Spawn spawn_;
};

}  // namespace platform
