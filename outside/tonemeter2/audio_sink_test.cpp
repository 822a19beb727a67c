#include "outside/tonemeter2/audio_sink.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace tonemeter {
namespace {

// Counts the calls it gets; the device it stands for plays nothing.
class CountingSink final : public AudioSink {
 public:
  std::string outputName() override { return "counting"; }
  bool start(int, int, int) override { return ++starts > 0; }
  bool write(const int16_t*, size_t) override { return true; }
  void stop() override { ++stops; }
  int starts = 0;
  int stops = 0;
};

TEST(DeferredSinkTest, OpensTheDeviceOnceAtTheFirstCallThatNeedsIt) {
  std::atomic<int> opens{0};
  CountingSink* device = nullptr;
  DeferredSink sink([&]() -> std::unique_ptr<AudioSink> {
    ++opens;
    auto made = std::make_unique<CountingSink>();
    device = made.get();
    return made;
  });
  sink.stop();  // nothing to stop: opens nothing
  EXPECT_FALSE(sink.isOpen());
  EXPECT_EQ(opens.load(), 0);

  std::vector<std::thread> callers;
  for (int i = 0; i < 4; ++i) callers.emplace_back([&sink] { sink.open(); });
  for (std::thread& t : callers) t.join();
  EXPECT_TRUE(sink.isOpen());
  EXPECT_EQ(sink.outputName(), "counting");
  EXPECT_TRUE(sink.start(44100, 2, 300));
  sink.stop();
  EXPECT_EQ(opens.load(), 1);
  EXPECT_EQ(device->starts, 1);
  EXPECT_EQ(device->stops, 1);
}

TEST(DeferredSinkTest, WithoutADeviceItPlaysIntoSilence) {
  DeferredSink sink([]() -> std::unique_ptr<AudioSink> { return nullptr; });
  const int16_t frame[2] = {0, 0};
  EXPECT_TRUE(sink.start(44100, 2, 300));  // opens here
  EXPECT_TRUE(sink.write(frame, 1));
  EXPECT_EQ(sink.outputName(), "silent");
}

// Probing the audio system (PortAudio over ALSA and JACK, with or without a
// sound card or a JACK server) writes nothing on stderr.
TEST(DefaultSinkTest, ProbingTheAudioSystemIsQuiet) {
  unsetenv("RIPMARROW_AUDIO");
  char path[] = "/tmp/rm_sink_stderr.XXXXXX";
  const int capture = mkstemp(path);
  ASSERT_GE(capture, 0);
  std::fflush(stderr);
  const int saved = dup(2);
  dup2(capture, 2);
  std::string name;
  {
    std::unique_ptr<AudioSink> sink = makeDefaultSink();
    name = sink->outputName();
  }
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  close(capture);
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  unlink(path);
  EXPECT_EQ(text.str(), "");
  EXPECT_TRUE(name == "silent" || name == "default output") << name;
}

}  // namespace
}  // namespace tonemeter
