#pragma once
// mervanik: the NUV2 script engine as a shared library, seen from a host program.
//
// Link with -lmervanik. Loading the library sets up one process-wide script
// environment (an engine whose global object holds the built-in classes and
// print, println, readline, CommandLine and Scripts); unloading it releases
// everything. The library is used from one thread at a time.
//
// Ownership in brief:
// - tNUVString and tNUVVariant below are the host's views of the engine's string
//   and value: every change goes through the library's exports, so bodies stay on
//   the library's heap. Copying adds a reference, destruction drops one.
// - iNUVDispatch2 objects are reference counted (AddRef/Release). A function that
//   makes an object hands its one reference to the caller; a "borrowed" pointer
//   (MrvkGetGlobalObject, tNUVVariant::AsObject) must not be released. A variant
//   holding an object owns a reference of it (and of its bound this).
// - Results of object operations are written into a variant the caller owns; a
//   callback's result and arguments belong to the library (read them, assign the
//   result, keep copies only).
// - Registering a member (Mrvk_00E7_Export_Func) takes over the member's reference.
// - Engine errors are C++ exceptions of the library's own types: catch (...).
//   Only MrvkExecScript and MrvkEvalExpression turn them into a result (-1).
//
// A native class, in outline (examples/embed shows it whole):
//   int32_t id = Mrvk_00E1_Export_Func(u"Counter");
//   iNUVDispatch2* cls = Mrvk_00E9_Export_Func(u"Counter", id, &NewCounterInstance);
//   Mrvk_00E7_Export_Func(cls, u"Counter", Mrvk_00E5_Export_Func(&Construct), u"Counter", 1, 0);
//   Mrvk_00E7_Export_Func(cls, u"increment", Mrvk_00E4_Export_Func(&Increment), u"Counter", 1, 0);
//   Mrvk_00E7_Export_Func(cls, u"value", Mrvk_00E6_Export_Func(&Get, &Set), u"Counter", 2, 0);
//   tNUVVariant value(cls); cls->Release();
//   global->SetMember(NUVMemberEnsure, u"Counter", nullptr, &value, global);
// Callbacks find their data with NUVNativeInstanceOf<tCounter>(objThis, id).

#include <cstdint>
#include <string>
#include <type_traits>

#include "mervanik/mervanik_exports.h"

namespace NUV {

class iNUVTextReadStream;
class iNUVTextWriteStream;

// A string: UTF-16 text in a body on the library's heap, shared between copies
// (copy adds a reference, destruction drops one; writing copies a shared body
// first). Narrow text is UTF-8 unless the environment variable NUV_CODEPAGE names
// another encoding.
class tNUVString {
public:
  tNUVString() { Mrvk_0078_Export_Func(this); }
  tNUVString(const tNUVString& other) { Mrvk_0079_Export_Func(this, &other); }
  tNUVString(tNUVString&& other) noexcept : Body(other.Body) { other.Body = nullptr; }
  tNUVString(const char16_t* text) { Mrvk_007B_Export_Func(this, text); }
  tNUVString(const char16_t* text, int32_t length) { Mrvk_0081_Export_Func(this, text, length); }
  tNUVString(const std::u16string& text) : tNUVString(text.c_str(), static_cast<int32_t>(text.size())) {}
  explicit tNUVString(const char* narrow) { Mrvk_007C_Export_Func(this, narrow); }
  // The string form of a value (as the language converts it).
  explicit tNUVString(const tNUVVariant_S& value) { Mrvk_007F_Export_Func(this, &value); }
  ~tNUVString() { Mrvk_0083_Export_Func(this); }

  // Takes over the reference of a body that an export returned ("new body").
  static tNUVString Adopt(tNUVVariantString* body) {
    tNUVString string;
    string.Body = body;
    return string;
  }
  // Shares a body (adds a reference).
  static tNUVString FromBody(tNUVVariantString* body) {
    tNUVString string{Raw{}};
    Mrvk_007A_Export_Func(&string, body);
    return string;
  }
  static tNUVString FromInteger(int32_t value) {
    tNUVString string{Raw{}};
    Mrvk_0082_Export_Func(&string, value);
    return string;
  }

