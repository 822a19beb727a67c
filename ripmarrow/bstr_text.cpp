#include "ripmarrow/bstr_text.h"

#include <string_view>

#include "platform/text/utf.h"

namespace ripmarrow {

std::string takeText(BSTR value) {
  std::string result = value != nullptr ? platform::text::utf16ToUtf8(std::u16string_view(value, SysStringLen(value)))
                                        : std::string();
  SysFreeString(value);
  return result;
}

BSTR makeBstr(const std::string& utf8) {
  const std::u16string wide = platform::text::utf8ToUtf16(utf8);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

}  // namespace ripmarrow
