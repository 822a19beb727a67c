// Overlap matching on the blocks a rip reads: 26 frames, N = 1 or 3 frames of
// tail, on music, on near-silence (few values that repeat), on a block that
// does not hold the tail (every position is tried), and on a constant block
// whose tail differs only in its last sample (where a plain comparison at
// every position would compare almost the whole tail each time).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>

#include "engine/device/device_types.h"
#include "engine/device/match_overlap.h"
#include "engine/device/track_buffer.h"

namespace {

using namespace engine::device;

enum Content { kMusic, kNearSilence, kNoMatch, kRepeatingNoMatch };
constexpr uint32_t kBlockFrames = 26;
constexpr uint32_t kRewindFrames = 3;

// Stereo 16-bit samples: a few tones with noise, or +-1 dither around zero.
void FillAudio(uint8_t* bytes, size_t sampleFrames, Content content, uint32_t seed) {
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
    std::memcpy(bytes + 4 * i, &left, 2);
    std::memcpy(bytes + 4 * i + 2, &right, 2);
  }
}

void BM_MatchOverlap(benchmark::State& state) {
  const uint32_t n = uint32_t(state.range(0));
  const Content content = Content(state.range(1));
  auto source = AllocateTrackBuffer(kBlockFrames);
  FillAudio(source->data(), kBlockFrames * 588, content, 1);
  auto o = AllocateTrackBuffer(n);
  // The tail sits where a drive that started on time puts it: J - N frames in.
  std::memcpy(o->data(), source->data() + (kRewindFrames - n) * kFrameBytes, n * kFrameBytes);
  if (content == kNoMatch) FillAudio(o->data(), n * 588, kMusic, 99);
  if (content == kRepeatingNoMatch) o->data()[n * kFrameBytes - 1] = 0x7F;
  o->validBytes = n * kFrameBytes;
  o->frameCount = n;
  auto b = AllocateTrackBuffer(kBlockFrames);
  for (auto _ : state) {
    std::memcpy(b->data(), source->data(), source->capacity);
    b->frameCount = kBlockFrames;
    b->validBytes = kBlockFrames * kFrameBytes;
    b->dataOffset = 0;
    benchmark::DoNotOptimize(MatchOverlap(*b, *o, n));
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kBlockFrames * kFrameBytes);
}

BENCHMARK(BM_MatchOverlap)
    ->ArgNames({"N", "content"})
    ->ArgsProduct({{1, 3}, {kMusic, kNearSilence, kNoMatch, kRepeatingNoMatch}});

}  // namespace

BENCHMARK_MAIN();
