// Busy and BusyClaim: what the engine object is busy with, and the one way
// of leaving kIdle. Every entry point that takes the drive (a rip's entry,
// PlayTrack, Refresh, the report's sub-channel read, DriverClose) claims the
// state with one compare-and-swap from kIdle; the claim gives the state back
// to kIdle when it goes, unless it was handed on (moved) to whoever ends the
// work: the rip session, whose thread ends it, or the playback, which
// StopPlay ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

namespace engine {

// What the engine object is busy with (audio_cd_ripper.h, the thread rules).
enum class Busy : int32_t {
  kIdle,         // nothing holds the drive: the monitor may poll, settings may change
  kRipStarting,  // a rip was accepted; its thread takes the drive and spins up
  kRipping,      // the rip thread reads the track (and the pump encodes)
  kPlaying,      // a playback holds the drive
  kRefreshing,   // Refresh (or the report's sub-channel read) reads the disc
  kClosing,      // DriverClose gives everything back
};

class BusyClaim {
 public:
  BusyClaim() = default;
  // Tries kIdle -> `to` once. Whether it was taken: operator bool; what was
  // found instead: found().
  BusyClaim(std::atomic<Busy>& busy, Busy to) {
    Busy idle = Busy::kIdle;
    if (busy.compare_exchange_strong(idle, to)) {
      busy_ = &busy;
    } else {
      found_ = idle;
    }
  }
  ~BusyClaim() { release(); }
  BusyClaim(BusyClaim&& other) noexcept
      : busy_(std::exchange(other.busy_, nullptr)), found_(other.found_) {}
  BusyClaim& operator=(BusyClaim&& other) noexcept {
    if (this != &other) {
      release();
      busy_ = std::exchange(other.busy_, nullptr);
      found_ = other.found_;
    }
    return *this;
  }
  BusyClaim(const BusyClaim&) = delete;
  BusyClaim& operator=(const BusyClaim&) = delete;

  explicit operator bool() const { return busy_ != nullptr; }
  Busy found() const { return found_; }
  // The claimed work moves to its next phase (kRipStarting -> kRipping).
  void moveTo(Busy next) {
    if (busy_ != nullptr) busy_->store(next);
  }
  // Back to kIdle now; the claim is then empty.
  void release() {
    if (busy_ != nullptr) std::exchange(busy_, nullptr)->store(Busy::kIdle);
  }

 private:
  std::atomic<Busy>* busy_ = nullptr;  // null: nothing claimed (refused, released or handed on)
  Busy found_ = Busy::kIdle;           // what a refused claim found
};

}  // namespace engine
