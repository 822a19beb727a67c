// A stop that ends a socket's waits at once: raised from any thread, seen by
// the TcpSocket calls of the thread that waits (they poll its descriptor
// beside the socket's). Raised once, it stays raised.
#pragma once

#include <atomic>

namespace platform::sockets {

class StopSignal {
 public:
  StopSignal();   // an eventfd; without one, raised() alone is looked at
  ~StopSignal();  // no thread may wait on it any more
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  // Any thread.
  void raise();
  bool raised() const { return raised_.load(); }
  // Readable once raised; -1 when the descriptor could not be made (a wait
  // then ends at its time-out, not at the stop).
  int fd() const { return fd_; }

 private:
  std::atomic<bool> raised_{false};
  int fd_ = -1;  // set by the constructor, closed by the destructor
};

}  // namespace platform::sockets
