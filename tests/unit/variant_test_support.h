#pragma once
// Helpers shared by the variant tests: a reference-counted stand-in object,
// value checks that compare tags and bits, and capture of raised messages.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/services/errors.h"
#include "engine/values/variant.h"

namespace NUV::VariantTest {

// A script object stand-in. It starts with the one reference its creator holds,
// counts AddRef/Release and deletes itself on the last Release; LiveCount counts
// the instances not yet deleted. Every other operation answers "not implemented".
class tCountedObject final : public iNUVDispatch2 {
public:
  static inline int32_t LiveCount = 0;

  int32_t References = 1;
  // Runs inside the last Release, before the object is deleted.
  std::function<void(tCountedObject*)> OnFinalRelease;
  // The last Release raises an error after deleting the object (a failing finalizer).
  bool ThrowOnFinalRelease = false;

  static tCountedObject* Create() { return new tCountedObject(); }

  int32_t AddRef() override { return ++References; }
  int32_t Release() override {
    int32_t left = --References;
    if (left == 0) {
      if (OnFinalRelease) OnFinalRelease(this);
      bool shouldThrow = ThrowOnFinalRelease;
      delete this;
      if (shouldThrow) throw eNUVError(tNUVString(u"finalizer failed"));
    }
    return left;
  }

