#include "platform/text/utf.h"

#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <climits>

namespace platform::text {
namespace {

constexpr UChar32 kReplacement = 0xFFFD;

// ICU counts in int32_t; larger texts than that never reach these helpers
// (tags, titles, paths), and are refused with an empty result.
bool fitsIcu(size_t units) { return units < static_cast<size_t>(INT32_MAX / 3); }

}  // namespace

std::u16string utf8ToUtf16(std::string_view utf8) {
  if (utf8.empty() || !fitsIcu(utf8.size())) return {};
  // Never more UTF-16 units than UTF-8 bytes.
  std::u16string out(utf8.size(), u'\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, utf8.data(),
                       static_cast<int32_t>(utf8.size()), kReplacement, nullptr, &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<size_t>(length));
  return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
  if (utf16.empty() || !fitsIcu(utf16.size())) return {};
  // At most three bytes per UTF-16 unit (a pair makes four bytes from two).
  std::string out(utf16.size() * 3, '\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, utf16.data(),
                     static_cast<int32_t>(utf16.size()), kReplacement, nullptr, &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<size_t>(length));
  return out;
}

std::string latin1ToUtf8(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size());
  for (const char c : latin1) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

bool isValidUtf8(std::string_view bytes) {
  int32_t i = 0;
  const auto length = static_cast<int32_t>(bytes.size());
  if (!fitsIcu(bytes.size())) return false;
  const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
  while (i < length) {
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

std::string cleanUtf8(std::string_view maybeUtf8) {
  if (isValidUtf8(maybeUtf8)) return std::string(maybeUtf8);
  return utf16ToUtf8(utf8ToUtf16(maybeUtf8));
}

}  // namespace platform::text
