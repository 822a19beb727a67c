// The faults a virtual drive shows, as named scenarios driven by a seed: the
// same plan and seed give the same faults on every run.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/vdrive/msf.h"

namespace platform::vdrive {

struct UnreadableRange {
  Lba first = 0;
  Lba last = 0;               // inclusive
  int failingAttempts = 0;    // 0: never readable; k: each sector fails its first k reads
};

// Something that happens to the drive by itself.
struct DriveEvent {
  enum class Kind : uint8_t {
    Remove,  // the disc is taken out (the tray opens), lock or no lock
    Insert,  // the last disc is put back and the tray closes
    Reset,   // a bus reset
  };
  enum class Trigger : uint8_t { AfterCommands, AtMs };
  Kind kind = Kind::Remove;
  Trigger trigger = Trigger::AfterCommands;
  uint64_t when = 0;        // commands executed, or clock milliseconds since the drive was made
  int notReadyPolls = 0;    // Insert, Reset: commands answered "becoming ready" afterwards
};

// Sectors with a scratch: their reads succeed (no error status) but some
// bytes come back wrong.
struct ScratchRange {
  Lba first = 0;
  Lba last = 0;               // inclusive
  int wrongReads = 0;         // 0: scratched for good; k: only its first k reads can go wrong
};

// What READ CD's C2 error pointers say of a sector whose bytes are wrong.
enum class C2Report : uint8_t {
  None,     // the drive has no C2 pointers: the field is all zeros, MODE SENSE 2Ah says so
  Exact,    // every wrong byte is flagged, and nothing else
  Partial,  // at least one wrong byte of a bad sector is flagged, never all of them
};

struct FaultPlan {
  uint64_t seed = 0;
  std::vector<UnreadableRange> unreadable;
  int randomUnreadableSectors = 0;  // more unreadable sectors, placed by the seed over the audio
  int jitterMaxSamples = 0;         // each audio read starts up to this many samples early or late
  int jitterLateMaxSamples = -1;    // late starts only up to this many samples; -1: as jitterMaxSamples
  int jitterRatePercent = 100;      // reads that jitter; below 100 a jittering read never lands exactly
  Lba jitterFirstLba = INT32_MIN;   // reads starting outside first..last (inclusive) start exactly
  Lba jitterLastLba = INT32_MAX;
  int staleCacheSectors = 0;        // 0: no cache; else sectors kept and served again unchanged
  int cacheFlushDistance = 1000;    // a read starting this many sectors away empties the cache
  std::vector<ScratchRange> scratch;
  int randomScratchSectors = 0;     // more scratched sectors, placed by the seed over the audio
  int scratchGoodPercent = 50;      // a scratch's reads that come back right (not with scratchStable)
  bool scratchStable = false;       // every read of a scratch gives the same wrong bytes
  C2Report c2 = C2Report::None;
  std::vector<DriveEvent> events;
  uint32_t slowCommandMs = 0;       // added to every command
  uint64_t hangAfterCommands = 0;   // 0: none; n: the command after the n-th never completes
  int hangCount = 1;                // how many commands in a row never complete
};

// The timing model: reading at speedX (75 sectors a second per x) plus a seek
// proportional to the distance, a full stroke costing fullSeekMs, and a
// spin-up when the disc has stopped.
struct TimingModel {
  int speedX = 0;  // 0: reads take no time
  double fullSeekMs = 0;
  double spinUpMs = 0;  // first read (or START) after a stop, an insertion or a reset
};

}  // namespace platform::vdrive
