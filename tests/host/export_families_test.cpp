// The value families of the numbered exports, mostly from tables: each row
// names the export, its operands and the readable text of the expected result.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "mervanik/mervanik.h"

namespace {

using NUV::iNUVDispatch2;
using NUV::tNUVString;
using NUV::tNUVVariant;
using NUV::tNUVVariant_S;
using NUV::tNUVVariantOctet;
using NUV::tNUVVariantString;
using V = tNUVVariant;

// References an object holds: AddRef answers the new count, Release the rest.
int32_t RefsOf(iNUVDispatch2* object) {
  int32_t count = object->AddRef() - 1;
  EXPECT_EQ(object->Release(), count);
  return count;
}
std::u16string Text(const tNUVVariant_S& value) { return V::From(value).ReadableText().AsU16String(); }
std::u16string Adopted(tNUVVariantString* body) { return tNUVString::Adopt(body).AsU16String(); }
uint64_t BitsOf(double real) {
  uint64_t bits;
  std::memcpy(&bits, &real, sizeof bits);
  return bits;
}
// Calls a query export on a value built for the call.
template <typename tQuery>
auto On(tQuery query, V value) { return query(&value); }

const uint8_t kBytes[] = {0x01, 0xFF, 0x10};
const double kNaN = std::numeric_limits<double>::quiet_NaN();
V I(int64_t value) { return V(value); }
V O(int32_t from, int32_t length) { return V(kBytes + from, length); }

TEST(ExportFamilies, VariantConstructionAndObjects) {
  const std::pair<void (*)(tNUVVariant_S*), std::u16string> constructors[] = {
      {[](tNUVVariant_S* v) { Mrvk_0001_Export_Func(v); }, u"(void)"},
      {[](tNUVVariant_S* v) { Mrvk_0005_Export_Func(v, nullptr); }, u"(string)\"\""},
      {[](tNUVVariant_S* v) { Mrvk_0007_Export_Func(v, "\xC3\xA4!"); }, u"(string)\"ä!\""},
      {[](tNUVVariant_S* v) { Mrvk_0008_Export_Func(v, nullptr, 4); }, u"(octet)<%  %>"},
      {[](tNUVVariant_S* v) { Mrvk_0008_Export_Func(v, kBytes, 2); }, u"(octet)<% 01 FF %>"},
      {[](tNUVVariant_S* v) { Mrvk_0009_Export_Func(v, 1); }, u"(int)1"},
      {[](tNUVVariant_S* v) { Mrvk_000A_Export_Func(v, -5); }, u"(int)-5"},
      {[](tNUVVariant_S* v) { Mrvk_000B_Export_Func(v, 0xFFFFFFFFu, 0x7FFFFFFFu); }, u"(int)9223372036854775807"},
      {[](tNUVVariant_S* v) { Mrvk_000B_Export_Func(v, 0, 0x80000000u); }, u"(int)-9223372036854775808"},
      {[](tNUVVariant_S* v) { Mrvk_000C_Export_Func(v, -0.5); }, u"(real)-0.5"},
  };
  for (const auto& [construct, expected] : constructors) {
    construct(nullptr);  // no storage: nothing happens
    tNUVVariant_S raw;
    construct(&raw);
    EXPECT_EQ(Text(raw), expected);
    EXPECT_EQ(Mrvk_000F_Export_Func(&raw), Mrvk_0077_Export_Func(&raw));
    Mrvk_0010_Export_Func(&raw);
    EXPECT_EQ(Mrvk_000F_Export_Func(&raw), NUV::tvtVoid);
    EXPECT_ANY_THROW(Mrvk_0049_Export_Func(&raw));
  }

  // Strings: copies share the body and count it.
  tNUVString shared(u"a string body shared by several variants");
  tNUVVariant_S text, copy;
  Mrvk_0006_Export_Func(&text, &shared);
  tNUVVariantString* body = Mrvk_0048_Export_Func(&text);
  EXPECT_EQ(body, shared.GetBody());
  EXPECT_EQ(Mrvk_0049_Export_Func(&text), shared.c_str());
  const int32_t refs = Mrvk_00C4_Export_Func(body);
  Mrvk_0002_Export_Func(&copy, &text);
  EXPECT_EQ(Mrvk_00C4_Export_Func(body), refs + 1);
  EXPECT_EQ(Mrvk_0015_Export_Func(&copy), Mrvk_00BE_Export_Func(body));
  tNUVString viaAsString = tNUVString::Adopt(Mrvk_0047_Export_Func(&copy));
  EXPECT_EQ(Mrvk_00C4_Export_Func(body), refs + 2);
  Mrvk_000E_Export_Func(&copy, 0);
  Mrvk_000E_Export_Func(&text, 0);
  EXPECT_EQ(Mrvk_00C4_Export_Func(body), refs);
  // A record on the library's heap, freed by 000E.
  auto* record = static_cast<tNUVVariant_S*>(Mrvk_006B_Export_Func(sizeof(tNUVVariant_S)));
  Mrvk_0006_Export_Func(record, &shared);
  Mrvk_000E_Export_Func(record, 1);
  EXPECT_EQ(Mrvk_00C4_Export_Func(body), refs);

  // Objects with a bound this: each holder owns one reference of both.
  iNUVDispatch2* object = Mrvk_0100_Export_Func();
  iNUVDispatch2* self = Mrvk_0100_Export_Func();
  iNUVDispatch2* other = Mrvk_0100_Export_Func();
  const int32_t objectRefs = RefsOf(object), selfRefs = RefsOf(self), otherRefs = RefsOf(other);
  tNUVVariant_S bound, plain;
  Mrvk_0004_Export_Func(&bound, object, self);
  Mrvk_0003_Export_Func(&plain, object);
  EXPECT_EQ(RefsOf(object), objectRefs + 2);
  EXPECT_EQ(RefsOf(self), selfRefs + 1);
  EXPECT_EQ(Mrvk_0045_Export_Func(&plain), nullptr);
  EXPECT_EQ(Mrvk_0043_Export_Func(&bound), object);
  EXPECT_EQ(Mrvk_0045_Export_Func(&bound), self);
  EXPECT_EQ(Mrvk_0046_Export_Func(&bound)->ObjThis, self);
  Mrvk_0012_Export_Func(&bound);
  NUV::tNUVVariantClosure_S closure = Mrvk_0011_Export_Func(&bound);
  EXPECT_EQ(closure.Object, object);
  EXPECT_EQ(closure.ObjThis, self);
  iNUVDispatch2* added[] = {closure.Object, closure.ObjThis, Mrvk_0013_Export_Func(&bound),
                            Mrvk_0042_Export_Func(&bound), Mrvk_0044_Export_Func(&bound)};
  EXPECT_EQ(RefsOf(object), objectRefs + 5);
  EXPECT_EQ(RefsOf(self), selfRefs + 3);
  for (iNUVDispatch2* held : added) held->Release();

  Mrvk_0000_Export_Func(&bound, other);  // rebinding moves the reference
  EXPECT_EQ(RefsOf(self), selfRefs);
  EXPECT_EQ(RefsOf(other), otherRefs + 1);
  // Rebinding to the this already held, when the variant holds its last reference.
  other->Release();
  Mrvk_0000_Export_Func(&bound, other);
  EXPECT_EQ(Mrvk_0045_Export_Func(&bound), other);
  EXPECT_EQ(RefsOf(other), 1);
  std::u16string objectText = Adopted(Mrvk_00F2_Export_Func(&bound));
  EXPECT_EQ(objectText.rfind(u"(object 0x", 0), 0u);
  EXPECT_EQ(objectText.back(), u')');
  EXPECT_EQ(objectText, Adopted(Mrvk_0047_Export_Func(&bound)));
  EXPECT_NE(objectText, Adopted(Mrvk_00F2_Export_Func(&plain)));
  EXPECT_EQ(Text(plain), u"(object)" + Adopted(Mrvk_00F2_Export_Func(&plain)));
  V number(int32_t{3});
  EXPECT_ANY_THROW(Mrvk_0000_Export_Func(&number, self));
  EXPECT_ANY_THROW(Mrvk_0012_Export_Func(&number));
  EXPECT_EQ(Mrvk_0019_Export_Func(&plain, &plain), &plain);  // itself: unchanged
  EXPECT_EQ(RefsOf(object), objectRefs + 2);
  Mrvk_000E_Export_Func(&bound, 0);
  Mrvk_000E_Export_Func(&plain, 0);
  EXPECT_EQ(RefsOf(object), objectRefs);
  object->Release();
  self->Release();
}

TEST(ExportFamilies, QueriesConversionsAndAssignments) {
  EXPECT_EQ(On(Mrvk_004C_Export_Func, 2.9), 2);
  EXPECT_EQ(On(Mrvk_004E_Export_Func, -2.9), -2);
  EXPECT_EQ(On(Mrvk_0050_Export_Func, u"12abc"), 12);
  EXPECT_TRUE(On(Mrvk_004F_Export_Func, u"1.5"));
  EXPECT_FALSE(On(Mrvk_004F_Export_Func, u"0.5"));
  EXPECT_EQ(On(Mrvk_0051_Export_Func, u"0x1.8p1"), 3.0);
  EXPECT_EQ(On(Mrvk_0052_Export_Func, int32_t{-4}), -4.0);
  V number, octal(u"017"), octet = O(0, 3);
  Mrvk_004D_Export_Func(&octal, &number);
  EXPECT_EQ(Text(number), u"(int)15");
  tNUVVariantOctet* octetBody = Mrvk_004A_Export_Func(&octet);
  EXPECT_EQ(Mrvk_0076_Export_Func(octetBody), 2);
  Mrvk_0075_Export_Func(octetBody);
  EXPECT_EQ(Mrvk_0076_Export_Func(octetBody), 1);
  EXPECT_ANY_THROW(Mrvk_004C_Export_Func(&octet));

  V value(0.1 + 0.2), empty;
  Mrvk_0014_Export_Func(&value);
  EXPECT_EQ(Text(value), u"(string)\"0.3\"");
  EXPECT_ANY_THROW(Mrvk_0014_Export_Func(&octet));
  Mrvk_0016_Export_Func(&empty);
  EXPECT_EQ(empty.vt, NUV::tvtOctet);
  Mrvk_0016_Export_Func(&octet);
  EXPECT_EQ(Text(octet), u"(octet)<% 01 FF 10 %>");
  EXPECT_ANY_THROW(Mrvk_0016_Export_Func(&value));
  value = u"12abc";
  EXPECT_EQ(Mrvk_0017_Export_Func(&value), 12);
  EXPECT_EQ(value.vt, NUV::tvtInteger);
  value = u"1e3";
  EXPECT_EQ(Mrvk_0018_Export_Func(&value), 1000.0);
  EXPECT_EQ(Text(value), u"(real)1000");

  // Each assignment starts from a string whose body it must release.
  static iNUVDispatch2* object = nullptr;
  object = Mrvk_0100_Export_Func();
  static tNUVString name(u"name");
  static V source(int32_t{9});
  struct tRow {
    const char* Export;
    void (*Assign)(tNUVVariant_S*);
    std::u16string Expected;  // readable text; "object" for the object
  } const rows[] = {
      {"0019", [](tNUVVariant_S* v) { EXPECT_EQ(Mrvk_0019_Export_Func(v, &source), v); }, u"(int)9"},
      {"001A", [](tNUVVariant_S* v) { Mrvk_001A_Export_Func(v, &source); }, u"(int)9"},
      {"001B", [](tNUVVariant_S* v) { Mrvk_001B_Export_Func(v, object); }, u"object"},
      {"001C", [](tNUVVariant_S* v) { Mrvk_001C_Export_Func(v, object); }, u"object"},
      {"001D", [](tNUVVariant_S* v) { Mrvk_001D_Export_Func(v, object, object); }, u"object"},
      {"001E", [](tNUVVariant_S* v) { NUV::tNUVVariantClosure_S c{object, nullptr}; Mrvk_001E_Export_Func(v, &c); },
       u"object"},
      {"001F", [](tNUVVariant_S* v) { Mrvk_001F_Export_Func(v, name.GetBody()); }, u"(string)\"name\""},
      {"0020", [](tNUVVariant_S* v) { Mrvk_0020_Export_Func(v, nullptr); }, u"(octet)<%  %>"},
      {"0021", [](tNUVVariant_S* v) { Mrvk_0021_Export_Func(v, &name); }, u"(string)\"name\""},
      {"0022", [](tNUVVariant_S* v) { Mrvk_0022_Export_Func(v, u"wide"); }, u"(string)\"wide\""},
      {"0023", [](tNUVVariant_S* v) { Mrvk_0023_Export_Func(v, "narrow"); }, u"(string)\"narrow\""},
      {"0024", [](tNUVVariant_S* v) { Mrvk_0024_Export_Func(v, true); }, u"(int)1"},
      {"0025", [](tNUVVariant_S* v) { Mrvk_0025_Export_Func(v, -7); }, u"(int)-7"},
      {"0026", [](tNUVVariant_S* v) { Mrvk_0026_Export_Func(v, INT64_MIN); }, u"(int)-9223372036854775808"},
      {"0027", [](tNUVVariant_S* v) { Mrvk_0027_Export_Func(v, -0.0); }, u"(real)-0.0"},
  };
  const int32_t objectRefs = RefsOf(object), nameRefs = Mrvk_00C4_Export_Func(name.GetBody());
  for (const tRow& row : rows) {
    V target(u"an old value long enough to live in a heap buffer");
    row.Assign(&target);
    if (row.Expected == u"object") {
      EXPECT_EQ(target.vt, NUV::tvtObject) << row.Export;
      EXPECT_EQ(target.AsObject(), object) << row.Export;
      EXPECT_GE(RefsOf(object), objectRefs + 1) << row.Export;
    } else {
      EXPECT_EQ(Text(target), row.Expected) << row.Export;
    }
    if (row.Expected == u"(string)\"name\"") {
      EXPECT_EQ(target.String, name.GetBody()) << row.Export;
      EXPECT_EQ(Mrvk_00C4_Export_Func(name.GetBody()), nameRefs + 1) << row.Export;
    }
  }
  EXPECT_EQ(RefsOf(object), objectRefs);
  EXPECT_EQ(Mrvk_00C4_Export_Func(name.GetBody()), nameRefs);
  object->Release();
}

struct tOperatorRow {
  const char* Export;
  void (*InPlace)(tNUVVariant_S*, const tNUVVariant_S*);
  void (*UnaryInPlace)(tNUVVariant_S*);
  void (*Into)(tNUVVariant_S*, const tNUVVariant_S*, const tNUVVariant_S*);
  void (*UnaryInto)(tNUVVariant_S*, const tNUVVariant_S*);
  V Left, Right;
  std::u16string Expected;  // readable text; empty: raises
};
// One row per use of export Mrvk_00<n>: in place (IN, IN1) or into a result (TO, TO1).
#define IN(n, l, r, x) {#n, Mrvk_00##n##_Export_Func, nullptr, nullptr, nullptr, l, r, x}
#define IN1(n, l, x) {#n, nullptr, Mrvk_00##n##_Export_Func, nullptr, nullptr, l, V(), x}
#define TO(n, l, r, x) {#n, nullptr, nullptr, Mrvk_00##n##_Export_Func, nullptr, l, r, x}
#define TO1(n, l, x) {#n, nullptr, nullptr, nullptr, Mrvk_00##n##_Export_Func, l, V(), x}

TEST(ExportFamilies, EveryOperator) {
  const std::vector<tOperatorRow> rows = {
      IN(28, I(0), I(5), u"(int)1"),          IN(28, V(), V(u"x"), u"(int)0"),
      IN(29, I(3), V(2.5), u"(int)1"),        IN(29, I(3), I(0), u"(int)0"),
      IN(2A, I(12), I(3), u"(int)15"),        IN1(2B, V(), u"(int)1"),
      IN1(2B, V(u"41"), u"(int)42"),          IN1(2B, V(1.5), u"(real)2.5"),
      IN1(2C, V(), u"(int)-1"),               IN1(2C, O(0, 3), u""),
      IN(2D, I(12), I(10), u"(int)6"),        IN(2E, I(12), I(10), u"(int)8"),
      IN(2F, I(-8), I(70), u"(int)-1"),       IN(2F, I(-8), I(1), u"(int)-4"),
      IN(30, I(-8), I(60), u"(int)15"),       IN(31, I(3), I(64), u"(int)0"),
      IN(31, I(3), I(2), u"(int)12"),         IN(32, V(u"9"), I(-4), u"(int)1"),
      IN(32, I(9), I(0), u""),                IN(33, I(1), I(4), u"(real)0.25"),
      IN(33, I(1), I(0), u"(real)+Infinity"), IN(34, I(-7), I(2), u"(int)-3"),
      IN(34, I(7), V(), u""),                 IN(35, I(6), V(0.5), u"(real)3"),
      IN(35, V(u"3"), I(4), u"(int)12"),      IN1(36, V(u"0.5"), u"(int)1"),
      IN1(36, I(3), u"(int)0"),               IN1(37, I(0), u"(int)-1"),
      IN1(38, V(u"0x1F"), u"(int)31"),        IN1(38, V(u"1e3"), u"(real)1000"),
      IN1(39, V(u"5"), u"(int)-5"),           IN1(39, V(2.5), u"(real)-2.5"),
      IN(3A, V(u"2"), I(1), u"(int)1"),       IN(3A, O(0, 3), I(1), u""),
      IN(3B, I(1), V(u"2"), u"(string)\"12\""), IN(3B, V(u"a"), V(u"b"), u"(string)\"ab\""),
      IN(3B, O(0, 1), O(1, 2), u"(octet)<% 01 FF 10 %>"), IN(3B, V(), V(2.5), u"(real)2.5"),
      IN(3B, I(INT64_MAX), I(1), u"(int)-9223372036854775808"),
      TO(53, I(0), V(0.0), u"(int)0"),        TO(53, I(0), I(2), u"(int)1"),
      TO(54, I(1), V(u""), u"(int)0"),        TO(55, I(5), I(2), u"(int)7"),
      TO(56, I(5), I(1), u"(int)4"),          TO(57, I(6), I(3), u"(int)2"),
      TO(58, V(u"abc"), I(0), u"(int)1"),     TO(59, V(), V(u""), u"(int)1"),
      TO(59, I(2), V(2.0), u"(int)1"),        TO(5A, V(u"abc"), V(u"abd"), u"(int)1"),
      TO(5B, I(2), V(1.5), u"(int)1"),        TO(5C, I(2), I(2), u"(int)1"),
      TO(5D, I(1), I(2), u"(int)0"),          TO(5E, I(-16), I(2), u"(int)-4"),
      TO(5F, I(-1), I(63), u"(int)1"),        TO(60, I(1), I(4), u"(int)16"),
      TO(61, I(7), I(-2), u"(int)1"),         TO(61, I(7), V(u"0"), u""),
      TO(62, I(3), I(2), u"(real)1.5"),       TO(63, I(7), I(-2), u"(int)-3"),
      TO(63, I(7), I(0), u""),                TO(64, V(2.5), I(2), u"(real)5"),
      TO1(65, V(), u"(int)1"),                TO1(66, I(5), u"(int)-6"),
      TO(67, I(10), V(2.5), u"(real)7.5"),    TO1(68, V(u"0b101"), u"(int)5"),
      TO1(69, I(3), u"(int)-3"),              TO(6A, V(u"n="), I(5), u"(string)\"n=5\""),
      TO(6A, I(2), I(3), u"(int)5"),
  };
  for (const tOperatorRow& row : rows) {
    V target(row.Left), result(u"old result");
    auto run = [&] {
      if (row.InPlace) row.InPlace(&target, &row.Right);
      if (row.UnaryInPlace) row.UnaryInPlace(&target);
      if (row.Into) row.Into(&result, &row.Left, &row.Right);
      if (row.UnaryInto) row.UnaryInto(&result, &row.Left);
    };
    if (row.Expected.empty()) {
      EXPECT_ANY_THROW(run()) << row.Export;
      EXPECT_EQ(Text(target), Text(row.Left)) << row.Export;  // a failed operation keeps the left
    } else {
      run();
      EXPECT_EQ(Text(row.InPlace || row.UnaryInPlace ? target : result), row.Expected) << row.Export;
    }
  }
  // Joining strings never changes another owner of the left body.
  tNUVString shared(u"abc");
  V joined(shared);
  joined += V(u"d");
  EXPECT_EQ(shared, u"abc");
  EXPECT_EQ(Text(joined), u"(string)\"abcd\"");
}
#undef IN
#undef IN1
#undef TO
#undef TO1

TEST(ExportFamilies, ComparisonsAndOperationCodes) {
  const V nan(kNaN), nanCopy(kNaN);
  struct tRow {
    const char* Export;
    bool (*Compare)(const tNUVVariant_S*, const tNUVVariant_S*);
    V Left, Right;
    bool Expected;
  } const rows[] = {
      {"003C", Mrvk_003C_Export_Func, V(), I(0), true},        {"003C", Mrvk_003C_Export_Func, V(u"abc"), I(0), false},
      {"003C", Mrvk_003C_Export_Func, I(1), V(1.0), true},     {"003D", Mrvk_003D_Export_Func, I(1), V(1.0), false},
      {"003D", Mrvk_003D_Export_Func, V(0.0), V(-0.0), true},  {"003D", Mrvk_003D_Export_Func, nan, nanCopy, false},
      {"003E", Mrvk_003E_Export_Func, V(0.0), V(-0.0), false}, {"003E", Mrvk_003E_Export_Func, nan, nanCopy, true},
      {"003E", Mrvk_003E_Export_Func, V(u"s"), V(u"s"), true}, {"003F", Mrvk_003F_Export_Func, V(u"ab"), V(u"b"), true},
      {"003F", Mrvk_003F_Export_Func, I(-1), I(-2), false},    {"003F", Mrvk_003F_Export_Func, nan, I(1), true},
      {"0040", Mrvk_0040_Export_Func, nan, I(1), false},       {"0040", Mrvk_0040_Export_Func, I(3), V(2.5), true},
  };
  for (const tRow& row : rows) EXPECT_EQ(row.Compare(&row.Left, &row.Right), row.Expected) << row.Export;

  struct tCodeRow {
    uint32_t Code;
    V Left, Right;
    std::u16string Expected;
  } const codes[] = {
      {NUV::NUVOpBitAnd, I(6), I(3), u"(int)2"},          {NUV::NUVOpBitOr, I(6), I(3), u"(int)7"},
      {NUV::NUVOpBitXor, I(6), I(3), u"(int)5"},          {NUV::NUVOpSubtract, I(6), I(3), u"(int)3"},
      {NUV::NUVOpAdd, V(u"a"), I(1), u"(string)\"a1\""},  {NUV::NUVOpModulo, I(7), I(3), u"(int)1"},
      {NUV::NUVOpDivide, I(3), I(2), u"(real)1.5"},       {NUV::NUVOpIntegerDivide, I(7), I(2), u"(int)3"},
      {NUV::NUVOpMultiply, I(6), I(3), u"(int)18"},       {NUV::NUVOpLogicalOr, I(0), I(3), u"(int)1"},
      {NUV::NUVOpLogicalAnd, I(6), I(0), u"(int)0"},      {NUV::NUVOpShiftRight, I(-8), I(1), u"(int)-4"},
      {NUV::NUVOpShiftLeft, I(1), I(3), u"(int)8"},       {NUV::NUVOpLogicalShiftRight, I(-1), I(62), u"(int)3"},
      {NUV::NUVOpIncrement, I(6), V(), u"(int)7"},        {NUV::NUVOpDecrement, I(6), V(), u"(int)5"},
  };
  for (const tCodeRow& row : codes) {
    V target(row.Left);
    Mrvk_00FE_Export_Func(&target, row.Code, &row.Right);
    EXPECT_EQ(Text(target), row.Expected) << "operation code " << row.Code;
  }
  V target = I(1), zero = I(0);
  EXPECT_ANY_THROW(Mrvk_00FE_Export_Func(&target, NUV::NUVOpModulo, &zero));
  EXPECT_ANY_THROW(Mrvk_00FE_Export_Func(&target, NUV::NUVOpIntegerDivide, &zero));
}

TEST(ExportFamilies, MemoryAndOctets) {
  const std::pair<void* (*)(size_t), void (*)(void*)> pairs[] = {
      {Mrvk_006B_Export_Func, Mrvk_006C_Export_Func}, {Mrvk_006D_Export_Func, Mrvk_006E_Export_Func},
      {Mrvk_00AF_Export_Func, Mrvk_00B0_Export_Func}, {Mrvk_00B1_Export_Func, Mrvk_00B2_Export_Func}};
  for (const auto& [allocate, release] : pairs) {
    void* block = allocate(64);
    ASSERT_NE(block, nullptr);
    std::memset(block, 0x5A, 64);
    release(block);
  }
  uint64_t place = 0;
  EXPECT_EQ(Mrvk_006F_Export_Func(8, &place), &place);
  EXPECT_EQ(Mrvk_00B3_Export_Func(8, &place), &place);
  for (int32_t bits : {0, 3, 6, 12, 16}) {
    void* block = Mrvk_00DC_Export_Func(100, bits);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % (uintptr_t{1} << bits), 0u) << bits;
    std::memset(block, 0, 100);
    Mrvk_00DD_Export_Func(block);
  }

