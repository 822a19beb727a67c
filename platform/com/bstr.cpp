// BSTR allocation: [4-byte byte length][UTF-16 text][NUL], the pointer
// handed out points at the text. Allocated with malloc, so the length word
// and the text are 4-byte aligned.
#include <cstdlib>
#include <cstring>

#include "platform/com/oleauto.h"

namespace {

constexpr size_t kPrefixBytes = sizeof(uint32_t);

uint32_t* header(BSTR text) { return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(text) - kPrefixBytes); }

// Allocates room for byteLen bytes of text plus a two-byte terminator.
BSTR allocateBytes(const void* data, UINT byteLen) {
  if (byteLen > UINT32_MAX - 16) return nullptr;  // the length must fit its 32-bit prefix
  auto* block = static_cast<char*>(std::malloc(kPrefixBytes + size_t{byteLen} + sizeof(OLECHAR)));
  if (block == nullptr) return nullptr;
  uint32_t length = byteLen;
  std::memcpy(block, &length, sizeof length);
  char* text = block + kPrefixBytes;
  if (data != nullptr) {
    std::memcpy(text, data, byteLen);
  } else {
    std::memset(text, 0, byteLen);
  }
  text[byteLen] = 0;
  text[byteLen + 1] = 0;
  return reinterpret_cast<BSTR>(text);
}

UINT lengthOf(const OLECHAR* text) {
  UINT n = 0;
  while (text[n] != 0) ++n;
  return n;
}

}  // namespace

BSTR SysAllocString(const OLECHAR* psz) {
  if (psz == nullptr) return nullptr;
  return SysAllocStringLen(psz, lengthOf(psz));
}

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  if (ui > (UINT32_MAX - 16) / sizeof(OLECHAR)) return nullptr;
  return allocateBytes(strIn, ui * static_cast<UINT>(sizeof(OLECHAR)));
}

BSTR SysAllocStringByteLen(const char* psz, UINT len) { return allocateBytes(psz, len); }

INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
  if (pbstr == nullptr) return FALSE;
  // A new block first: psz may point into the old string.
  BSTR fresh = SysAllocStringLen(psz, len);
  if (fresh == nullptr) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  if (pbstr == nullptr) return FALSE;
  if (psz == nullptr) {
    SysFreeString(*pbstr);
    *pbstr = nullptr;
    return TRUE;
  }
  return SysReAllocStringLen(pbstr, psz, lengthOf(psz));
}

void SysFreeString(BSTR bstrString) {
  if (bstrString != nullptr) std::free(header(bstrString));
}

UINT SysStringByteLen(BSTR bstr) { return bstr == nullptr ? 0 : *header(bstr); }

UINT SysStringLen(BSTR pbstr) { return SysStringByteLen(pbstr) / sizeof(OLECHAR); }