  tNUVString& operator=(const tNUVString& other) { return *Mrvk_0084_Export_Func(this, &other); }
  tNUVString& operator=(tNUVString&& other) noexcept {
    tNUVVariantString* body = Body;
    Body = other.Body;
    other.Body = body;
    return *this;
  }
  tNUVString& operator=(const char16_t* text) { return *Mrvk_0085_Export_Func(this, text); }
  tNUVString& operator+=(const tNUVString& tail) { return *Mrvk_0087_Export_Func(this, &tail); }
  tNUVString& operator+=(const char16_t* text) { return *Mrvk_0089_Export_Func(this, text); }
  tNUVString& operator+=(char16_t unit) { return *Mrvk_008A_Export_Func(this, unit); }
  tNUVString operator+(const tNUVString& tail) const { return Adopt(Mrvk_009F_Export_Func(this, &tail)); }
  tNUVString operator+(const char16_t* text) const { return Adopt(Mrvk_00A0_Export_Func(this, text)); }
  void Clear() { Mrvk_008B_Export_Func(this); }
  void Replace(const tNUVString& search, const tNUVString& replacement, bool all = true) {
    Mrvk_008F_Export_Func(this, &search, &replacement, all);
  }

  // The text, zero-terminated and never null; valid while the string is unchanged.
  const char16_t* c_str() const { return Mrvk_0094_Export_Func(this); }
  int32_t GetLen() const { return Mrvk_00AC_Export_Func(this); }
  bool IsEmpty() const { return Body == nullptr || GetLen() == 0; }
  char16_t operator[](int32_t index) const { return Mrvk_00A2_Export_Func(this, index); }
  // The body, borrowed (null for the empty string).
  tNUVVariantString* GetBody() const { return Body; }
  // Member lookups may pass this as their hint (null for the empty string).
  uint32_t* GetHint() const { return Mrvk_0092_Export_Func(this); }

  bool operator==(const tNUVString& other) const { return Mrvk_0097_Export_Func(this, &other); }
  bool operator!=(const tNUVString& other) const { return Mrvk_0098_Export_Func(this, &other); }
  bool operator==(const char16_t* text) const { return Mrvk_009A_Export_Func(this, text); }
  bool operator!=(const char16_t* text) const { return Mrvk_009B_Export_Func(this, text); }
  bool operator<(const tNUVString& other) const { return Mrvk_009D_Export_Func(this, &other); }
  bool operator>(const tNUVString& other) const { return Mrvk_009E_Export_Func(this, &other); }
  bool StartsWith(const char16_t* prefix) const { return Mrvk_00A7_Export_Func(this, prefix); }

  tNUVString ToLowerCase() const { tNUVString out; Mrvk_00A3_Export_Func(this, &out); return out; }
  tNUVString ToUpperCase() const { tNUVString out; Mrvk_00A4_Export_Func(this, &out); return out; }
  tNUVString Escape() const { tNUVString out; Mrvk_00A5_Export_Func(this, &out); return out; }
  // The text as a number (0 when it is none).
  int64_t AsInteger() const { return Mrvk_0096_Export_Func(this); }
  // Narrow text (UTF-8 by default); raises when the text cannot be converted.
  std::string AsStdString() const;
  std::u16string AsU16String() const { return std::u16string(c_str(), static_cast<size_t>(GetLen())); }

private:
  struct Raw {};
  explicit tNUVString(Raw) {}