  // Octets in the caller's storage.
  tNUVVariantOctet first, second, joined, ranges;
  Mrvk_0070_Export_Func(&first, kBytes, 1);
  Mrvk_0070_Export_Func(&second, kBytes + 1, 2);
  EXPECT_EQ(first.Length, 1);
  EXPECT_EQ(first.RefCount, 1);
  Mrvk_0072_Export_Func(&joined, &first, &second);
  Mrvk_0071_Export_Func(&ranges, kBytes, 2, kBytes + 2, 1);
  EXPECT_EQ(Adopted(Mrvk_00F1_Export_Func(&joined)), u"<% 01 FF 10 %>");
  EXPECT_EQ(Adopted(Mrvk_00F1_Export_Func(&ranges)), u"<% 01 FF 10 %>");
  for (tNUVVariantOctet* octet : {&first, &second, &joined, &ranges}) Mrvk_0073_Export_Func(octet);

  // Octet bodies on the library's heap.
  EXPECT_EQ(Mrvk_00EC_Export_Func(nullptr, 3), nullptr);
  EXPECT_EQ(Mrvk_00EC_Export_Func(kBytes, 0), nullptr);
  EXPECT_EQ(Mrvk_00ED_Export_Func(kBytes, 0, nullptr, 5), nullptr);
  EXPECT_EQ(Mrvk_00EE_Export_Func(nullptr, nullptr), nullptr);
  tNUVVariantOctet* head = Mrvk_00EC_Export_Func(kBytes, 1);
  tNUVVariantOctet* body = Mrvk_00ED_Export_Func(kBytes, 1, kBytes + 1, 2);
  tNUVVariantOctet* both = Mrvk_00EE_Export_Func(head, body);
  EXPECT_EQ(Adopted(Mrvk_00F1_Export_Func(both)), u"<% 01 01 FF 10 %>");
  EXPECT_EQ(Mrvk_0076_Export_Func(body), 1);
  EXPECT_EQ(Mrvk_0074_Export_Func(body), 2);
  V holder;
  Mrvk_0020_Export_Func(&holder, body);
  EXPECT_EQ(Mrvk_0076_Export_Func(body), 3);
  holder.Clear();
  Mrvk_0075_Export_Func(body);
  EXPECT_EQ(Mrvk_0076_Export_Func(body), 1);
  for (tNUVVariantOctet* octet : {head, body, both}) Mrvk_00F0_Export_Func(octet);
}

