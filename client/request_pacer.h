// Spaces a program's requests to one service: at most one a given spacing,
// across the program's threads and its processes (the last request's time
// is kept in a small file they share, under an advisory lock). A caller
// waits its turn, up to its own deadline.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace client {

class RequestPacer {
 public:
  using Clock = std::chrono::steady_clock;

  // `stampPath`: the file the program's processes share ("": this process
  // only). It is made when missing.
  RequestPacer(std::chrono::milliseconds spacing, std::string stampPath);

  // Waits until a request may go and takes that turn. False, without a
  // turn, when the turn would come after `deadline` or `cancel` is set.
  bool takeTurn(Clock::time_point deadline, const std::atomic<bool>* cancel);

  // MusicBrainz's: one request a second, shared through
  // $XDG_RUNTIME_DIR (else /tmp) "ripmarrow-musicbrainz-<uid>.stamp".
  static RequestPacer& musicBrainz();

 private:
  // The wall-clock time of the last request the file records (ms), 0 none.
  int64_t lastStampMs(int fd) const;

  const std::chrono::milliseconds spacing_;
  const std::string stampPath_;
  std::mutex mutex_;                        // held for a whole turn: callers queue on it
  std::optional<Clock::time_point> last_;   // guarded by mutex_
};

}  // namespace client
