// ComObject<Derived, Interfaces...>: reference counting and QueryInterface
// for a class implementing the listed interfaces, plus, when the class needs
// them, IDispatch (from Derived::dispatchTable(), see dispatch_table.h) and
// IConnectionPointContainer (from Derived::connectionPoints(), see
// connection_point.h).
//
//   class Player : public com::ComObject<Player, IPlayer, IConnectionPointContainer> {
//    public:
//     static const com::DispatchTable& dispatchTable();
//     com::ConnectionPoints& connectionPoints() { return points_; }
//     ...
//   };
//   com::ComPtr<IPlayer> p = com::make<Player>();
//
// Reference counts are atomic and never go below zero: an extra Release is a
// caller's bug, but it neither frees an object twice nor wraps the count.
// Each object also holds a lock on its module, so DllCanUnloadNow (see
// server_module.h) says "not now" while any object of the library lives.
// Interfaces other than those listed (and IUnknown/IDispatch) can be
// answered by Derived::queryExtraInterface(riid, ppv); EventSink (below)
// does so for an event interface's IID.
#pragma once

#include <atomic>
#include <new>
#include <tuple>
#include <type_traits>
#include <utility>

#include "platform/com/com_ptr.h"
#include "platform/com/oaidl.h"
#include "platform/com/ocidl.h"

namespace com {

// Count of live objects and server locks of the module that includes this
// header: inline gives one per shared library, hidden keeps it from being
// merged with the same variable in other libraries.
namespace module_state __attribute__((visibility("hidden"))) {
inline std::atomic<LONG> lockCount{0};
}  // namespace module_state

inline void lockModule() { module_state::lockCount.fetch_add(1); }
inline void unlockModule() {
  LONG n = module_state::lockCount.load();
  while (n > 0 && !module_state::lockCount.compare_exchange_weak(n, n - 1)) {
  }
}
inline LONG moduleLockCount() { return module_state::lockCount.load(); }

// Decrements count unless it is already zero. Returns the new count; *last
// is set when this call took it from 1 to 0.
inline ULONG releaseFloored(std::atomic<ULONG>& count, bool* last) {
  ULONG n = count.load();
  while (n > 0 && !count.compare_exchange_weak(n, n - 1)) {
  }
  *last = n == 1;
  return n == 0 ? 0 : n - 1;
}

class DispatchTable;
class ConnectionPoints;

template <class Derived, class... Interfaces>
class ComObject : public Interfaces... {
  static_assert(sizeof...(Interfaces) > 0, "a COM object implements at least one interface");
  using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;
  static constexpr bool hasTable = requires { Derived::dispatchTable(); };

 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    void* found = findInterface(riid);
    if (found == nullptr) {
      if constexpr (requires(Derived& d, REFIID r, void** p) { d.queryExtraInterface(r, p); }) {
        return static_cast<Derived*>(this)->queryExtraInterface(riid, ppv);
      }
      return E_NOINTERFACE;
    }
    AddRef();
    *ppv = found;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() { return refs_.fetch_add(1) + 1; }
  ULONG STDMETHODCALLTYPE Release() {
    bool last = false;
    ULONG n = releaseFloored(refs_, &last);
    if (last) {
      // Keeps an AddRef/Release pair in the destructor from freeing again.
      refs_.store(kDestroying);
      delete static_cast<Derived*>(this);
    }
    return n;
  }

  // IDispatch, for classes whose interface list holds a dual interface and
  // that declare a table (a class may also write Invoke itself, as event
  // sinks do).
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) {
    if (pctinfo == nullptr) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
    if (ppTInfo != nullptr) *ppTInfo = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID,
                                          DISPID* rgDispId) {
    if (!(riid == IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if constexpr (hasTable) {
      return Derived::dispatchTable().getIDsOfNames(rgszNames, cNames, rgDispId);
    } else {
      (void)rgszNames, (void)cNames, (void)rgDispId;
      return E_NOTIMPL;
    }
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
    if (!(riid == IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if constexpr (hasTable) {
      const auto& table = Derived::dispatchTable();
      return table.invoke(findInterface(table.interfaceId()), dispIdMember, wFlags, pDispParams, pVarResult,
                          pExcepInfo, puArgErr);
    } else {
      (void)dispIdMember, (void)wFlags, (void)pDispParams, (void)pVarResult, (void)pExcepInfo, (void)puArgErr;
      return E_NOTIMPL;
    }
  }

  // IConnectionPointContainer, for classes that list it.
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
    if (ppEnum != nullptr) *ppEnum = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
    return static_cast<Derived*>(this)->connectionPoints().find(riid, ppCP);
  }

  // The object's identity (the IUnknown that QueryInterface answers).
  IUnknown* identity() { return static_cast<IUnknown*>(static_cast<First*>(this)); }

 protected:
  ComObject() {
    lockModule();
    if constexpr (hasTable) {
      (void)Derived::dispatchTable();  // registers the interface's proxy description before any marshalling
    }
  }
  // Virtual so that `delete` of Derived is sound whatever derives from it;
  // the entry sits after the interfaces' slots and changes none of them.
  virtual ~ComObject() { unlockModule(); }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

 private:
  static constexpr ULONG kDestroying = 1u << 30;

  template <class I>
  static bool implements(REFIID riid) {
    if (riid == iidOf<I>()) return true;
    if constexpr (std::is_base_of_v<IDispatch, I>) {
      if (riid == IID_IDispatch) return true;
    }
    return false;
  }
  void* findInterface(REFIID riid) {
    if (riid == IID_IUnknown) return identity();
    void* found = nullptr;
    ((found = (found == nullptr && implements<Interfaces>(riid)) ? static_cast<Interfaces*>(this) : found), ...);
    return found;
  }

  std::atomic<ULONG> refs_{0};
};

// Creates an object and hands out the first reference, as T*.
// An event sink: a dispatch-only object that a connection point of the
// event interface `Events` calls. It answers QueryInterface for that IID
// with its IDispatch; Derived writes Invoke.
//
//   class PlaySink final : public com::EventSink<PlaySink, DIID_IPlayerEvents> {
//     HRESULT STDMETHODCALLTYPE Invoke(DISPID id, ...) override;
//   };
template <class Derived, const IID& Events>
class EventSink : public ComObject<Derived, IDispatch> {
 public:
  HRESULT queryExtraInterface(REFIID riid, void** ppv) {
    if (!(riid == Events)) return E_NOINTERFACE;
    this->AddRef();
    *ppv = static_cast<IDispatch*>(this);
    return S_OK;
  }
};

template <class T, class... Args>
ComPtr<T> make(Args&&... args) {
  return ComPtr<T>(new T(std::forward<Args>(args)...));
}

// Creates an object and asks it for riid: what IClassFactory::CreateInstance
// does. The object is freed again when it does not answer riid.
template <class T, class... Args>
HRESULT createInstance(REFIID riid, void** ppv, Args&&... args) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  T* object = new (std::nothrow) T(std::forward<Args>(args)...);
  if (object == nullptr) return E_OUTOFMEMORY;
  object->AddRef();
  HRESULT hr = object->QueryInterface(riid, ppv);
  object->Release();
  return hr;
}

}  // namespace com
