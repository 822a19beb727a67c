// BSTR text of the component interfaces as the UTF-8 the cores work in.
#pragma once

#include <string>

#include "platform/com/com.h"
#include "platform/text/utf.h"

namespace wavesmith {

inline std::string fromBstr(BSTR text) {
  return platform::text::utf16ToUtf8(std::u16string_view(text == nullptr ? u"" : text, SysStringLen(text)));
}

// A new BSTR for an [out] parameter; E_POINTER / E_OUTOFMEMORY as COM asks.
inline HRESULT toBstr(const std::string& text, BSTR* out) {
  if (out == nullptr) return E_POINTER;
  const std::u16string wide = platform::text::utf8ToUtf16(text);
  *out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

}  // namespace wavesmith
