// The MT19937 generator, its saved form and the RandomGenerator class.

#include "engine/objects/random_generator.h"

#include <cstring>

#include "engine/objects/dictionary.h"
#include "engine/platform/entropy.h"
#include "engine/services/errors.h"
#include "engine/services/messages.h"

namespace NUV {
namespace {

constexpr int32_t StateSize = tNUVMersenneTwisterData::StateSize;
constexpr int32_t MiddleOffset = 397;
constexpr uint32_t TwistConstant = 0x9908B0DFu;
constexpr uint32_t UpperMask = 0x80000000u;
constexpr uint32_t LowerMask = 0x7FFFFFFFu;

// Digits per state word in the saved form, and the saved text's length.
constexpr int32_t WordDigits = 8;
constexpr int32_t SavedStateLength = StateSize * WordDigits;

uint32_t Twist(uint32_t upper, uint32_t lower) {
  uint32_t mixed = (upper & UpperMask) | (lower & LowerMask);
  return (mixed >> 1) ^ ((lower & 1u) ? TwistConstant : 0u);
}

int HexDigitValue(char16_t unit) {
  if (unit >= u'0' && unit <= u'9') return unit - u'0';
  if (unit >= u'a' && unit <= u'f') return unit - u'a' + 10;
  if (unit >= u'A' && unit <= u'F') return unit - u'A' + 10;
  return -1;
}

tNUVVariant ReadMember(iNUVDispatch2* object, iNUVDispatch2* objThis, const char16_t* name) {
  tNUVVariant value;
  NUVThrowFromResultCode(object->GetMember(NUVMemberMustExist, name, nullptr, &value, objThis), name);
  return value;
}

// The record's int32 fields keep what was saved; values beyond int32 are pinned to
// its ends, which the generator treats as "regenerate now".
int32_t SavedField(int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

}  // namespace

// The generator ----------------------------------------------------------------------

tNUVMersenneTwister::tNUVMersenneTwister(uint32_t seed) { SeedSingle(seed); }

tNUVMersenneTwister::tNUVMersenneTwister(const uint32_t* key, int32_t length) {
  SeedSingle(19650218u);
  uint32_t* state = Data.state;
  int32_t i = 1, j = 0;
  for (int32_t k = length > StateSize ? length : StateSize; k > 0; --k) {
    uint32_t keyWord = length > 0 ? key[j] : 0u;
    state[i] = (state[i] ^ ((state[i - 1] ^ (state[i - 1] >> 30)) * 1664525u)) + keyWord + static_cast<uint32_t>(j);
    ++i;
    ++j;
    if (i >= StateSize) {
      state[0] = state[StateSize - 1];
      i = 1;
    }
    if (j >= length) j = 0;
  }
  for (int32_t k = StateSize - 1; k > 0; --k) {
    state[i] = (state[i] ^ ((state[i - 1] ^ (state[i - 1] >> 30)) * 1566083941u)) - static_cast<uint32_t>(i);
    ++i;
    if (i >= StateSize) {
      state[0] = state[StateSize - 1];
      i = 1;
    }
  }
  state[0] = 0x80000000u;
  Data.left = 1;
  Data.next = 0;
}

void tNUVMersenneTwister::SeedSingle(uint32_t seed) {
  uint32_t* state = Data.state;
  state[0] = seed;
  for (int32_t i = 1; i < StateSize; ++i)
    state[i] = 1812433253u * (state[i - 1] ^ (state[i - 1] >> 30)) + static_cast<uint32_t>(i);
  Data.left = 1;
  Data.next = 0;
}

void tNUVMersenneTwister::Regenerate() {
  uint32_t* state = Data.state;
  int32_t i = 0;
  for (; i < StateSize - MiddleOffset; ++i) state[i] = state[i + MiddleOffset] ^ Twist(state[i], state[i + 1]);
  for (; i < StateSize - 1; ++i)
    state[i] = state[i + MiddleOffset - StateSize] ^ Twist(state[i], state[i + 1]);
  state[i] = state[i + MiddleOffset - StateSize] ^ Twist(state[i], state[0]);
  Data.left = StateSize;
  Data.next = 0;
}

uint32_t tNUVMersenneTwister::Next() {
  // A restored record may hold any left and next; whatever they are, the read
  // stays inside state: an exhausted count or a position outside regenerates.
  if (Data.left <= 1 || Data.next < 0 || Data.next >= StateSize) Regenerate();
  else --Data.left;
  uint32_t word = Data.state[Data.next++];
  word ^= word >> 11;
  word ^= (word << 7) & 0x9D2C5680u;
  word ^= (word << 15) & 0xEFC60000u;
  word ^= word >> 18;
  return word;
}

// Saved state --------------------------------------------------------------------------

tNUVMersenneTwisterData NUVReadSerializedTwister(const tNUVVariantClosure& source) {
  iNUVDispatch2* object = source.Object;
  if (!object) NUVThrowError(NUVNullAccess);
  iNUVDispatch2* objThis = source.ObjThis ? source.ObjThis : object;

  tNUVMersenneTwisterData data;
  tNUVString text = ReadMember(object, objThis, u"state").AsString();
  if (text.GetLen() != SavedStateLength) NUVThrowError(NUVNotReconstructiveRandomizeData);
  const char16_t* units = text.c_str();
  for (int32_t word = 0; word < StateSize; ++word) {
    uint32_t value = 0;
    for (int32_t digit = 0; digit < WordDigits; ++digit) {
      int digitValue = HexDigitValue(units[word * WordDigits + digit]);
      if (digitValue < 0) NUVThrowError(NUVNotReconstructiveRandomizeData);
      value = (value << 4) | static_cast<uint32_t>(digitValue);
    }
    data.state[word] = value;
  }
  data.left = SavedField(ReadMember(object, objThis, u"left").AsInteger());
  data.next = SavedField(ReadMember(object, objThis, u"next").AsInteger());
  return data;
}

// The native instance ------------------------------------------------------------------

int32_t tNUVNI_RandomGenerator::Construct(int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2*) {
  Randomize(argumentCount, arguments);
  return NUVResultOk;
}

void tNUVNI_RandomGenerator::Randomize(int32_t argumentCount, tNUVVariant** arguments) {
  std::unique_ptr<tNUVMersenneTwister> fresh;
  if (argumentCount <= 0) {
    fresh = std::make_unique<tNUVMersenneTwister>(static_cast<uint32_t>(Platform::CalendarSeconds()));
  } else if (arguments[0]->Type() == tvtObject) {
    fresh = std::make_unique<tNUVMersenneTwister>(NUVReadSerializedTwister(arguments[0]->AsObjectClosure()));
  } else {
    auto value = static_cast<uint64_t>(arguments[0]->AsInteger());
    const uint32_t key[2] = {static_cast<uint32_t>(value), static_cast<uint32_t>(value >> 32)};
    fresh = std::make_unique<tNUVMersenneTwister>(key, 2);
  }
  Twister = std::move(fresh);
}

tNUVMersenneTwister& tNUVNI_RandomGenerator::Generator() {
  if (!Twister) Twister = std::make_unique<tNUVMersenneTwister>(static_cast<uint32_t>(Platform::CalendarSeconds()));
  return *Twister;
}

tNUVVariant tNUVNI_RandomGenerator::Serialize() {
  const tNUVMersenneTwisterData& data = Generator().GetData();
  static const char16_t digits[] = u"0123456789abcdef";
  char16_t text[SavedStateLength + 1];
  for (int32_t word = 0; word < StateSize; ++word) {
    uint32_t value = data.state[word];
    for (int32_t digit = WordDigits - 1; digit >= 0; --digit) {
      text[word * WordDigits + digit] = digits[value & 0xF];
      value >>= 4;
    }
  }
  text[SavedStateLength] = 0;

  iNUVDispatch2* dictionary = CreateDictionaryObject();
  tNUVVariant result;
  NUVAdoptObjectValue(result, dictionary);
  const tNUVVariant state(text), left(data.left), next(data.next);
  NUVThrowFromResultCode(dictionary->SetMember(NUVMemberEnsure, u"state", nullptr, &state, dictionary), u"state");
  NUVThrowFromResultCode(dictionary->SetMember(NUVMemberEnsure, u"left", nullptr, &left, dictionary), u"left");
  NUVThrowFromResultCode(dictionary->SetMember(NUVMemberEnsure, u"next", nullptr, &next, dictionary), u"next");
  return result;
}

// The class object ---------------------------------------------------------------------

namespace {

using tInstance = tNUVNI_RandomGenerator;

int32_t ConstructGenerator(tNUVVariant*, int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) {
  return NUVConstructNativeInstance(tInstance::ClassID, argumentCount, arguments, objThis);
}

int32_t MethodFinalize(tInstance&, const tNUVNativeCall&) { return NUVResultOk; }

int32_t MethodRandomize(tInstance& self, const tNUVNativeCall& call) {
  self.Randomize(call.ArgumentCount, call.Arguments);
  return NUVResultOk;
}

// The outputs are drawn also when the result is not wanted, so the sequence does
// not depend on how the caller uses it.
int32_t MethodRandom(tInstance& self, const tNUVNativeCall& call) {
  uint64_t low = self.Generator().Next();
  uint64_t high = self.Generator().Next() & 0xFFFFFu;
  uint64_t bits = (uint64_t{1023} << 52) | (high << 32) | low;   // 1.fraction
  double value;
  std::memcpy(&value, &bits, sizeof value);
  call.SetResult(value - 1.0);
  return NUVResultOk;
}

int32_t MethodRandom32(tInstance& self, const tNUVNativeCall& call) {
  call.SetResult(static_cast<int64_t>(self.Generator().Next()));
  return NUVResultOk;
}

int32_t MethodRandom63(tInstance& self, const tNUVNativeCall& call) {
  uint64_t low = self.Generator().Next();
  uint64_t high = self.Generator().Next() & 0x7FFFFFFFu;
  call.SetResult(static_cast<int64_t>((high << 32) | low));
  return NUVResultOk;
}

int32_t MethodRandom64(tInstance& self, const tNUVNativeCall& call) {
  uint64_t low = self.Generator().Next();
  uint64_t high = self.Generator().Next();
  call.SetResult(static_cast<int64_t>((high << 32) | low));
  return NUVResultOk;
}

int32_t MethodSerialize(tInstance& self, const tNUVNativeCall& call) {
  tNUVVariant dictionary = self.Serialize();
  call.SetResult(dictionary);
  return NUVResultOk;
}

template <int32_t (*Body)(tInstance& self, const tNUVNativeCall& call)>
iNUVDispatch2* Method() {
  return new tNUVNativeClassMethod(NUVInstanceMethod<tInstance, 0, Body>);
}

}  // namespace

tNUVNC_RandomGenerator::tNUVNC_RandomGenerator() : tNUVNativeClass(u"RandomGenerator") {
  tInstance::ClassID = ClassID;
  RegisterMember(u"finalize", Method<MethodFinalize>(), NUVNativeMemberMethod);
  RegisterMember(u"RandomGenerator", new tNUVNativeClassConstructor(ConstructGenerator), NUVNativeMemberMethod);
  RegisterMember(u"randomize", Method<MethodRandomize>(), NUVNativeMemberMethod);
  RegisterMember(u"random", Method<MethodRandom>(), NUVNativeMemberMethod);
  RegisterMember(u"random32", Method<MethodRandom32>(), NUVNativeMemberMethod);
  RegisterMember(u"random63", Method<MethodRandom63>(), NUVNativeMemberMethod);
  RegisterMember(u"random64", Method<MethodRandom64>(), NUVNativeMemberMethod);
  RegisterMember(u"serialize", Method<MethodSerialize>(), NUVNativeMemberMethod);
}

}  // namespace NUV
