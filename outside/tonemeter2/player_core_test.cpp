#include "outside/tonemeter2/player_core.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace tonemeter {
namespace {

// Records the events in order; lets a test react to "more wanted".
class Recorder final : public PlayerEvents {
 public:
  struct Event {
    char kind;  // 'W' more wanted, 'P' position, 'E' end of stream
    int64_t frames;
    int left, right;
  };

  void moreSamplesWanted() override {
    std::function<void()> react;
    {
      std::lock_guard<std::mutex> g(lock);
      events.push_back({'W', 0, 0, 0});
      react = std::move(on_want);
      on_want = nullptr;
    }
    if (react) react();
  }
  void position(int64_t frames, int left, int right) override {
    std::lock_guard<std::mutex> g(lock);
    events.push_back({'P', frames, left, right});
  }
  void endOfStream() override {
    std::lock_guard<std::mutex> g(lock);
    events.push_back({'E', 0, 0, 0});
    ended = true;
    cv.notify_all();
  }
  // Waits for end of stream; the bound only keeps a broken player from
  // hanging the test.
  bool waitEnd() {
    std::unique_lock<std::mutex> g(lock);
    return cv.wait_for(g, std::chrono::seconds(20), [&] { return ended; });
  }

  std::mutex lock;
  std::condition_variable cv;
  std::vector<Event> events;  // guarded by lock
  std::function<void()> on_want;
  bool ended = false;
};

std::vector<int16_t> block(double seconds, int16_t left, int16_t right) {
  std::vector<int16_t> v(static_cast<size_t>(seconds * 44100) * 2);
  for (size_t i = 0; i < v.size(); i += 2) {
    v[i] = left;
    v[i + 1] = right;
  }
  return v;
}

TEST(PlayerCore, EventsComeInOrderAndEndAfterEverythingQueued) {
  Recorder rec;
  PlayerCore player(std::make_unique<SilentSink>(), &rec);
  ASSERT_TRUE(player.setFormat(44100, 2));
  const auto first = block(0.3, 1000, -2000);
  const auto more = block(0.2, 3000, 500);
  rec.on_want = [&] { player.writeSamples(more.data(), more.size()); };
  ASSERT_TRUE(player.writeSamples(first.data(), first.size()));
  ASSERT_TRUE(player.play());
  ASSERT_TRUE(rec.waitEnd());
  player.stop();

  std::lock_guard<std::mutex> g(rec.lock);
  std::string kinds;
  int64_t last = 0;
  for (const auto& e : rec.events) {
    kinds += e.kind;
    if (e.kind == 'P') {
      EXPECT_GT(e.frames, last);
      last = e.frames;
    }
  }
  EXPECT_EQ(kinds.front(), 'P');
  EXPECT_NE(kinds.find("PW"), std::string::npos);
  EXPECT_EQ(kinds.back(), 'E');
  EXPECT_EQ(kinds.find('E'), kinds.size() - 1);  // one end, nothing after it
  EXPECT_EQ(last, static_cast<int64_t>((first.size() + more.size()) / 2));
  EXPECT_EQ(rec.events.front().left, 1000);
  EXPECT_EQ(rec.events.front().right, 2000);
  const auto& final_position = rec.events[rec.events.size() - 2];
  EXPECT_EQ(final_position.left, 3000);
  EXPECT_EQ(player.state().queued_frames, 0);
  EXPECT_EQ(player.state().status, 0);
}

TEST(PlayerCore, FlushDropsTheQueueAndRestartsTheCount) {
  Recorder rec;
  PlayerCore player(std::make_unique<SilentSink>(), &rec);
  const auto lots = block(5.0, 100, 100);
  player.writeSamples(lots.data(), lots.size());
  EXPECT_EQ(player.state().queued_frames, 5 * 44100);
  player.flush();
  EXPECT_EQ(player.state().queued_frames, 0);
  const auto tail = block(0.1, 7, 7);
  player.writeSamples(tail.data(), tail.size());
  player.play();
  ASSERT_TRUE(rec.waitEnd());
  EXPECT_EQ(player.state().played_frames, 4410);
  EXPECT_FALSE(player.writeSamples(nullptr, 0) == false);  // nothing to queue is fine
}

TEST(PlayerCore, StoppedPlayerRendersNothingAndRefusesBadFormats) {
  Recorder rec;
  PlayerCore player(std::make_unique<SilentSink>(), &rec);
  EXPECT_FALSE(player.setFormat(0, 2));
  EXPECT_FALSE(player.setFormat(44100, 0));
  EXPECT_EQ(player.setBufferTime(300), 300);
  const auto some = block(0.1, 1, 1);
  player.writeSamples(some.data(), some.size() - 1);  // a stray sample is dropped
  EXPECT_EQ(player.state().queued_frames, 4409);
  EXPECT_FALSE(player.state().playing);
  std::lock_guard<std::mutex> g(rec.lock);
  EXPECT_TRUE(rec.events.empty());
}

// A sink that fails, as a device that vanished.
class BrokenSink final : public AudioSink {
 public:
  bool start(int, int, int) override { return false; }
  bool write(const int16_t*, size_t) override { return false; }
  void stop() override {}
};

TEST(PlayerCore, FailedSinkShowsInTheState) {
  Recorder rec;
  PlayerCore player(std::make_unique<BrokenSink>(), &rec);
  const auto some = block(0.1, 1, 1);
  player.writeSamples(some.data(), some.size());
  player.play();
  for (int i = 0; i < 2000 && player.state().status == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_LT(player.state().status, 0);
  EXPECT_FALSE(player.state().playing);
}

}  // namespace
}  // namespace tonemeter
