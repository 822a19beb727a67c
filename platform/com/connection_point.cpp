#include "platform/com/connection_point.h"

#include <algorithm>

#include "platform/com/oleauto.h"

namespace com {

ConnectionPoint::ConnectionPoint(const IID& eventIid, IConnectionPointContainer* container)
    : iid_(eventIid), container_(container) {}

HRESULT ConnectionPoint::GetConnectionInterface(IID* pIID) {
  if (pIID == nullptr) return E_POINTER;
  *pIID = iid_;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
  if (ppCPC == nullptr) return E_POINTER;
  std::lock_guard lock(mutex_);
  *ppCPC = container_;
  if (container_ == nullptr) return E_UNEXPECTED;
  container_->AddRef();
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
  if (pdwCookie == nullptr) return E_POINTER;
  *pdwCookie = 0;
  if (pUnkSink == nullptr) return E_POINTER;
  IDispatch* sink = nullptr;
  if (FAILED(pUnkSink->QueryInterface(iid_, reinterpret_cast<void**>(&sink))) || sink == nullptr)
    return CONNECT_E_CANNOTCONNECT;
  std::lock_guard lock(mutex_);
  DWORD cookie = nextCookie_;
  while (cookie == 0 || advised(cookie)) ++cookie;  // wraps past 0 after 2^32 connections
  nextCookie_ = cookie + 1;
  sinks_.emplace_back(cookie, sink);
  *pdwCookie = cookie;
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD dwCookie) {
  IDispatch* sink = nullptr;
  {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(sinks_.begin(), sinks_.end(), [&](const auto& s) { return s.first == dwCookie; });
    if (dwCookie == 0 || it == sinks_.end()) return CONNECT_E_NOCONNECTION;
    sink = it->second;
    sinks_.erase(it);
  }
  sink->Release();  // outside the lock: the sink's destructor may call back
  return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** ppEnum) {
  if (ppEnum != nullptr) *ppEnum = nullptr;
  return E_NOTIMPL;
}

bool ConnectionPoint::advised(DWORD cookie) const {
  return std::any_of(sinks_.begin(), sinks_.end(), [&](const auto& s) { return s.first == cookie; });
}

int ConnectionPoint::fire(DISPID id, std::initializer_list<VARIANT> args) {
  return fire(id, args.begin(), static_cast<UINT>(args.size()));
}

int ConnectionPoint::fire(DISPID id, const VARIANT* args, UINT count) {
  std::vector<std::pair<DWORD, IDispatch*>> sinks;
  {
    std::lock_guard lock(mutex_);
    sinks = sinks_;
    for (auto& s : sinks) s.second->AddRef();
  }
  // DISPPARAMS lists arguments last first; the copies are shallow, the
  // caller keeps what they own. Each sink gets fresh copies, since a sink
  // may change its arguments.
  std::vector<VARIANT> reversed(count);
  int called = 0;
  for (auto& [cookie, sink] : sinks) {
    bool still;
    {
      std::lock_guard lock(mutex_);
      still = advised(cookie);
    }
    if (still) {
      for (UINT i = 0; i < count; ++i) reversed[count - 1 - i] = args[i];
      DISPPARAMS params{count == 0 ? nullptr : reversed.data(), nullptr, count, 0};
      VARIANT result;
      VariantInit(&result);
      sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
      VariantClear(&result);
      ++called;
    }
    sink->Release();
  }
  return called;
}

size_t ConnectionPoint::sinkCount() const {
  std::lock_guard lock(mutex_);
  return sinks_.size();
}

void ConnectionPoint::detach() {
  std::vector<std::pair<DWORD, IDispatch*>> sinks;
  {
    std::lock_guard lock(mutex_);
    container_ = nullptr;
    sinks.swap(sinks_);
  }
  // The container is going: its sinks hear nothing more from it.
  for (auto& s : sinks) s.second->Release();
}

ConnectionPoints::~ConnectionPoints() {
  for (ConnectionPoint* p : points_) {
    p->detach();
    p->Release();
  }
}

ConnectionPoint& ConnectionPoints::add(const IID& eventIid, IConnectionPointContainer* container) {
  auto* p = new ConnectionPoint(eventIid, container);
  p->AddRef();
  points_.push_back(p);
  return *p;
}

ConnectionPoint* ConnectionPoints::get(const IID& eventIid) const {
  for (ConnectionPoint* p : points_) {
    IID iid{};
    p->GetConnectionInterface(&iid);
    if (iid == eventIid) return p;
  }
  return nullptr;
}

HRESULT ConnectionPoints::find(REFIID riid, IConnectionPoint** ppCP) const {
  if (ppCP == nullptr) return E_POINTER;
  *ppCP = nullptr;
  ConnectionPoint* p = get(riid);
  if (p == nullptr) return CONNECT_E_NOCONNECTION;
  p->AddRef();
  *ppCP = p;
  return S_OK;
}

}  // namespace com
