#include "outside/tonemeter2/player_core.h"

#include <algorithm>
#include <cstdlib>

namespace tonemeter {

PlayerCore::PlayerCore(std::unique_ptr<AudioSink> sink, PlayerEvents* events)
    : sink_(std::move(sink)), events_(events), thread_([this] { run(); }) {}

PlayerCore::~PlayerCore() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    quit_ = true;
  }
  wake_.notify_all();
  thread_.join();
  if (sink_started_) sink_->stop();
}

bool PlayerCore::setFormat(int rate_hz, int channels) {
  if (rate_hz < 1000 || rate_hz > 384000 || channels < 1 || channels > 8) return false;
  std::lock_guard<std::mutex> guard(lock_);
  if (rate_hz != rate_hz_ || channels != channels_) {
    queue_.clear();  // samples of the old layout would play wrongly
    sink_started_ = false;
  }
  rate_hz_ = rate_hz;
  channels_ = channels;
  return true;
}

int PlayerCore::setBufferTime(int ms) {
  std::lock_guard<std::mutex> guard(lock_);
  buffer_ms_ = std::clamp(ms, 20, 5000);
  sink_started_ = false;  // the device is reopened with it
  return buffer_ms_;
}

bool PlayerCore::play() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (sink_failed_) {
      sink_failed_ = false;  // try the device again
      sink_started_ = false;
    }
    playing_ = true;
  }
  wake_.notify_all();
  return true;
}

void PlayerCore::stop() {
  std::lock_guard<std::mutex> guard(lock_);
  playing_ = false;
}

void PlayerCore::flush() {
  std::lock_guard<std::mutex> guard(lock_);
  queue_.clear();
  played_frames_ = 0;
  ++generation_;
  want_more_armed_ = true;
  end_armed_ = false;
}

bool PlayerCore::writeSamples(const int16_t* samples, size_t count) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (sink_failed_) return false;
    // Whole frames only: a stray sample would swap the channels from here on.
    count -= count % static_cast<size_t>(channels_);
    if (count == 0) return true;
    queue_.insert(queue_.end(), samples, samples + count);
    want_more_armed_ = true;
    end_armed_ = true;
  }
  wake_.notify_all();
  return true;
}

PlayerState PlayerCore::state() const {
  std::lock_guard<std::mutex> guard(lock_);
  PlayerState s;
  s.status = sink_failed_ ? -1 : 0;
  s.playing = playing_;
  s.queued_frames = static_cast<int64_t>(queue_.size()) / channels_;
  s.played_frames = played_frames_;
  return s;
}

void PlayerCore::run() {
  std::vector<int16_t> block;
  std::unique_lock<std::mutex> lk(lock_);
  for (;;) {
    wake_.wait(lk, [this] { return quit_ || (playing_ && !queue_.empty()); });
    if (quit_) return;
    const int channels = channels_;
    if (!sink_started_) {
      if (!sink_->start(rate_hz_, channels, buffer_ms_)) {
        sink_failed_ = true;
        playing_ = false;
        continue;
      }
      sink_started_ = true;
    }
    const size_t frames = std::min(queue_.size() / static_cast<size_t>(channels),
                                   static_cast<size_t>(rate_hz_ * kBlockMs / 1000));
    block.assign(queue_.begin(), queue_.begin() + static_cast<ptrdiff_t>(frames * static_cast<size_t>(channels)));
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<ptrdiff_t>(block.size()));
    const uint64_t generation = generation_;
    lk.unlock();

    const bool written = sink_->write(block.data(), frames);
    int peak[2] = {0, 0};
    for (size_t i = 0; i < block.size(); ++i) {
      int& p = peak[channels == 1 ? 0 : (i % static_cast<size_t>(channels)) & 1];
      p = std::max(p, std::min(32767, std::abs(int{block[i]})));
    }
    if (channels == 1) peak[1] = peak[0];

    lk.lock();
    if (!written) {
      sink_failed_ = true;
      playing_ = false;
      continue;
    }
    if (generation != generation_) continue;  // flushed while rendering
    played_frames_ += static_cast<int64_t>(frames);
    const int64_t played = played_frames_;
    const bool want = want_more_armed_ &&
                      static_cast<int64_t>(queue_.size()) / channels < int64_t{rate_hz_} * kLowWaterMs / 1000;
    if (want) want_more_armed_ = false;
    lk.unlock();
    // Events go out without the lock, so a handler may queue samples, flush
    // or stop from inside them.
    events_->position(played, peak[0], peak[1]);
    if (want) events_->moreSamplesWanted();
    lk.lock();
    if (generation == generation_ && queue_.empty() && end_armed_) {
      end_armed_ = false;
      lk.unlock();
      events_->endOfStream();
      lk.lock();
    }
  }
}

}  // namespace tonemeter
