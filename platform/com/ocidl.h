// Connection-point interfaces (outgoing events), Windows slot order.
#pragma once

#include "platform/com/oaidl.h"

struct IConnectionPoint;
struct IConnectionPointContainer;

inline constexpr IID IID_IConnectionPointContainer = com::guid("B196B284-BAB4-101A-B69C-00AA00341D07");
inline constexpr IID IID_IEnumConnectionPoints = com::guid("B196B285-BAB4-101A-B69C-00AA00341D07");
inline constexpr IID IID_IConnectionPoint = com::guid("B196B286-BAB4-101A-B69C-00AA00341D07");
inline constexpr IID IID_IEnumConnections = com::guid("B196B287-BAB4-101A-B69C-00AA00341D07");

struct CONNECTDATA {
  IUnknown* pUnk;
  DWORD dwCookie;
};

struct IEnumConnections : IUnknown {
  static constexpr const IID& uuid = IID_IEnumConnections;
  STDMETHOD(Next)(ULONG cConnections, CONNECTDATA* rgcd, ULONG* pcFetched) PURE;
  STDMETHOD(Skip)(ULONG cConnections) PURE;
  STDMETHOD(Reset)() PURE;
  STDMETHOD(Clone)(IEnumConnections** ppEnum) PURE;
};

struct IEnumConnectionPoints : IUnknown {
  static constexpr const IID& uuid = IID_IEnumConnectionPoints;
  STDMETHOD(Next)(ULONG cConnections, IConnectionPoint** ppCP, ULONG* pcFetched) PURE;
  STDMETHOD(Skip)(ULONG cConnections) PURE;
  STDMETHOD(Reset)() PURE;
  STDMETHOD(Clone)(IEnumConnectionPoints** ppEnum) PURE;
};

struct IConnectionPoint : IUnknown {
  static constexpr const IID& uuid = IID_IConnectionPoint;
  STDMETHOD(GetConnectionInterface)(IID* pIID) PURE;
  STDMETHOD(GetConnectionPointContainer)(IConnectionPointContainer** ppCPC) PURE;
  STDMETHOD(Advise)(IUnknown* pUnkSink, DWORD* pdwCookie) PURE;
  STDMETHOD(Unadvise)(DWORD dwCookie) PURE;
  STDMETHOD(EnumConnections)(IEnumConnections** ppEnum) PURE;
};

struct IConnectionPointContainer : IUnknown {
  static constexpr const IID& uuid = IID_IConnectionPointContainer;
  STDMETHOD(EnumConnectionPoints)(IEnumConnectionPoints** ppEnum) PURE;
  STDMETHOD(FindConnectionPoint)(REFIID riid, IConnectionPoint** ppCP) PURE;
};
