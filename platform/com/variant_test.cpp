#include <gtest/gtest.h>

#include "platform/com/com.h"
#include "platform/com/testing/test_widget.h"

namespace {

VARIANT fromText(const char16_t* text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(text);
  return v;
}

// Converts and returns the HRESULT; the result lands in *out.
HRESULT change(VARIANT source, VARTYPE vt, VARIANT* out, USHORT flags = 0) {
  VariantInit(out);
  HRESULT hr = VariantChangeType(out, &source, flags, vt);
  VariantClear(&source);
  return hr;
}

TEST(VariantChangeType, IntegersAndBooleans) {
  VARIANT out;
  EXPECT_EQ(change(com::variantI4(-1234), VT_I2, &out), S_OK);
  EXPECT_EQ(out.vt, VT_I2);
  EXPECT_EQ(out.iVal, -1234);
  EXPECT_EQ(change(com::variantI4(40000), VT_I2, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(change(com::variantI4(-32769), VT_I2, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(change(com::variantI2(-5), VT_I4, &out), S_OK);
  EXPECT_EQ(out.lVal, -5);
  EXPECT_EQ(change(com::variantI4(7), VT_BOOL, &out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_TRUE);
  EXPECT_EQ(change(com::variantI2(0), VT_BOOL, &out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_FALSE);
  EXPECT_EQ(change(com::variantBool(true), VT_I4, &out), S_OK);
  EXPECT_EQ(out.lVal, -1);
  VARIANT empty;
  VariantInit(&empty);
  EXPECT_EQ(change(empty, VT_I4, &out), S_OK);
  EXPECT_EQ(out.lVal, 0);
  VARIANT null;
  VariantInit(&null);
  null.vt = VT_NULL;
  EXPECT_EQ(change(null, VT_I4, &out), DISP_E_TYPEMISMATCH);
}

TEST(VariantChangeType, TextToNumbersAndBack) {
  VARIANT out;
  EXPECT_EQ(change(fromText(u"  42 "), VT_I4, &out), S_OK);
  EXPECT_EQ(out.lVal, 42);
  EXPECT_EQ(change(fromText(u"-32768"), VT_I2, &out), S_OK);
  EXPECT_EQ(out.iVal, -32768);
  EXPECT_EQ(change(fromText(u"2.5"), VT_I4, &out), S_OK);  // half to even
  EXPECT_EQ(out.lVal, 2);
  EXPECT_EQ(change(fromText(u"3.5"), VT_I4, &out), S_OK);
  EXPECT_EQ(out.lVal, 4);
  EXPECT_EQ(change(fromText(u"32768"), VT_I2, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(change(fromText(u"99999999999"), VT_I4, &out), DISP_E_OVERFLOW);
  for (const char16_t* bad : {u"", u"abc", u"12abc", u"1e", u"--1", u"\u0661", u"0x10", u"."}) {
    EXPECT_EQ(change(fromText(bad), VT_I4, &out), DISP_E_TYPEMISMATCH) << std::u16string(bad).size();
  }
  const OLECHAR nul[] = {u'1', 0, u'2'};
  VARIANT withNul;
  VariantInit(&withNul);
  withNul.vt = VT_BSTR;
  withNul.bstrVal = SysAllocStringLen(nul, 3);
  EXPECT_EQ(change(withNul, VT_I4, &out), DISP_E_TYPEMISMATCH);  // text after an embedded NUL is not ignored

  EXPECT_EQ(change(com::variantI4(-17), VT_BSTR, &out), S_OK);
  EXPECT_EQ(std::u16string(out.bstrVal), u"-17");
  VariantClear(&out);
  EXPECT_EQ(change(com::variantBool(true), VT_BSTR, &out), S_OK);
  EXPECT_EQ(std::u16string(out.bstrVal), u"-1");
  VariantClear(&out);
  EXPECT_EQ(change(com::variantBool(false), VT_BSTR, &out, VARIANT_ALPHABOOL), S_OK);
  EXPECT_EQ(std::u16string(out.bstrVal), u"False");
  VariantClear(&out);
  EXPECT_EQ(change(fromText(u"TRUE"), VT_BOOL, &out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_TRUE);
  EXPECT_EQ(change(fromText(u"0"), VT_BOOL, &out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_FALSE);
  EXPECT_EQ(change(fromText(u"maybe"), VT_BOOL, &out), DISP_E_TYPEMISMATCH);
}

TEST(VariantChangeType, InPlaceByReferenceAndFailureLeavesDestination) {
  VARIANT v = fromText(u"12");
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I2), S_OK);  // the text is freed, the number kept
  EXPECT_EQ(v.vt, VT_I2);
  EXPECT_EQ(v.iVal, 12);

  LONG target = 70000;
  VARIANT ref;
  VariantInit(&ref);
  ref.vt = VT_BYREF | VT_I4;
  ref.plVal = &target;
  EXPECT_EQ(VariantChangeType(&v, &ref, 0, VT_I2), DISP_E_OVERFLOW);
  EXPECT_EQ(v.vt, VT_I2);  // unchanged
  EXPECT_EQ(v.iVal, 12);
  target = 300;
  EXPECT_EQ(VariantChangeType(&v, &ref, 0, VT_BSTR), S_OK);
  EXPECT_EQ(std::u16string(v.bstrVal), u"300");
  VariantClear(&v);
}

TEST(VariantChangeType, InterfacesAndArrays) {
  com::ComPtr<ITestWidget> widget;
  ASSERT_EQ(createTestWidget(IID_ITestWidget, widget.putVoid()), S_OK);
  VARIANT unknown;
  VariantInit(&unknown);
  unknown.vt = VT_UNKNOWN;
  widget.copyTo(reinterpret_cast<ITestWidget**>(&unknown.punkVal));
  VARIANT out;
  VariantInit(&out);
  ASSERT_EQ(VariantChangeType(&out, &unknown, 0, VT_DISPATCH), S_OK);
  EXPECT_EQ(out.pdispVal, static_cast<IDispatch*>(widget.get()));
  // The widget has no default value.
  EXPECT_EQ(VariantChangeType(&out, &unknown, 0, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(out.vt, VT_DISPATCH);
  VariantClear(&out);
  VariantClear(&unknown);
  EXPECT_EQ(change(com::variantI4(1), VT_DISPATCH, &out), DISP_E_TYPEMISMATCH);

  VARIANT shorts;
  VariantInit(&shorts);
  shorts.vt = VT_ARRAY | VT_I2;
  shorts.parray = SafeArrayCreateVector(VT_I2, 0, 2);
  EXPECT_EQ(VariantChangeType(&out, &shorts, 0, VT_ARRAY | VT_I2), S_OK);
  EXPECT_NE(out.parray, shorts.parray);  // a copy
  VariantClear(&out);
  EXPECT_EQ(VariantChangeType(&out, &shorts, 0, VT_I4), DISP_E_TYPEMISMATCH);
  VARIANT longs;
  VariantInit(&longs);
  longs.vt = VT_ARRAY | VT_I4;
  longs.parray = SafeArrayCreateVector(VT_I4, 0, 2);
  EXPECT_EQ(VariantChangeType(&out, &longs, 0, VT_ARRAY | VT_I2), E_INVALIDARG);
  std::swap(longs.parray, shorts.parray);  // variants whose type tag lies about the array
  EXPECT_EQ(VariantChangeType(&out, &shorts, 0, VT_ARRAY | VT_I2), E_INVALIDARG);
  EXPECT_EQ(change(com::variantI2(1), VT_ARRAY | VT_I2, &out), DISP_E_TYPEMISMATCH);
  VariantClear(&shorts);
  VariantClear(&longs);
}

}  // namespace
