// The overlapped read: each block starts J frames early and is aligned on
// the tail of the previous one (match_overlap.h), so consecutive blocks join
// without gap or repeat even when the drive does not start where asked.
#pragma once

#include <cstdint>

#include "engine/device/match_overlap.h"
#include "engine/device/track_buffer.h"

namespace engine::device {

// The jitter-corrected read on a drive handle (N and J from the handle). O
// belongs to the caller and carries the tail from call to call; one without
// valid bytes makes this a plain read that only saves its tail. 1 on success;
// 4 on a failed read or, with DEVERR_NO_ALIGNMENT, when the tail is not found.
int32_t OverlapRead(int32_t handle, TrackBuffer& b, TrackBuffer& o);

// Keeps the last n frames of B's valid data in O as the tail the next
// overlapped read aligns on. A B of fewer than n frames that follows O's
// tail directly shifts its frames into the tail; otherwise O is emptied when
// B holds fewer than n whole frames or O has no room for them.
void SaveOverlapTail(const TrackBuffer& b, TrackBuffer& o, uint32_t n);

}  // namespace engine::device
