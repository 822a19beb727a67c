// One-dimensional SAFEARRAYs. The descriptor is allocated with 16 bytes in
// front of it; the element type sits in the 4 bytes just before the
// descriptor, where Windows keeps it for FADF_HAVEVARTYPE arrays. The data
// block is allocated separately.
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/com/oleauto.h"

namespace {

constexpr size_t kPrefixBytes = 16;

ULONG elementBytes(VARTYPE vt) {
  switch (vt) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR: return 4;
    case VT_I8: case VT_UI8: case VT_R8: case VT_CY: case VT_DATE: return 8;
    case VT_BSTR: case VT_UNKNOWN: case VT_DISPATCH: return sizeof(void*);
    case VT_VARIANT: return sizeof(VARIANT);
    default: return 0;
  }
}

USHORT featuresFor(VARTYPE vt) {
  USHORT f = FADF_HAVEVARTYPE;
  if (vt == VT_BSTR) f |= FADF_BSTR;
  if (vt == VT_UNKNOWN) f |= FADF_UNKNOWN;
  if (vt == VT_DISPATCH) f |= FADF_DISPATCH;
  if (vt == VT_VARIANT) f |= FADF_VARIANT;
  return f;
}

VARTYPE storedType(const SAFEARRAY* psa) {
  if (psa->fFeatures & FADF_HAVEVARTYPE) {
    DWORD vt = 0;
    std::memcpy(&vt, reinterpret_cast<const char*>(psa) - sizeof vt, sizeof vt);
    return static_cast<VARTYPE>(vt);
  }
  if (psa->fFeatures & FADF_BSTR) return VT_BSTR;
  if (psa->fFeatures & FADF_UNKNOWN) return VT_UNKNOWN;
  if (psa->fFeatures & FADF_DISPATCH) return VT_DISPATCH;
  if (psa->fFeatures & FADF_VARIANT) return VT_VARIANT;
  return VT_EMPTY;
}

// Frees what an element owns (strings, references, variants' contents).
void clearElements(SAFEARRAY* psa, ULONG first, ULONG end) {
  // Numbers own nothing: an array of samples is freed without a look at them.
  if (!(psa->fFeatures & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT))) return;
  auto* data = static_cast<char*>(psa->pvData);
  for (ULONG i = first; i < end; ++i) {
    void* element = data + size_t{i} * psa->cbElements;
    if (psa->fFeatures & FADF_BSTR) {
      BSTR* s = static_cast<BSTR*>(element);
      SysFreeString(*s);
      *s = nullptr;
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
      IUnknown** p = static_cast<IUnknown**>(element);
      if (*p != nullptr) (*p)->Release();
      *p = nullptr;
    } else if (psa->fFeatures & FADF_VARIANT) {
      VariantClear(static_cast<VARIANT*>(element));
    }
  }
}

// The element at rgIndices[0], or null when outside the bounds.
void* elementAt(SAFEARRAY* psa, const LONG* rgIndices) {
  int64_t offset = int64_t{rgIndices[0]} - psa->rgsabound[0].lLbound;
  if (offset < 0 || offset >= int64_t{psa->rgsabound[0].cElements}) return nullptr;
  return static_cast<char*>(psa->pvData) + offset * psa->cbElements;
}

}  // namespace

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  ULONG cb = elementBytes(vt);
  if (cb == 0) return nullptr;
  auto* block = static_cast<char*>(std::calloc(1, kPrefixBytes + sizeof(SAFEARRAY)));
  if (block == nullptr) return nullptr;
  auto* psa = reinterpret_cast<SAFEARRAY*>(block + kPrefixBytes);
  DWORD storedVt = vt;
  std::memcpy(block + kPrefixBytes - sizeof storedVt, &storedVt, sizeof storedVt);
  psa->cDims = 1;
  psa->fFeatures = featuresFor(vt);
  psa->cbElements = cb;
  psa->rgsabound[0].cElements = cElements;
  psa->rgsabound[0].lLbound = lLbound;
  // One byte at least, so an empty array still has a data pointer to access.
  psa->pvData = std::calloc(cElements == 0 ? 1 : cElements, cb);
  if (psa->pvData == nullptr) {
    std::free(block);
    return nullptr;
  }
  return psa;
}

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
  if (cDims != 1 || rgsabound == nullptr) return nullptr;
  return SafeArrayCreateVector(vt, rgsabound[0].lLbound, rgsabound[0].cElements);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
  if (psa == nullptr) return S_OK;
  if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  clearElements(psa, 0, psa->rgsabound[0].cElements);
  std::free(psa->pvData);
  std::free(reinterpret_cast<char*>(psa) - kPrefixBytes);
  return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) { return psa == nullptr ? 0 : psa->cDims; }
