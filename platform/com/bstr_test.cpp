#include <gtest/gtest.h>

#include "platform/com/com.h"

namespace {

TEST(Bstr, KeepsEmbeddedNulsAndLengthPrefix) {
  const OLECHAR text[] = {u'a', 0, u'b', 0, u'c'};
  BSTR s = SysAllocStringLen(text, 5);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringLen(s), 5u);
  EXPECT_EQ(SysStringByteLen(s), 10u);
  uint32_t prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<char*>(s) - 4, 4);
  EXPECT_EQ(prefix, 10u);
  EXPECT_EQ(s[5], 0);  // terminated after the last character
  EXPECT_EQ(std::u16string(s, 5), std::u16string(text, 5));

  // Reallocating from the string's own text must not read freed memory.
  ASSERT_TRUE(SysReAllocStringLen(&s, s + 2, 3));
  EXPECT_EQ(std::u16string(s, SysStringLen(s)), std::u16string(u"b\0c", 3));
  SysFreeString(s);
}

TEST(Bstr, NullIsTheEmptyString) {
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  SysFreeString(nullptr);
  BSTR s = SysAllocStringLen(nullptr, 3);  // room for three, zeroed
  EXPECT_EQ(SysStringLen(s), 3u);
  EXPECT_EQ(s[0], 0);
  SysFreeString(s);
  BSTR odd = SysAllocStringByteLen("abc", 3);
  EXPECT_EQ(SysStringByteLen(odd), 3u);
  EXPECT_EQ(SysStringLen(odd), 1u);
  SysFreeString(odd);
  EXPECT_EQ(SysAllocStringLen(u"x", 0x7FFFFFFF), nullptr);  // the byte length would not fit its prefix
}

TEST(GuidText, RoundTripsAndRefusesMalformedText) {
  constexpr GUID g = com::guid("5A1981F1-BA41-4EE3-8B4D-436A3D4CFB95");
  OLECHAR text[39];
  ASSERT_EQ(StringFromGUID2(g, text, 39), 39);
  EXPECT_EQ(std::u16string(text), u"{5A1981F1-BA41-4EE3-8B4D-436A3D4CFB95}");
  EXPECT_EQ(StringFromGUID2(g, text, 38), 0);
  EXPECT_EQ(com::guidToString(g), "{5A1981F1-BA41-4EE3-8B4D-436A3D4CFB95}");

  CLSID parsed{};
  EXPECT_EQ(CLSIDFromString(u"{5a1981f1-ba41-4ee3-8b4d-436a3d4cfb95}", &parsed), S_OK);
  EXPECT_EQ(parsed, g);
  EXPECT_EQ(CLSIDFromString(u"5A1981F1-BA41-4EE3-8B4D-436A3D4CFB95", &parsed), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromString(u"{5A1981F1-BA41-4EE3-8B4D-436A3D4CFB9G}", &parsed), CO_E_CLASSSTRING);
  EXPECT_EQ(IIDFromString(u"{5A1981F1+BA41-4EE3-8B4D-436A3D4CFB95}", &parsed), E_INVALIDARG);
  LPOLESTR allocated = nullptr;
  ASSERT_EQ(StringFromCLSID(g, &allocated), S_OK);
  EXPECT_EQ(std::u16string(allocated), u"{5A1981F1-BA41-4EE3-8B4D-436A3D4CFB95}");
  CoTaskMemFree(allocated);
}

}  // namespace
