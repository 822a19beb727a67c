// Export and calling-convention macros of the COM runtime, and the OLE base
// types every other header of this folder uses.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/wintypes/wintypes.h"

// libcomrt.so is built with hidden visibility; only what carries COMRT_API is
// exported. The C entry points also have C linkage (the binary contract).
#define COMRT_API __attribute__((visibility("default")))
#define COMRT_C_API extern "C" COMRT_API

// x86-64 Linux has one calling convention; the macros keep declarations that
// read like their Win32 counterparts.
#define STDMETHODCALLTYPE
#define STDAPICALLTYPE
#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define PURE = 0

using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;
using VARIANT_BOOL = int16_t;
using VARTYPE = uint16_t;
using DISPID = LONG;
using MEMBERID = DISPID;
using LCID = DWORD;
using SCODE = LONG;
using DATE = double;
using ULONG_PTR = uintptr_t;
using LPVOID = void*;

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

static_assert(sizeof(OLECHAR) == 2 && sizeof(VARIANT_BOOL) == 2 && sizeof(VARTYPE) == 2);
static_assert(sizeof(LONG) == 4 && sizeof(ULONG) == 4 && sizeof(HRESULT) == 4 && sizeof(BOOL) == 4);