TEST(ExportFamilies, StringBodiesAndWideText) {
  tNUVVariantString* body = Mrvk_00D2_Export_Func(u"start");
  EXPECT_EQ(Mrvk_00C4_Export_Func(body), 0);
  EXPECT_EQ(Mrvk_00C4_Export_Func(nullptr), -1);
  body = Mrvk_00B6_Export_Func(body, u"hello world", 5);
  EXPECT_EQ(std::u16string(Mrvk_00BF_Export_Func(body)), u"hello");
  body = Mrvk_00BB_Export_Func(body, u", a text that needs a heap buffer");
  body = Mrvk_00BC_Export_Func(body, u"!?", 1);
  EXPECT_EQ(Mrvk_00C0_Export_Func(body), 39);
  body = Mrvk_00BA_Export_Func(body, 4);
  EXPECT_EQ(Mrvk_00C0_Export_Func(body), 43);
  body = Mrvk_00BD_Export_Func(body);
  EXPECT_EQ(std::u16string(Mrvk_00BF_Export_Func(body)), u"hello, a text that needs a heap buffer!");
  Mrvk_00B4_Export_Func(body);  // shared: recomputing its length refuses
  EXPECT_ANY_THROW(Mrvk_00BD_Export_Func(body));
  tNUVString owner = tNUVString::Adopt(body);
  body = Mrvk_00B7_Export_Func(body, "-12.5");  // a shared body is left to its other owner
  EXPECT_EQ(owner, u"hello, a text that needs a heap buffer!");
  EXPECT_EQ(Mrvk_00C1_Export_Func(body), -12);
  EXPECT_EQ(Mrvk_00C2_Export_Func(body), -12.5);
  V number;
  Mrvk_00C3_Export_Func(body, &number);
  EXPECT_EQ(Text(number), u"(real)-12.5");
  body = Mrvk_00B9_Export_Func(body, u"0x10");
  EXPECT_EQ(Mrvk_00C1_Export_Func(body), 16);
  body = Mrvk_00B8_Export_Func(body, 3);
  EXPECT_EQ(Mrvk_00C0_Export_Func(body), 3);
  Mrvk_00B5_Export_Func(body);

  EXPECT_EQ(Adopted(Mrvk_00D0_Export_Func(u"ab", u"cd")), u"abcd");
  EXPECT_EQ(Mrvk_00D0_Export_Func(nullptr, nullptr), nullptr);
  EXPECT_EQ(Adopted(Mrvk_00D1_Export_Func(u"abcdef", 3)), u"abc");
  EXPECT_EQ(Adopted(Mrvk_00D3_Export_Func("\xC3\xA4")), u"ä");
  EXPECT_EQ(Mrvk_00C0_Export_Func(tNUVString::Adopt(Mrvk_00D5_Export_Func(7)).GetBody()), 7);
  tNUVVariantString* grown = Mrvk_00D6_Export_Func(Mrvk_00D2_Export_Func(u"x"), u"y");
  EXPECT_EQ(Adopted(Mrvk_00D7_Export_Func(grown, tNUVString(u"z").GetBody())), u"xyz");

  char16_t buffer[32];
  EXPECT_EQ(Mrvk_00C5_Export_Func(u"\t  42x"), 42);
  EXPECT_EQ(std::u16string(Mrvk_00C6_Export_Func(-123, buffer)), u"-123");
  EXPECT_EQ(std::u16string(Mrvk_00C7_Export_Func(INT64_MIN, buffer)), u"-9223372036854775808");
  EXPECT_EQ(Mrvk_00C8_Export_Func(u"abcX", u"abcY", 3), 0);
  EXPECT_LT(Mrvk_00C8_Export_Func(u"abcX", u"abcY", 4), 0);
  EXPECT_EQ(Mrvk_00C9_Export_Func(u"HeLLo", u"hello"), 0);
  EXPECT_GT(Mrvk_00C9_Export_Func(u"b", u"A"), 0);
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  Mrvk_00CA_Export_Func(buffer, u"ab", 4);
  EXPECT_EQ(std::u16string(buffer, 5), std::u16string(u"ab\0\0#", 5));
  EXPECT_EQ(std::u16string(Mrvk_00CB_Export_Func(buffer, u"copied")), u"copied");
  EXPECT_EQ(Mrvk_00CC_Export_Func(u"length"), 6);
  char16_t* heapText = Mrvk_00CD_Export_Func(4);
  Mrvk_00CB_Export_Func(heapText, u"abc");
  heapText = Mrvk_00CE_Export_Func(heapText, 400);
  EXPECT_EQ(std::u16string(heapText), u"abc");
  Mrvk_00CF_Export_Func(heapText);
}

