// Jitter correction. Drives do not always start a read exactly where they were
// asked to: the first samples delivered may come from a little before or
// after the requested frame. The overlapped read therefore starts each block
// J frames early and looks in it for the last N frames of the previous block
// (kept in the overlap buffer O); the data that follows that tail is exactly
// the continuation, wherever the drive actually started. The search moves on
// whole 4-byte sample frames (left and right 16-bit samples together): a
// match at any other offset would split samples and deliver noise.
#pragma once

#include <cstdint>

#include "engine/device/track_buffer.h"

namespace engine::device {

// Finds O's N-frame tail in B's valid data, searching positions from the start
// in increasing order, on sample-frame boundaries only. Found: B's valid data
// then starts right after the tail, and B's startFrame is the frame after O's
// tail. Whether found or not, B's frameCount and validBytes are cut to whole
// frames. Succeeds at once, B unchanged, when O holds no valid bytes or only
// zeros. Fails when O holds fewer than N frames or no position matches.
bool MatchOverlap(TrackBuffer& b, const TrackBuffer& o, uint32_t overlapFrames);

}  // namespace engine::device
