// HRESULT values the runtime and its objects answer with (the Windows codes).
#pragma once

#include "platform/com/comrt_api.h"

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

namespace com::detail {
constexpr HRESULT hresult(uint32_t code) { return static_cast<HRESULT>(code); }
}  // namespace com::detail

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = com::detail::hresult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = com::detail::hresult(0x80004002);
inline constexpr HRESULT E_POINTER = com::detail::hresult(0x80004003);
inline constexpr HRESULT E_ABORT = com::detail::hresult(0x80004004);
inline constexpr HRESULT E_FAIL = com::detail::hresult(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = com::detail::hresult(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = com::detail::hresult(0x80070005);
inline constexpr HRESULT E_HANDLE = com::detail::hresult(0x80070006);
inline constexpr HRESULT E_OUTOFMEMORY = com::detail::hresult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = com::detail::hresult(0x80070057);

inline constexpr HRESULT CLASS_E_NOAGGREGATION = com::detail::hresult(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = com::detail::hresult(0x80040111);
inline constexpr HRESULT REGDB_E_READREGDB = com::detail::hresult(0x80040150);
inline constexpr HRESULT REGDB_E_WRITEREGDB = com::detail::hresult(0x80040151);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = com::detail::hresult(0x80040154);
inline constexpr HRESULT REGDB_E_IIDNOTREG = com::detail::hresult(0x80040155);
inline constexpr HRESULT SELFREG_E_TYPELIB = com::detail::hresult(0x80040200);
inline constexpr HRESULT SELFREG_E_CLASS = com::detail::hresult(0x80040201);
inline constexpr HRESULT CONNECT_E_NOCONNECTION = com::detail::hresult(0x80040200);
inline constexpr HRESULT CONNECT_E_ADVISELIMIT = com::detail::hresult(0x80040201);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = com::detail::hresult(0x80040202);
inline constexpr HRESULT CO_E_NOTINITIALIZED = com::detail::hresult(0x800401F0);
inline constexpr HRESULT CO_E_CLASSSTRING = com::detail::hresult(0x800401F3);
inline constexpr HRESULT CO_E_DLLNOTFOUND = com::detail::hresult(0x800401F8);
inline constexpr HRESULT CO_E_ERRORINDLL = com::detail::hresult(0x800401F9);
inline constexpr HRESULT CO_E_OBJNOTCONNECTED = com::detail::hresult(0x800401FD);
inline constexpr HRESULT RPC_E_CHANGED_MODE = com::detail::hresult(0x80010106);
inline constexpr HRESULT RPC_E_DISCONNECTED = com::detail::hresult(0x80010108);
inline constexpr HRESULT RPC_E_WRONG_THREAD = com::detail::hresult(0x8001010E);
inline constexpr HRESULT RPC_S_CALLPENDING = com::detail::hresult(0x80010115);
inline constexpr HRESULT RPC_E_TIMEOUT = com::detail::hresult(0x8001011F);

inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = com::detail::hresult(0x80020001);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = com::detail::hresult(0x80020003);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = com::detail::hresult(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = com::detail::hresult(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = com::detail::hresult(0x80020006);
inline constexpr HRESULT DISP_E_NONAMEDARGS = com::detail::hresult(0x80020007);
inline constexpr HRESULT DISP_E_BADVARTYPE = com::detail::hresult(0x80020008);
inline constexpr HRESULT DISP_E_EXCEPTION = com::detail::hresult(0x80020009);
inline constexpr HRESULT DISP_E_OVERFLOW = com::detail::hresult(0x8002000A);
inline constexpr HRESULT DISP_E_BADINDEX = com::detail::hresult(0x8002000B);
inline constexpr HRESULT DISP_E_ARRAYISLOCKED = com::detail::hresult(0x8002000D);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = com::detail::hresult(0x8002000E);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = com::detail::hresult(0x8002000F);