UINT SafeArrayGetElemsize(SAFEARRAY* psa) { return psa == nullptr ? 0 : psa->cbElements; }

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (psa == nullptr || plLbound == nullptr) return E_INVALIDARG;
  if (nDim != 1 || psa->cDims != 1) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[0].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (psa == nullptr || plUbound == nullptr) return E_INVALIDARG;
  if (nDim != 1 || psa->cDims != 1) return DISP_E_BADINDEX;
  int64_t upper = int64_t{psa->rgsabound[0].lLbound} + psa->rgsabound[0].cElements - 1;
  if (upper > INT32_MAX) return DISP_E_OVERFLOW;
  *plUbound = static_cast<LONG>(upper);
  return S_OK;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
  if (psa == nullptr || pvt == nullptr) return E_INVALIDARG;
  VARTYPE vt = storedType(psa);
  if (vt == VT_EMPTY) return E_INVALIDARG;
  *pvt = vt;
  return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa) {
  if (psa == nullptr) return E_INVALIDARG;
  if (psa->cLocks >= 0xFFFF) return E_UNEXPECTED;
  ++psa->cLocks;
  return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa) {
  if (psa == nullptr) return E_INVALIDARG;
  if (psa->cLocks == 0) return E_UNEXPECTED;
  --psa->cLocks;
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (psa == nullptr || ppvData == nullptr) return E_INVALIDARG;
  HRESULT hr = SafeArrayLock(psa);
  if (FAILED(hr)) return hr;
  *ppvData = psa->pvData;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (psa == nullptr || rgIndices == nullptr || pv == nullptr || psa->cDims != 1) return E_INVALIDARG;
  void* element = elementAt(psa, rgIndices);
  if (element == nullptr) return DISP_E_BADINDEX;
  if (psa->fFeatures & FADF_BSTR) {
    BSTR source = *static_cast<BSTR*>(element);
    BSTR copy = nullptr;
    if (source != nullptr) {
      copy = SysAllocStringLen(source, SysStringLen(source));
      if (copy == nullptr) return E_OUTOFMEMORY;
    }
    *static_cast<BSTR*>(pv) = copy;
  } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown* p = *static_cast<IUnknown**>(element);
    if (p != nullptr) p->AddRef();
    *static_cast<IUnknown**>(pv) = p;
  } else if (psa->fFeatures & FADF_VARIANT) {
    auto* out = static_cast<VARIANT*>(pv);
    VariantInit(out);
    return VariantCopy(out, static_cast<VARIANT*>(element));
  } else {
    std::memcpy(pv, element, psa->cbElements);
  }
  return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (psa == nullptr || rgIndices == nullptr || psa->cDims != 1) return E_INVALIDARG;
  void* element = elementAt(psa, rgIndices);
  if (element == nullptr) return DISP_E_BADINDEX;
  if (psa->fFeatures & FADF_BSTR) {
    auto source = static_cast<BSTR>(pv);
    BSTR copy = nullptr;
    if (source != nullptr) {
      copy = SysAllocStringLen(source, SysStringLen(source));
      if (copy == nullptr) return E_OUTOFMEMORY;
    }
    SysFreeString(*static_cast<BSTR*>(element));
    *static_cast<BSTR*>(element) = copy;
  } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    auto* p = static_cast<IUnknown*>(pv);
    if (p != nullptr) p->AddRef();
    IUnknown*& slot = *static_cast<IUnknown**>(element);
    if (slot != nullptr) slot->Release();
    slot = p;
  } else if (psa->fFeatures & FADF_VARIANT) {
    if (pv == nullptr) return E_INVALIDARG;
    return VariantCopy(static_cast<VARIANT*>(element), static_cast<VARIANT*>(pv));
  } else {
    if (pv == nullptr) return E_INVALIDARG;
    std::memcpy(element, pv, psa->cbElements);
  }
  return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  if (ppsaOut == nullptr) return E_INVALIDARG;
  *ppsaOut = nullptr;
  if (psa == nullptr) return S_OK;
  VARTYPE vt = VT_EMPTY;
  if (psa->cDims != 1 || FAILED(SafeArrayGetVartype(psa, &vt))) return E_INVALIDARG;
  SAFEARRAY* copy = SafeArrayCreateVector(vt, psa->rgsabound[0].lLbound, psa->rgsabound[0].cElements);
  if (copy == nullptr) return E_OUTOFMEMORY;
  if (psa->fFeatures & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT)) {
    for (ULONG i = 0; i < psa->rgsabound[0].cElements; ++i) {
      LONG index = static_cast<LONG>(psa->rgsabound[0].lLbound + static_cast<int64_t>(i));
      void* element = static_cast<char*>(psa->pvData) + size_t{i} * psa->cbElements;
      void* value = (psa->fFeatures & FADF_VARIANT) ? element : *static_cast<void**>(element);
      HRESULT hr = SafeArrayPutElement(copy, &index, value);
      if (FAILED(hr)) {
        SafeArrayDestroy(copy);
        return hr;
      }
    }
  } else {
    std::memcpy(copy->pvData, psa->pvData, size_t{psa->cbElements} * psa->rgsabound[0].cElements);
  }
  *ppsaOut = copy;
  return S_OK;
}

HRESULT SafeArrayRedim(SAFEARRAY* psa, SAFEARRAYBOUND* psaboundNew) {
  if (psa == nullptr || psaboundNew == nullptr || psa->cDims != 1) return E_INVALIDARG;
  if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  ULONG oldCount = psa->rgsabound[0].cElements;
  ULONG newCount = psaboundNew->cElements;
  if (newCount < oldCount) clearElements(psa, newCount, oldCount);
  size_t bytes = size_t{psa->cbElements} * (newCount == 0 ? 1 : newCount);
  void* data = std::realloc(psa->pvData, bytes);
  if (data == nullptr) return E_OUTOFMEMORY;
  psa->pvData = data;
  if (newCount > oldCount) {
    std::memset(static_cast<char*>(data) + size_t{psa->cbElements} * oldCount, 0,
                size_t{psa->cbElements} * (newCount - oldCount));
  }
  psa->rgsabound[0] = *psaboundNew;
  return S_OK;
}

namespace com {
HRESULT checkVector(SAFEARRAY* psa, VARTYPE vt) {
  VARTYPE actual = VT_EMPTY;
  if (psa == nullptr || psa->cDims != 1 || FAILED(SafeArrayGetVartype(psa, &actual)) || actual != vt)
    return E_INVALIDARG;
  return S_OK;
}
}  // namespace com
