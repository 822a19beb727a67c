// A manual-reset event: once set it stays signalled, releasing every waiter,
// until it is reset. The engine hands the end of an encoded rip between its
// threads with two of these; the ASPI library signals one per command when
// the caller asks for notification. C code reaches the same object through
// event_c.h (cHandle / fromHandle).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/sync/event_c.h"

namespace platform {

class Event {
 public:
  static constexpr uint32_t kInfiniteMs = RM_EVENT_INFINITE;

  explicit Event(bool signalled = false);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void set();
  void reset();
  bool isSet() const;
  // True when the event is signalled now or becomes so within timeoutMs
  // (kInfiniteMs waits for ever); false when the time ran out.
  bool wait(uint32_t timeoutMs = kInfiniteMs);

  RmEvent* cHandle() { return reinterpret_cast<RmEvent*>(this); }
  static Event* fromHandle(RmEvent* handle) { return reinterpret_cast<Event*>(handle); }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_;  // guarded by mutex_
};

}  // namespace platform
