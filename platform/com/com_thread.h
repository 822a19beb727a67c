// ComThread: a thread with its own apartment (CoInitialize first,
// CoUninitialize last), joined while the joining thread keeps running its
// incoming calls. That is what lets a worker call back into its owner (for
// instance to raise an event through a marshalled pointer) while the owner
// waits for the worker to end: the owner runs the worker's call, the worker
// finishes, the join returns.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "platform/com/objbase.h"

namespace com {

class COMRT_API ComThread {
 public:
  ComThread() = default;
  explicit ComThread(std::function<void()> body);
  ~ComThread();  // joins (pumping) when still running
  ComThread(ComThread&& other) noexcept;
  ComThread& operator=(ComThread&& other) noexcept;

  bool joinable() const { return thread_.joinable(); }
  bool finished() const;
  // S_OK once the thread has ended and been joined; RPC_S_CALLPENDING when
  // it is still running after timeoutMs.
  HRESULT join(DWORD timeoutMs = INFINITE);

 private:
  std::shared_ptr<std::atomic<bool>> finished_;  // set by the thread as its last act
  std::thread thread_;
};

// Waits on an event while running incoming calls, for any event type with
// `bool wait(timeoutMs)` (true when signalled). S_OK when the event is set,
// RPC_S_CALLPENDING on time-out.
template <class Event>
HRESULT CoWaitForEvent(Event& event, DWORD timeoutMs) {
  return CoWaitUntil([](void* e) -> BOOL { return static_cast<Event*>(e)->wait(0) ? TRUE : FALSE; }, &event,
                     timeoutMs);
}

}  // namespace com
