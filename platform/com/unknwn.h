// IUnknown and IClassFactory. Interfaces are pure virtual structs without
// virtual destructors: an object's first word points at its method table in
// the Windows slot order, so any client that knows the layout can call it.
#pragma once

#include "platform/com/guiddef.h"
#include "platform/com/winerror.h"

inline constexpr IID IID_IUnknown = com::guid("00000000-0000-0000-C000-000000000046");
inline constexpr IID IID_IClassFactory = com::guid("00000001-0000-0000-C000-000000000046");

struct IUnknown {
  static constexpr const IID& uuid = IID_IUnknown;
  STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) PURE;
  STDMETHOD_(ULONG, AddRef)() PURE;
  STDMETHOD_(ULONG, Release)() PURE;
};
using LPUNKNOWN = IUnknown*;

struct IClassFactory : IUnknown {
  static constexpr const IID& uuid = IID_IClassFactory;
  STDMETHOD(CreateInstance)(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) PURE;
  STDMETHOD(LockServer)(BOOL fLock) PURE;
};

namespace com {
// The IID of an interface type: every interface of this project declares a
// static member `uuid` (see IUnknown above).
template <class I>
constexpr const IID& iidOf() {
  return I::uuid;
}
}  // namespace com