  tNUVVariantString* Body;
};

// A value, held as the engine holds it: copying a variant adds references to the
// object, string or octet it holds, destruction drops them. Conversions raise the
// engine's conversion error for values that do not convert.
class tNUVVariant : public tNUVVariant_S {
public:
  tNUVVariant() { Mrvk_0001_Export_Func(this); }
  tNUVVariant(const tNUVVariant& other) { Mrvk_0002_Export_Func(this, &other); }
  tNUVVariant(tNUVVariant&& other) noexcept : tNUVVariant_S(other) {
    other.vt = tvtVoid;
    other.Object.Object = other.Object.ObjThis = nullptr;
  }
  // A copy of a plain record (adds references).
  explicit tNUVVariant(const tNUVVariant_S& other) { Mrvk_0002_Export_Func(this, &other); }
  explicit tNUVVariant(iNUVDispatch2* object, iNUVDispatch2* objThis = nullptr) {
    Mrvk_0004_Export_Func(this, object, objThis);
  }
  tNUVVariant(const char16_t* text) { Mrvk_0005_Export_Func(this, text); }
  tNUVVariant(const tNUVString& string) { Mrvk_0006_Export_Func(this, &string); }
  explicit tNUVVariant(const char* narrow) { Mrvk_0007_Export_Func(this, narrow); }
  tNUVVariant(const uint8_t* bytes, int32_t length) { Mrvk_0008_Export_Func(this, bytes, length); }
  tNUVVariant(int32_t value) { Mrvk_000A_Export_Func(this, value); }
  tNUVVariant(int64_t value) {
    auto bits = static_cast<uint64_t>(value);
    Mrvk_000B_Export_Func(this, static_cast<uint32_t>(bits), static_cast<uint32_t>(bits >> 32));
  }
  tNUVVariant(double value) { Mrvk_000C_Export_Func(this, value); }
  // Exactly bool (int 0 or 1): pointers must not turn into booleans.
  template <typename tBool, typename = std::enable_if_t<std::is_same_v<tBool, bool>>>
  tNUVVariant(tBool value) { Mrvk_0009_Export_Func(this, value ? 1 : 0); }
  ~tNUVVariant() { Mrvk_000E_Export_Func(this, 0); }

  tNUVVariant& operator=(const tNUVVariant& other) {
    return static_cast<tNUVVariant&>(*Mrvk_0019_Export_Func(this, &other));
  }
  tNUVVariant& operator=(tNUVVariant&& other) noexcept {
    tNUVVariant_S held = *this;
    static_cast<tNUVVariant_S&>(*this) = other;
    static_cast<tNUVVariant_S&>(other) = held;
    return *this;
  }
  tNUVVariant& operator=(const tNUVString& string) { Mrvk_0021_Export_Func(this, &string); return *this; }
  tNUVVariant& operator=(const char16_t* text) { Mrvk_0022_Export_Func(this, text); return *this; }
  tNUVVariant& operator=(int32_t value) { Mrvk_0025_Export_Func(this, value); return *this; }
  tNUVVariant& operator=(int64_t value) { Mrvk_0026_Export_Func(this, value); return *this; }
  tNUVVariant& operator=(double value) { Mrvk_0027_Export_Func(this, value); return *this; }
  // Back to void.
  void Clear() { Mrvk_0010_Export_Func(this); }
  void SetObject(iNUVDispatch2* object, iNUVDispatch2* objThis = nullptr) {
    Mrvk_001D_Export_Func(this, object, objThis);
  }

  int32_t Type() const { return Mrvk_000F_Export_Func(this); }
  bool IsVoid() const { return vt == tvtVoid; }
  static const char16_t* TypeName(int32_t tag) { return Mrvk_00D9_Export_Func(tag); }
  int64_t AsInteger() const { return Mrvk_004C_Export_Func(this); }
  double AsReal() const { return Mrvk_0051_Export_Func(this); }
  bool AsBoolean() const { return Mrvk_004F_Export_Func(this); }
  tNUVString AsString() const { return tNUVString::Adopt(Mrvk_0047_Export_Func(this)); }
  // Borrowed pointers; raise unless the value is an object.
  iNUVDispatch2* AsObject() const { return Mrvk_0043_Export_Func(this); }
  iNUVDispatch2* AsObjectThis() const { return Mrvk_0045_Export_Func(this); }
  // "(int)42", "(string)\"text\"": at most limit units.
  tNUVString ReadableText(int32_t limit = 1000) const { return tNUVString::Adopt(Mrvk_00DA_Export_Func(this, limit)); }
  tNUVString TypedLiteralText() const { return tNUVString::Adopt(Mrvk_00DB_Export_Func(this)); }

