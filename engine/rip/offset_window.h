// Read offset correction: which frames the rip reads, and which of their
// bytes reach the output, so that a drive that delivers the disc's audio
// `offset` samples early (a positive read offset) or late (negative) gives
// the track's audio where other drives have it.
//
// The track's audio is the disc's samples [first x 588, end x 588). The
// drive delivers the sample at s when asked for s + offset, so the rip asks
// for the samples [first x 588 + offset, end x 588 + offset): the frames
// readFirst .. readEnd, of which the first `skipBytes` bytes are not the
// track's. What the drive cannot read (before `lower`, from `upper` on: the
// disc's ends or the ends of the audio around the track) is silence.
//
// The window sees every byte the rip loop has for its frames, in order
// (read audio, the silence of a given-up block, or a cut block's bytes
// passed by), and hands on exactly the track's bytes: the leading silence,
// the read audio less the skipped bytes, and, once the loop has read to its
// end, the trailing silence. With offset 0 it hands on everything as it is.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

namespace engine {

class OffsetWindow {
 public:
  static constexpr int64_t kFrameBytes = 2352;
  static constexpr int64_t kBytesPerSample = 4;

  OffsetWindow() = default;
  // `first`/`end`: the track's frames; `lower`/`upper`: the frames the drive
  // can read around it (lower <= first, end <= upper).
  OffsetWindow(uint32_t first, uint32_t end, int32_t offsetSamples, uint32_t lower, uint32_t upper) {
    const int64_t wantedFirst = int64_t{first} * kFrameBytes + int64_t{offsetSamples} * kBytesPerSample;
    const int64_t wantedEnd = int64_t{end} * kFrameBytes + int64_t{offsetSamples} * kBytesPerSample;
    const int64_t firstFrame = floorDiv(wantedFirst, kFrameBytes);
    const int64_t endFrame = -floorDiv(-wantedEnd, kFrameBytes);  // rounded up
    const int64_t readFirst = std::clamp<int64_t>(firstFrame, lower, upper);
    const int64_t readEnd = std::clamp<int64_t>(endFrame, readFirst, upper);
    readFirst_ = static_cast<uint32_t>(readFirst);
    readEnd_ = static_cast<uint32_t>(readEnd);
    // Positions count bytes from the start of frame readFirst; the track's
    // bytes run from `begin_` (negative: silence before what can be read).
    begin_ = wantedFirst - readFirst * kFrameBytes;
    end_ = begin_ + (wantedEnd - wantedFirst);
    position_ = std::min<int64_t>(begin_, 0);
  }

  uint32_t readFirst() const { return readFirst_; }
  uint32_t readEnd() const { return readEnd_; }
  uint64_t trackBytes() const { return static_cast<uint64_t>(end_ - begin_); }

  // The silence the drive cannot give before the first frame it reads.
  template <class Sink>
  bool start(Sink&& sink) {
    if (position_ >= 0) return true;
    const int64_t count = std::min(-position_, end_ - position_);
    position_ = 0;
    return silence(count, sink);
  }

  // The loop's next `count` bytes of frames: `bytes` (null: silence).
  template <class Sink>
  bool pass(const uint8_t* bytes, int64_t count, Sink&& sink) {
    const int64_t from = std::max(position_, begin_);
    const int64_t to = std::min(position_ + count, end_);
    bool ok = true;
    if (to > from) {
      const int64_t at = from - position_;
      ok = bytes != nullptr ? sink(std::span<const uint8_t>(bytes + at, static_cast<size_t>(to - from)))
                            : silence(to - from, sink);
    }
    position_ += count;
    return ok;
  }

  // A cut block: its bytes go by without reaching the output.
  void skip(int64_t count) { position_ += count; }

  // The silence after the last frame the drive can read, once the loop has
  // passed every frame up to readEnd.
  template <class Sink>
  bool finish(Sink&& sink) {
    const int64_t rest = end_ - std::max(position_, begin_);
    position_ = std::max(position_, end_);
    return silence(rest, sink);
  }

 private:
  static int64_t floorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

  template <class Sink>
  static bool silence(int64_t count, Sink& sink) {
    static constexpr std::array<uint8_t, kFrameBytes> kZeros{};
    while (count > 0) {
      const int64_t n = std::min<int64_t>(count, kFrameBytes);
      if (!sink(std::span<const uint8_t>(kZeros.data(), static_cast<size_t>(n)))) return false;
      count -= n;
    }
    return true;
  }

  uint32_t readFirst_ = 0;
  uint32_t readEnd_ = 0;
  int64_t begin_ = 0;     // where the track's bytes begin, from readFirst's first byte
  int64_t end_ = 0;       // one past their last
  int64_t position_ = 0;  // the next byte the loop passes
};

}  // namespace engine
