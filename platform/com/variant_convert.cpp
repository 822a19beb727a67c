// VariantChangeType: numbers, booleans, text, interfaces and arrays of
// 16-bit integers, with the Windows results (VT_BOOL true is -1, text is
// read with the C locale, fractions round half to even, out of range is
// DISP_E_OVERFLOW).
#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/com/oleauto.h"

namespace {

// A numeric value on its way between types; long double holds every 64-bit
// integer exactly.
struct Number {
  long double value = 0;
  bool integral = true;
};

bool isSpace(OLECHAR c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// Text of a BSTR without surrounding blanks; false when it is not ASCII.
bool asciiTrimmed(BSTR text, std::string* out) {
  UINT n = SysStringLen(text);
  UINT begin = 0;
  while (begin < n && isSpace(text[begin])) ++begin;
  while (n > begin && isSpace(text[n - 1])) --n;
  for (UINT i = begin; i < n; ++i) {
    if (text[i] > 0x7F || text[i] == 0) return false;
    out->push_back(static_cast<char>(text[i]));
  }
  return true;
}

bool equalsNoCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != 0; ++i) {
    char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
    if (x != b[i]) return false;
  }
  return i == a.size() && b[i] == 0;
}

// [sign] digits [. digits] [e [sign] digits], at least one digit.
HRESULT parseNumber(const std::string& text, Number* out) {
  size_t i = 0;
  auto digits = [&] {
    size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    return i - start;
  };
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t mantissa = digits();
  bool fraction = false;
  if (i < text.size() && text[i] == '.') {
    ++i;
    fraction = true;
    mantissa += digits();
  }
  if (mantissa == 0) return DISP_E_TYPEMISMATCH;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    fraction = true;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (digits() == 0) return DISP_E_TYPEMISMATCH;
  }
  if (i != text.size()) return DISP_E_TYPEMISMATCH;
  out->value = std::strtold(text.c_str(), nullptr);
  if (std::isinf(out->value)) return DISP_E_OVERFLOW;
  out->integral = !fraction;
  return S_OK;
}