  // The language's == and ===, < and >.
  bool operator==(const tNUVVariant& other) const { return Mrvk_003C_Export_Func(this, &other); }
  bool operator!=(const tNUVVariant& other) const { return !Mrvk_003C_Export_Func(this, &other); }
  bool StrictEquals(const tNUVVariant& other) const { return Mrvk_003D_Export_Func(this, &other); }
  bool operator<(const tNUVVariant& other) const { return Mrvk_003F_Export_Func(this, &other); }
  bool operator>(const tNUVVariant& other) const { return Mrvk_0040_Export_Func(this, &other); }
  // The language's arithmetic, in place (+ joins texts; % and \ by 0 raise).
  tNUVVariant& operator+=(const tNUVVariant& right) { Mrvk_003B_Export_Func(this, &right); return *this; }
  tNUVVariant& operator-=(const tNUVVariant& right) { Mrvk_003A_Export_Func(this, &right); return *this; }
  tNUVVariant& operator*=(const tNUVVariant& right) { Mrvk_0035_Export_Func(this, &right); return *this; }
  tNUVVariant& operator/=(const tNUVVariant& right) { Mrvk_0033_Export_Func(this, &right); return *this; }
  tNUVVariant& operator%=(const tNUVVariant& right) { Mrvk_0032_Export_Func(this, &right); return *this; }

