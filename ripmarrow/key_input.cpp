#include "ripmarrow/key_input.h"

#include <poll.h>
#include <unistd.h>

namespace ripmarrow {

KeyInput::KeyInput() {
  if (isatty(STDIN_FILENO) == 0 || tcgetattr(STDIN_FILENO, &saved_) != 0) return;
  termios raw = saved_;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  raw_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
}

KeyInput::~KeyInput() {
  if (raw_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
}

std::optional<std::string> KeyInput::poll() {
  if (!ended_) {
    pollfd fd{STDIN_FILENO, POLLIN, 0};
    while (::poll(&fd, 1, 0) > 0 && (fd.revents & (POLLIN | POLLHUP)) != 0) {
      char buffer[64];
      const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
      if (n <= 0) {
        ended_ = true;
        break;
      }
      pending_.append(buffer, static_cast<size_t>(n));
    }
  }
  if (raw_) {
    if (pending_.empty()) return ended_ ? std::optional<std::string>("eof") : std::nullopt;
    // Arrow keys arrive as ESC [ C / ESC [ D.
    if (pending_.size() >= 3 && pending_[0] == '\x1b' && pending_[1] == '[') {
      const char code = pending_[2];
      pending_.erase(0, 3);
      return code == 'C' ? "right" : code == 'D' ? "left" : "";
    }
    std::string key(1, pending_[0]);
    pending_.erase(0, 1);
    return key;
  }
  const size_t end = pending_.find('\n');
  if (end == std::string::npos) {
    if (!ended_) return std::nullopt;
    if (pending_.empty()) return "eof";
    std::string last = std::move(pending_);
    pending_.clear();
    return last;
  }
  std::string line = pending_.substr(0, end);
  pending_.erase(0, end + 1);
  return line;
}

}  // namespace ripmarrow