TEST(ExportFamilies, StringCopiesAndValueTexts) {
  tNUVString mixed(u"AbC-Ä"), out(u"old"), control(u"a\x01" u"b\"\t"), narrow(u"äx");
  Mrvk_00A3_Export_Func(&mixed, &out);
  EXPECT_EQ(out, u"abc-Ä");
  Mrvk_00A4_Export_Func(&mixed, &out);
  EXPECT_EQ(out, u"ABC-Ä");
  Mrvk_00A5_Export_Func(&control, &out);
  EXPECT_EQ(out, u"a\\x01\\x62\\\"\\t");
  Mrvk_00A6_Export_Func(&out);
  EXPECT_TRUE(out.IsEmpty());
  EXPECT_TRUE(Mrvk_00A7_Export_Func(&mixed, u"AbC"));
  EXPECT_FALSE(Mrvk_00A7_Export_Func(&mixed, u"abc"));
  EXPECT_TRUE(Mrvk_00A7_Export_Func(&out, u""));
  EXPECT_FALSE(Mrvk_00A7_Export_Func(&out, u"a"));
  EXPECT_TRUE(Mrvk_00A8_Export_Func(&mixed, &mixed));
  EXPECT_FALSE(Mrvk_00A8_Export_Func(&out, &mixed));
  EXPECT_EQ(Mrvk_00A9_Export_Func(&narrow), 3);
  char bytes[8];
  EXPECT_EQ(Mrvk_00AA_Export_Func(&narrow, bytes, 3), 3);
  EXPECT_EQ(std::string(bytes), "\xC3\xA4x");
  EXPECT_EQ(Mrvk_00AA_Export_Func(&narrow, bytes, 1), 0);  // whole characters only
  EXPECT_EQ(std::string(bytes), "");

  V letters(u"abcdefgh");
  EXPECT_EQ(Adopted(Mrvk_00DA_Export_Func(&letters, 8)), u"(stri...");
  EXPECT_EQ(Adopted(Mrvk_00DA_Export_Func(&letters, 2)), u"(s");
  const std::pair<V, std::u16string> literals[] = {
      {V(), u"void"}, {I(-5), u"int -5"}, {V(u"a\tb"), u"string \"a\\tb\""}, {O(0, 2), u"octet <% 01 FF %>"},
      {V(1.5), u"real 0x1.8000000000000p0 /* 1.5 */"}, {V(-0.75), u"real -0x1.8000000000000p-1 /* -0.75 */"}};
  for (const auto& [value, literal] : literals) EXPECT_EQ(Adopted(Mrvk_00DB_Export_Func(&value)), literal);

  EXPECT_EQ(Adopted(Mrvk_00F4_Export_Func(BitsOf(0.1 + 0.2))), u"0.3");
  EXPECT_EQ(Adopted(Mrvk_00F4_Export_Func(BitsOf(-0.0))), u"-0.0");
  EXPECT_EQ(Adopted(Mrvk_00F4_Export_Func(BitsOf(1e308 * 10))), u"+Infinity");
  EXPECT_EQ(Adopted(Mrvk_00F4_Export_Func(BitsOf(kNaN))), u"NaN");
  EXPECT_EQ(Adopted(Mrvk_00F5_Export_Func(BitsOf(3.0))), u"0x1.8000000000000p1");
  EXPECT_EQ(Adopted(Mrvk_00F5_Export_Func(BitsOf(-std::numeric_limits<double>::infinity()))), u"-Infinity");
  EXPECT_EQ(Mrvk_00F7_Export_Func(u"0x1.8p1"), 3.0);
  EXPECT_EQ(Mrvk_00F7_Export_Func(u"- 12"), -12.0);
  EXPECT_EQ(Mrvk_00F7_Export_Func(u"none"), 0.0);
}

}  // namespace
