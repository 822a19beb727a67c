#include <gtest/gtest.h>

#include <vector>

#include "platform/com/com.h"
#include "platform/com/testing/test_widget.h"

namespace {

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(createTestWidget(IID_IDispatch, widget.putVoid()), S_OK); }

  DISPID idOf(const char16_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 12345;
    last = widget->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
  }
  // args in natural order (copied shallowly; the caller keeps ownership).
  HRESULT call(DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result = nullptr, bool put = false) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), put ? &named : nullptr, static_cast<UINT>(reversed.size()), put ? 1u : 0u};
    argErr = 999;
    return widget->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &excepInfo, &argErr);
  }

  com::ComPtr<IDispatch> widget;
  HRESULT last = S_OK;
  UINT argErr = 0;
  EXCEPINFO excepInfo{};
};

TEST_F(Dispatch, NamesMatchWithoutRegardToCase) {
  EXPECT_EQ(idOf(u"Add"), 0x1);
  EXPECT_EQ(idOf(u"aDD"), 0x1);
  EXPECT_EQ(idOf(u"_onevent"), 0x6e);
  EXPECT_EQ(idOf(u"Ad"), DISPID_UNKNOWN);
  EXPECT_EQ(last, DISP_E_UNKNOWNNAME);
  EXPECT_EQ(idOf(u"Add\u00e9"), DISPID_UNKNOWN);
  UINT count = 7;
  EXPECT_EQ(widget->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
}

TEST_F(Dispatch, ArgumentsConvertAndResultsReturn) {
  VARIANT text;
  VariantInit(&text);
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocString(u" 40 ");
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(call(0x1, DISPATCH_METHOD, {text, com::variantI2(2)}, &result), S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 42);
  VariantClear(&text);

  EXPECT_EQ(call(0x1, DISPATCH_METHOD, {com::variantI4(1)}, &result), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(call(0x1, DISPATCH_METHOD, {com::variantI4(1), com::variantI4(2), com::variantI4(3)}, &result),
            DISP_E_BADPARAMCOUNT);
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocString(u"forty");
  EXPECT_EQ(call(0x1, DISPATCH_METHOD, {com::variantI4(1), text}, &result), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 0u);  // rgvarg index of the second argument
  VariantClear(&text);
  EXPECT_EQ(call(0x77, DISPATCH_METHOD, {}, &result), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(call(0x1, DISPATCH_PROPERTYPUT, {com::variantI4(1)}, nullptr, true), DISP_E_MEMBERNOTFOUND);

  DISPID other = 5;
  VARIANT one = com::variantI4(1);
  DISPPARAMS named{&one, &other, 1, 1};
  EXPECT_EQ(widget->Invoke(0x7, IID_NULL, 0, DISPATCH_METHOD, &named, nullptr, nullptr, nullptr), DISP_E_NONAMEDARGS);

  EXPECT_EQ(call(0x9, DISPATCH_METHOD, {}), DISP_E_EXCEPTION);
  EXPECT_EQ(excepInfo.scode, E_FAIL);
}

TEST_F(Dispatch, PropertiesGetAndPut) {
  VARIANT name;
  VariantInit(&name);
  name.vt = VT_BSTR;
  const OLECHAR raw[] = {u'a', 0, u'b'};
  name.bstrVal = SysAllocStringLen(raw, 3);
  ASSERT_EQ(call(0x2, DISPATCH_PROPERTYPUT, {name}, nullptr, true), S_OK);
  VariantClear(&name);
  VARIANT result;
  VariantInit(&result);
  // Scripting callers ask for a property with both flags.
  ASSERT_EQ(call(0x2, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result), S_OK);
  ASSERT_EQ(result.vt, VT_BSTR);
  EXPECT_EQ(std::u16string(result.bstrVal, SysStringLen(result.bstrVal)), std::u16string(raw, 3));
  VariantClear(&result);

  ASSERT_EQ(call(0x3, DISPATCH_PROPERTYPUT, {com::variantI4(5)}, nullptr, true), S_OK);
  ASSERT_EQ(call(0x3, DISPATCH_PROPERTYGET, {}, &result), S_OK);
  EXPECT_EQ(result.vt, VT_BOOL);  // declared VT_BOOL, though VARIANT_BOOL is a SHORT
  EXPECT_EQ(result.boolVal, VARIANT_TRUE);
}

TEST_F(Dispatch, OutParametersByReference) {
  SHORT high = 0, low = 0;
  VARIANT h, l;
  VariantInit(&h);
  VariantInit(&l);
  h.vt = l.vt = VT_BYREF | VT_I2;
  h.piVal = &high;
  l.piVal = &low;
  ASSERT_EQ(call(0x4, DISPATCH_METHOD, {com::variantI4(0x00030004), h, l}), S_OK);
  EXPECT_EQ(high, 3);
  EXPECT_EQ(low, 4);

  VARIANT holder;
  VariantInit(&holder);
  holder.vt = VT_BSTR;
  holder.bstrVal = SysAllocString(u"replaced");
  VARIANT byVariant;
  VariantInit(&byVariant);
  byVariant.vt = VT_BYREF | VT_VARIANT;
  byVariant.pvarVal = &holder;
  ASSERT_EQ(call(0x4, DISPATCH_METHOD, {com::variantI4(0x00050006), h, byVariant}), S_OK);
  EXPECT_EQ(holder.vt, VT_I2);
  EXPECT_EQ(holder.iVal, 6);

  LONG wrong = 0;
  l.vt = VT_BYREF | VT_I4;
  l.plVal = &wrong;
  EXPECT_EQ(call(0x4, DISPATCH_METHOD, {com::variantI4(1), h, l}), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 0u);
  EXPECT_EQ(call(0x4, DISPATCH_METHOD, {com::variantI4(1), h, com::variantI2(0)}), DISP_E_TYPEMISMATCH);
}

TEST_F(Dispatch, SampleArraysAreCheckedByType) {
  VARIANT samples;
  VariantInit(&samples);
  samples.vt = VT_ARRAY | VT_I2;
  samples.parray = SafeArrayCreateVector(VT_I2, 0, 3);
  SHORT* data = nullptr;
  SafeArrayAccessData(samples.parray, reinterpret_cast<void**>(&data));
  data[0] = 1000;
  data[1] = -1;
  data[2] = 32767;
  SafeArrayUnaccessData(samples.parray);
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(call(0x5, DISPATCH_METHOD, {samples}, &result), S_OK);
  EXPECT_EQ(result.lVal, 33766);
  VariantClear(&samples);

  samples.vt = VT_ARRAY | VT_I4;
  samples.parray = SafeArrayCreateVector(VT_I4, 0, 3);
  EXPECT_EQ(call(0x5, DISPATCH_METHOD, {samples}, &result), E_INVALIDARG);
  VariantClear(&samples);
}

TEST_F(Dispatch, VariantsPassThrough) {
  VARIANT result;
  VariantInit(&result);
  VARIANT text;
  VariantInit(&text);
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocString(u"echo");
  ASSERT_EQ(call(0x6, DISPATCH_METHOD, {text}, &result), S_OK);
  EXPECT_EQ(result.vt, VT_BSTR);
  EXPECT_NE(result.bstrVal, text.bstrVal);
  EXPECT_EQ(std::u16string(result.bstrVal), u"echo");
  VariantClear(&result);
  VariantClear(&text);
}

}  // namespace
