#include "outside/tonemeter2/event_relay.h"

#include <algorithm>
#include <atomic>

namespace tonemeter {

// Lives in the sink's apartment (created on the advising thread) and passes
// each event on while open.
class SinkGate final : public com::ComObject<SinkGate, IDispatch> {
 public:
  explicit SinkGate(com::ComPtr<IDispatch> sink) : sink_(std::move(sink)) {}

  void close() { open_.store(false); }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override {
    if (!open_.load()) return S_OK;
    return sink_->Invoke(id, riid, lcid, flags, params, result, excepInfo, argErr);
  }

 private:
  std::atomic<bool> open_{true};
  const com::ComPtr<IDispatch> sink_;  // RO
};

EventRelay::EventRelay(const IID& eventIid, IConnectionPointContainer* container)
    : iid_(eventIid), container_(container), thread_([this] { run(); }) {}

EventRelay::~EventRelay() { shutdown(); }

HRESULT EventRelay::GetConnectionInterface(IID* pIID) {
  if (pIID == nullptr) return E_POINTER;
  *pIID = iid_;
  return S_OK;
}

HRESULT EventRelay::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
  if (ppCPC == nullptr) return E_POINTER;
  std::lock_guard<std::mutex> guard(mutex_);
  *ppCPC = container_;
  if (container_ == nullptr) return E_UNEXPECTED;
  container_->AddRef();
  return S_OK;
}

HRESULT EventRelay::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
  if (pdwCookie == nullptr) return E_POINTER;
  *pdwCookie = 0;
  if (pUnkSink == nullptr) return E_POINTER;
  com::ComPtr<IDispatch> sink;
  if (FAILED(pUnkSink->QueryInterface(iid_, sink.putVoid()))) return CONNECT_E_CANNOTCONNECT;
  com::ComPtr<SinkGate> gate = com::make<SinkGate>(sink);
  Command add;
  add.kind = Command::Kind::kAdd;
  // From an apartment the gate travels as a proxy; without one, the relay
  // thread calls it directly.
  if (FAILED(CoMarshalInterThreadInterfaceInStream(IID_IDispatch, gate->identity(), &add.stream))) {
    add.stream = nullptr;
    add.direct = gate.get();
    add.direct->AddRef();
  }
  std::lock_guard<std::mutex> guard(mutex_);
  if (quit_) {
    discard(add);
    return CONNECT_E_CANNOTCONNECT;
  }
  add.cookie = nextCookie_++;
  gates_.emplace_back(add.cookie, gate);
  queue_.push_back(std::move(add));
  *pdwCookie = queue_.back().cookie;
  wake_.notify_all();
  return S_OK;
}

HRESULT EventRelay::Unadvise(DWORD dwCookie) {
  std::lock_guard<std::mutex> guard(mutex_);
  auto it = std::find_if(gates_.begin(), gates_.end(), [&](const auto& g) { return g.first == dwCookie; });
  if (dwCookie == 0 || it == gates_.end()) return CONNECT_E_NOCONNECTION;
  it->second->close();
  gates_.erase(it);
  Command remove;
  remove.kind = Command::Kind::kRemove;
  remove.cookie = dwCookie;
  queue_.push_back(std::move(remove));
  wake_.notify_all();
  return S_OK;
}

HRESULT EventRelay::EnumConnections(IEnumConnections** ppEnum) {
  if (ppEnum != nullptr) *ppEnum = nullptr;
  return E_NOTIMPL;
}

void EventRelay::post(DISPID id, std::vector<LONG> args, bool coalesce) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (quit_ || gates_.empty()) return;
  if (coalesce && !queue_.empty() && queue_.back().kind == Command::Kind::kEvent && queue_.back().id == id) {
    queue_.back().args = std::move(args);
    return;
  }
  Command event;
  event.kind = Command::Kind::kEvent;
  event.id = id;
  event.args = std::move(args);
  queue_.push_back(std::move(event));
  wake_.notify_all();
}

void EventRelay::shutdown() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    if (quit_ && !thread_.joinable()) return;
    quit_ = true;
    container_ = nullptr;
    for (auto& g : gates_) g.second->close();
    wake_.notify_all();
  }
  // Runs the caller's incoming calls meanwhile: a delivery waiting on this
  // thread goes through its (closed) gate and the relay thread can end.
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> guard(mutex_);
  gates_.clear();
}

void EventRelay::discard(Command& c) {
  if (c.stream != nullptr) c.stream->Release();  // releases the marshalled reference too
  if (c.direct != nullptr) c.direct->Release();
  c.stream = nullptr;
  c.direct = nullptr;
}

void EventRelay::run() {
  std::vector<std::pair<DWORD, com::ComPtr<IDispatch>>> targets;  // the relay thread's own
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return quit_ || !queue_.empty(); });
    if (quit_) break;
    Command c = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    switch (c.kind) {
      case Command::Kind::kAdd: {
        com::ComPtr<IDispatch> target;
        if (c.stream != nullptr) {
          if (SUCCEEDED(CoGetInterfaceAndReleaseStream(c.stream, IID_IDispatch, target.putVoid()))) {
            targets.emplace_back(c.cookie, std::move(target));
          }
          c.stream = nullptr;
        } else {
          targets.emplace_back(c.cookie, com::ComPtr<IDispatch>::attach(c.direct));
          c.direct = nullptr;
        }
        break;
      }
      case Command::Kind::kRemove:
        std::erase_if(targets, [&](const auto& t) { return t.first == c.cookie; });
        break;
      case Command::Kind::kEvent: {
        // IDispatch takes the arguments last first.
        std::vector<VARIANT> args;
        for (auto a = c.args.rbegin(); a != c.args.rend(); ++a) args.push_back(com::variantI4(*a));
        DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
        for (auto& t : targets) {
          // A sink's failure (or its apartment having gone) concerns that sink only.
          (void)t.second->Invoke(c.id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        }
        break;
      }
    }
    lock.lock();
  }
  // Commands still queued: adds hold marshalled references to give back.
  for (Command& c : queue_) discard(c);
  queue_.clear();
  lock.unlock();
  targets.clear();
}

}  // namespace tonemeter
