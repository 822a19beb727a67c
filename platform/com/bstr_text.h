// Text across the COM boundary: BSTRs (UTF-16) as the UTF-8 the rest of the
// code works in, and back. One set of helpers for every client and server
// of the runtime.
//
//   std::string name = com::Utf8Of(bstr);      reads; the BSTR stays the caller's
//   std::string name = com::TakeUtf8(bstr);    reads and frees a BSTR received
//   BSTR arg = com::NewBstr("text");           a new BSTR the receiver owns
//   com::PutBstr("text", pVal);                an [out] parameter, as COM asks
//   com::Bstr owned("text"); f(owned.get());   freed at the end of its scope
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "platform/com/oleauto.h"
#include "platform/text/utf.h"

namespace com {

inline std::string Utf8Of(BSTR text) {
  if (text == nullptr) return {};
  return platform::text::utf16ToUtf8(std::u16string_view(text, SysStringLen(text)));
}

inline std::string TakeUtf8(BSTR text) {
  std::string utf8 = Utf8Of(text);
  SysFreeString(text);
  return utf8;
}

// Null only when out of memory.
inline BSTR NewBstr(std::string_view utf8) {
  const std::u16string wide = platform::text::utf8ToUtf16(utf8);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

inline HRESULT PutBstr(std::string_view utf8, BSTR* out) {
  if (out == nullptr) return E_POINTER;
  *out = NewBstr(utf8);
  return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::string_view utf8) : text_(NewBstr(utf8)) {}
  ~Bstr() { SysFreeString(text_); }
  Bstr(Bstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) {
      SysFreeString(text_);
      text_ = std::exchange(other.text_, nullptr);
    }
    return *this;
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;

  BSTR get() const { return text_; }
  // For an [out] parameter: the old text is freed first.
  BSTR* put() {
    SysFreeString(std::exchange(text_, nullptr));
    return &text_;
  }
  std::string utf8() const { return Utf8Of(text_); }

 private:
  BSTR text_ = nullptr;
};

}  // namespace com
