#include "platform/com/apartment.h"

#include <algorithm>

namespace com::detail {

namespace {

// The calling thread's apartment. The holder closes it when the thread ends
// without calling CoUninitialize, so objects held for other threads are
// still released on their own thread.
struct ThreadApartment {
  std::shared_ptr<Apartment> apartment;
  ~ThreadApartment();
};
thread_local ThreadApartment tlsApartment;

// Every open apartment, so CoWakeWaiters can reach them all.
std::mutex allMutex;
std::vector<std::weak_ptr<Apartment>> allApartments;  // guarded by allMutex

void complete(CallObject* c) {
  if (c->async) {
    delete c;
    return;
  }
  std::shared_ptr<Signal> signal = c->signal;  // c may be gone as soon as done is seen
  {
    std::lock_guard lock(signal->mutex);
    c->done = true;
  }
  signal->changed.notify_all();
}

Apartment::Clock::time_point farFuture() { return Apartment::Clock::now() + std::chrono::hours(24 * 365); }

}  // namespace

ThreadApartment::~ThreadApartment() {
  while (apartment) Apartment::leave();
}

void Stub::release() {
  if (disconnected) return;
  disconnected = true;
  for (auto& [iid, p] : interfaces) p->Release();
  interfaces.clear();
  if (identity != nullptr) identity->Release();
  identity = nullptr;
}

IUnknown* Stub::find(const IID& iid) const {
  for (const auto& [id, p] : interfaces) {
    if (id == iid) return p;
  }
  return nullptr;
}

Apartment::Apartment(DWORD coInit)
    : owner_(std::this_thread::get_id()), coInit_(coInit), signal_(std::make_shared<Signal>()) {}

Apartment::~Apartment() = default;

std::shared_ptr<Apartment> Apartment::current() { return tlsApartment.apartment; }

HRESULT Apartment::enter(DWORD coInit) {
  const DWORD model = coInit & COINIT_APARTMENTTHREADED;
  std::shared_ptr<Apartment>& a = tlsApartment.apartment;
  if (a) {
    if (a->coInit_ != model) return RPC_E_CHANGED_MODE;
    ++a->initCount_;
    return S_FALSE;
  }
  a = std::make_shared<Apartment>(model);
  a->initCount_ = 1;
  std::lock_guard lock(allMutex);
  std::erase_if(allApartments, [](const std::weak_ptr<Apartment>& w) { return w.expired(); });
  allApartments.push_back(a);
  return S_OK;
}

void Apartment::leave() {
  std::shared_ptr<Apartment>& a = tlsApartment.apartment;
  if (!a) return;
  if (--a->initCount_ > 0) return;
  std::shared_ptr<Apartment> closing = std::move(a);
  closing->close();
}

void Apartment::wakeAll() {
  std::vector<std::shared_ptr<Apartment>> open;
  {
    std::lock_guard lock(allMutex);
    for (auto& w : allApartments) {
      if (auto a = w.lock()) open.push_back(std::move(a));
    }
  }
  for (auto& a : open) {
    { std::lock_guard lock(a->signal_->mutex); }  // orders the waker's change before the wait's re-test
    a->signal_->changed.notify_all();
  }
}

void Apartment::close() {
  std::deque<CallObject*> pending;
  {
    std::lock_guard lock(signal_->mutex);
    closed_ = true;
    pending.swap(queue_);
    hook_ = nullptr;
  }
  for (CallObject* c : pending) {
    c->hr = RPC_E_DISCONNECTED;
    complete(c);
  }
  // Objects that other threads still reach through proxies are let go here,
  // on their own thread; those proxies answer RPC_E_DISCONNECTED from now on.
  std::vector<std::shared_ptr<Stub>> stubs;
  stubs.swap(stubs_);
  for (auto& s : stubs) s->release();
}

void Apartment::runCall(CallObject* c) {
  c->run();
  complete(c);
}

HRESULT Apartment::call(CallObject& c) {
  std::shared_ptr<Apartment> me = current();
  if (me.get() == this) {
    c.run();
    return c.hr;
  }
  c.signal = me ? me->signal_ : std::make_shared<Signal>();
  PFNCALLARRIVED hook = nullptr;
  void* hookContext = nullptr;
  {
    std::lock_guard lock(signal_->mutex);
    if (closed_) return RPC_E_DISCONNECTED;
    queue_.push_back(&c);
    hook = hook_;
    hookContext = hookContext_;
  }
  signal_->changed.notify_all();
  if (hook != nullptr) hook(hookContext);
  if (me) {
    me->pumpUntil([&c] { return c.done; }, true, farFuture());
  } else {
    std::unique_lock lock(c.signal->mutex);
    c.signal->changed.wait(lock, [&c] { return c.done; });
  }
  return c.hr;
}

bool Apartment::post(std::unique_ptr<CallObject> c) {
  c->async = true;
  PFNCALLARRIVED hook = nullptr;
  void* hookContext = nullptr;
  {
    std::lock_guard lock(signal_->mutex);
    if (closed_) return false;
    queue_.push_back(c.release());
    hook = hook_;
    hookContext = hookContext_;
  }
  signal_->changed.notify_all();
  if (hook != nullptr) hook(hookContext);
  return true;
}

void Apartment::setHook(PFNCALLARRIVED fn, void* ctx) {
  std::lock_guard lock(signal_->mutex);
  hook_ = fn;
  hookContext_ = ctx;
}

void Apartment::addStub(std::shared_ptr<Stub> stub) { stubs_.push_back(std::move(stub)); }

void Apartment::removeStub(const Stub* stub) {
  std::erase_if(stubs_, [stub](const std::shared_ptr<Stub>& s) { return s.get() == stub; });
}

}  // namespace com::detail

