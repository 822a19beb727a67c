#include "engine/device/pregap_search.h"

#include <algorithm>
#include <array>

namespace engine::device {

namespace {

constexpr int32_t kCommonPregapFrames = 150;  // two seconds
// Reads of one search, beyond which the drive's answers are not trusted
// (a bisection over the longest track takes 19).
constexpr uint32_t kMaxReads = 64;
constexpr uint32_t kReadsBeforeRefusal = 3;

}  // namespace

PregapSearch FindPregap(uint8_t track, int32_t previousStart, int32_t start, const QProbe& probe) {
  PregapSearch result;
  // Invariant: sectors up to `before` belong to earlier tracks, sectors from
  // `first` on to this one; the pregap starts at `first` once they meet.
  int32_t before = previousStart;
  int32_t first = start;
  bool answered = false;
  bool gaveUp = false;
  const auto ask = [&](int32_t lba) {
    // A sector whose Q is no position, or whose Q tells nothing new (a
    // drive answering for a neighbour): its neighbours.
    for (const int32_t at : {lba, lba - 1, lba + 1}) {
      if (at <= previousStart || at >= start || result.sectorsRead >= kMaxReads) continue;
      // A drive that has given no Q in three reads gives none.
      if (!answered && result.sectorsRead >= kReadsBeforeRefusal) {
        gaveUp = true;
        return;
      }
      ++result.sectorsRead;
      const std::optional<QPosition> q = probe(at);
      if (!q) continue;
      answered = true;
      if (q->lba <= before || q->lba >= first || q->track == 0xAA) continue;
      if (q->track >= track) {
        first = q->lba;
      } else {
        before = q->lba;
      }
      return;
    }
  };
  for (const int32_t hint : {start - 1, start - kCommonPregapFrames, start - kCommonPregapFrames - 1}) {
    if (first - before <= 1 || gaveUp) break;
    if (hint > before && hint < first) ask(hint);
  }
  while (first - before > 1 && result.sectorsRead < kMaxReads && !gaveUp) {
    const int32_t before0 = before, first0 = first;
    ask(before + (first - before) / 2);
    // Answers that taught nothing (no Q, or positions outside the range):
    // give up rather than read on.
    if (before == before0 && first == first0) break;
  }
  result.refused = !answered;
  if (first - before == 1) result.pregapFrames = start - first;
  return result;
}

}  // namespace engine::device
