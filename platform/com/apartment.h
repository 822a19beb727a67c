// Apartment: the queue of incoming calls of one thread that called
// CoInitialize, and the waits that run them. Internal to the runtime.
//
// A call is a CallObject posted by another thread. A synchronous call's
// caller waits on its own Signal (its apartment's, when it has one, so that
// it keeps running its own incoming calls); the owner runs the call when it
// pumps, sets `done` under that Signal's mutex and wakes it. An asynchronous
// call (releases) is deleted by the owner after it ran. When the apartment
// closes, queued calls fail with RPC_E_DISCONNECTED and the objects held for
// other threads (stubs) are released, on the owning thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/com/objbase.h"

namespace com::detail {

struct Signal {
  std::mutex mutex;
  std::condition_variable changed;
};

struct CallObject {
  virtual ~CallObject() = default;
  virtual void run() = 0;  // on the owning thread; sets hr
  HRESULT hr = S_OK;
  bool async = false;              // RO after posting: the owner deletes it after running
  bool done = false;               // guarded by signal->mutex
  std::shared_ptr<Signal> signal;  // RO after posting: where the caller waits (null when async)
};

// The owning-thread side of one marshalled object: the references handed to
// other threads' proxies. Every field belongs to the owning thread.
struct Stub {
  IUnknown* identity = nullptr;
  std::vector<std::pair<IID, IUnknown*>> interfaces;
  bool disconnected = false;
  void release();
  IUnknown* find(const IID& iid) const;
};

class Apartment : public std::enable_shared_from_this<Apartment> {
 public:
  using Clock = std::chrono::steady_clock;

  // The calling thread's apartment, or null before CoInitialize.
  static std::shared_ptr<Apartment> current();
  static HRESULT enter(DWORD coInit);  // CoInitializeEx
  static void leave();                 // CoUninitialize
  static void wakeAll();               // CoWakeWaiters

  // Runs the call on this apartment's thread and waits for it (runs it at
  // once when the caller is that thread). RPC_E_DISCONNECTED once closed.
  HRESULT call(CallObject& call);
  // Queues a call nobody waits for; false once closed (the call is then not
  // taken and stays the caller's).
  bool post(std::unique_ptr<CallObject> call);

  // Owning thread only. Runs incoming calls until done() answers true or the
  // deadline passes; done is tested with the signal's mutex held when
  // lockedTest, else without it. Answers whether done() became true, and
  // counts the calls run.
  template <class Done>
  bool pumpUntil(Done done, bool lockedTest, Clock::time_point deadline, int* callsRun = nullptr);

  void setHook(PFNCALLARRIVED fn, void* ctx);
  void addStub(std::shared_ptr<Stub> stub);     // owning thread only
  void removeStub(const Stub* stub);            // owning thread only
  bool isOwningThread() const { return std::this_thread::get_id() == owner_; }
  const std::shared_ptr<Signal>& signal() const { return signal_; }

  explicit Apartment(DWORD coInit);
  ~Apartment();

 private:
  void close();
  void runCall(CallObject* c);

  const std::thread::id owner_;  // RO
  const DWORD coInit_;           // RO
  int initCount_ = 0;            // owning thread only
  std::shared_ptr<Signal> signal_;
  std::deque<CallObject*> queue_;         // guarded by signal_->mutex
  bool closed_ = false;                   // guarded by signal_->mutex
  PFNCALLARRIVED hook_ = nullptr;         // guarded by signal_->mutex
  void* hookContext_ = nullptr;           // guarded by signal_->mutex
  std::vector<std::shared_ptr<Stub>> stubs_;  // owning thread only
};

// How often a wait re-tests a condition that nobody signals to it.
inline constexpr std::chrono::milliseconds kPollInterval{2};

template <class Done>
bool Apartment::pumpUntil(Done done, bool lockedTest, Clock::time_point deadline, int* callsRun) {
  std::unique_lock lock(signal_->mutex);
  for (;;) {
    if (lockedTest) {
      if (done()) return true;
    } else {
      lock.unlock();
      bool finished = done();
      lock.lock();
      if (finished) return true;
    }
    if (!queue_.empty()) {
      CallObject* c = queue_.front();
      queue_.pop_front();
      lock.unlock();
      runCall(c);
      if (callsRun != nullptr) ++*callsRun;
      lock.lock();
      continue;
    }
    auto now = Clock::now();
    if (now >= deadline) return false;
    auto until = deadline;
    if (!lockedTest && until - now > kPollInterval) until = now + kPollInterval;
    signal_->changed.wait_until(lock, until);
  }
}

}  // namespace com::detail