using com::detail::Apartment;

namespace {
Apartment::Clock::time_point deadlineAfter(DWORD timeoutMs) {
  auto now = Apartment::Clock::now();
  if (timeoutMs == INFINITE) return now + std::chrono::hours(24 * 365);
  return now + std::chrono::milliseconds(timeoutMs);
}
}  // namespace

HRESULT CoInitialize(void*) { return Apartment::enter(COINIT_APARTMENTTHREADED); }
HRESULT CoInitializeEx(void*, DWORD dwCoInit) { return Apartment::enter(dwCoInit); }

void CoUninitialize() { Apartment::leave(); }

HRESULT CoPumpCalls(DWORD timeoutMs) {
  auto a = Apartment::current();
  if (!a) return CO_E_NOTINITIALIZED;
  int ran = 0;
  a->pumpUntil([] { return false; }, true, deadlineAfter(timeoutMs), &ran);
  return ran > 0 ? S_OK : S_FALSE;
}

HRESULT CoSetCallArrivedHook(PFNCALLARRIVED fn, void* ctx) {
  auto a = Apartment::current();
  if (!a) return CO_E_NOTINITIALIZED;
  a->setHook(fn, ctx);
  return S_OK;
}

HRESULT CoWaitUntil(PFNWAITREADY ready, void* ctx, DWORD timeoutMs) {
  if (ready == nullptr) return E_INVALIDARG;
  auto deadline = deadlineAfter(timeoutMs);
  auto test = [&] { return ready(ctx) != FALSE; };
  if (auto a = Apartment::current()) return a->pumpUntil(test, false, deadline) ? S_OK : RPC_S_CALLPENDING;
  // A thread without an apartment has no calls to run; it only waits.
  while (!test()) {
    auto now = Apartment::Clock::now();
    if (now >= deadline) return RPC_S_CALLPENDING;
    std::this_thread::sleep_for(std::min<Apartment::Clock::duration>(com::detail::kPollInterval, deadline - now));
  }
  return S_OK;
}

void CoWakeWaiters() { Apartment::wakeAll(); }
