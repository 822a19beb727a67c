// For tests of code that must never wait on a FIFO: after a while it opens
// the FIFO for writing and closes it again, so that code which (wrongly)
// blocks in open() for a writer gets one and returns, and the test fails on
// its assertions instead of hanging for ever. Does nothing when the test is
// done first.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace testing_support {

class FifoWatchdog {
 public:
  explicit FifoWatchdog(std::string path, std::chrono::seconds after = std::chrono::seconds(10))
      : thread_([this, path = std::move(path), after] {
          std::unique_lock lock(mutex_);
          if (cv_.wait_for(lock, after, [this] { return done_; })) return;
          // A reader waiting in open() counts as a reader: this open succeeds and wakes it.
          const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
          if (fd >= 0) ::close(fd);
        }) {}
  ~FifoWatchdog() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  FifoWatchdog(const FifoWatchdog&) = delete;
  FifoWatchdog& operator=(const FifoWatchdog&) = delete;

 private:
  std::mutex mutex_;  // guards done_
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;  // last: starts once the fields above exist
};

}  // namespace testing_support
