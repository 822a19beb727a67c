// OLE Automation functions: BSTR, VARIANT and SAFEARRAY, exported with C
// linkage from libcomrt.so.
//
// BSTR: UTF-16 text with its 32-bit byte length just before the first
// character and a NUL after the last; embedded NULs are kept. A null BSTR is
// the empty string everywhere.
// SAFEARRAY: one dimension only (creating more is refused with a null
// result / E_INVALIDARG). The element type is stored with the array
// (FADF_HAVEVARTYPE), so SafeArrayGetVartype answers for every array made
// here. An empty array has cElements 0 and an upper bound of lLbound - 1.
#pragma once

#include "platform/com/oaidl.h"

// VariantChangeType flags.
inline constexpr USHORT VARIANT_NOVALUEPROP = 0x01;
inline constexpr USHORT VARIANT_ALPHABOOL = 0x02;  // VT_BOOL -> "True"/"False" instead of "-1"/"0"

COMRT_C_API BSTR SysAllocString(const OLECHAR* psz);
COMRT_C_API BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui);
COMRT_C_API BSTR SysAllocStringByteLen(const char* psz, UINT len);
COMRT_C_API INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
COMRT_C_API INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len);
COMRT_C_API void SysFreeString(BSTR bstrString);
COMRT_C_API UINT SysStringLen(BSTR pbstr);
COMRT_C_API UINT SysStringByteLen(BSTR bstr);

COMRT_C_API void VariantInit(VARIANTARG* pvarg);
COMRT_C_API HRESULT VariantClear(VARIANTARG* pvarg);
COMRT_C_API HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
COMRT_C_API HRESULT VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc);
// Converts between VT_EMPTY, VT_I1/UI1/I2/UI2/I4/UI4/I8/UI8/INT/UINT, VT_R4,
// VT_R8, VT_BOOL, VT_BSTR, VT_DISPATCH, VT_UNKNOWN and VT_ARRAY|VT_I2 (plus
// any same-type copy). Out-of-range numbers give DISP_E_OVERFLOW, text that
// is not a number DISP_E_TYPEMISMATCH, an array of another element type or
// dimension E_INVALIDARG. A source passed by reference is dereferenced.
// pvargDest may equal pvarSrc; on failure the destination is unchanged.
COMRT_C_API HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags,
                                      VARTYPE vt);
COMRT_C_API HRESULT VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID lcid,
                                        USHORT wFlags, VARTYPE vt);

COMRT_C_API SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound);
COMRT_C_API SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
COMRT_C_API HRESULT SafeArrayDestroy(SAFEARRAY* psa);
COMRT_C_API UINT SafeArrayGetDim(SAFEARRAY* psa);
COMRT_C_API UINT SafeArrayGetElemsize(SAFEARRAY* psa);
COMRT_C_API HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);
COMRT_C_API HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
COMRT_C_API HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt);
COMRT_C_API HRESULT SafeArrayLock(SAFEARRAY* psa);
COMRT_C_API HRESULT SafeArrayUnlock(SAFEARRAY* psa);
COMRT_C_API HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
COMRT_C_API HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);
// pv points at the element's storage for plain types; for VT_BSTR it is the
// BSTR, for VT_UNKNOWN/VT_DISPATCH the interface pointer (Windows rules).
// GetElement copies out (a new BSTR, an added reference, a VariantCopy).
COMRT_C_API HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
COMRT_C_API HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
COMRT_C_API HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut);
// Changes the element count of a one-dimensional array (new elements zeroed).
COMRT_C_API HRESULT SafeArrayRedim(SAFEARRAY* psa, SAFEARRAYBOUND* psaboundNew);

namespace com {
// E_INVALIDARG unless psa is a one-dimensional array whose elements have
// type vt (what a member taking a SAFEARRAY of 16-bit samples checks first).
COMRT_API HRESULT checkVector(SAFEARRAY* psa, VARTYPE vt);
}  // namespace com
