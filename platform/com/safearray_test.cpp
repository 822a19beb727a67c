#include <gtest/gtest.h>

#include "platform/com/com.h"

namespace {

TEST(SafeArray, BoundsOfVectorsIncludingEmptyOnes) {
  SAFEARRAY* a = SafeArrayCreateVector(VT_I2, 0, 4);
  ASSERT_NE(a, nullptr);
  LONG lower = 7, upper = 7;
  EXPECT_EQ(SafeArrayGetDim(a), 1u);
  EXPECT_EQ(SafeArrayGetLBound(a, 1, &lower), S_OK);
  EXPECT_EQ(SafeArrayGetUBound(a, 1, &upper), S_OK);
  EXPECT_EQ(lower, 0);
  EXPECT_EQ(upper, 3);
  EXPECT_EQ(SafeArrayGetUBound(a, 2, &upper), DISP_E_BADINDEX);
  VARTYPE vt = VT_EMPTY;
  EXPECT_EQ(SafeArrayGetVartype(a, &vt), S_OK);
  EXPECT_EQ(vt, VT_I2);
  EXPECT_EQ(SafeArrayDestroy(a), S_OK);

  SAFEARRAY* empty = SafeArrayCreateVector(VT_I2, 0, 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SafeArrayGetUBound(empty, 1, &upper), S_OK);
  EXPECT_EQ(upper, -1);
  void* data = nullptr;
  EXPECT_EQ(SafeArrayAccessData(empty, &data), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(empty), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(empty), E_UNEXPECTED);  // unbalanced
  EXPECT_EQ(SafeArrayDestroy(empty), S_OK);

  SAFEARRAYBOUND two[2] = {{2, 0}, {2, 0}};
  EXPECT_EQ(SafeArrayCreate(VT_I2, 2, two), nullptr);  // one dimension only
  EXPECT_EQ(SafeArrayCreateVector(VT_RECORD, 0, 1), nullptr);
}

TEST(SafeArray, ElementsAreCheckedAndOwnedValuesCopied) {
  SAFEARRAY* a = SafeArrayCreateVector(VT_I2, 10, 2);
  SHORT v = 42;
  LONG index = 11;
  EXPECT_EQ(SafeArrayPutElement(a, &index, &v), S_OK);
  SHORT out = 0;
  EXPECT_EQ(SafeArrayGetElement(a, &index, &out), S_OK);
  EXPECT_EQ(out, 42);
  index = 12;
  EXPECT_EQ(SafeArrayGetElement(a, &index, &out), DISP_E_BADINDEX);
  index = 9;
  EXPECT_EQ(SafeArrayPutElement(a, &index, &v), DISP_E_BADINDEX);
  void* data = nullptr;
  SafeArrayAccessData(a, &data);
  EXPECT_EQ(SafeArrayDestroy(a), DISP_E_ARRAYISLOCKED);  // still in use
  SafeArrayUnaccessData(a);
  EXPECT_EQ(SafeArrayDestroy(a), S_OK);

  // String elements are copied in and out and freed with the array.
  SAFEARRAY* s = SafeArrayCreateVector(VT_BSTR, 0, 1);
  BSTR text = SysAllocString(u"hello");
  index = 0;
  EXPECT_EQ(SafeArrayPutElement(s, &index, text), S_OK);
  SysFreeString(text);
  BSTR copy = nullptr;
  EXPECT_EQ(SafeArrayGetElement(s, &index, &copy), S_OK);
  EXPECT_EQ(std::u16string(copy), u"hello");
  SysFreeString(copy);
  SAFEARRAY* duplicate = nullptr;
  EXPECT_EQ(SafeArrayCopy(s, &duplicate), S_OK);
  EXPECT_EQ(SafeArrayDestroy(s), S_OK);
  SafeArrayGetElement(duplicate, &index, &copy);
  EXPECT_EQ(std::u16string(copy), u"hello");
  SysFreeString(copy);
  SAFEARRAYBOUND bigger{3, 0};
  EXPECT_EQ(SafeArrayRedim(duplicate, &bigger), S_OK);
  index = 2;
  EXPECT_EQ(SafeArrayGetElement(duplicate, &index, &copy), S_OK);
  EXPECT_EQ(copy, nullptr);
  EXPECT_EQ(SafeArrayDestroy(duplicate), S_OK);
}

TEST(SafeArray, VectorCheckRefusesOtherTypesWithInvalidArg) {
  SAFEARRAY* shorts = SafeArrayCreateVector(VT_I2, 0, 3);
  SAFEARRAY* longs = SafeArrayCreateVector(VT_I4, 0, 3);
  EXPECT_EQ(com::checkVector(shorts, VT_I2), S_OK);
  EXPECT_EQ(com::checkVector(longs, VT_I2), E_INVALIDARG);
  EXPECT_EQ(com::checkVector(nullptr, VT_I2), E_INVALIDARG);
  shorts->cDims = 2;  // as a two-dimensional array would say
  EXPECT_EQ(com::checkVector(shorts, VT_I2), E_INVALIDARG);
  shorts->cDims = 1;
  SafeArrayDestroy(shorts);
  SafeArrayDestroy(longs);
}

}  // namespace
