#include "client/request_pacer.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/sys/sys.h"

namespace client {
namespace {

namespace sys = platform::sys;
using namespace std::chrono;

int64_t WallMs() { return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count(); }

// Sleeps until `until`, in short steps so that a cancel is seen; false when
// cancelled.
bool SleepUntil(RequestPacer::Clock::time_point until, const std::atomic<bool>* cancel) {
  while (RequestPacer::Clock::now() < until) {
    if (cancel != nullptr && cancel->load()) return false;
    std::this_thread::sleep_for(std::min<RequestPacer::Clock::duration>(until - RequestPacer::Clock::now(), 50ms));
  }
  return cancel == nullptr || !cancel->load();
}

// Closes the stamp file (and so drops its lock) at the end of a turn.
struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0) sys::close(fd);
  }
};

}  // namespace

RequestPacer::RequestPacer(milliseconds spacing, std::string stampPath)
    : spacing_(spacing), stampPath_(std::move(stampPath)) {}

int64_t RequestPacer::lastStampMs(int fd) const {
  char text[32] = {};
  const ssize_t got = sys::pread(fd, text, sizeof text - 1, 0);
  if (got <= 0) return 0;
  return std::strtoll(text, nullptr, 10);
}

bool RequestPacer::takeTurn(Clock::time_point deadline, const std::atomic<bool>* cancel) {
  std::unique_lock lock(mutex_, std::defer_lock);
  while (!lock.try_lock()) {
    if (Clock::now() >= deadline || (cancel != nullptr && cancel->load())) return false;
    std::this_thread::sleep_for(20ms);
  }
  Clock::time_point until = last_ ? *last_ + spacing_ : Clock::now();

  Descriptor stamp;
  if (!stampPath_.empty()) {
    stamp.fd = sys::open(stampPath_.c_str(), O_RDWR | O_CREAT, 0600);
    // Without the file the pacing is this process's only: a look-up is not
    // refused for it.
    if (stamp.fd >= 0) {
      while (sys::flock(stamp.fd, LOCK_EX | LOCK_NB) != 0) {
        if (Clock::now() >= deadline || (cancel != nullptr && cancel->load())) return false;
        std::this_thread::sleep_for(20ms);
      }
      const int64_t lastMs = lastStampMs(stamp.fd);
      const int64_t nowMs = WallMs();
      // A stamp in the future (a clock set back) waits no more than one spacing.
      const int64_t waitMs = std::clamp<int64_t>(lastMs + spacing_.count() - nowMs, 0, spacing_.count());
      until = std::max(until, Clock::now() + milliseconds(waitMs));
    }
  }
  if (until > deadline) return false;
  if (!SleepUntil(until, cancel)) return false;
  last_ = Clock::now();
  if (stamp.fd >= 0) {
    const std::string text = std::to_string(WallMs()) + "\n";
    sys::pwrite(stamp.fd, text.data(), text.size(), 0);
    ::ftruncate(stamp.fd, off_t(text.size()));
  }
  return true;
}

RequestPacer& RequestPacer::musicBrainz() {
  static RequestPacer pacer(1000ms, [] {
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder = dir != nullptr && dir[0] == '/' ? dir : "/tmp";
    return folder + "/ripmarrow-musicbrainz-" + std::to_string(::getuid()) + ".stamp";
  }());
  return pacer;
}

}  // namespace client
