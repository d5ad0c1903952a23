// Variants, calls by DISPID through a type table, and the caller helper.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/com/caller.h"
#include "tests/platform_com/test_object.h"
#include "tests/support/test_support.h"

namespace ORV::Com {
namespace {

using Test::TestObject;

TEST(VariantTest, TypeCodesFollowTheCppTypes) {
  std::int32_t i = 0;
  double d = 0;
  std::string s;
  std::uint8_t b[2] = {};
  const std::pair<Variant, VARTYPE> cases[] = {
      {Variant(std::int16_t{1}), VT_I2},
      {Variant(1), VT_I4},
      {Variant(std::int64_t{1}), VT_I8},
      {Variant(std::uint8_t{1}), VT_UI1},
      {Variant(std::uint16_t{1}), VT_UI2},
      {Variant(1u), VT_UI4},
      {Variant(1.0f), VT_R4},
      {Variant(1.0), VT_R8},
      {Variant(true), VT_BOOL},
      {Variant("x"), VT_BSTR},
      {Variant(&i), VT_BYREF | VT_I4},
      {Variant(&d), VT_BYREF | VT_R8},
      {Variant(&s), VT_BYREF | VT_BSTR},
      {Variant(b), VT_BYREF | VT_UI1},
      {Variant(static_cast<Variant::Clock*>(nullptr)), VT_CLOCK},
      {Variant(), VT_EMPTY},
  };
  for (const auto& [v, vt] : cases) EXPECT_EQ(v.vt(), vt) << v.Describe();
}

TEST(VariantTest, ChangeTypeConvertsNumbersAndRefusesTheRest) {
  struct Case {
    Variant from;
    VARTYPE to;
    HRESULT hr;
    Variant expect;
  };
  double d = 0;
  const Case cases[] = {
      {Variant(1), VT_BOOL, S_OK, Variant(true)},  // a host passes I4 for BOOL
      {Variant(0), VT_BOOL, S_OK, Variant(false)},
      {Variant(true), VT_I2, S_OK, Variant(std::int16_t{1})},  // TRUE is 1, so "value > 0" tests hold
      {Variant(std::int16_t{1}), VT_BOOL, S_OK, Variant(true)},
      {Variant(7), VT_R8, S_OK, Variant(7.0)},
      {Variant(2.5), VT_I4, S_OK, Variant(2)},  // half to even
      {Variant(3.5), VT_I4, S_OK, Variant(4)},
      {Variant(-2.5), VT_I2, S_OK, Variant(std::int16_t{-2})},
      {Variant(70000), VT_I2, DISP_E_OVERFLOW, {}},
      {Variant(-1), VT_UI4, DISP_E_OVERFLOW, {}},
      {Variant(std::numeric_limits<std::uint32_t>::max()), VT_I4, DISP_E_OVERFLOW, {}},
      {Variant(std::numeric_limits<std::uint32_t>::max()), VT_I8, S_OK, Variant(std::int64_t{4294967295})},
      {Variant(std::nan("")), VT_I4, DISP_E_OVERFLOW, {}},
      {Variant(1e300), VT_R4, DISP_E_OVERFLOW, {}},
      {Variant(2147483648.0), VT_I4, DISP_E_OVERFLOW, {}},
      {Variant(-2147483648.0), VT_I4, S_OK, Variant(std::numeric_limits<std::int32_t>::min())},
      {Variant("12"), VT_I4, DISP_E_TYPEMISMATCH, {}},  // text is never parsed
      {Variant(12), VT_BSTR, DISP_E_TYPEMISMATCH, {}},
      {Variant(), VT_I4, DISP_E_TYPEMISMATCH, {}},
      {Variant(&d), VT_BYREF | VT_R8, S_OK, Variant(&d)},
      {Variant(&d), VT_R8, DISP_E_TYPEMISMATCH, {}},
      {Variant(static_cast<double*>(nullptr)), VT_BYREF | VT_R8, E_POINTER, {}},
      {Variant(static_cast<std::int32_t*>(nullptr)), VT_BYREF | VT_R8, DISP_E_TYPEMISMATCH, {}},
      {Variant(static_cast<Variant::Clock*>(nullptr)), VT_CLOCK, S_OK, Variant(static_cast<Variant::Clock*>(nullptr))},
      {Variant(0), VT_CLOCK, DISP_E_TYPEMISMATCH, {}},
  };
  for (const auto& c : cases) {
    Variant out(99);
    EXPECT_EQ(c.from.ChangeType(c.to, out), c.hr) << c.from.Describe() << " -> " << VarTypeName(c.to);
    EXPECT_EQ(out, Succeeded(c.hr) ? c.expect : Variant(99)) << c.from.Describe() << " -> " << VarTypeName(c.to);
  }
}

class DispatchTest : public ::testing::Test {
 protected:
  TestObject obj;
  DispatchObject<TestObject> target{obj, TestObject::Table()};
  Dispatcher d{&target};
};

TEST_F(DispatchTest, FailedCallsReturnTheirCodeAndChangeNothing) {
  struct Case {
    const char* what;
    DISPID id;
    unsigned kind;
    std::vector<Variant> args;
    HRESULT hr;
  };
  double out = 0;
  const Case cases[] = {
      {"unknown DISPID", 99, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND},
      {"property called as a method", TestObject::kCount, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND},
      {"put of a method", TestObject::kEcho, DISPATCH_PROPERTYPUT, {Variant(1)}, DISP_E_MEMBERNOTFOUND},
      {"too few arguments", TestObject::kSetRange, DISPATCH_METHOD, {Variant(1.0), Variant(2.0)}, DISP_E_BADPARAMCOUNT},
      {"too many arguments", TestObject::kCount, DISPATCH_PROPERTYPUT, {Variant(1), Variant(2)}, DISP_E_BADPARAMCOUNT},
      {"put without a value", TestObject::kCount, DISPATCH_PROPERTYPUT, {}, DISP_E_BADPARAMCOUNT},
      {"string for an integer", TestObject::kCount, DISPATCH_PROPERTYPUT, {Variant("3")}, DISP_E_TYPEMISMATCH},
      {"string in the middle",
       TestObject::kValue,
       DISPATCH_PROPERTYPUT,
       {Variant(0), Variant("x"), Variant(9.0)},
       DISP_E_TYPEMISMATCH},
      {"value too large", TestObject::kCount, DISPATCH_PROPERTYPUT, {Variant(std::int64_t{1} << 40)}, DISP_E_OVERFLOW},
      {"put on read-only",
       TestObject::kItemCount,
       DISPATCH_PROPERTYPUT,
       {Variant(std::int16_t{9})},
       CTL_E_SETNOTSUPPORTED},
      {"null by-reference",
       TestObject::kGetPair,
       DISPATCH_METHOD,
       {Variant(&out), Variant(static_cast<double*>(nullptr))},
       E_POINTER},
      {"refused by the setter", TestObject::kLimited, DISPATCH_PROPERTYPUT, {Variant(11)}, E_INVALIDARG},
  };
  for (const auto& c : cases) {
    Variant result(123);
    EXPECT_EQ(target.Invoke(c.id, c.kind, c.args, &result), c.hr) << c.what;
    EXPECT_EQ(result, Variant(123)) << c.what;
    EXPECT_EQ(obj.count, 7) << c.what;
    EXPECT_EQ(obj.countChanges, 0) << c.what;
    EXPECT_EQ(obj.values, (std::vector<double>{1.0, 2.0, 3.0})) << c.what;
    EXPECT_EQ(obj.limited, 5) << c.what;
    EXPECT_EQ(out, 0.0) << c.what;
  }
}

TEST_F(DispatchTest, PropertiesGetAndPutWithConversion) {
  EXPECT_EQ(d.Get<std::int32_t>(TestObject::kCount), 7);
  d.Put(TestObject::kCount, std::int16_t{12});  // I2 widened to the declared I4
  EXPECT_EQ(obj.count, 12);
  EXPECT_EQ(obj.countChanges, 1);

  d.Put(TestObject::kFlag, 1);  // I4 1 for a BOOL
  EXPECT_TRUE(obj.flag);
  EXPECT_TRUE(d.Invoke<bool>(TestObject::kIsOn));  // I2 1 read as bool
  d.Put(TestObject::kName, "second");
  EXPECT_EQ(d.Get<std::string>(TestObject::kName), "second");
  EXPECT_EQ(d.Get<std::int16_t>(TestObject::kItemCount), 3);

  // Indexed: get(index, element), put(index, element, value).
  d.Put(TestObject::kValue, 1, std::int16_t{0}, 8.5);
  EXPECT_EQ(d.Get<double>(TestObject::kValue, 1, std::int16_t{0}), 8.5);
  EXPECT_EQ(d.Get<double>(TestObject::kValue, 7, std::int16_t{0}), 0.0);

  // A get answers to METHOD | PROPERTYGET, as some callers ask.
  Variant r;
  EXPECT_EQ(d.Try(TestObject::kCount, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &r), S_OK);
  EXPECT_EQ(r, Variant(12));
}

TEST_F(DispatchTest, FiveArgumentsArriveInDeclaredOrder) {
  EXPECT_EQ(d.Invoke<std::string>(TestObject::kEcho, std::int16_t{-3}, 40000, 2.5, "five", true),
            "-3|40000|2.500000|five|T");
  EXPECT_TRUE(d.Invoke<bool>(TestObject::kSetRange, 0.0, 10.0, -1.0, 5.0, 1));
  EXPECT_EQ(obj.lastRange[0], 0.0);
  EXPECT_EQ(obj.lastRange[1], 10.0);
  EXPECT_EQ(obj.lastRange[2], -1.0);
  EXPECT_EQ(obj.lastRange[3], 5.0);
  EXPECT_TRUE(obj.lastAutoFit);
}

TEST_F(DispatchTest, ByReferenceArgumentsRoundTrip) {
  double lo = 0, hi = 0;
  d.Invoke(TestObject::kGetPair, &lo, &hi);
  EXPECT_EQ(lo, -2.5);
  EXPECT_EQ(hi, 4.25);

  std::string text = "old";
  d.Invoke(TestObject::kGetText, 4, &text);
  EXPECT_EQ(text, "item 4");

  std::vector<std::uint8_t> buffer(5, 0xEE);
  EXPECT_EQ(d.Invoke<std::int32_t>(TestObject::kGrab, buffer.data(), 4), -1);  // too small: nothing written
  EXPECT_EQ(buffer, std::vector<std::uint8_t>(5, 0xEE));
  EXPECT_EQ(d.Invoke<std::int32_t>(TestObject::kGrab, buffer.data(), 5), 5);
  EXPECT_EQ(buffer, (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));

  // The clock travels as its own typed pointer, unchanged.
  auto* clock = reinterpret_cast<Variant::Clock*>(&buffer);
  d.Invoke(TestObject::kSetClock, clock);
  EXPECT_EQ(obj.clock, clock);
}

TEST_F(DispatchTest, FailedCallsThrowWhenStrictAndLogOtherwise) {
  ASSERT_TRUE(DispatchStrict()) << "the test runner sets ORV_DISPATCH_STRICT=1";
  try {
    d.Invoke(99);
    FAIL() << "no DispatchError";
  } catch (const DispatchError& e) {
    EXPECT_EQ(e.hr(), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(e.dispid(), 99);
  }
  // A result that does not convert to the wanted type fails as well.
  EXPECT_THROW(d.Get<double>(TestObject::kName), DispatchError);

  ORV::Test::MemoryEventLog log;
  SetDispatchStrict(false);
  EXPECT_EQ(d.Get<std::int32_t>(TestObject::kName), 0);  // the default of the wanted type
  EXPECT_EQ(d.Invoke<std::string>(TestObject::kSetRange), "");
  Dispatcher none;
  EXPECT_FALSE(none.Invoke<bool>(TestObject::kIsOn));
  SetDispatchStrict(true);
  const std::string dump = log.Dump();
  EXPECT_NE(dump.find("DISPID 2 failed with 0x80020005"), std::string::npos) << dump;
  EXPECT_NE(dump.find("DISPID 11 failed with 0x8002000E"), std::string::npos) << dump;
  EXPECT_NE(dump.find("DISPID 12 failed with 0x80004003"), std::string::npos) << dump;
}

}  // namespace
}  // namespace ORV::Com
