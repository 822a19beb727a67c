// The player component's core: queues 16-bit PCM, renders it through an
// AudioSink on its own thread, and reports from that thread through
// PlayerEvents: more samples wanted (the queue ran low), the position and
// levels after each rendered block, and the end of the stream once
// everything queued has been rendered.
//
// Positions count sample frames rendered since the last flush; flush() drops
// what is queued and starts the count again, so a caller that flushes on
// seek or pause adds its own base.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "outside/tonemeter2/audio_sink.h"

namespace tonemeter {

class PlayerEvents {
 public:
  virtual ~PlayerEvents() = default;
  virtual void moreSamplesWanted() = 0;
  virtual void position(int64_t frames_played, int left_level, int right_level) = 0;
  virtual void endOfStream() = 0;
};

struct PlayerState {
  int status = 0;  // 0 usable; negative: the sink failed
  bool playing = false;
  int64_t queued_frames = 0;
  int64_t played_frames = 0;
};

class PlayerCore {
 public:
  // The player does not own `events`; it must outlive the player.
  PlayerCore(std::unique_ptr<AudioSink> sink, PlayerEvents* events);
  ~PlayerCore();
  PlayerCore(const PlayerCore&) = delete;
  PlayerCore& operator=(const PlayerCore&) = delete;

  bool setFormat(int rate_hz, int channels);
  // How much audio the device buffers; answers the time in effect.
  int setBufferTime(int ms);
  bool play();
  void stop();   // halts rendering; the queue is kept
  void flush();  // drops the queue and restarts the position count
  bool writeSamples(const int16_t* samples, size_t count);  // count in samples
  PlayerState state() const;

 private:
  void run();  // the render thread

  // Render-block length and the low-water mark below which more is wanted.
  static constexpr int kBlockMs = 50;
  static constexpr int kLowWaterMs = 1000;

  std::unique_ptr<AudioSink> sink_;  // used by the render thread only, after start
  PlayerEvents* events_;

  mutable std::mutex lock_;
  std::condition_variable wake_;
  // Guarded by lock_:
  int rate_hz_ = 44100;
  int channels_ = 2;
  int buffer_ms_ = 300;
  bool playing_ = false;
  bool quit_ = false;
  bool sink_started_ = false;
  bool sink_failed_ = false;
  std::deque<int16_t> queue_;
  int64_t played_frames_ = 0;
  uint64_t generation_ = 0;      // bumped by flush: blocks taken before it do not count
  bool want_more_armed_ = true;  // one "more wanted" per fall below the mark
  bool end_armed_ = false;       // one end of stream per run of queued audio

  std::thread thread_;  // started in the constructor, joined in the destructor
};

}  // namespace tonemeter
