#pragma once
// mervanik: the NUV2 script engine as a shared library, seen from a host program.
//
// Link with -lmervanik. Loading the library sets up one process-wide script
// environment (an engine whose global object holds the built-in classes and
// print, println, readline, CommandLine and Scripts); unloading it releases
// everything. The library is used from one thread at a time.
//
// Ownership in brief:
// - tNUVString below is the host's view of the engine's string: one pointer to a
//   shared, reference-counted body that only the library creates and frees.
//   Copying adds a reference, destruction drops one.
// - iNUVDispatch2 objects are reference counted: AddRef/Release. Functions that
//   return a "borrowed" pointer keep their own reference; do not release it.
// - Engine errors are C++ exceptions. Only MrvkExecScript and MrvkEvalExpression
//   turn them into a result (-1); every other function lets them pass.

#include <cstdint>

namespace NUV {

struct tNUVVariantString;  // a string body; opaque to hosts
class iNUVNativeInstance;
class tNUVString;
struct tNUVVariant_S;
struct tNUVVariantClosure_S;
class iNUVDispatch2;
class iNUVTextReadStream;
class iNUVTextWriteStream;

}  // namespace NUV

extern "C" {

// String exports used by tNUVString (constructors take uninitialised storage).
void Mrvk_0078_Export_Func(NUV::tNUVString* target);
void Mrvk_0079_Export_Func(NUV::tNUVString* target, const NUV::tNUVString* source);
void Mrvk_007B_Export_Func(NUV::tNUVString* target, const char16_t* text);
void Mrvk_007C_Export_Func(NUV::tNUVString* target, const char* text);
void Mrvk_0083_Export_Func(NUV::tNUVString* target);
NUV::tNUVString* Mrvk_0084_Export_Func(NUV::tNUVString* target, const NUV::tNUVString* source);
const char16_t* Mrvk_0094_Export_Func(const NUV::tNUVString* string);
int32_t Mrvk_00AC_Export_Func(const NUV::tNUVString* string);

}  // extern "C"

namespace NUV {

// A string: UTF-16 text in a body on the library's heap. Narrow text is UTF-8
// unless the environment variable NUV_CODEPAGE names another encoding.
class tNUVString {
public:
  tNUVString() { Mrvk_0078_Export_Func(this); }
  tNUVString(const tNUVString& other) { Mrvk_0079_Export_Func(this, &other); }
  tNUVString(const char16_t* text) { Mrvk_007B_Export_Func(this, text); }
  explicit tNUVString(const char* narrow) { Mrvk_007C_Export_Func(this, narrow); }
  ~tNUVString() { Mrvk_0083_Export_Func(this); }
  tNUVString& operator=(const tNUVString& other) { return *Mrvk_0084_Export_Func(this, &other); }

  // The text, zero-terminated; valid while the string is unchanged.
  const char16_t* c_str() const { return Mrvk_0094_Export_Func(this); }
  int32_t GetLen() const { return Mrvk_00AC_Export_Func(this); }
  bool IsEmpty() const { return Body == nullptr || GetLen() == 0; }

private:
  tNUVVariantString* Body;
};

// A value: a closure (object and bound this), a string body, an octet body, a
// 64-bit integer or a real, with its type tag.
enum : int32_t { tvtVoid = 0, tvtObject = 1, tvtString = 2, tvtOctet = 3, tvtInteger = 4, tvtReal = 5 };

struct tNUVVariantClosure_S {
  iNUVDispatch2* Object;
  iNUVDispatch2* ObjThis;
};

struct tNUVVariant_S {
  union {
    tNUVVariantClosure_S Object;
    tNUVVariantString* String;
    void* Octet;
    int64_t Integer;
    double Real;
  };
  int32_t vt;
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
// Takes effect for the next engine (call MrvkInitScriptEnvironment after it).
bool MrvkEnableNUVDebugMode(bool enable);

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

// Program arguments as scripts see them through CommandLine. Init fills the
// store once per process ("-key=value", "-flag" is "yes", others have no value);
// Add sets one entry at any time.
void MrvkInitProgramArguments(int32_t argc, char** argv);
void MrvkAddProgramArgument(const NUV::tNUVString* key, const NUV::tNUVString* value);

}  // extern "C"
