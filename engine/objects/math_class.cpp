// The Math class object, its functions and constants, and the generator behind
// Math.random.

#include "engine/objects/math_class.h"

#include <cmath>
#include <numbers>

#include "engine/objects/random_generator.h"
#include "engine/platform/entropy.h"
#include "engine/platform/system.h"
#include "engine/services/errors.h"

namespace NUV {
namespace {

// Math.random's generator: one 64-bit state for the whole process.
uint64_t MathRandomState = 0;

// Just below 1 / 2147483647, so the largest output scales to exactly 1. It needs
// the 64-bit significand of x86-64 long double; the product is rounded there
// first and then to double.
constexpr long double MathRandomScale = 0x1p-31L + 0x1p-62L + 0x1p-93L;

// The unary and binary functions skip even the argument conversion when no result
// is wanted; traps are masked so domain errors and overflow give NaN and infinities.
template <double (*Function)(double)>
int32_t UnaryFunction(const tNUVNativeCall& call) {
  if (!call.Result) return NUVResultOk;
  Platform::MaskFloatingPointTraps();
  call.Result->SetReal(Function(call.Argument(0).AsReal()));
  return NUVResultOk;
}

template <double (*Function)(double, double)>
int32_t BinaryFunction(const tNUVNativeCall& call) {
  if (!call.Result) return NUVResultOk;
  Platform::MaskFloatingPointTraps();
  double first = call.Argument(0).AsReal();
  double second = call.Argument(1).AsReal();
  call.Result->SetReal(Function(first, second));
  return NUVResultOk;
}

double Abs(double x) { return std::fabs(x); }
double Acos(double x) { return std::acos(x); }
double Asin(double x) { return std::asin(x); }
double Atan(double x) { return std::atan(x); }
double Atan2(double y, double x) { return std::atan2(y, x); }
double Ceil(double x) { return std::ceil(x); }
double Exp(double x) { return std::exp(x); }
double Floor(double x) { return std::floor(x); }
double Log(double x) { return std::log(x); }
double Pow(double x, double y) { return std::pow(x, y); }
double Sin(double x) { return std::sin(x); }
double Cos(double x) { return std::cos(x); }
double Sqrt(double x) { return std::sqrt(x); }
double Tan(double x) { return std::tan(x); }

// Halves round up. floor(x + 0.5) would round the sum first and so lift values
// just below a half (0.49999999999999994) and odd integers beyond 2^52; comparing
// the fraction is exact. Adding +0 turns -0 into +0, as floor(-0 + 0.5) gives.
double Round(double x) {
  double below = std::floor(x);
  double rounded = x - below >= 0.5 ? below + 1.0 : below;
  return rounded + 0.0;
}

// max and min convert both arguments even when no result is wanted, so a bad
// argument fails the same way either way. A NaN first argument loses the
// comparison and the second wins.
int32_t Max(const tNUVNativeCall& call) {
  Platform::MaskFloatingPointTraps();
  double first = call.Argument(0).AsReal();
  double second = call.Argument(1).AsReal();
  if (call.Result) call.Result->SetReal(first >= second ? first : second);
  return NUVResultOk;
}

int32_t Min(const tNUVNativeCall& call) {
  Platform::MaskFloatingPointTraps();
  double first = call.Argument(0).AsReal();
  double second = call.Argument(1).AsReal();
  if (call.Result) call.Result->SetReal(first <= second ? first : second);
  return NUVResultOk;
}

// A discarded call leaves the generator where it is.
int32_t Random(const tNUVNativeCall& call) {
  if (call.Result) call.Result->SetReal(NUVNextMathRandom());
  return NUVResultOk;
}

int32_t Nothing(tNUVVariant*, int32_t, tNUVVariant**, iNUVDispatch2*) { return NUVResultOk; }

// Constants are passed by reference: not every compiler takes a double as a
// template argument.
template <const double& Value>
int32_t Constant(tNUVVariant* result, iNUVDispatch2*) {
  result->SetReal(Value);
  return NUVResultOk;
}

template <int32_t MinimumArguments, int32_t (*Body)(const tNUVNativeCall& call)>
iNUVDispatch2* Function() {
  return new tNUVNativeClassMethod(NUVStaticMethod<MinimumArguments, Body>);
}

constexpr double HalfSqrt2 = std::numbers::sqrt2 / 2;

template <const double& Value>
iNUVDispatch2* ConstantProperty() {
  return new tNUVNativeClassProperty(Constant<Value>, nullptr);
}

}  // namespace

void NUVSeedMathRandom(int64_t calendarSeconds) {
  MathRandomState = (static_cast<uint64_t>(calendarSeconds) * 22695477u + 1u) & 0xFFFFFFFFu;
}

double NUVNextMathRandom() {
  MathRandomState = MathRandomState * ((uint64_t{346} << 32) + 20021u) + 1u;
  auto output = static_cast<uint32_t>(MathRandomState >> 32) & 0x7FFFFFFFu;
  return static_cast<double>(output * MathRandomScale);
}

tNUVNC_Math::tNUVNC_Math() : tNUVNativeClass(u"Math") {
  RegisterMember(u"finalize", new tNUVNativeClassMethod(Nothing), NUVNativeMemberMethod);
  RegisterMember(u"Math", new tNUVNativeClassConstructor(Nothing), NUVNativeMemberMethod);
  RegisterMember(u"abs", Function<1, UnaryFunction<Abs>>(), NUVNativeMemberMethod);
  RegisterMember(u"acos", Function<1, UnaryFunction<Acos>>(), NUVNativeMemberMethod);
  RegisterMember(u"asin", Function<1, UnaryFunction<Asin>>(), NUVNativeMemberMethod);
  RegisterMember(u"atan", Function<1, UnaryFunction<Atan>>(), NUVNativeMemberMethod);
  RegisterMember(u"atan2", Function<2, BinaryFunction<Atan2>>(), NUVNativeMemberMethod);
  RegisterMember(u"ceil", Function<1, UnaryFunction<Ceil>>(), NUVNativeMemberMethod);
  RegisterMember(u"exp", Function<1, UnaryFunction<Exp>>(), NUVNativeMemberMethod);
  RegisterMember(u"floor", Function<1, UnaryFunction<Floor>>(), NUVNativeMemberMethod);
  RegisterMember(u"log", Function<1, UnaryFunction<Log>>(), NUVNativeMemberMethod);
  RegisterMember(u"pow", Function<2, BinaryFunction<Pow>>(), NUVNativeMemberMethod);
  RegisterMember(u"max", Function<2, Max>(), NUVNativeMemberMethod);
  RegisterMember(u"min", Function<2, Min>(), NUVNativeMemberMethod);
  RegisterMember(u"random", Function<0, Random>(), NUVNativeMemberMethod);
  RegisterMember(u"round", Function<1, UnaryFunction<Round>>(), NUVNativeMemberMethod);
  RegisterMember(u"sin", Function<1, UnaryFunction<Sin>>(), NUVNativeMemberMethod);
  RegisterMember(u"cos", Function<1, UnaryFunction<Cos>>(), NUVNativeMemberMethod);
  RegisterMember(u"sqrt", Function<1, UnaryFunction<Sqrt>>(), NUVNativeMemberMethod);
  RegisterMember(u"tan", Function<1, UnaryFunction<Tan>>(), NUVNativeMemberMethod);

  RegisterMember(u"E", ConstantProperty<std::numbers::e>(), NUVNativeMemberProperty);
  RegisterMember(u"LOG2E", ConstantProperty<std::numbers::log2e>(), NUVNativeMemberProperty);
  RegisterMember(u"LOG10E", ConstantProperty<std::numbers::log10e>(), NUVNativeMemberProperty);
  RegisterMember(u"LN10", ConstantProperty<std::numbers::ln10>(), NUVNativeMemberProperty);
  RegisterMember(u"LN2", ConstantProperty<std::numbers::ln2>(), NUVNativeMemberProperty);
  RegisterMember(u"PI", ConstantProperty<std::numbers::pi>(), NUVNativeMemberProperty);
  RegisterMember(u"SQRT1_2", ConstantProperty<HalfSqrt2>(), NUVNativeMemberProperty);
  RegisterMember(u"SQRT2", ConstantProperty<std::numbers::sqrt2>(), NUVNativeMemberProperty);

  // The generator class lives on Math, not on the global object.
  tNUVVariant generator(static_cast<iNUVDispatch2*>(new tNUVNC_RandomGenerator), nullptr);
  generator.Object.Object->Release();   // the variant holds it now
  NUVThrowFromResultCode(SetMember(NUVMemberEnsure, u"RandomGenerator", nullptr, &generator, this),
                         u"RandomGenerator");

  NUVSeedMathRandom(Platform::CalendarSeconds());
}

}  // namespace NUV
