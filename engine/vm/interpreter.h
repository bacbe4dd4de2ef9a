#pragma once
// The interpreter: runs the VM code of a code context on a frame of registers.
//
// NUVRunAsFunction sets up a frame (from the process-wide segmented register stack,
// or the heap for large frames), places this, the this proxy and the arguments,
// and runs the execution loop from a start position. Try regions re-enter the loop
// on the same frame. Engine errors that leave compiled code become script errors
// (with the exception dump printed first); script errors collect a trace entry at
// every activation they leave. Nested activations are counted, so runaway
// recursion in a script raises a catchable error instead of exhausting the native
// stack.

#include <cstdint>

#include "engine/objects/dispatch_interface.h"
#include "engine/services/call_tracer.h"
#include "engine/values/variant.h"

namespace NUV {

class tNUVCustomObject;
class tNUVInterCodeContext;
struct tNUVMemberCacheEntry;

// Runs context as a function. thisObject may be null: %-1 then holds no object and
// names are looked up in the global object alone. result may be null. startIp is a code position in words. The caller keeps the
// context alive for the duration of the call (it holds the function value).
void NUVRunAsFunction(tNUVInterCodeContext* context, iNUVDispatch2* thisObject, tNUVVariant** arguments,
                      int32_t argumentCount, tNUVVariant* result, int32_t startIp = 0);

// The process-wide register stack: every engine holds a reference while it lives.
void NUVAddRefVariantArrayStack();
void NUVReleaseVariantArrayStack();
// Frees the segments not in use (at engine shutdown).
void NUVCompactVariantArrayStack();

// Nesting limit ------------------------------------------------------------------------
//
// Every activation (a function run and every try region) costs native stack, so
// their nesting is limited; the next one raises NUVStackOverflow, which scripts
// can catch. Measured with g++ 12 on x86-64 (the unit tests print the figures), a
// script-level call (run, loop, call instruction, the function object's call and
// a lookup by name in between) costs about 1.3 KiB of native stack in the
// optimised build and about 3.2 KiB with AddressSanitizer; a call through a
// native function in between about 0.9 and 2.1 KiB. The limit keeps the deepest
// nesting below about 3.2 MiB in every build, well inside the default 8 MiB
// stack, with room left for host code, native methods between script calls and
// the error handling that runs at the deepest point. Sanitized builds get the
// lower limit, and so do unoptimised builds, whose larger frames were not
// measured.
#if defined(__SANITIZE_ADDRESS__) || !defined(__OPTIMIZE__)
inline constexpr int32_t NUVMaxActivationDepth = 1000;
#else
inline constexpr int32_t NUVMaxActivationDepth = 2000;
#endif
// Activations running right now (0 outside script code).
int32_t NUVActivationDepth();

// Shared by the interpreter's translation units ------------------------------------------

namespace InterpreterDetail {

// What the instructions of one activation need besides the instruction itself. A
// try region runs on its function's activation.
struct tActivation {
  tNUVInterCodeContext* Context;
  tNUVVariant* Base;           // register 0
  tNUVVariant** Arguments;     // the caller's arguments, as passed
  int32_t ArgumentCount;
  tNUVVariant* Result;         // the caller's result slot, or null
  iNUVDispatch2* Self;         // this (the object in %-1), or null
  tNUVCustomObject* Global;    // the engine's global object, or null
  tNUVMemberCacheEntry* MemberCaches;   // the context's, one per data entry
};


// NUVRunAsFunction for a caller that knows the global object of the context's
// engine (a caller running code of the same owner).
void RunWithGlobal(tNUVInterCodeContext* context, iNUVDispatch2* thisObject, tNUVCustomObject* global,
                   tNUVVariant** arguments, int32_t argumentCount, tNUVVariant* result, int32_t startIp = 0);

// The register an operand (a byte offset from register 0) addresses.
inline tNUVVariant& Register(const tActivation& activation, int32_t operand) {
  return *reinterpret_cast<tNUVVariant*>(reinterpret_cast<char*>(activation.Base) + operand);
}

// The execution loop: runs from startIp until ret or extry and returns the code
// position after that instruction. A loop that runs a try region (tryRegion)
// lets every exception pass to its entry instruction; any other loop turns
// escaping errors into script errors.
// The loop exists twice: the traced one publishes the address of its ip to the
// call tracer, which keeps the ip in memory; the other keeps it in a register.
template <bool Traced>
int32_t RunLoop(const tActivation& activation, int32_t startIp, bool tryRegion);
inline int32_t RunCode(const tActivation& activation, int32_t startIp, bool tryRegion) {
  if (NUVStackTracer) [[unlikely]] return RunLoop<true>(activation, startIp, tryRegion);
  return RunLoop<false>(activation, startIp, tryRegion);
}

// Counts an activation (a function run or a try region) for as long as it runs;
// raises NUVStackOverflow instead when NUVMaxActivationDepth are running already.
extern int32_t ActivationDepthCounter;
[[noreturn, gnu::cold]] void RaiseTooDeep();
class tActivationDepthGuard {
public:
  tActivationDepthGuard() {
    if (ActivationDepthCounter >= NUVMaxActivationDepth) [[unlikely]] RaiseTooDeep();
    ++ActivationDepthCounter;
  }
  ~tActivationDepthGuard() { --ActivationDepthCounter; }
  tActivationDepthGuard(const tActivationDepthGuard&) = delete;
  tActivationDepthGuard& operator=(const tActivationDepthGuard&) = delete;
};

// The out-of-line instructions. ip points at the instruction's opcode word; the
// operands are read from it as encoded.

// Member instructions (interpreter_members.cpp).
void GetNamedMember(const tActivation& activation, const int32_t* ip, uint32_t flags);
void GetIndexedMember(const tActivation& activation, const int32_t* ip, uint32_t flags);
void SetNamedMember(const tActivation& activation, const int32_t* ip, uint32_t flags);
void SetIndexedMember(const tActivation& activation, const int32_t* ip, uint32_t flags);
void GetProperty(const tActivation& activation, const int32_t* ip);
void SetProperty(const tActivation& activation, const int32_t* ip);
void DeleteNamedMember(const tActivation& activation, const int32_t* ip);
void DeleteIndexedMember(const tActivation& activation, const int32_t* ip);
void TypeOfNamedMember(const tActivation& activation, const int32_t* ip);
void TypeOfIndexedMember(const tActivation& activation, const int32_t* ip);
// The read-modify-write forms; operand is null for increment and decrement.
void ApplyToNamedMember(const tActivation& activation, const int32_t* ip, uint32_t operation,
                        const tNUVVariant* operand);
void ApplyToIndexedMember(const tActivation& activation, const int32_t* ip, uint32_t operation,
                          const tNUVVariant* operand);
void ApplyToProperty(const tActivation& activation, const int32_t* ip, uint32_t operation,
                     const tNUVVariant* operand);
void CheckInstance(const tActivation& activation, const int32_t* ip);
void InvalidateObject(const tActivation& activation, const int32_t* ip);
void CheckValid(const tActivation& activation, const int32_t* ip);
void ChangeThis(const tActivation& activation, const int32_t* ip);
void AddClassName(const tActivation& activation, const int32_t* ip);
// eval (keepResult) and eexp.
void Evaluate(const tActivation& activation, const int32_t* ip, bool keepResult);
// regmember: copies the running class context's members into this.
void CopyClassMembers(const tActivation& activation);

// Calls, try regions and throw (interpreter_calls.cpp). Each returns the position
// of the instruction to run next.
const int32_t* ExecuteCall(const tActivation& activation, const int32_t* ip);
// calld with a list of at most 8 registers, on a script function that the
// member cache answers for: the same call without the general path's argument
// list and relays. Null (nothing done) when ExecuteCall must run.
const int32_t* CallCachedFunction(const tActivation& activation, const int32_t* ip);
const int32_t* ExecuteTryRegion(const tActivation& activation, const int32_t* ip);
[[noreturn]] void ExecuteThrow(const tActivation& activation, const int32_t* ip);

// Converts the exception being handled as it leaves a loop at ip: appends the
// trace of a script error, or dumps an engine error and raises it as a script
// error. Anything else passes unchanged. Call only inside a catch block.
[[noreturn]] void ConvertEscapingException(const tActivation& activation, int32_t ip);

// Builds the catch value for an engine error: a new object of the global member
// "Exception" made from the message, with "trace" set when trace is given.
tNUVVariant MakeExceptionObject(iNUVDispatch2* global, const tNUVString& message, const tNUVString* trace);

// The exception dump of an engine error at ip, one line at a time into output
// (the disassembler's line output type).
void WriteExceptionDump(const tActivation& activation, int32_t ip, void (*output)(const tNUVString& line, void* userData),
                        void* userData);

// The object an object register holds: raises the conversion error for a value
// that is not an object and NUVNullAccess for a null object.
[[noreturn, gnu::cold]] void RaiseNotAnObject(const tNUVVariant& value);
inline iNUVDispatch2* RequireObject(const tNUVVariant& value) {
  if (value.vt != tvtObject || !value.Object.Object) [[unlikely]] RaiseNotAnObject(value);
  return value.Object.Object;
}

}  // namespace InterpreterDetail

}  // namespace NUV