  // The host's view of a record the library hands to a callback.
  static tNUVVariant& From(tNUVVariant_S& value) { return static_cast<tNUVVariant&>(value); }
  static const tNUVVariant& From(const tNUVVariant_S& value) { return static_cast<const tNUVVariant&>(value); }
};

// Results of the object operations.
constexpr int32_t NUVResultOk = 0;
constexpr int32_t NUVResultTrue = 1;
constexpr int32_t NUVResultFalse = 2;
constexpr int32_t NUVResultFailed = -1;
constexpr int32_t NUVResultMemberNotFound = -1001;
constexpr int32_t NUVResultNotImplemented = -1002;
constexpr int32_t NUVResultInvalidParam = -1003;
constexpr int32_t NUVResultBadParamCount = -1004;
constexpr int32_t NUVResultInvalidType = -1005;
constexpr int32_t NUVResultInvalidObject = -1006;
constexpr int32_t NUVResultAccessDenied = -1007;
constexpr int32_t NUVResultNativeClassCrash = -1008;

// Operation codes of ApplyOperation (low 5 bits of its flags) and of Mrvk_00FE_Export_Func.
enum : uint32_t {
  NUVOpBitAnd = 1, NUVOpBitOr = 2, NUVOpBitXor = 3, NUVOpSubtract = 4, NUVOpAdd = 5,
  NUVOpModulo = 6, NUVOpDivide = 7, NUVOpIntegerDivide = 8, NUVOpMultiply = 9,
  NUVOpLogicalOr = 10, NUVOpLogicalAnd = 11, NUVOpShiftRight = 12, NUVOpShiftLeft = 13,
  NUVOpLogicalShiftRight = 14, NUVOpIncrement = 15, NUVOpDecrement = 16,
};

// Flags of the object operations.
constexpr uint32_t NUVMemberEnsure = 0x200;
constexpr uint32_t NUVMemberMustExist = 0x400;
constexpr uint32_t NUVIgnoreProperty = 0x800;
constexpr uint32_t NUVHiddenMember = 0x1000;
constexpr uint32_t NUVStaticMember = 0x10000;

// Every script object. The slot order is fixed; there is no virtual destructor:
// objects are freed by their last Release. A null member name addresses the
// object itself; hint may be null.
class iNUVDispatch2 {
public:
  virtual int32_t AddRef() = 0;
  virtual int32_t Release() = 0;
  virtual int32_t CallMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant_S* result,
                             int32_t argumentCount, tNUVVariant_S** arguments, iNUVDispatch2* objThis) = 0;
  virtual int32_t CallMemberByNum(uint32_t flags, int32_t number, tNUVVariant_S* result, int32_t argumentCount,
                                  tNUVVariant_S** arguments, iNUVDispatch2* objThis) = 0;
  virtual int32_t GetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant_S* result,
                            iNUVDispatch2* objThis) = 0;
  virtual int32_t GetMemberByNum(uint32_t flags, int32_t number, tNUVVariant_S* result, iNUVDispatch2* objThis) = 0;
  virtual int32_t SetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, const tNUVVariant_S* value,
                            iNUVDispatch2* objThis) = 0;
  virtual int32_t SetMemberByNum(uint32_t flags, int32_t number, const tNUVVariant_S* value,
                                 iNUVDispatch2* objThis) = 0;
  virtual int32_t GetMemberCount(int32_t* result, const char16_t* memberName, uint32_t* hint,
                                 iNUVDispatch2* objThis) = 0;
  virtual int32_t GetMemberCountByNum(int32_t* result, int32_t number, iNUVDispatch2* objThis) = 0;
  virtual int32_t SetMemberByBody(uint32_t flags, tNUVVariantString* memberName, const tNUVVariant_S* value,
                                  iNUVDispatch2* objThis) = 0;
  virtual int32_t EnumerateMembers(uint32_t flags, tNUVVariantClosure_S* callback, iNUVDispatch2* objThis) = 0;
  virtual int32_t DeleteMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                               iNUVDispatch2* objThis) = 0;
  virtual int32_t DeleteMemberByNum(uint32_t flags, int32_t number, iNUVDispatch2* objThis) = 0;
  virtual int32_t Invalidate(uint32_t flags, const char16_t* memberName, uint32_t* hint, iNUVDispatch2* objThis) = 0;
  virtual int32_t InvalidateByNum(uint32_t flags, int32_t number, iNUVDispatch2* objThis) = 0;
  virtual int32_t IsValid(uint32_t flags, const char16_t* memberName, uint32_t* hint, iNUVDispatch2* objThis) = 0;
  virtual int32_t IsValidByNum(uint32_t flags, int32_t number, iNUVDispatch2* objThis) = 0;
  virtual int32_t CreateInstance(uint32_t flags, const char16_t* memberName, uint32_t* hint, iNUVDispatch2** result,
                                 int32_t argumentCount, tNUVVariant_S** arguments, iNUVDispatch2* objThis) = 0;
  virtual int32_t CreateInstanceByNum(uint32_t flags, int32_t number, iNUVDispatch2** result,
                                      int32_t argumentCount, tNUVVariant_S** arguments, iNUVDispatch2* objThis) = 0;
  virtual int32_t Reserved1() = 0;
  virtual int32_t IsInstanceOf(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                               const char16_t* className, iNUVDispatch2* objThis) = 0;
  virtual int32_t IsInstanceOfByNum(uint32_t flags, int32_t number, const char16_t* className,
                                    iNUVDispatch2* objThis) = 0;
  virtual int32_t ApplyOperation(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant_S* result,
                                 const tNUVVariant_S* operand, iNUVDispatch2* objThis) = 0;
  virtual int32_t ApplyOperationByNum(uint32_t flags, int32_t number, tNUVVariant_S* result,
                                      const tNUVVariant_S* operand, iNUVDispatch2* objThis) = 0;
  virtual int32_t NativeInstanceSlot(int32_t kind, int32_t classId, iNUVNativeInstance** instance) = 0;
  virtual int32_t ClassInfo(int32_t kind, int32_t index, tNUVVariant_S* value) = 0;
  virtual int32_t Reserved2() = 0;
  virtual int32_t Reserved3() = 0;

protected:
  ~iNUVDispatch2() = default;
};

// The native instance a class registered on object under classId, or null (the
// object is not of that class: answer NUVResultNativeClassCrash then).
template <typename tInstance>
tInstance* NUVNativeInstanceOf(iNUVDispatch2* object, int32_t classId) {
  iNUVNativeInstance* instance = nullptr;
  if (!object || object->NativeInstanceSlot(2, classId, &instance) < 0) return nullptr;
  return static_cast<tInstance*>(instance);
}

