// Keys from standard input for the interactive commands: single key presses
// in raw mode when stdin is a terminal (restored when this object goes), or
// whole lines when it is not (a pipe or a file), so scripts can drive them.
#pragma once

#include <optional>
#include <string>

#include <termios.h>

namespace ripmarrow {

class KeyInput {
 public:
  KeyInput();
  ~KeyInput();
  KeyInput(const KeyInput&) = delete;
  KeyInput& operator=(const KeyInput&) = delete;

  bool terminal() const { return raw_; }
  // The next key ("p", "q", "left", "right"...) or line, without waiting;
  // nothing when none is ready. At the end of the input: "eof".
  std::optional<std::string> poll();

 private:
  bool raw_ = false;
  bool ended_ = false;
  termios saved_{};      // the terminal's settings before raw mode
  std::string pending_;  // bytes read but not yet handed out
};

}  // namespace ripmarrow
