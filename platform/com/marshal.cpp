// Marshalling between apartments: the stream that carries an interface to
// another thread, the proxies that forward its calls, and the table of
// interfaces that can be marshalled.
//
// A proxy manager stands for one unmarshalled object in a foreign thread; it
// owns one InterfaceProxy per interface asked for. An InterfaceProxy is a
// method table pointer followed by what its functions need: slots 0-2 are
// the manager's IUnknown, the other slots (IDispatch's, and those described
// by the interface's DispatchTable) are thunks that post a call object to
// the owning apartment and wait (DispatchTable's Member<M>::thunk, through
// forwardCall below). Method tables carry the two words the C++ ABI puts
// before the first slot (offset to top, type information), so a proxy is a
// well-formed object of its interface type for every C++ caller (and for
// the sanitizers' checks of dynamic types).
#include <algorithm>
#include <typeinfo>
#include <map>
#include <mutex>

#include "platform/com/apartment.h"
#include "platform/com/com_object.h"
#include "platform/com/proxy_registry.h"

namespace com {

namespace detail {
namespace {

struct Description {
  const void* owner;
  std::shared_ptr<const ProxyVtable> vtable;
};
struct GuidLess {
  bool operator()(const IID& a, const IID& b) const { return std::memcmp(&a, &b, sizeof(IID)) < 0; }
};

std::mutex registryMutex;
// Every registration of each IID, newest last: a library that describes an
// interface another module described already takes over until it goes.
std::map<IID, std::vector<Description>, GuidLess>& descriptions() {  // guarded by registryMutex
  static auto* table = new std::map<IID, std::vector<Description>, GuidLess>();  // outlives late unregistrations
  return *table;
}

class ProxyManager;

constexpr size_t kPrefixSlots = 2;  // offset to top, type_info
const void* const* slotsOf(const ProxyVtable& v) { return const_cast<const void* const*>(v.data() + kPrefixSlots); }

struct InterfaceProxy {
  const void* const* vtable;  // first word, as in every COM object
  ProxyManager* manager;
  IID iid;
  void* target;  // the object's pointer for iid; used on the owning thread only
  std::shared_ptr<const ProxyVtable> vtableHolder;
};

// Lets the stub go on the owning thread once neither stream nor proxy needs it.
struct StubRelease : CallObject {
  std::shared_ptr<Apartment> owner;
  std::shared_ptr<Stub> stub;
  void run() override {
    owner->removeStub(stub.get());
    stub->release();
  }
};

void releaseStub(std::shared_ptr<Apartment> owner, std::shared_ptr<Stub> stub) {
  if (owner->isOwningThread()) {
    owner->removeStub(stub.get());
    stub->release();
    return;
  }
  auto call = std::make_unique<StubRelease>();
  call->owner = owner;
  call->stub = std::move(stub);
  // When the apartment has closed, it already released every stub.
  owner->post(std::move(call));
}

struct FunctionCall : CallObject {
  HRESULT (*fn)(void*, void*) = nullptr;
  void* target = nullptr;
  void* ctx = nullptr;
  void run() override { hr = fn(target, ctx); }
};

// Asks the object, on its thread, for another interface.
struct QueryCall : CallObject {
  std::shared_ptr<Stub> stub;
  IID iid{};
  void* result = nullptr;
  void run() override {
    if (stub->disconnected) {
      hr = RPC_E_DISCONNECTED;
      return;
    }
    if (IUnknown* known = stub->find(iid)) {
      result = known;
      hr = S_OK;
      return;
    }
    hr = stub->identity->QueryInterface(iid, &result);
    if (SUCCEEDED(hr)) stub->interfaces.emplace_back(iid, static_cast<IUnknown*>(result));
  }
};

class ProxyManager {
 public:
  ProxyManager(std::shared_ptr<Apartment> owner, std::shared_ptr<Stub> stub)
      : owner_(std::move(owner)), stub_(std::move(stub)) {
    identity_.vtable = unknownVtable();
    identity_.manager = this;
    identity_.iid = IID_IUnknown;
    identity_.target = nullptr;
  }

  HRESULT query(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown) {
      addRef();
      *ppv = &identity_;
      return S_OK;
    }
    {
      std::lock_guard lock(mutex_);
      for (auto& p : proxies_) {
        if (p->iid == riid || (riid == IID_IDispatch && p->vtableHolder->size() > kPrefixSlots + 7)) {
          addRef();
          *ppv = p.get();
          return S_OK;
        }
      }
    }
    auto vtable = proxyVtableFor(riid);
    if (!vtable) return E_NOINTERFACE;
    QueryCall q;
    q.stub = stub_;
    q.iid = riid;
    HRESULT hr = owner_->call(q);
    if (FAILED(hr)) return hr == RPC_E_DISCONNECTED ? hr : q.hr;
    if (FAILED(q.hr)) return q.hr;
    auto proxy = std::make_unique<InterfaceProxy>(InterfaceProxy{slotsOf(*vtable), this, riid, q.result, vtable});
    std::lock_guard lock(mutex_);
    addRef();
    *ppv = proxy.get();
    proxies_.push_back(std::move(proxy));
    return S_OK;
  }

