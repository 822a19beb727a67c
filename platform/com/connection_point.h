// ConnectionPoint: one outgoing (event) interface of an object, and
// ConnectionPoints, the set an IConnectionPointContainer hands out.
//
// Sinks are held by their IDispatch for the event interface (Advise asks
// the sink for the event IID, so a sink answers that IID with its
// IDispatch). fire() calls IDispatch::Invoke on every sink by dispid, on the
// calling thread. It works on a copy of the sink list made under the lock,
// each copy holding a reference, so a sink may Advise or Unadvise (itself or
// others) while the event is being fired; a sink unadvised during firing
// gets no further call. Cookies start at 1; 0 is never a valid cookie.
// A connection point holds no reference to its container (that would keep
// the container alive forever); the container detaches its points when it
// goes, after which GetConnectionPointContainer answers E_UNEXPECTED.
#pragma once

#include <initializer_list>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/com/com_object.h"

namespace com {

class COMRT_API ConnectionPoint final : public ComObject<ConnectionPoint, IConnectionPoint> {
 public:
  ConnectionPoint(const IID& eventIid, IConnectionPointContainer* container);

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID);
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** ppCPC);
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnkSink, DWORD* pdwCookie);
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie);
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum);  // E_NOTIMPL (allowed by the contract)

  // Calls dispid on every sink with args in their natural order (the first
  // argument first); the caller keeps ownership of args. Answers how many
  // sinks were called.
  int fire(DISPID id, std::initializer_list<VARIANT> args = {});
  int fire(DISPID id, const VARIANT* args, UINT count);
  size_t sinkCount() const;

  void detach();

 private:
  bool advised(DWORD cookie) const;

  const IID iid_;
  mutable std::mutex mutex_;
  IConnectionPointContainer* container_;           // guarded by mutex_; not a reference
  DWORD nextCookie_ = 1;                           // guarded by mutex_
  std::vector<std::pair<DWORD, IDispatch*>> sinks_;  // guarded by mutex_; each holds a reference
};

// The connection points of one container, created with it and detached when
// it goes. Not thread-safe to add to; add every point in the constructor.
class COMRT_API ConnectionPoints {
 public:
  ConnectionPoints() = default;
  ~ConnectionPoints();
  ConnectionPoints(const ConnectionPoints&) = delete;
  ConnectionPoints& operator=(const ConnectionPoints&) = delete;

  ConnectionPoint& add(const IID& eventIid, IConnectionPointContainer* container);
  ConnectionPoint* get(const IID& eventIid) const;
  HRESULT find(REFIID riid, IConnectionPoint** ppCP) const;

 private:
  std::vector<ConnectionPoint*> points_;  // each holds a reference
};

// VARIANT values for fire() arguments (they own nothing).
inline VARIANT variantI4(LONG v) {
  VARIANT r{};
  r.vt = VT_I4;
  r.lVal = v;
  return r;
}
inline VARIANT variantI2(SHORT v) {
  VARIANT r{};
  r.vt = VT_I2;
  r.iVal = v;
  return r;
}
inline VARIANT variantBool(bool v) {
  VARIANT r{};
  r.vt = VT_BOOL;
  r.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
  return r;
}
inline VARIANT variantBstr(BSTR v) {
  VARIANT r{};
  r.vt = VT_BSTR;
  r.bstrVal = v;
  return r;
}

}  // namespace com
