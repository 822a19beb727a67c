// The converter on every core: a lane converts one file at a time on a
// thread of its own, with codec and tag objects of its own (made in that
// thread's apartment and used nowhere else), while the window's thread
// chooses the rows, asks its questions and shows the statuses. The run
// (FileConversion) keeps as many lanes busy as [convert] "files at once"
// says (default: the machine's cores); one lane is the plain run of
// file_conversion.h, on the window's thread.
#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "components/tonemeter2.h"
#include "components/wavesmith2.h"
#include "frontend/format_settings.h"
#include "platform/com/com_thread.h"

namespace quavern {

class SettingsStore;

// [convert] "files at once": 1 … kMostFilesAtOnce, default the number of
// cores (at most that many). More lanes than that only share the cores
// and the disk the more thinly.
inline constexpr int kMostFilesAtOnce = 16;
int defaultFilesAtOnce();
int readFilesAtOnce(const SettingsStore& settings);

// The output format as a lane's codec takes it, read once per run.
struct LaneFormat {
  int format = 0;  // FileConversion::Format
  Mp3Settings mp3;
  LONG wmaProfile = 1;
  OggSettings ogg;
  LONG flacLevel = 5;
  bool replayGain = false;  // [convert] "replaygain": the track's gain measured and tagged
};
LaneFormat readLaneFormat(const SettingsStore& settings, int format);
// [convert] "replaygain": off by default.
bool readConvertReplayGain(const SettingsStore& settings);

class ConversionLane {
 public:
  enum class Outcome { kFinished, kCannotRead, kWriteError };

  ConversionLane() = default;
  ~ConversionLane();  // stops and joins a file still being converted
  ConversionLane(const ConversionLane&) = delete;
  ConversionLane& operator=(const ConversionLane&) = delete;

  // Window's thread: converts `source` into `output` (the row `row`).
  void start(int row, std::string source, std::string output, const LaneFormat& format);
  bool busy() const { return busy_; }                  // started, not collected
  bool done() const { return done_.load(); }           // the thread has finished the file
  int row() const { return row_; }
  int percent() const { return percent_.load(); }
  // The file ends at the next second of audio, closed, tagged and whole.
  void stop() { stop_.store(true); }
  // Once done(): joins the thread and says how the file ended.
  Outcome collect();
  const std::string& source() const { return source_; }
  const std::string& output() const { return output_; }

 private:
  void convert(const LaneFormat& format);  // the lane's thread

  // Set by start() before the thread runs, read by it; constant meanwhile.
  int row_ = -1;
  std::string source_;
  std::string output_;
  bool busy_ = false;  // window's thread only
  // Shared with the lane's thread.
  std::atomic<bool> stop_{false};
  std::atomic<bool> done_{false};
  std::atomic<int> percent_{0};
  Outcome outcome_ = Outcome::kFinished;  // the lane's thread's until done_, then the window's
  com::ComThread thread_;                 // the last member: joined first
};

}  // namespace quavern