// Where the engine prints (dumps, error lines): Print. PrintOther is for hosts.
class iNUVConsoleOutput {
public:
  virtual void PrintOther(const char16_t* text) = 0;
  virtual void Print(const char16_t* text) = 0;

protected:
  ~iNUVConsoleOutput() = default;
};

// Text files opened by the library; end each with Destroy.
class iNUVTextReadStream {
public:
  // Reads size bytes (0: the rest) and replaces out by their text; the bytes read.
  virtual uint32_t Read(tNUVString& out, uint32_t size) = 0;
  virtual void Destroy() = 0;

protected:
  ~iNUVTextReadStream() = default;
};

class iNUVTextWriteStream {
public:
  virtual void Write(const tNUVString& text) = 0;
  virtual void Destroy() = 0;

protected:
  ~iNUVTextWriteStream() = default;
};

// Opens the named file with the mode text ("r", "w", "a", "b" as in C); null when it
// cannot be opened (the script then gets the "cannot open storage" error).
using tNUVTextReadStreamFactory = iNUVTextReadStream* (*)(const tNUVString* name, const tNUVString* mode);
using tNUVTextWriteStreamFactory = iNUVTextWriteStream* (*)(const tNUVString* name, const tNUVString* mode);

// Handed to MrvkRegisterGlobalObject, which calls Register once, at once.
class MrvkObjectRegistrationCallback {
public:
  virtual int32_t Register() = 0;

protected:
  ~MrvkObjectRegistrationCallback() = default;
};

}  // namespace NUV