HRESULT numberOf(const VARIANT& v, Number* out) {
  switch (v.vt) {
    case VT_EMPTY: out->value = 0; return S_OK;
    case VT_I1: out->value = v.cVal; return S_OK;
    case VT_UI1: out->value = v.bVal; return S_OK;
    case VT_I2: out->value = v.iVal; return S_OK;
    case VT_UI2: out->value = v.uiVal; return S_OK;
    case VT_I4: case VT_INT: out->value = v.lVal; return S_OK;
    case VT_UI4: case VT_UINT: out->value = v.ulVal; return S_OK;
    case VT_I8: out->value = static_cast<long double>(v.llVal); return S_OK;
    case VT_UI8: out->value = static_cast<long double>(v.ullVal); return S_OK;
    case VT_BOOL: out->value = v.boolVal != 0 ? -1 : 0; return S_OK;
    case VT_R4: case VT_R8: {
      double d = v.vt == VT_R4 ? double{v.fltVal} : v.dblVal;
      if (!std::isfinite(d)) return DISP_E_OVERFLOW;
      out->value = d;
      out->integral = false;
      return S_OK;
    }
    case VT_BSTR: {
      std::string text;
      if (!asciiTrimmed(v.bstrVal, &text)) return DISP_E_TYPEMISMATCH;
      return parseNumber(text, out);
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT toInteger(const Number& n, long double min, long double max, long double* out) {
  long double v = n.value;
  if (!n.integral) {
    int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);  // half to even, as Windows rounds
    v = std::nearbyintl(v);
    std::fesetround(mode);
  }
  if (v < min || v > max) return DISP_E_OVERFLOW;
  *out = v;
  return S_OK;
}

HRESULT toText(const VARIANT& v, USHORT flags, VARIANT* out) {
  char text[64];
  switch (v.vt) {
    case VT_EMPTY: text[0] = 0; break;
    case VT_BOOL:
      if (flags & VARIANT_ALPHABOOL) {
        std::snprintf(text, sizeof text, "%s", v.boolVal ? "True" : "False");
      } else {
        std::snprintf(text, sizeof text, "%s", v.boolVal ? "-1" : "0");
      }
      break;
    case VT_R4: std::snprintf(text, sizeof text, "%.7G", double{v.fltVal}); break;
    case VT_R8: std::snprintf(text, sizeof text, "%.15G", v.dblVal); break;
    case VT_UI8: std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(v.ullVal)); break;
    default: {
      Number n;
      HRESULT hr = numberOf(v, &n);
      if (FAILED(hr)) return hr;
      std::snprintf(text, sizeof text, "%lld", static_cast<long long>(n.value));
      break;
    }
  }
  std::u16string wide(text, text + std::char_traits<char>::length(text));
  out->vt = VT_BSTR;
  out->bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  return out->bstrVal == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT toBool(const VARIANT& v, VARIANT* out) {
  if (v.vt == VT_BSTR) {
    std::string text;
    if (asciiTrimmed(v.bstrVal, &text)) {
      if (equalsNoCase(text, "true")) {
        out->vt = VT_BOOL;
        out->boolVal = VARIANT_TRUE;
        return S_OK;
      }
      if (equalsNoCase(text, "false")) {
        out->vt = VT_BOOL;
        out->boolVal = VARIANT_FALSE;
        return S_OK;
      }
    }
  }
  Number n;
  HRESULT hr = numberOf(v, &n);
  if (FAILED(hr)) return hr;
  out->vt = VT_BOOL;
  out->boolVal = n.value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT toNumber(const VARIANT& v, VARTYPE vt, VARIANT* out) {
  Number n;
  HRESULT hr = numberOf(v, &n);
  if (FAILED(hr)) return hr;
  long double x = 0;
  switch (vt) {
    case VT_I1: hr = toInteger(n, INT8_MIN, INT8_MAX, &x); out->cVal = static_cast<char>(x); break;
    case VT_UI1: hr = toInteger(n, 0, UINT8_MAX, &x); out->bVal = static_cast<BYTE>(x); break;
    case VT_I2: hr = toInteger(n, INT16_MIN, INT16_MAX, &x); out->iVal = static_cast<SHORT>(x); break;
    case VT_UI2: hr = toInteger(n, 0, UINT16_MAX, &x); out->uiVal = static_cast<USHORT>(x); break;
    case VT_I4: case VT_INT: hr = toInteger(n, INT32_MIN, INT32_MAX, &x); out->lVal = static_cast<LONG>(x); break;
    case VT_UI4: case VT_UINT: hr = toInteger(n, 0, UINT32_MAX, &x); out->ulVal = static_cast<ULONG>(x); break;
    case VT_I8:
      hr = toInteger(n, static_cast<long double>(INT64_MIN), static_cast<long double>(INT64_MAX), &x);
      out->llVal = static_cast<LONGLONG>(x);
      break;
    case VT_UI8:
      hr = toInteger(n, 0, static_cast<long double>(UINT64_MAX), &x);
      out->ullVal = static_cast<ULONGLONG>(x);
      break;
    case VT_R4:
      if (std::fabs(n.value) > FLT_MAX) return DISP_E_OVERFLOW;
      out->fltVal = static_cast<float>(n.value);
      break;
    case VT_R8:
      if (std::fabs(n.value) > DBL_MAX) return DISP_E_OVERFLOW;
      out->dblVal = static_cast<double>(n.value);
      break;
    default:
      return DISP_E_BADVARTYPE;
  }
  if (SUCCEEDED(hr)) out->vt = vt;
  return hr;
}

HRESULT convert(const VARIANT& source, USHORT flags, VARTYPE vt, VARIANT* out, int depth);

// The default value (DISPID_VALUE) of an object, converted to vt.
HRESULT fromObject(const VARIANT& source, USHORT flags, VARTYPE vt, VARIANT* out, int depth) {
  if ((flags & VARIANT_NOVALUEPROP) || depth > 4 || source.punkVal == nullptr) return DISP_E_TYPEMISMATCH;
  IDispatch* dispatch = nullptr;
  if (FAILED(source.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
    return DISP_E_TYPEMISMATCH;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT value;
  VariantInit(&value);
  HRESULT hr = dispatch->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value,
                                nullptr, nullptr);
  dispatch->Release();
  if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
  hr = convert(value, flags, vt, out, depth + 1);
  VariantClear(&value);
  return hr;
}

HRESULT toInterface(const VARIANT& source, VARTYPE vt, VARIANT* out) {
  if (source.vt == VT_EMPTY) {
    out->vt = vt;
    out->punkVal = nullptr;
    return S_OK;
  }
  if (source.vt != VT_UNKNOWN && source.vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
  out->vt = vt;
  if (source.punkVal == nullptr) {
    out->punkVal = nullptr;
    return S_OK;
  }
  HRESULT hr = source.punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown,
                                              reinterpret_cast<void**>(&out->punkVal));
  if (FAILED(hr)) out->vt = VT_EMPTY;
  return hr;
}

HRESULT toArray(const VARIANT& source, VARTYPE vt, VARIANT* out) {
  if ((source.vt & VT_ARRAY) == 0) return DISP_E_TYPEMISMATCH;
  if (source.vt != vt || FAILED(com::checkVector(source.parray, vt & VT_TYPEMASK))) return E_INVALIDARG;
  return VariantCopy(out, &source);
}

HRESULT convert(const VARIANT& source, USHORT flags, VARTYPE vt, VARIANT* out, int depth) {
  if (vt & VT_ARRAY) return toArray(source, vt, out);
  if (source.vt & VT_ARRAY) return DISP_E_TYPEMISMATCH;
  if (vt == VT_DISPATCH || vt == VT_UNKNOWN) return toInterface(source, vt, out);
  if (source.vt == vt) return VariantCopy(out, &source);
  if (source.vt == VT_UNKNOWN || source.vt == VT_DISPATCH) return fromObject(source, flags, vt, out, depth);
  if (vt == VT_EMPTY) return S_OK;
  if (source.vt == VT_NULL || vt == VT_NULL) return DISP_E_TYPEMISMATCH;
  if (vt == VT_BSTR) return toText(source, flags, out);
  if (vt == VT_BOOL) return toBool(source, out);
  return toNumber(source, vt, out);
}

}  // namespace

HRESULT VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID, USHORT wFlags, VARTYPE vt) {
  if (pvargDest == nullptr || pvarSrc == nullptr) return E_INVALIDARG;
  if (vt & VT_BYREF) return DISP_E_BADVARTYPE;
  VARIANT source;
  VariantInit(&source);
  HRESULT hr = VariantCopyInd(&source, pvarSrc);
  if (FAILED(hr)) return hr;
  VARIANT result;
  VariantInit(&result);
  hr = convert(source, wFlags, vt, &result, 0);
  VariantClear(&source);
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;
  }
  hr = VariantClear(pvargDest);
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;
  }
  *pvargDest = result;
  return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt) {
  return VariantChangeTypeEx(pvargDest, pvarSrc, LOCALE_USER_DEFAULT, wFlags, vt);
}
