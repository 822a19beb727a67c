#include "engine/device/overlap.h"

#include <algorithm>
#include <cstring>

#include "engine/device/device_types.h"
#include "engine/device/handles.h"
#include "engine/device/match_overlap.h"
#include "engine/device/transport.h"

namespace engine::device {

void SaveOverlapTail(const TrackBuffer& b, TrackBuffer& o, uint32_t n) {
  const uint8_t* valid = ValidData(b);
  const bool usable = n != 0 && valid && uint64_t{b.frameCount} * kFrameBytes <= b.validBytes &&
                      uint64_t{n} * kFrameBytes <= o.capacity;
  // A block with fewer frames than the tail is long (a short block that
  // started early) joins the tail it followed: the next tail is the end of
  // that one and the block's frames, so the chain of aligned reads goes on.
  const bool joinsTail = o.frameCount == n && o.validBytes == n * kFrameBytes && o.dataOffset == 0 &&
                         o.startFrame + n == b.startFrame;
  if (usable && b.frameCount > 0 && b.frameCount < n && joinsTail) {
    const uint32_t fresh = b.frameCount;
    std::memmove(o.data(), o.data() + fresh * kFrameBytes, (n - fresh) * kFrameBytes);
    std::memcpy(o.data() + (n - fresh) * kFrameBytes, valid, fresh * kFrameBytes);
    o.startFrame += fresh;
    return;
  }
  if (!usable || b.frameCount < n) {
    // Nothing to carry over: a block shorter than the tail, and not joining
    // it, leaves O empty rather than holding frames from before it.
    o.validBytes = 0;
    o.frameCount = 0;
    o.startFrame = 0;
    return;
  }
  std::memcpy(o.data(), valid + (b.frameCount - n) * kFrameBytes, n * kFrameBytes);
  o.frameCount = n;
  o.startFrame = b.startFrame + b.frameCount - n;
  o.validBytes = n * kFrameBytes;
  o.dataOffset = 0;
}

int32_t OverlapRead(int32_t handle, TrackBuffer& b, TrackBuffer& o) {
  HandleRecord* record = FindOpenHandle(handle);
  if (!record) {
    SetLastDeviceError(DEVERR_BAD_HANDLE);
    return kResultFail;
  }
  const uint32_t n = static_cast<uint32_t>(record->overlapFrames);
  const uint32_t j = static_cast<uint32_t>(record->rewindFrames);
  const bool keepTail = o.capacity / kFrameBytes >= n;
  const uint8_t* tail = ValidData(o);

  bool match = false;
  if (keepTail && o.validBytes > 0 && !(tail && AllZero(tail, o.validBytes))) {
    match = true;
    if (o.startFrame != 0 && o.frameCount != 0 && o.validBytes != 0) {
      if (o.startFrame == b.startFrame - n) {
        // O holds the frames just before this block: start J frames early
        // (never before the disc's first frame) so the tail lies inside it.
        b.startFrame -= j < b.startFrame ? j : b.startFrame;
        if (b.frameCount < j && uint64_t{b.frameCount + j} * kFrameBytes <= b.capacity) {
          b.frameCount += j;
        }
      } else {
        // The tail belongs to some other place (a seek): forget it.
        o.frameCount = 0;
        o.startFrame = 0;
        o.validBytes = 0;
      }
    }
  }

  const int32_t result = record->readRoutine(handle, b);
  if (result != kResultOk) return result;
  if (match && !MatchOverlap(b, o, n)) {
    SetLastDeviceError(DEVERR_NO_ALIGNMENT);
    return kResultFail;
  }
  SaveOverlapTail(b, o, n);
  return result;
}

}  // namespace engine::device
