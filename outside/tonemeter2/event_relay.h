// EventRelay: a connection point whose events reach each sink on the thread
// that advised it.
//
// The player raises events on its render thread, which must never wait for a
// client. So post() only queues; a relay thread of its own (with its own
// apartment) delivers each event to every sink through the runtime's
// marshalling: a sink advised from an apartment thread is called when that
// thread pumps (the relay thread waits for it, the render thread does not);
// a sink advised from a thread without an apartment is called on the relay
// thread. Position events coalesce while a client is slow, so the queue
// stays short.
//
// Each sink sits behind a gate object living in the sink's apartment. Unadvise
// and shutdown() close the gates, so an event already on its way into an
// apartment is dropped there instead of reaching a sink that was unadvised
// or whose player is going away. That is also why a client may stop or
// release the player at any time: shutdown() drops what is queued, closes
// the gates, and joins the relay thread while running the caller's incoming
// calls, so a delivery waiting on the caller completes (as a no-op).
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/com/com.h"

namespace tonemeter {

class SinkGate;

class EventRelay final : public com::ComObject<EventRelay, IConnectionPoint> {
 public:
  // `container` is not held (it holds the relay); shutdown() detaches it.
  EventRelay(const IID& eventIid, IConnectionPointContainer* container);
  ~EventRelay() override;

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum) override;

  // Queues event `id` with I4 arguments (first argument first). With
  // `coalesce`, it replaces a queued event of the same id that is still
  // last in the queue. Never waits for a client.
  void post(DISPID id, std::vector<LONG> args, bool coalesce = false);
  // Ends delivery for good (see the top). Idempotent; not from a sink's
  // handler running on the relay thread.
  void shutdown();

 private:
  struct Command {
    enum class Kind { kAdd, kRemove, kEvent } kind = Kind::kEvent;
    DWORD cookie = 0;
    IStream* stream = nullptr;   // kAdd from an apartment: the marshalled gate
    IDispatch* direct = nullptr; // kAdd otherwise: the gate itself (a reference)
    DISPID id = 0;
    std::vector<LONG> args;
  };
  void run();  // the relay thread
  static void discard(Command& c);

  const IID iid_;
  std::mutex mutex_;
  std::condition_variable wake_;
  IConnectionPointContainer* container_;                       // guarded by mutex_; not a reference
  DWORD nextCookie_ = 1;                                       // guarded by mutex_
  std::vector<std::pair<DWORD, com::ComPtr<SinkGate>>> gates_;  // guarded by mutex_
  std::deque<Command> queue_;                                  // guarded by mutex_
  bool quit_ = false;                                          // guarded by mutex_
  com::ComThread thread_;  // started in the constructor, joined by shutdown()
};

}  // namespace tonemeter