  ULONG addRef() { return refs_.fetch_add(1) + 1; }
  ULONG release() {
    bool last = false;
    ULONG n = releaseFloored(refs_, &last);
    if (last) {
      releaseStub(owner_, stub_);
      delete this;
    }
    return n;
  }

  HRESULT forward(InterfaceProxy* proxy, HRESULT (*fn)(void*, void*), void* ctx) {
    FunctionCall call;
    call.fn = fn;
    call.target = proxy->target;
    call.ctx = ctx;
    HRESULT hr = owner_->call(call);
    return FAILED(hr) && hr == RPC_E_DISCONNECTED ? hr : call.hr;
  }

  static const void* const* unknownVtable();

 private:
  std::atomic<ULONG> refs_{0};
  const std::shared_ptr<Apartment> owner_;  // RO
  const std::shared_ptr<Stub> stub_;        // RO; its fields belong to the owner's thread
  InterfaceProxy identity_{};               // RO after construction
  std::mutex mutex_;
  std::vector<std::unique_ptr<InterfaceProxy>> proxies_;  // guarded by mutex_
};

HRESULT STDMETHODCALLTYPE proxyQueryInterface(void* self, REFIID riid, void** ppv) {
  return static_cast<InterfaceProxy*>(self)->manager->query(riid, ppv);
}
ULONG STDMETHODCALLTYPE proxyAddRef(void* self) { return static_cast<InterfaceProxy*>(self)->manager->addRef(); }
ULONG STDMETHODCALLTYPE proxyRelease(void* self) { return static_cast<InterfaceProxy*>(self)->manager->release(); }
HRESULT STDMETHODCALLTYPE notMarshalled(void*) { return E_NOTIMPL; }

ProxyVtable unknownTable() {
  return {nullptr, const_cast<std::type_info*>(&typeid(IUnknown)), reinterpret_cast<void*>(&proxyQueryInterface),
          reinterpret_cast<void*>(&proxyAddRef), reinterpret_cast<void*>(&proxyRelease)};
}

const void* const* ProxyManager::unknownVtable() {
  static const ProxyVtable table = unknownTable();
  return slotsOf(table);
}

// A method table of `slots` entries (after the prefix) for an interface
// derived from IDispatch.
ProxyVtable baseVtable(size_t slots, const std::type_info& type) {
  ProxyVtable v(kPrefixSlots + std::max<size_t>(slots, 7), reinterpret_cast<void*>(&notMarshalled));
  v[0] = nullptr;
  v[1] = const_cast<std::type_info*>(&type);
  void** f = v.data() + kPrefixSlots;
  f[0] = reinterpret_cast<void*>(&proxyQueryInterface);
  f[1] = reinterpret_cast<void*>(&proxyAddRef);
  f[2] = reinterpret_cast<void*>(&proxyRelease);
  f[3] = reinterpret_cast<void*>(&Member<&IDispatch::GetTypeInfoCount>::thunk);
  f[4] = reinterpret_cast<void*>(&Member<&IDispatch::GetTypeInfo>::thunk);
  f[5] = reinterpret_cast<void*>(&Member<&IDispatch::GetIDsOfNames>::thunk);
  f[6] = reinterpret_cast<void*>(&Member<&IDispatch::Invoke>::thunk);
  return v;
}

// The marshalling stream: carries one marshalled interface to its reader.
class MarshalStream : public ComObject<MarshalStream, IStream> {
 public:
  static constexpr IID kIid = com::guid("6B0A8C51-3E0E-4F3A-9A55-2C4C4A0E7D11");  // this runtime's own

  MarshalStream(std::shared_ptr<Apartment> owner, std::shared_ptr<Stub> stub)
      : owner_(std::move(owner)), stub_(std::move(stub)) {}
  ~MarshalStream() {
    if (stub_) releaseStub(owner_, stub_);
  }

  HRESULT queryExtraInterface(REFIID riid, void** ppv) {
    if (!(riid == kIid)) return E_NOINTERFACE;
    AddRef();
    *ppv = this;
    return S_OK;
  }

