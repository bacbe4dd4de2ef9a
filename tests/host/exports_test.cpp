// The numbered exports as a host uses them: only the public header and the
// shared library.

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "mervanik/mervanik.h"

namespace {

using NUV::iNUVDispatch2;
using NUV::tNUVString;
using NUV::tNUVVariant;
using NUV::tNUVVariant_S;

// Raw storage for the constructors, filled with garbage first.
template <typename tRecord>
struct tStorage {
  tStorage() { std::memset(Bytes, 0xA5, sizeof Bytes); }
  tRecord* Get() { return reinterpret_cast<tRecord*>(Bytes); }
  alignas(tRecord) unsigned char Bytes[sizeof(tRecord)];
};

tNUVVariant Global() { return tNUVVariant(MrvkGetGlobalObject()); }

// Runs script text on the global object and returns its result.
tNUVVariant RunScript(const char16_t* text) {
  tNUVString script(text);
  tNUVVariant result;
  EXPECT_EQ(MrvkExecScript(&script, &result, nullptr, nullptr), 0) << std::string(tNUVString(text).AsStdString());
  return result;
}

void SetGlobal(const char16_t* name, const tNUVVariant& value) {
  iNUVDispatch2* global = MrvkGetGlobalObject();
  ASSERT_EQ(global->SetMember(NUV::NUVMemberEnsure, name, nullptr, &value, global), NUV::NUVResultOk);
}

TEST(Exports, StringConstructionAndReferences) {
  Mrvk_0078_Export_Func(nullptr);  // null storage: nothing happens
  Mrvk_0079_Export_Func(nullptr, nullptr);
  tStorage<tNUVString> empty;
  Mrvk_0078_Export_Func(empty.Get());
  EXPECT_EQ(Mrvk_0095_Export_Func(empty.Get()), nullptr);  // the empty string holds no body
  Mrvk_0083_Export_Func(empty.Get());

  tNUVString shared(u"a text long enough for a heap buffer of its own");
  tNUVString second(shared);
  NUV::tNUVVariantString* body = shared.GetBody();
  int32_t before = Mrvk_00C4_Export_Func(body);
  tStorage<tNUVString> copy;
  Mrvk_0079_Export_Func(copy.Get(), &shared);
  EXPECT_EQ(Mrvk_0095_Export_Func(copy.Get()), body);
  EXPECT_EQ(Mrvk_00C4_Export_Func(body), before + 1);
  Mrvk_0083_Export_Func(copy.Get());
  EXPECT_EQ(Mrvk_00C4_Export_Func(body), before);

  // Writing through a shared string copies its body first.
  char16_t* text = Mrvk_0093_Export_Func(&second);
  text[0] = u'A';
  EXPECT_NE(second.GetBody(), body);
  EXPECT_EQ(shared[0], u'a');
  EXPECT_EQ(second[0], u'A');
  // Bodies handed to the body operations are never changed under other owners.
  Mrvk_00B4_Export_Func(body);
  NUV::tNUVVariantString* grown = Mrvk_00BB_Export_Func(body, u"!");
  EXPECT_NE(grown, body);
  EXPECT_EQ(tNUVString::Adopt(grown), shared + u"!");
}

TEST(Exports, StringOperations) {
  tNUVString text(u"Hello");
  text += u", ";
  text += tNUVString(u"World");
  text += u'!';
  EXPECT_EQ(text, u"Hello, World!");
  EXPECT_EQ(text.GetLen(), 13);
  EXPECT_EQ(Mrvk_00AE_Export_Func(&text), u'!');
  EXPECT_EQ(text[99], u'\0');
  EXPECT_EQ(text.ToUpperCase(), u"HELLO, WORLD!");
  EXPECT_EQ(Mrvk_0099_Export_Func(&text, &text), 0);
  EXPECT_TRUE(tNUVString(u"abc") < tNUVString(u"abd"));
  EXPECT_TRUE(tNUVString() < tNUVString(u"a"));
  text.Replace(tNUVString(u"l"), tNUVString(u"L"));
  EXPECT_EQ(text, u"HeLLo, WorLd!");
  EXPECT_EQ(tNUVString::FromInteger(-42).AsInteger(), -42);
  EXPECT_EQ(tNUVString(u"äx").AsStdString(), "\xC3\xA4x");

  // Direct writing: a buffer of zeros, then the length cut at the first zero.
  tNUVString written;
  char16_t* buffer = Mrvk_008C_Export_Func(&written, 8);
  ASSERT_NE(buffer, nullptr);
  buffer[0] = u'o';
  buffer[1] = u'k';
  Mrvk_008E_Export_Func(&written);
  EXPECT_EQ(written, u"ok");

  tStorage<tNUVString> prefix;
  Mrvk_0080_Export_Func(prefix.Get(), &written, 50);
  EXPECT_EQ(*prefix.Get(), u"ok");
  Mrvk_0083_Export_Func(prefix.Get());
  EXPECT_EQ(tNUVString::Adopt(Mrvk_00FD_Export_Func(&written)).GetBody(),
            tNUVString::Adopt(Mrvk_00FD_Export_Func(&written)).GetBody());
}

TEST(Exports, VariantsAndOperators) {
  tNUVVariant left(int32_t{-7}), right(int32_t{2}), result;
  Mrvk_0061_Export_Func(&result, &left, &right);
  EXPECT_EQ(result.vt, NUV::tvtInteger);
  EXPECT_EQ(result.Integer, -1);  // truncating
  Mrvk_0063_Export_Func(&left, &left, &right);  // the result may be an operand
  EXPECT_EQ(left.AsInteger(), -3);

  tNUVVariant zero(int32_t{0});
  EXPECT_ANY_THROW(Mrvk_0061_Export_Func(&result, &right, &zero));
  EXPECT_ANY_THROW(Mrvk_0063_Export_Func(&result, &right, &zero));
  EXPECT_ANY_THROW(Mrvk_0032_Export_Func(&right, &zero));
  EXPECT_EQ(right.AsInteger(), 2);  // left as it was

  Mrvk_005C_Export_Func(&result, &zero, &right);
  EXPECT_EQ(result.Integer, 1);
  tNUVVariant text(u"4");
  Mrvk_0068_Export_Func(&result, &text);
  EXPECT_EQ(result.vt, NUV::tvtInteger);
  EXPECT_EQ(result.Integer, 4);
  tNUVVariant object = Global();
  EXPECT_ANY_THROW(Mrvk_0068_Export_Func(&result, &object));

  tNUVVariant joined(u"n=");
  joined += tNUVVariant(int64_t{5});
  EXPECT_EQ(joined.AsString(), u"n=5");
  EXPECT_EQ(tNUVVariant(2.5).ReadableText(), u"(real)2.5");
  EXPECT_EQ(tNUVVariant(true).AsInteger(), 1);
  EXPECT_EQ(tNUVVariant(int64_t{-5000000000}).AsInteger(), -5000000000);
  EXPECT_ANY_THROW(tNUVVariant(u"x").AsObject());
  EXPECT_EQ(tNUVString(tNUVVariant()).GetLen(), 0);

  EXPECT_EQ(std::u16string(Mrvk_00D9_Export_Func(4)), u"int");
  EXPECT_EQ(std::u16string(Mrvk_00D9_Export_Func(2)), u"string");
  EXPECT_EQ(std::u16string(Mrvk_00D9_Export_Func(6)), u"unknown");
  EXPECT_EQ(Mrvk_00DE_Export_Func(1, 0xFFF00000u), 9);  // negative NaN
  EXPECT_EQ(Mrvk_00DE_Export_Func(0, 0x7FF00000u), 2);
  EXPECT_EQ(tNUVString::Adopt(Mrvk_00F3_Export_Func(0, 0x80000000u)), u"-9223372036854775808");
  EXPECT_EQ(tNUVString::Adopt(Mrvk_00E0_Export_Func(0x12345, 4)), u"2345");
  EXPECT_EQ(Mrvk_00F6_Export_Func(u"0x10"), 16);
  EXPECT_EQ(Mrvk_00F6_Export_Func(u"no number"), 0);
}

TEST(Exports, StoredRecordsRoundTrip) {
  // Written as the header describes: string (length, reserved word, units),
  // octet (length, bytes), int and real (their 8 bytes).
  std::vector<uint8_t> record;
  auto put = [&record](const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    record.insert(record.end(), bytes, bytes + size);
  };
  const std::u16string text = u"stored ü text";
  uint32_t words[2] = {static_cast<uint32_t>(text.size()), 0};
  put(words, sizeof words);
  put(text.data(), text.size() * sizeof(char16_t));
  const uint8_t bytes[3] = {1, 0xAB, 0};
  uint32_t octetLength = 3;
  put(&octetLength, sizeof octetLength);
  put(bytes, sizeof bytes);
  int64_t integer = -123456789012;
  put(&integer, sizeof integer);
  double real = 0.25;
  put(&real, sizeof real);
  uint32_t emptyString[2] = {0, 0};
  put(emptyString, sizeof emptyString);

  const uint8_t* cursor = record.data();
  const int32_t tags[] = {NUV::tvtString, NUV::tvtOctet, NUV::tvtInteger, NUV::tvtReal, NUV::tvtString};
  std::vector<tStorage<tNUVVariant>> values(5);
  for (int i = 0; i < 5; ++i) Mrvk_000D_Export_Func(values[i].Get(), tags[i], &cursor);
  EXPECT_EQ(cursor, record.data() + record.size());

  EXPECT_EQ(values[0].Get()->AsString().AsU16String(), text);
  EXPECT_EQ(values[1].Get()->ReadableText(), u"(octet)<% 01 AB 00 %>");
  EXPECT_EQ(values[2].Get()->AsInteger(), integer);
  EXPECT_EQ(values[3].Get()->AsReal(), real);
  EXPECT_EQ(values[4].Get()->vt, NUV::tvtString);
  EXPECT_EQ(values[4].Get()->AsString().GetLen(), 0);
  for (auto& value : values) Mrvk_000E_Export_Func(value.Get(), 0);

  cursor = record.data();
  tNUVString direct = tNUVString::Adopt(Mrvk_00D4_Export_Func(&cursor));
  EXPECT_EQ(direct.AsU16String(), text);
  NUV::tNUVVariantOctet* octet = Mrvk_00EF_Export_Func(&cursor);
  ASSERT_NE(octet, nullptr);
  EXPECT_EQ(octet->Length, 3);
  EXPECT_EQ(octet->Data[1], 0xAB);
  EXPECT_EQ(tNUVString::Adopt(Mrvk_00F1_Export_Func(octet)), u"<% 01 AB 00 %>");
  Mrvk_00F0_Export_Func(octet);
}

// A host function that raises through the library.
int32_t RaiseNullAccess(tNUVVariant_S*, int32_t, tNUVVariant_S**, iNUVDispatch2*) { Mrvk_00EA_Export_Func(); }
int32_t RaiseDivideByZero(tNUVVariant_S*, int32_t, tNUVVariant_S**, iNUVDispatch2*) { Mrvk_00EB_Export_Func(); }

TEST(Exports, ErrorsAndMessages) {
  EXPECT_ANY_THROW(Mrvk_00EA_Export_Func());
  EXPECT_ANY_THROW(Mrvk_00EB_Export_Func());
  tNUVString nullAccess = tNUVString::Adopt(Mrvk_00FC_Export_Func(u"NUVNullAccess"));
  EXPECT_EQ(nullAccess, u"null オブジェクトにアクセスしようとしました");
  EXPECT_EQ(Mrvk_00FC_Export_Func(u"NoSuchMessageId"), nullptr);

  // Raised inside a host function, they reach scripts as the named messages.
  iNUVDispatch2* nullFunction = Mrvk_00E4_Export_Func(&RaiseNullAccess);
  iNUVDispatch2* divideFunction = Mrvk_00E4_Export_Func(&RaiseDivideByZero);
  SetGlobal(u"hostNull", tNUVVariant(nullFunction));
  SetGlobal(u"hostDivide", tNUVVariant(divideFunction));
  nullFunction->Release();
  divideFunction->Release();
  // A method object called without an object to work on refuses (-1008) first.
  EXPECT_EQ(nullFunction->CallMember(0, nullptr, nullptr, nullptr, 0, nullptr, nullptr),
            NUV::NUVResultNativeClassCrash);
  tNUVVariant messages = RunScript(
      u"var m = [];"
      u"try { hostNull(); } catch (e) { m.add(e.message); }"
      u"try { hostDivide(); } catch (e) { m.add(e.message); }"
      u"return m;");
  ASSERT_EQ(Mrvk_00F9_Export_Func(messages.AsObject()), 2);
  tNUVVariant caught[2];
  EXPECT_EQ(Mrvk_00FA_Export_Func(messages.AsObject(), caught, 0, 5), 2);
  EXPECT_EQ(caught[0].AsString(), nullAccess);
  EXPECT_EQ(caught[1].AsString(), tNUVString::Adopt(Mrvk_00FC_Export_Func(u"NUVDivideByZero")));
}

// A native class as a host writes one: the instance holds a total.
struct tTally final : NUV::iNUVNativeInstance {
  int64_t Total = 0;
  int32_t Construct(int32_t argumentCount, tNUVVariant_S** arguments, iNUVDispatch2*) override {
    if (argumentCount > 0) Total = tNUVVariant::From(*arguments[0]).AsInteger();
    return NUV::NUVResultOk;
  }
  void Invalidate() override {}
  void Destruct() override { delete this; }
  static inline int32_t ClassID = -1;
};

int32_t TallyConstruct(tNUVVariant_S*, int32_t count, tNUVVariant_S** arguments, iNUVDispatch2* objThis) {
  tTally* tally = NUV::NUVNativeInstanceOf<tTally>(objThis, tTally::ClassID);
  return tally ? tally->Construct(count, arguments, objThis) : NUV::NUVResultNativeClassCrash;
}
int32_t TallyAdd(tNUVVariant_S* result, int32_t count, tNUVVariant_S** arguments, iNUVDispatch2* objThis) {
  tTally* tally = NUV::NUVNativeInstanceOf<tTally>(objThis, tTally::ClassID);
  if (!tally) return NUV::NUVResultNativeClassCrash;
  if (count < 1) return NUV::NUVResultBadParamCount;
  tally->Total += tNUVVariant::From(*arguments[0]).AsInteger();
  if (result) tNUVVariant::From(*result) = tally->Total;
  return NUV::NUVResultOk;
}
int32_t TallyGet(tNUVVariant_S* result, iNUVDispatch2* objThis) {
  tTally* tally = NUV::NUVNativeInstanceOf<tTally>(objThis, tTally::ClassID);
  if (!tally) return NUV::NUVResultNativeClassCrash;
  tNUVVariant::From(*result) = tally->Total;
  return NUV::NUVResultOk;
}

TEST(Exports, NativeClassesArraysAndDictionaries) {
  tTally::ClassID = Mrvk_00E1_Export_Func(u"HostTally");
  EXPECT_EQ(Mrvk_00E1_Export_Func(u"HostTally"), tTally::ClassID);
  EXPECT_EQ(Mrvk_00E2_Export_Func(u"HostTally"), tTally::ClassID);
  EXPECT_EQ(Mrvk_00E2_Export_Func(u"NeverRegisteredClass"), -1);
  EXPECT_EQ(tNUVString::Adopt(Mrvk_00E3_Export_Func(tTally::ClassID)), u"HostTally");
  EXPECT_EQ(Mrvk_00E3_Export_Func(1 << 20), nullptr);
  EXPECT_EQ(Mrvk_00E3_Export_Func(-1), nullptr);

  iNUVDispatch2* tallyClass =
      Mrvk_00E9_Export_Func(u"HostTally", tTally::ClassID, []() -> NUV::iNUVNativeInstance* { return new tTally; });
  Mrvk_00E7_Export_Func(tallyClass, u"HostTally", Mrvk_00E5_Export_Func(&TallyConstruct), u"HostTally", 1, 0);
  Mrvk_00E7_Export_Func(tallyClass, u"add", Mrvk_00E4_Export_Func(&TallyAdd), u"HostTally", 1, 0);
  Mrvk_00E7_Export_Func(tallyClass, u"total", Mrvk_00E6_Export_Func(&TallyGet, nullptr), u"HostTally", 2, 0);
  SetGlobal(u"HostTally", tNUVVariant(tallyClass));
  tallyClass->Release();

  tNUVVariant outcome = RunScript(
      u"var t = new HostTally(10); t.add(5); var u = new HostTally();"
      u"var readOnly = 'writable'; try { t.total = 1; } catch (e) { readOnly = 'read-only'; }"
      u"return '' + t.add(1) + ' ' + t.total + ' ' + u.total + ' ' + readOnly + ' ' + (t instanceof 'HostTally');");
  EXPECT_EQ(outcome.AsString(), u"16 16 0 read-only 1");

  // Arrays and dictionaries made by the host, filled by a script.
  iNUVDispatch2* array = Mrvk_00F8_Export_Func();
  iNUVDispatch2* dictionary = Mrvk_00FB_Export_Func();
  SetGlobal(u"hostArray", tNUVVariant(array));
  SetGlobal(u"hostDictionary", tNUVVariant(dictionary));
  array->Release();
  dictionary->Release();
  RunScript(u"hostArray.add(1); hostArray.add('two'); hostArray.add(3.5); hostDictionary.key = 'value';");
  EXPECT_EQ(Mrvk_00F9_Export_Func(array), 3);
  tNUVVariant elements[2];
  EXPECT_EQ(Mrvk_00FA_Export_Func(array, elements, 1, 2), 2);
  EXPECT_EQ(elements[0].AsString(), u"two");
  EXPECT_EQ(elements[1].AsReal(), 3.5);
  EXPECT_EQ(Mrvk_00FA_Export_Func(array, elements, 3, 1), 0);
  EXPECT_ANY_THROW(Mrvk_00F9_Export_Func(dictionary));
  tNUVVariant value;
  EXPECT_EQ(dictionary->GetMember(0, u"key", nullptr, &value, dictionary), NUV::NUVResultOk);
  EXPECT_EQ(value.AsString(), u"value");
  Mrvk_00FF_Export_Func();
  EXPECT_EQ(dictionary->GetMember(0, u"key", nullptr, &value, dictionary), NUV::NUVResultOk);

  // A script function called by the host with arguments.
  RunScript(u"function joinWith(separator, a, b) { return a + separator + b; }");
  tNUVVariant separator(u"-"), first(int32_t{1}), second(u"x"), joined;
  tNUVVariant_S* arguments[] = {&separator, &first, &second};
  iNUVDispatch2* global = MrvkGetGlobalObject();
  EXPECT_EQ(global->CallMember(0, u"joinWith", nullptr, &joined, 3, arguments, global), NUV::NUVResultOk);
  EXPECT_EQ(joined.AsString(), u"1-x");
}

}  // namespace
