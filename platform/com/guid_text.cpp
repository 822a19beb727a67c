// GUID text conversions and task memory.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/com/objbase.h"

namespace {

// Formats "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" into 39 chars (NUL included).
void format(REFGUID g, char (&text)[39]) {
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2,
                g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                g.Data4[7]);
}

// GUID text is ASCII; anything wider than a byte makes it malformed.
bool narrow(LPCOLESTR text, std::string* out) {
  if (text == nullptr) return false;
  for (size_t i = 0; text[i] != 0; ++i) {
    if (text[i] > 0x7F || i > 64) return false;
    out->push_back(static_cast<char>(text[i]));
  }
  return true;
}

HRESULT allocText(REFGUID g, LPOLESTR* out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = static_cast<LPOLESTR>(CoTaskMemAlloc(39 * sizeof(OLECHAR)));
  if (*out == nullptr) return E_OUTOFMEMORY;
  StringFromGUID2(g, *out, 39);
  return S_OK;
}

}  // namespace

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
  if (lpsz == nullptr || cchMax < 39) return 0;
  char text[39];
  format(rguid, text);
  for (int i = 0; i < 39; ++i) lpsz[i] = static_cast<OLECHAR>(text[i]);
  return 39;
}

HRESULT StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) { return allocText(rclsid, lplpsz); }
HRESULT StringFromIID(REFIID rclsid, LPOLESTR* lplpsz) { return allocText(rclsid, lplpsz); }

HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
  if (pclsid == nullptr) return E_INVALIDARG;
  std::string text;
  // Windows insists on the braces for CLSIDFromString.
  if (!narrow(lpsz, &text) || text.size() != 38 || !com::parseGuid(text, pclsid)) return CO_E_CLASSSTRING;
  return S_OK;
}

HRESULT IIDFromString(LPCOLESTR lpsz, IID* lpiid) {
  if (lpiid == nullptr) return E_INVALIDARG;
  std::string text;
  if (!narrow(lpsz, &text) || text.size() != 38 || !com::parseGuid(text, lpiid)) return E_INVALIDARG;
  return S_OK;
}

void* CoTaskMemAlloc(size_t cb) { return std::malloc(cb == 0 ? 1 : cb); }
void* CoTaskMemRealloc(void* pv, size_t cb) { return std::realloc(pv, cb == 0 ? 1 : cb); }
void CoTaskMemFree(void* pv) { std::free(pv); }

namespace com {
COMRT_API std::string guidToString(REFGUID g) {
  char text[39];
  format(g, text);
  return text;
}
}  // namespace com
