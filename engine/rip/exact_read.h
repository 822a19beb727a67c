// Exact reads on drives that jitter.
//
// A drive asked for frame L does not always start there: on some reads the
// first sample it delivers lies a few samples, or up to a whole frame,
// before or after L. A rip that takes such a read as it comes repeats or
// loses audio at every block boundary. The overlapped modes (SYNCH, SECURE,
// PARANOID) therefore never take a read on trust; they locate it.
//
// Blocks and the tail. A track is read in blocks of n frames. Once a block
// is known, its last N frames (the tail, N = the preset's overlap) say what
// the audio just before the next block is. The next block is read from J
// frames before it (the rewind) to one frame after it, so that, whatever
// the drive's start within a frame either way, the read holds the whole
// tail followed by the whole block: J - N >= 1 covers late starts of up to
// a frame, the frame after covers early ones. The tail is looked for in the
// read on whole sample frames (4 bytes: the left and right 16-bit samples
// together); a match at any other byte offset would split samples and hand
// on noise. The n frames after it are the block, wherever the drive started.
// The search (Boyer-Moore-Horspool) goes on past the first hit only until
// it knows whether there is a second; bench/device/locate_tail_bench.cpp
// measures it on music, near-silence and reads that lack the tail.
//
// Where the tail is found decides what the read is:
//   once     the read is located: its block is the audio after the tail.
//   nowhere  the drive started outside the tolerance, or delivered
//            something else: the read is worth nothing and is made again.
//   twice or more
//            the tail repeats (silence, a constant level, a tone whose
//            period divides the frame): the read cannot be located by its
//            overlap, so a start off by some samples would go unnoticed.
//            Such a block is fixed as an anchor is (below).
//
// Anchors. The first block of a track, and the first after a block that was
// given up, has no tail before it. It is fixed by a plurality of reads of
// the same window: a content is accepted when at least three reads gave it
// and it was seen at least twice as often as any other. "Two reads agree"
// is not enough: on a drive that starts off on many reads, two wrong reads
// agree often enough to matter (small jitter ranges, a stale cache). With
// the plurality, a track is exact whenever most reads start where asked.
//
// Confirmation, by mode:
//   SYNCH    a located read confirms its block (it aligned on the tail of a
//            confirmed neighbour, and the chain goes back to an accepted
//            anchor).
//   SECURE   a block is confirmed by two reads whose located blocks agree,
//            frame by frame: each frame by some two reads that agree on it
//            (a scratch that reads right only now and then is confirmed
//            frame by frame as its right reads come); the drive's cache is
//            defeated (a one-frame read far away) before every read of a
//            block after its first, so the second is really read from the
//            disc and not handed back from the first.
//   PARANOID as SECURE, with small blocks and the cache defeated before
//            every read.
// Reads beyond what a block needs at best (1 in SYNCH, 2 in SECURE and
// PARANOID, 3 for an anchor) are retries: each is reported by RipRetry in
// the drive-reset cycle. A block not confirmed when the retries run out is
// given up: the on-error action applies to it as to an unreadable block,
// its frames count as unconfirmed, and the next block is an anchor again.
//
// What this cannot do: a drive that starts off on most reads defeats the
// plurality; its anchors are given up and the rip says so, rather than
// deliver audio it cannot vouch for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

enum class TailFit { kNowhere, kOnce, kRepeated };

// Where `tail` lies in `read`, on 4-byte sample frames, among the positions
// that leave room for `followBytes` after it. `*at` is the position when the
// tail fits once.
TailFit LocateTail(std::string_view read, std::string_view tail, size_t followBytes, size_t* at);

// The reads of one block, tallied by content.
class ReadTally {
 public:
  // Counts one more read of `content`; answers how many gave it so far.
  int add(std::string_view content);
  // The content seen at least 3 times and at least twice as often as any
  // other, or null.
  const std::string* plurality() const;
  // The first content seen at least twice, or null.
  const std::string* pair() const;
  void clear() { entries_.clear(); }

 private:
  struct Entry {
    std::string content;
    int count = 0;
  };
  std::vector<Entry> entries_;
};

}  // namespace engine