  int32_t CallMember(uint32_t, const char16_t*, uint32_t*, tNUVVariant*, int32_t, tNUVVariant**,
                     iNUVDispatch2*) override { return NUVResultNotImplemented; }
  int32_t CallMemberByNum(uint32_t, int32_t, tNUVVariant*, int32_t, tNUVVariant**,
                          iNUVDispatch2*) override { return NUVResultNotImplemented; }
  int32_t GetMember(uint32_t, const char16_t*, uint32_t*, tNUVVariant*, iNUVDispatch2*) override {
    return NUVResultNotImplemented;
  }
  int32_t GetMemberByNum(uint32_t, int32_t, tNUVVariant*, iNUVDispatch2*) override {
    return NUVResultNotImplemented;
  }
  int32_t SetMember(uint32_t, const char16_t*, uint32_t*, const tNUVVariant*, iNUVDispatch2*) override {
    return NUVResultNotImplemented;
  }
  int32_t SetMemberByNum(uint32_t, int32_t, const tNUVVariant*, iNUVDispatch2*) override {
    return NUVResultNotImplemented;
  }
  int32_t GetMemberCount(int32_t*, const char16_t*, uint32_t*, iNUVDispatch2*) override {
    return NUVResultNotImplemented;
  }
  int32_t GetMemberCountByNum(int32_t*, int32_t, iNUVDispatch2*) override { return NUVResultNotImplemented; }
  int32_t SetMemberByBody(uint32_t, tNUVVariantString*, const tNUVVariant*, iNUVDispatch2*) override {
    return NUVResultNotImplemented;
  }
  int32_t EnumerateMembers(uint32_t, tNUVVariantClosure_S*, iNUVDispatch2*) override {
    return NUVResultNotImplemented;
  }
  int32_t DeleteMember(uint32_t, const char16_t*, uint32_t*, iNUVDispatch2*) override {
    return NUVResultNotImplemented;
  }
  int32_t DeleteMemberByNum(uint32_t, int32_t, iNUVDispatch2*) override { return NUVResultNotImplemented; }
  int32_t Invalidate(uint32_t, const char16_t*, uint32_t*, iNUVDispatch2*) override {
    return NUVResultNotImplemented;
  }
  int32_t InvalidateByNum(uint32_t, int32_t, iNUVDispatch2*) override { return NUVResultNotImplemented; }
  int32_t IsValid(uint32_t, const char16_t*, uint32_t*, iNUVDispatch2*) override {
    return NUVResultNotImplemented;
  }
  int32_t IsValidByNum(uint32_t, int32_t, iNUVDispatch2*) override { return NUVResultNotImplemented; }
  int32_t CreateInstance(uint32_t, const char16_t*, uint32_t*, iNUVDispatch2**, int32_t, tNUVVariant**,
                         iNUVDispatch2*) override { return NUVResultNotImplemented; }
  int32_t CreateInstanceByNum(uint32_t, int32_t, iNUVDispatch2**, int32_t, tNUVVariant**,
                              iNUVDispatch2*) override { return NUVResultNotImplemented; }
  int32_t Reserved1() override { return NUVResultNotImplemented; }
  int32_t IsInstanceOf(uint32_t, const char16_t*, uint32_t*, const char16_t*, iNUVDispatch2*) override {
    return NUVResultNotImplemented;
  }
  int32_t IsInstanceOfByNum(uint32_t, int32_t, const char16_t*, iNUVDispatch2*) override {
    return NUVResultNotImplemented;
  }
  int32_t ApplyOperation(uint32_t, const char16_t*, uint32_t*, tNUVVariant*, const tNUVVariant*,
                         iNUVDispatch2*) override { return NUVResultNotImplemented; }
  int32_t ApplyOperationByNum(uint32_t, int32_t, tNUVVariant*, const tNUVVariant*, iNUVDispatch2*) override {
    return NUVResultNotImplemented;
  }
  int32_t NativeInstanceSlot(int32_t, int32_t, iNUVNativeInstance**) override { return NUVResultNotImplemented; }
  int32_t ClassInfo(int32_t, int32_t, tNUVVariant*) override { return NUVResultNotImplemented; }
  int32_t Reserved2() override { return NUVResultNotImplemented; }
  int32_t Reserved3() override { return NUVResultNotImplemented; }

private:
  tCountedObject() { ++LiveCount; }
  ~tCountedObject() { --LiveCount; }
};

// Fixture that fails a test which leaves test objects alive.
class tVariantTest : public ::testing::Test {
protected:
  void SetUp() override { LiveAtStart = tCountedObject::LiveCount; }
  void TearDown() override { EXPECT_EQ(tCountedObject::LiveCount, LiveAtStart) << "test objects leaked"; }
  int32_t LiveAtStart = 0;
};

inline std::u16string Text(const tNUVString& string) {
  return std::u16string(string.c_str(), static_cast<size_t>(string.GetLen()));
}

inline uint64_t Bits(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

inline double RealFromBits(uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

inline tNUVVariant OctetOf(std::initializer_list<uint8_t> bytes) {
  std::vector<uint8_t> data(bytes);
  return tNUVVariant(data.data(), static_cast<int32_t>(data.size()));
}

// The text of "%p" in the object text: 16 upper-case hex digits.
inline std::u16string PointerDigits(const void* pointer) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%016llX",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(pointer)));
  return std::u16string(buffer, buffer + std::strlen(buffer));
}

inline std::u16string ObjectText(const void* object, const void* objThis) {
  return u"(object 0x" + PointerDigits(object) + u":0x" + PointerDigits(objThis) + u")";
}

inline std::u16string ConvertMessage(const std::u16string& readable, const std::u16string& target) {
  return readable + u" から " + target + u" へ型を変換できません";
}

inline std::u16string ToObjectMessage(const std::u16string& readable) {
  return readable + u" から Object へ型を変換できません。Object 型が要求される文脈で Object 型以外の値が渡されるとこのエラーが発生します";
}

// The message of the eNUVVariantError the action raises; a failure when it raises none.
template <typename tAction>
std::u16string VariantErrorText(tAction&& action) {
  try {
    action();
  } catch (const eNUVVariantError& error) {
    return Text(error.GetMessage());
  }
  ADD_FAILURE() << "no eNUVVariantError was raised";
  return u"<nothing raised>";
}

// The message of any engine error the action raises.
template <typename tAction>
std::u16string ErrorText(tAction&& action) {
  try {
    action();
  } catch (const eNUVError& error) {
    return Text(error.GetMessage());
  }
  ADD_FAILURE() << "no eNUVError was raised";
  return u"<nothing raised>";
}

inline ::testing::AssertionResult IsVoid(const tNUVVariant& value) {
  if (value.Type() == tvtVoid) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "tag " << value.Type() << " instead of void";
}

inline ::testing::AssertionResult IsInteger(const tNUVVariant& value, int64_t expected) {
  if (value.Type() != tvtInteger) return ::testing::AssertionFailure() << "tag " << value.Type() << " instead of int";
  if (value.Integer != expected)
    return ::testing::AssertionFailure() << "int " << value.Integer << " instead of " << expected;
  return ::testing::AssertionSuccess();
}

// Reals compare by bits (so signed zeros show); any NaN matches an expected NaN.
inline ::testing::AssertionResult IsReal(const tNUVVariant& value, double expected) {
  if (value.Type() != tvtReal) return ::testing::AssertionFailure() << "tag " << value.Type() << " instead of real";
  bool same = std::isnan(expected) ? std::isnan(value.Real) : Bits(value.Real) == Bits(expected);
  if (!same) return ::testing::AssertionFailure() << "real " << value.Real << " instead of " << expected;
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult IsString(const tNUVVariant& value, const std::u16string& expected) {
  if (value.Type() != tvtString)
    return ::testing::AssertionFailure() << "tag " << value.Type() << " instead of string";
  if (!value.String && !expected.empty())
    return ::testing::AssertionFailure() << "empty string instead of " << ::testing::PrintToString(expected);
  std::u16string actual = value.String ? std::u16string(value.String->Text(), value.String->Length) : u"";
  if (actual != expected)
    return ::testing::AssertionFailure() << ::testing::PrintToString(actual) << " instead of "
                                         << ::testing::PrintToString(expected);
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult IsOctet(const tNUVVariant& value, std::vector<uint8_t> expected) {
  if (value.Type() != tvtOctet) return ::testing::AssertionFailure() << "tag " << value.Type() << " instead of octet";
  std::vector<uint8_t> actual;
  if (value.Octet) actual.assign(value.Octet->Data, value.Octet->Data + value.Octet->Length);
  if (actual != expected)
    return ::testing::AssertionFailure() << ::testing::PrintToString(actual) << " instead of "
                                         << ::testing::PrintToString(expected);
  if (expected.empty() && value.Octet) return ::testing::AssertionFailure() << "empty octet with a body";
  return ::testing::AssertionSuccess();
}

}  // namespace NUV::VariantTest
