#pragma once
// The library's exported environment: one process-wide engine, its global object
// cache, running scripts, adding objects to the global object, raising errors from
// native code, text conversion and the console outputs.
//
// Process-wide and unguarded: one thread at a time uses the library. Functions
// that report a state answer 0 (done), 1 (done: global object released), 2
// (nothing to do) or -1 (no callback, or the script failed). Only MrvkExecScript
// and MrvkEvalExpression turn exceptions into a result; every other function lets
// engine exceptions pass to its caller.

#include <cstdint>

#include "engine/objects/dispatch_interface.h"
#include "engine/services/console_output.h"
#include "engine/values/nuv_string.h"
#include "engine/values/variant.h"

#ifndef MRVK_EXPORT
#define MRVK_EXPORT __attribute__((visibility("default")))
#endif

namespace NUV {

class tNUV;

// Writes each text and a line break to standard output.
class MrvkStandardOutput final : public iNUVConsoleOutput {
public:
  void PrintOther(const char16_t* text) override;
  void Print(const char16_t* text) override;
};

// Collects texts: PrintOther into A, Print into B, each followed by "\n".
class MrvkStringOutput final : public iNUVConsoleOutput {
public:
  void PrintOther(const char16_t* text) override;
  void Print(const char16_t* text) override;

  tNUVString A;
  tNUVString B;
};

// A host's way to add members to the global object: Register runs once, at once.
// The slot order is a binary contract with hosts.
class MrvkObjectRegistrationCallback {
public:
  virtual int32_t Register() = 0;

protected:
  ~MrvkObjectRegistrationCallback() = default;
};

// Add print, println and readline to the global object.
class MrvkFunctionRegistrationAgent final : public MrvkObjectRegistrationCallback {
public:
  int32_t Register() override;
};

// Add the Scripts and CommandLine classes to the global object.
class MrvkClassRegistrationAgent final : public MrvkObjectRegistrationCallback {
public:
  int32_t Register() override;
};

// The current engine (null when there is none) and the library's string output.
tNUV* MrvkCurrentEngine();
MrvkStringOutput* MrvkLibraryStringOutput();

// The message template rules: "%%" is "%", "%1" the first argument, "%2" the
// second (only when two are given); any other "%" is copied. Null arguments count
// as empty.
tNUVString MrvkExpandMessageTemplate(const char16_t* text, const tNUVString* p1, const tNUVString* p2,
                                     bool twoArguments);

extern "C" {

// Version ------------------------------------------------------------------------------
MRVK_EXPORT void MrvkGetDLLVersion(int32_t* major, int32_t* minor, int32_t* release);
// A bound of -1 is no bound; each component is checked on its own.
MRVK_EXPORT bool MrvkCheckDLLAcceptance(int32_t minMajor, int32_t maxMajor, int32_t minMinor, int32_t maxMinor,
                                        int32_t minRelease, int32_t maxRelease, tNUVString* message);

// Environment and engine ---------------------------------------------------------------
MRVK_EXPORT int32_t MrvkInitScriptEnvironment();
MRVK_EXPORT int32_t MrvkReleaseScriptEnvironment();
MRVK_EXPORT int32_t MrvkFreeScriptEngine();
// Borrowed: the library holds the one reference it took on the first call.
MRVK_EXPORT iNUVDispatch2* MrvkGetGlobalObject();
MRVK_EXPORT int32_t MrvkFreeGlobalObject();
MRVK_EXPORT bool MrvkEnableNUVDebugMode(bool enable);
// Installs the host's stop request: callback(userData) is asked now and then while
// scripts run (at backward jumps and function starts); when it answers true the
// running script ends as if silently stopped and MrvkExecScript returns -1. Null
// removes it.
MRVK_EXPORT void MrvkSetInterruptCallback(bool (*callback)(void* userData), void* userData);

// Running scripts ----------------------------------------------------------------------
MRVK_EXPORT int32_t MrvkExecScript(const tNUVString* script, tNUVVariant* result, iNUVDispatch2* context,
                                   const tNUVString* name);
MRVK_EXPORT int32_t MrvkEvalExpression(const tNUVString* expression, tNUVVariant* result, iNUVDispatch2* context,
                                       const tNUVString* name);
MRVK_EXPORT int32_t MrvkExecSimpleScript(const tNUVString* script);
MRVK_EXPORT int32_t MrvkRegisterGlobalObject(MrvkObjectRegistrationCallback* callback);

// Raising errors from native code (never return) ---------------------------------------
[[noreturn]] MRVK_EXPORT void MrvkThrowExceptionMessage_n(const char16_t* message);
[[noreturn]] MRVK_EXPORT void MrvkThrowExceptionMessage_s(const char16_t* message, const tNUVString* p1);
[[noreturn]] MRVK_EXPORT void MrvkThrowExceptionMessage_si(const char16_t* message, const tNUVString* p1, int32_t n);
[[noreturn]] MRVK_EXPORT void MrvkThrowExceptionMessage_ss(const char16_t* message, const tNUVString* p1,
                                                           const tNUVString* p2);

// Texts and console ----------------------------------------------------------------------
// dst needs room for count + 1 units.
MRVK_EXPORT int32_t MrvkCopyWideToWide(const char16_t* src, char16_t* dst, uint32_t count);
// The caller frees the result with MrvkDeallocNarrowString.
MRVK_EXPORT char* MrvkAllocNarrowString(const tNUVString* text);
MRVK_EXPORT void MrvkDeallocNarrowString(char* text);
MRVK_EXPORT int32_t MrvkPrintNarrow(const char* text);
MRVK_EXPORT void MrvkPrintString(const tNUVString* text);
MRVK_EXPORT void MrvkPrintWide(const char16_t* text);

// Program arguments ----------------------------------------------------------------------
MRVK_EXPORT void MrvkInitProgramArguments(int32_t argc, char** argv);
MRVK_EXPORT void MrvkAddProgramArgument(const tNUVString* key, const tNUVString* value);

}  // extern "C"

}  // namespace NUV
