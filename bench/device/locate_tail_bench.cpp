// LocateTail (engine/rip/exact_read.h) on the reads an exact rip makes: a
// block of 26 frames read from J = 3 frames before it to one frame after,
// with N = 1 or 3 frames of tail, on music, on near-silence (few values
// that repeat), on a read that does not hold the tail (every position is
// tried), and on a constant read whose tail differs only in its last sample
// (where a plain comparison at every position would compare almost the
// whole tail each time).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "engine/rip/exact_read.h"

namespace {

enum Content { kMusic, kNearSilence, kNoMatch, kRepeatingNoMatch };
constexpr size_t kFrameBytes = 2352;
constexpr size_t kSamplesPerFrame = 588;
constexpr size_t kBlockFrames = 26;
constexpr size_t kRewindFrames = 3;

// Stereo 16-bit samples: a few tones with noise, or +-1 dither around zero.
std::string Audio(size_t sampleFrames, Content content, uint32_t seed) {
  std::string bytes(sampleFrames * 4, '\0');
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> noise(-1, 1);
  for (size_t i = 0; i < sampleFrames; ++i) {
    int16_t left, right;
    if (content == kRepeatingNoMatch) {
      left = right = 1;
    } else if (content == kNearSilence) {
      left = int16_t(rng() % 64 == 0 ? noise(rng) : 0);
      right = int16_t(rng() % 64 == 0 ? noise(rng) : 1);
    } else {
      const double t = double(i + seed * 7919) / 44100.0;
      left = int16_t(8000 * std::sin(2 * M_PI * 440 * t) + 3000 * std::sin(2 * M_PI * 1250 * t) +
                     noise(rng) * 50);
      right = int16_t(7000 * std::sin(2 * M_PI * 330 * t) + noise(rng) * 50);
    }
    std::memcpy(bytes.data() + 4 * i, &left, 2);
    std::memcpy(bytes.data() + 4 * i + 2, &right, 2);
  }
  return bytes;
}

void BM_LocateTail(benchmark::State& state) {
  const size_t n = size_t(state.range(0));
  const Content content = Content(state.range(1));
  const size_t readFrames = kRewindFrames + kBlockFrames + 1;
  const std::string read = Audio(readFrames * kSamplesPerFrame, content, 1);
  // The tail sits where a drive that started on time puts it: J - N frames in.
  std::string tail = read.substr((kRewindFrames - n) * kFrameBytes, n * kFrameBytes);
  if (content == kNoMatch) tail = Audio(n * kSamplesPerFrame, kMusic, 99);
  if (content == kRepeatingNoMatch) tail.back() = 0x7F;
  const size_t followBytes = kBlockFrames * kFrameBytes;
  size_t at = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(engine::LocateTail(read, tail, followBytes, &at));
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(read.size()));
}

BENCHMARK(BM_LocateTail)
    ->ArgNames({"N", "content"})
    ->ArgsProduct({{1, 3}, {kMusic, kNearSilence, kNoMatch, kRepeatingNoMatch}});

}  // namespace

BENCHMARK_MAIN();
