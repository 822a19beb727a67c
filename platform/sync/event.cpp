#include "platform/sync/event.h"

#include <chrono>
#include <new>

namespace platform {

Event::Event(bool signalled) : signalled_(signalled) {}

// Waiters are woken with the mutex held: a waiter that sees the event set
// may destroy it at once (a request block's event, freed when the request
// is done), so set() must not touch it after the mutex is released.
void Event::set() {
  std::lock_guard lock(mutex_);
  signalled_ = true;
  changed_.notify_all();
}

void Event::reset() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

bool Event::isSet() const {
  std::lock_guard lock(mutex_);
  return signalled_;
}

bool Event::wait(uint32_t timeoutMs) {
  std::unique_lock lock(mutex_);
  if (timeoutMs == kInfiniteMs) {
    changed_.wait(lock, [this] { return signalled_; });
    return true;
  }
  // wait_for measures on the steady clock, so a change of the wall clock
  // neither shortens nor stretches the wait.
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return signalled_; });
}

}  // namespace platform

extern "C" {

RmEvent* rm_event_create(int signalled) {
  auto* event = new (std::nothrow) platform::Event(signalled != 0);
  return event == nullptr ? nullptr : event->cHandle();
}

void rm_event_destroy(RmEvent* event) { delete platform::Event::fromHandle(event); }

void rm_event_set(RmEvent* event) { platform::Event::fromHandle(event)->set(); }

void rm_event_reset(RmEvent* event) { platform::Event::fromHandle(event)->reset(); }

int rm_event_wait(RmEvent* event, uint32_t timeoutMs) {
  return platform::Event::fromHandle(event)->wait(timeoutMs) ? 1 : 0;
}

}  // extern "C"
