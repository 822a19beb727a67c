// The engine's diagnostic log: a plain-text trace of what an engine object
// does, for support. Off unless the registry switch asks for it.
//
// Switch: HKEY_LOCAL_MACHINE\Software\Veltrosa\Cadmerion\AudioCDRipper2,
// string value "Log": "No" 0, "Normal" 1, "Extended" 2, compared with case;
// anything else, a missing value or a key that cannot be opened with full
// access gives 0.
//
// File: "audioripper.log" in the current directory, created anew by each
// engine object. It is held without sharing (an exclusive lock): a second
// object in the same folder while the first lives gets no usable log, and
// truncates nothing. Lines end in CR LF. At level 2 every line is flushed to
// the disk as it is written; at level 1 only flush() does that.
//
// Threads: the client's thread and the engine's workers write through one
// object; a lock keeps each line whole.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace engine::log {

inline constexpr int16_t kLevelOff = 0;
inline constexpr int16_t kLevelNormal = 1;
inline constexpr int16_t kLevelExtended = 2;

inline constexpr const char* kLogSwitchKey = "Software\\Veltrosa\\Cadmerion\\AudioCDRipper2";
inline constexpr const char* kLogFileName = "audioripper.log";

// The level the registry switch selects now.
int16_t ReadLogLevel();

class DiagnosticLog {
 public:
  // Opens (and empties) the file at `path` when `level` is not 0. A file that
  // cannot be created or locked leaves a log on which every write does nothing.
  explicit DiagnosticLog(int16_t level, std::string path = kLogFileName);
  ~DiagnosticLog();  // closes the file
  DiagnosticLog(const DiagnosticLog&) = delete;
  DiagnosticLog& operator=(const DiagnosticLog&) = delete;

  int16_t level() const { return level_; }
  // True when lines reach a file.
  bool usable() const { return fd_ >= 0; }

  // The text, then CR LF.
  void line(std::string_view text);
  // The text, one space, the value as a signed decimal number, CR LF.
  void value(std::string_view text, int64_t number);
  // The text, one space, a second text, CR LF.
  void pair(std::string_view text, std::string_view second);
  // Hands the written data to the disk.
  void flush();

  // Writes a whole line as it stands (CR LF included), flushing at level 2:
  // the device layer's lines at the extended level go through here.
  void raw(std::string_view wholeLine);

 private:
  void writeLocked(std::string_view bytes);  // requires mutex_

  const int16_t level_;
  int fd_ = -1;        // set once by the constructor, closed by the destructor
  std::mutex mutex_;   // orders whole lines of every thread
};

}  // namespace engine::log