  HRESULT unmarshal(REFIID riid, void** ppv) {
    if (!stub_) return E_UNEXPECTED;  // read already
    std::shared_ptr<Apartment> here = Apartment::current();
    if (here == owner_) {
      // Back home: the object itself.
      HRESULT hr = stub_->disconnected ? RPC_E_DISCONNECTED : stub_->identity->QueryInterface(riid, ppv);
      releaseStub(owner_, std::move(stub_));
      stub_.reset();
      return hr;
    }
    auto* manager = new ProxyManager(owner_, stub_);
    manager->addRef();
    HRESULT hr = manager->query(riid, ppv);
    stub_.reset();     // the manager holds it now
    manager->release();  // frees the manager (and lets the stub go) when riid failed
    return hr;
  }

  HRESULT STDMETHODCALLTYPE Read(void*, ULONG, ULONG*) { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Revert() { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(IStream**) { return E_NOTIMPL; }

 private:
  std::shared_ptr<Apartment> owner_;  // RO
  std::shared_ptr<Stub> stub_;        // the reader's thread; null once read
};

}  // namespace

std::shared_ptr<const ProxyVtable> proxyVtableFor(const IID& iid) {
  if (iid == IID_IUnknown) {
    static const auto unknown = std::make_shared<const ProxyVtable>(unknownTable());
    return unknown;
  }
  if (iid == IID_IDispatch) {
    static const auto dispatch = std::make_shared<const ProxyVtable>(baseVtable(7, typeid(IDispatch)));
    return dispatch;
  }
  std::lock_guard lock(registryMutex);
  auto it = descriptions().find(iid);
  return it == descriptions().end() || it->second.empty() ? nullptr : it->second.back().vtable;
}

HRESULT forwardCall(void* proxyInterface, HRESULT (*fn)(void* target, void* ctx), void* ctx) {
  auto* proxy = static_cast<InterfaceProxy*>(proxyInterface);
  return proxy->manager->forward(proxy, fn, ctx);
}

}  // namespace detail

void registerProxyDescription(const IID& iid, const void* owner, const std::vector<DispatchMember>& members) {
  size_t slots = 7;
  for (const DispatchMember& m : members) slots = std::max(slots, static_cast<size_t>(m.slot) + 1);
  const std::type_info& type = members.empty() ? typeid(IDispatch) : *members.front().interfaceType;
  detail::ProxyVtable v = detail::baseVtable(slots, type);
  for (const DispatchMember& m : members) {
    if (m.slot >= 7) v[detail::kPrefixSlots + m.slot] = m.proxyThunk;
  }
  std::lock_guard lock(detail::registryMutex);
  auto& list = detail::descriptions()[iid];
  std::erase_if(list, [owner](const detail::Description& d) { return d.owner == owner; });
  list.push_back({owner, std::make_shared<const detail::ProxyVtable>(std::move(v))});
}

void unregisterProxyDescription(const IID& iid, const void* owner) {
  std::lock_guard lock(detail::registryMutex);
  auto it = detail::descriptions().find(iid);
  if (it != detail::descriptions().end())
    std::erase_if(it->second, [owner](const detail::Description& d) { return d.owner == owner; });
}

}  // namespace com

using com::detail::Apartment;

HRESULT CoMarshalInterThreadInterfaceInStream(REFIID riid, IUnknown* pUnk, IStream** ppStm) {
  if (ppStm == nullptr) return E_INVALIDARG;
  *ppStm = nullptr;
  if (pUnk == nullptr) return E_INVALIDARG;
  std::shared_ptr<Apartment> here = Apartment::current();
  if (!here) return CO_E_NOTINITIALIZED;
  if (!com::detail::proxyVtableFor(riid)) return REGDB_E_IIDNOTREG;
  auto stub = std::make_shared<com::detail::Stub>();
  void* wanted = nullptr;
  HRESULT hr = pUnk->QueryInterface(riid, &wanted);
  if (FAILED(hr)) return hr;
  pUnk->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&stub->identity));
  stub->interfaces.emplace_back(riid, static_cast<IUnknown*>(wanted));
  here->addStub(stub);
  auto* stream = new com::detail::MarshalStream(here, stub);
  stream->AddRef();
  *ppStm = stream;
  return S_OK;
}

HRESULT CoGetInterfaceAndReleaseStream(IStream* pStm, REFIID iid, void** ppv) {
  if (ppv == nullptr) return E_INVALIDARG;
  *ppv = nullptr;
  if (pStm == nullptr) return E_INVALIDARG;
  com::detail::MarshalStream* stream = nullptr;
  HRESULT hr = pStm->QueryInterface(com::detail::MarshalStream::kIid, reinterpret_cast<void**>(&stream));
  if (SUCCEEDED(hr)) {
    hr = stream->unmarshal(iid, ppv);
    stream->Release();
  }
  pStm->Release();
  return hr;
}