extern "C" {

// Version: the library is 0.0.2. A bound of -1 is no bound; each component is
// checked on its own. Rejected: false, and message receives the reason.
void MrvkGetDLLVersion(int32_t* major, int32_t* minor, int32_t* release);
bool MrvkCheckDLLAcceptance(int32_t minMajor, int32_t maxMajor, int32_t minMinor, int32_t maxMinor,
                            int32_t minRelease, int32_t maxRelease, NUV::tNUVString* message);

// Environment. Init frees any engine and makes a new one (0); Release frees the
// engine and the console outputs (2); Free frees the engine (0, or 2 when none).
int32_t MrvkInitScriptEnvironment();
int32_t MrvkReleaseScriptEnvironment();
int32_t MrvkFreeScriptEngine();
// Borrowed pointer: the library takes one reference on the first call and keeps
// it until MrvkFreeGlobalObject (1; 2 when nothing was held) or the engine goes.
NUV::iNUVDispatch2* MrvkGetGlobalObject();
int32_t MrvkFreeGlobalObject();
// Takes effect for the next engine (call MrvkInitScriptEnvironment after it). In debug
// mode calls are traced (Scripts.getTraceString) and objects tracked; when the engine is
// freed, the objects still alive are reported through its console. NUV_DEBUG=1 in the
// environment switches it on before the library makes its first engine.
bool MrvkEnableNUVDebugMode(bool enable);
// An execution limit for hosts: callback(userData) is asked once every 1024 check
// points while scripts run (backward jumps of loops and function starts, so every
// endless loop and every endless recursion reaches it). When it answers true, the
// running script ends at once: try/catch in the script does not catch the stop, and
// MrvkExecScript / MrvkEvalExpression return -1. The engine stays usable for the
// next script (reset whatever makes the callback answer true first). Null removes
// the callback; without one each check point costs one pointer test.
void MrvkSetInterruptCallback(bool (*callback)(void* userData), void* userData);

// Running scripts: 0, or -1 when anything was raised (the engine has printed its
// error lines already). result may be null (value discarded); context null runs
// on the global object; name names the script block in messages and dumps.
int32_t MrvkExecScript(const NUV::tNUVString* script, NUV::tNUVVariant_S* result, NUV::iNUVDispatch2* context,
                       const NUV::tNUVString* name);
int32_t MrvkEvalExpression(const NUV::tNUVString* expression, NUV::tNUVVariant_S* result,
                           NUV::iNUVDispatch2* context, const NUV::tNUVString* name);
int32_t MrvkExecSimpleScript(const NUV::tNUVString* script);
// -1 for a null callback, else what its Register answers.
int32_t MrvkRegisterGlobalObject(NUV::MrvkObjectRegistrationCallback* callback);

// Raising script errors from native code; none returns. Templates: "%1", "%2"
// are the arguments (n in decimal), "%%" is "%".
[[noreturn]] void MrvkThrowExceptionMessage_n(const char16_t* message);
[[noreturn]] void MrvkThrowExceptionMessage_s(const char16_t* message, const NUV::tNUVString* p1);
[[noreturn]] void MrvkThrowExceptionMessage_si(const char16_t* message, const NUV::tNUVString* p1, int32_t n);
[[noreturn]] void MrvkThrowExceptionMessage_ss(const char16_t* message, const NUV::tNUVString* p1,
                                               const NUV::tNUVString* p2);

// Texts and console. dst of MrvkCopyWideToWide needs room for count + 1 units.
// MrvkAllocNarrowString's buffer belongs to the caller: MrvkDeallocNarrowString.
int32_t MrvkCopyWideToWide(const char16_t* src, char16_t* dst, uint32_t count);
char* MrvkAllocNarrowString(const NUV::tNUVString* text);
void MrvkDeallocNarrowString(char* text);
int32_t MrvkPrintNarrow(const char* text);
void MrvkPrintString(const NUV::tNUVString* text);
void MrvkPrintWide(const char16_t* text);

// Files. Streams are ended by their Destroy; the default input stream belongs to
// the library. MrvkLoadScriptFile: 0, or -1 when the file cannot be read or is
// empty. The existence checks: 0 when it exists, else -1.
NUV::iNUVTextReadStream* MrvkCreateTextStreamForRead(const NUV::tNUVString* name, const NUV::tNUVString* mode);
NUV::iNUVTextWriteStream* MrvkCreateTextStreamForWrite(const NUV::tNUVString* name, const NUV::tNUVString* mode);
NUV::iNUVTextReadStream* MrvkGetDefaultInputStream();
int32_t MrvkLoadScriptFile(const NUV::tNUVString* name, NUV::tNUVString* text);
int32_t MrvkCheckExistentLocalFile(const NUV::tNUVString* name);
int32_t MrvkCheckExistentLocalFolder(const NUV::tNUVString* name);
// The files scripts may open, under the host's control: every file operation a
// script asks for (Array.load/save/saveStruct, Dictionary.saveStruct,
// Scripts.execStorage/evalStorage) opens through this pair. A null factory refuses
// every opening of its kind as if the file could not be opened, touching nothing:
// the saving and loading methods raise MrvkCannotOpenStorage and the Scripts
// methods run an empty text. The pair in force before comes back through the
// pointers (either may be null; null stands for refusing). The default pair is
// MrvkCreateTextStreamForRead / MrvkCreateTextStreamForWrite (local files), which
// a confining factory may call after checking the name. MrvkLoadScriptFile, the
// host's own loader, always reads local files.
void MrvkSetTextStreamFactories(NUV::tNUVTextReadStreamFactory read, NUV::tNUVTextWriteStreamFactory write,
                                NUV::tNUVTextReadStreamFactory* previousRead,
                                NUV::tNUVTextWriteStreamFactory* previousWrite);

// Program arguments as scripts see them through CommandLine. Init fills the
// store once per process ("-key=value", "-flag" is "yes", others have no value);
// Add sets one entry at any time.
void MrvkInitProgramArguments(int32_t argc, char** argv);
void MrvkAddProgramArgument(const NUV::tNUVString* key, const NUV::tNUVString* value);

}  // extern "C"

inline std::string NUV::tNUVString::AsStdString() const {
  char* narrow = MrvkAllocNarrowString(this);
  std::string text(narrow);
  MrvkDeallocNarrowString(narrow);
  return text;
}
