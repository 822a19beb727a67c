// The one interface through which every layer above reaches a drive: a SCSI
// target that executes a CDB. Real drives answer it through SG_IO, virtual
// drives through the MMC emulator, and tests through fakes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace platform::scsi {

enum class Direction : uint8_t { None, In, Out };

// SCSI status bytes (SAM).
inline constexpr uint8_t kStatusGood = 0x00;
inline constexpr uint8_t kStatusCheckCondition = 0x02;
inline constexpr uint8_t kStatusBusy = 0x08;

struct Command {
  std::span<const uint8_t> cdb;  // 6, 10, 12 or 16 bytes
  Direction direction = Direction::None;
  std::span<uint8_t> data;  // In: filled by the target; Out: read by it. Never exceeded.
  uint32_t timeoutMs = 0;   // 0: no limit
};

struct Result {
  // False when the command did not complete within timeoutMs (or was
  // cancelled): status, sense and transferredBytes are then meaningless.
  bool completed = true;
  uint8_t status = kStatusGood;
  uint8_t senseLength = 0;        // valid bytes in sense
  std::array<uint8_t, 18> sense{};  // fixed-format sense data (70h)
  size_t transferredBytes = 0;    // at most data.size()
};

// Where the drive sits: host adapter (port), channel (path), target id, LUN.
struct Address {
  uint8_t port = 0;
  uint8_t path = 0;
  uint8_t target = 0;
  uint8_t lun = 0;
};

class Target {
 public:
  virtual ~Target() = default;
  // Runs one command to completion (or to its time-out) on the calling
  // thread. Safe to call from any thread; commands are serialised inside.
  virtual Result execute(const Command& command) = 0;
  // Makes a command blocked in execute() return with completed == false.
  virtual void cancelPending() {}
  virtual Address address() const = 0;
};

// Sense helpers shared by the drive emulator and the layers that read sense.
inline uint8_t senseKey(const Result& r) { return r.senseLength > 2 ? (r.sense[2] & 0x0F) : 0; }
inline uint8_t senseAsc(const Result& r) { return r.senseLength > 12 ? r.sense[12] : 0; }
inline uint8_t senseAscq(const Result& r) { return r.senseLength > 13 ? r.sense[13] : 0; }

}  // namespace platform::scsi
