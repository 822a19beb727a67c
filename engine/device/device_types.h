// Codes, constants and records shared by every part of the device layer and
// by its callers in the engine. The layer's functions answer 1 for success
// and 4 for failure (the ASPI status values SS_COMP and SS_ERR), and 0 where
// they hand out a handle or a count; the reason of the last failure is kept in
// the process-wide lastDeviceError (see transport.h).
#pragma once

#include <cstddef>
#include <cstdint>

namespace engine::device {

inline constexpr int32_t kResultOk = 1;    // SS_COMP
inline constexpr int32_t kResultFail = 4;  // SS_ERR

// Reasons kept in lastDeviceError. Success never clears it.
inline constexpr int32_t DEVERR_NO_LIBRARY = -1;
inline constexpr int32_t DEVERR_NO_SUPPORT_ENTRY = -2;
inline constexpr int32_t DEVERR_NO_SEND_ENTRY = -3;
inline constexpr int32_t DEVERR_COMMAND_FAILED = -4;
inline constexpr int32_t DEVERR_BUFFER_TOO_SMALL = -6;
inline constexpr int32_t DEVERR_BAD_HANDLE = -7;
inline constexpr int32_t DEVERR_NO_FREE_HANDLE = -8;
inline constexpr int32_t DEVERR_NOT_CDROM = -10;
inline constexpr int32_t DEVERR_ALREADY_OPEN = -12;
inline constexpr int32_t DEVERR_NULL_REQUEST = -13;
inline constexpr int32_t DEVERR_BAD_REQUEST = -14;
inline constexpr int32_t DEVERR_NO_ALIGNMENT = -15;

// The engine's ReadTypeConstants: which command reads audio on a handle.
enum ReadType : uint8_t {
  CDRT_ANY = 0,  // find a working command by trial on the first read
  CDRT_ATAPI1 = 1,
  CDRT_ATAPI2 = 2,
  CDRT_READ6 = 3,  // reads with READ(10), like CDRT_READ10
  CDRT_READ10 = 4,
  CDRT_READ_D8 = 5,
  CDRT_READ_D4 = 6,
  CDRT_READ_D4_1 = 7,
  CDRT_READ10_2 = 8,
};

// SetDeviceParameter codes.
inline constexpr int32_t PARAM_SPEED = 0x20;
inline constexpr int32_t PARAM_MSF = 0x24;
inline constexpr int32_t PARAM_REWIND = 0x25;
inline constexpr int32_t PARAM_OVERLAP = 0x26;
inline constexpr int32_t PARAM_SPARE = 0x27;

inline constexpr uint32_t kFrameBytes = 2352;      // one CD audio sector
inline constexpr uint32_t kMsfOffsetFrames = 150;  // LBA 0 is MSF 00:02:00
inline constexpr uint8_t kDeviceTypeCdrom = 5;
inline constexpr int kMaxHandles = 16;
inline constexpr int kMaxListedDrives = 8;

// One CD drive found by BuildDriveList.
struct DriveEntry {
  uint8_t adapter = 0;
  uint8_t target = 0;
  uint8_t lun = 0;
  uint8_t reserved = 0;
  char name[65] = {};  // "vendor, product vREV (a:t:l)", cut to 64 characters
  char vendor[9] = {};
  char product[17] = {};
  char revision[5] = {};
  // The INQUIRY vendor-specific bytes; under the pass-through emulation the
  // drive's root path ("E:\") instead.
  char vendorSpecific[21] = {};
};

// Filled by BuildDriveList; owned by the engine object.
struct DriveList {
  uint8_t capacity = kMaxListedDrives;  // kept as the caller set it, not consulted
  uint8_t count = 0;
  DriveEntry drives[kMaxListedDrives];
};

// What OpenDevice is asked to open: 12 bytes in this order.
struct OpenRequest {
  uint8_t size = 12;    // at least 12
  uint8_t version = 1;  // must be 1
  uint8_t adapter = 0;
  uint8_t target = 0;
  uint8_t lun = 0;
  uint8_t readType = CDRT_ANY;
  uint8_t reserved[4] = {};
  uint8_t overlapFrames = 0;
  uint8_t rewindFrames = 0;
};
static_assert(sizeof(OpenRequest) == 12);

// The CDDB disc identifier and the table it is computed from: [0] identifier,
// [1] track count, [2 + k] start of track first+k in MSF frames, then the
// playing time in seconds. 103 values: room for 100 tracks and the time.
struct DiscIdRecord {
  int32_t values[103] = {};
};
inline constexpr int kDiscIdMaxTracks = 100;

}  // namespace engine::device
