// What the progress bar says while a batch rips: which track of how many,
// the percentage, the read speed as a multiple of playing speed, and the
// time left for the track and for the batch, measured from the progress
// events as they arrive. GUI thread only (the batch's events come there).
#pragma once

#include <chrono>
#include <string>

namespace quavern {

// "Track 2 of 5 · 43% · 12.4x · 0:21 left · batch 3:10 left"; before the
// speed is known, "Track 2 of 5 · 3%". While a secure mode reads frames of
// the track again because their reads failed or disagreed (`retriedFrames`
// above 0), it says so before the time left: "… · 12.4x · re-reading 3
// frames · 0:21 left …".
std::string ripProgressText(int ordinal, int total, int percent, double speed, double trackLeftSeconds,
                            double batchLeftSeconds, long retriedFrames = 0);
// 0:07, 3:10, 1:02:05.
std::string timeLeftText(double seconds);

class RipProgressClock {
 public:
  using Clock = std::chrono::steady_clock;
  // A track of `trackMs` of audio starts; `laterMs` is the audio of the
  // batch's tracks after it.
  void startTrack(int ordinal, int total, long trackMs, long laterMs, Clock::time_point now = Clock::now());
  // The text at `percent` of the track, `retriedFrames` of it read again so far.
  std::string at(int percent, long retriedFrames = 0, Clock::time_point now = Clock::now()) const;
  // The read speed measured so far (0 until it can be told).
  double speed(int percent, Clock::time_point now) const;

 private:
  int ordinal_ = 0;
  int total_ = 0;
  long trackMs_ = 0;
  long laterMs_ = 0;
  Clock::time_point start_{};
};

}  // namespace quavern
