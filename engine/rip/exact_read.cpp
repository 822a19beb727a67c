#include "engine/rip/exact_read.h"

#include <algorithm>
#include <functional>

namespace engine {

namespace {
constexpr size_t kSampleFrameBytes = 4;
}  // namespace

TailFit LocateTail(std::string_view read, std::string_view tail, size_t followBytes, size_t* at) {
  if (tail.empty() || read.size() < tail.size() + followBytes) return TailFit::kNowhere;
  // The tail must start at or before this position for the block to fit.
  const size_t lastStart = read.size() - tail.size() - followBytes;
  const std::string_view space = read.substr(0, lastStart + tail.size());
  const std::boyer_moore_horspool_searcher searcher(tail.begin(), tail.end());
  int found = 0;
  auto from = space.begin();
  while (found < 2) {
    const auto hit = std::search(from, space.end(), searcher);
    if (hit == space.end()) break;
    const size_t position = static_cast<size_t>(hit - space.begin());
    if (position % kSampleFrameBytes == 0) {
      if (found == 0) *at = position;
      ++found;
    }
    from = hit + 1;
  }
  return found == 0 ? TailFit::kNowhere : found == 1 ? TailFit::kOnce : TailFit::kRepeated;
}

int ReadTally::add(std::string_view content) {
  for (Entry& e : entries_) {
    if (e.content == content) return ++e.count;
  }
  entries_.push_back({std::string(content), 1});
  return 1;
}

const std::string* ReadTally::plurality() const {
  const Entry* best = nullptr;
  int runnerUp = 0;
  for (const Entry& e : entries_) {
    if (!best || e.count > best->count) {
      if (best) runnerUp = std::max(runnerUp, best->count);
      best = &e;
    } else {
      runnerUp = std::max(runnerUp, e.count);
    }
  }
  if (!best || best->count < 3 || best->count < 2 * runnerUp) return nullptr;
  return &best->content;
}

const std::string* ReadTally::pair() const {
  for (const Entry& e : entries_) {
    if (e.count >= 2) return &e.content;
  }
  return nullptr;
}

}  // namespace engine
