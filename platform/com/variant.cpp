// VARIANT lifetime: initialise, clear, copy (deep), copy with dereference.
#include <cstring>

#include "platform/com/oleauto.h"

namespace {

bool knownBaseType(VARTYPE base) {
  switch (base) {
    case VT_EMPTY: case VT_NULL: case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY:
    case VT_DATE: case VT_BSTR: case VT_DISPATCH: case VT_ERROR: case VT_BOOL: case VT_VARIANT:
    case VT_UNKNOWN: case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8:
    case VT_INT: case VT_UINT:
      return true;
    default:
      return false;
  }
}

// A variant type this runtime can hold: a known base type, optionally as an
// array or by reference (not both, and VT_VARIANT only by reference or as
// array elements).
bool validType(VARTYPE vt) {
  if (vt & ~(VT_TYPEMASK | VT_ARRAY | VT_BYREF)) return false;
  VARTYPE base = vt & VT_TYPEMASK;
  if (!knownBaseType(base)) return false;
  if (base == VT_VARIANT && (vt & (VT_BYREF | VT_ARRAY)) == 0) return false;
  if ((vt & VT_ARRAY) && (base == VT_EMPTY || base == VT_NULL)) return false;
  return true;
}

// Deep copy of a non-reference value into dest (which holds nothing).
HRESULT copyValue(VARIANT* dest, const VARIANT* src) {
  std::memcpy(dest, src, sizeof(VARIANT));
  if (src->vt & VT_BYREF) return S_OK;
  if (src->vt & VT_ARRAY) {
    SAFEARRAY* copy = nullptr;
    HRESULT hr = SafeArrayCopy(src->parray, &copy);
    if (FAILED(hr)) {
      dest->vt = VT_EMPTY;
      return hr;
    }
    dest->parray = copy;
    return S_OK;
  }
  switch (src->vt) {
    case VT_BSTR:
      if (src->bstrVal != nullptr) {
        dest->bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
        if (dest->bstrVal == nullptr) {
          dest->vt = VT_EMPTY;
          return E_OUTOFMEMORY;
        }
      }
      break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
      if (src->punkVal != nullptr) src->punkVal->AddRef();
      break;
    default:
      break;
  }
  return S_OK;
}

}  // namespace

void VariantInit(VARIANTARG* pvarg) {
  if (pvarg == nullptr) return;
  pvarg->vt = VT_EMPTY;
  pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
  pvarg->llVal = 0;
  pvarg->brecVal.pRecInfo = nullptr;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
  if (pvarg == nullptr) return E_INVALIDARG;
  if (!validType(pvarg->vt)) return DISP_E_BADVARTYPE;
  if ((pvarg->vt & VT_BYREF) == 0) {
    if (pvarg->vt & VT_ARRAY) {
      HRESULT hr = SafeArrayDestroy(pvarg->parray);
      if (FAILED(hr)) return hr;
    } else if (pvarg->vt == VT_BSTR) {
      SysFreeString(pvarg->bstrVal);
    } else if ((pvarg->vt == VT_UNKNOWN || pvarg->vt == VT_DISPATCH) && pvarg->punkVal != nullptr) {
      pvarg->punkVal->Release();
    }
  }
  VariantInit(pvarg);
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (pvargDest == nullptr || pvargSrc == nullptr) return E_INVALIDARG;
  if (pvargDest == pvargSrc) return S_OK;
  if (!validType(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  VARIANT copy;
  HRESULT hr = copyValue(&copy, pvargSrc);
  if (FAILED(hr)) return hr;
  hr = VariantClear(pvargDest);
  if (FAILED(hr)) {
    VariantClear(&copy);
    return hr;
  }
  *pvargDest = copy;
  return S_OK;
}

HRESULT VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc) {
  if (pvarDest == nullptr || pvargSrc == nullptr) return E_INVALIDARG;
  if ((pvargSrc->vt & VT_BYREF) == 0) return VariantCopy(pvarDest, pvargSrc);
  if (!validType(pvargSrc->vt) || pvargSrc->byref == nullptr) return E_INVALIDARG;
  VARIANT value;
  VariantInit(&value);
  VARTYPE vt = pvargSrc->vt & ~VT_BYREF;
  if (vt == VT_VARIANT) {
    const VARIANT* inner = pvargSrc->pvarVal;
    if (inner->vt & VT_BYREF) return E_INVALIDARG;  // a reference to a reference
    value = *inner;
  } else {
    value.vt = vt;
    size_t bytes = (vt & VT_ARRAY) ? sizeof(void*) : 0;
    if (bytes == 0) {
      switch (vt) {
        case VT_I1: case VT_UI1: bytes = 1; break;
        case VT_I2: case VT_UI2: case VT_BOOL: bytes = 2; break;
        case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR: bytes = 4; break;
        default: bytes = 8; break;  // 8-byte numbers and pointers
      }
    }
    std::memcpy(&value.llVal, pvargSrc->byref, bytes);
  }
  VARIANT copy;
  HRESULT hr = copyValue(&copy, &value);
  if (FAILED(hr)) return hr;
  if (pvarDest != pvargSrc) {
    hr = VariantClear(pvarDest);
    if (FAILED(hr)) {
      VariantClear(&copy);
      return hr;
    }
  }
  *pvarDest = copy;
  return S_OK;
}
