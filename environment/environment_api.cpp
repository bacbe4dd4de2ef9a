// The process-wide script environment: version check, one engine, the global
// object cache, running scripts and host registrations.

#include "environment/environment.h"

#include "engine/services/debug_mode.h"
#include "engine/services/engine.h"
#include "engine/services/errors.h"
#include "engine/services/interrupt.h"
#include "engine/values/string_heap.h"
#include "engine/vm/interpreter.h"
#include "environment/library_messages.h"
#include "environment/text_files.h"

namespace NUV {
namespace {

constexpr int32_t LibraryVersionMajor = 0;
constexpr int32_t LibraryVersionMinor = 0;
constexpr int32_t LibraryVersionRelease = 2;

struct tEnvironmentState {
  tNUV* Engine = nullptr;
  iNUVDispatch2* CachedGlobal = nullptr;
  bool FactoriesInstalled = false;
  MrvkStandardOutput* StandardOutput = nullptr;
  MrvkStringOutput* StringOutput = nullptr;
  tNUVString* InternalExecName = nullptr;
};

tEnvironmentState State;

bool OutOfBounds(int32_t value, int32_t minimum, int32_t maximum) {
  return (minimum != -1 && value < minimum) || (maximum != -1 && value > maximum);
}

template <typename tRun>
int32_t CatchingEverything(tRun run) {
  try {
    run();
    return 0;
  } catch (const eNUVSilent&) {
    // The host's stop ends every script running, also the one that ran this one
    // (Scripts.exec and the like), not just the innermost.
    if (NUVActivationDepth() > 0) throw;
    return -1;
  } catch (...) {
    return -1;
  }
}

const tNUVString& InternalExecName() {
  // Kept for the life of the process, like the block names that refer to it.
  if (!State.InternalExecName) State.InternalExecName = new tNUVString(u"Mervanik Internal Exec");
  return *State.InternalExecName;
}

}  // namespace

tNUV* MrvkCurrentEngine() { return State.Engine; }
MrvkStringOutput* MrvkLibraryStringOutput() { return State.StringOutput; }

extern "C" {

void MrvkGetDLLVersion(int32_t* major, int32_t* minor, int32_t* release) {
  if (major) *major = LibraryVersionMajor;
  if (minor) *minor = LibraryVersionMinor;
  if (release) *release = LibraryVersionRelease;
}

bool MrvkCheckDLLAcceptance(int32_t minMajor, int32_t maxMajor, int32_t minMinor, int32_t maxMinor,
                            int32_t minRelease, int32_t maxRelease, tNUVString* message) {
  bool rejected = OutOfBounds(LibraryVersionMajor, minMajor, maxMajor) ||
                  OutOfBounds(LibraryVersionMinor, minMinor, maxMinor) ||
                  OutOfBounds(LibraryVersionRelease, minRelease, maxRelease);
  if (!rejected) return true;
  if (message) {
    tNUVString version = tNUVString::Formatted(u"%d.%d.%d", LibraryVersionMajor, LibraryVersionMinor,
                                               LibraryVersionRelease);
    *message = MrvkExpandMessageTemplate(MrvkCannotAcceptDLL, &version, nullptr, false);
  }
  return false;
}

int32_t MrvkInitScriptEnvironment() {
  MrvkFreeScriptEngine();
  if (!State.Engine) {
    State.Engine = new tNUV();
    MrvkFunctionRegistrationAgent functions;
    MrvkRegisterGlobalObject(&functions);
    MrvkClassRegistrationAgent classes;
    MrvkRegisterGlobalObject(&classes);
  }
  if (!State.FactoriesInstalled) {
    NUVInstallLocalFileStreamFactories();
    State.FactoriesInstalled = true;
  }
  if (!State.StandardOutput) State.StandardOutput = new MrvkStandardOutput;
  if (!State.StringOutput) State.StringOutput = new MrvkStringOutput;
  State.Engine->SetConsoleOutput(State.StandardOutput);
  return 0;
}

int32_t MrvkReleaseScriptEnvironment() {
  // The engine goes first: finalizers that fail while it shuts down are reported
  // through the console output, which must still exist then.
  MrvkFreeScriptEngine();
  delete State.StandardOutput;
  State.StandardOutput = nullptr;
  delete State.StringOutput;
  State.StringOutput = nullptr;
  return 2;
}

int32_t MrvkFreeScriptEngine() {
  if (!State.Engine) return 2;
  NUVCompactVariantArrayStack();
  CompactStringHeap();
  MrvkFreeGlobalObject();
  tNUV* engine = State.Engine;
  try {
    engine->Shutdown();
  } catch (...) {
    // The engine goes away regardless; what its shutdown raised has nobody to go to.
  }
  State.Engine = nullptr;
  engine->Release();
  return 0;
}

iNUVDispatch2* MrvkGetGlobalObject() {
  if (!State.Engine) return nullptr;
  if (!State.CachedGlobal) State.CachedGlobal = State.Engine->GetGlobal();
  return State.CachedGlobal;
}

int32_t MrvkFreeGlobalObject() {
  if (!State.CachedGlobal) return 2;
  iNUVDispatch2* global = State.CachedGlobal;
  State.CachedGlobal = nullptr;
  global->Release();
  return 1;
}

void MrvkSetInterruptCallback(bool (*callback)(void* userData), void* userData) {
  NUVSetInterruptCallback(callback, userData);
}

bool MrvkEnableNUVDebugMode(bool enable) {
  NUVSetDebugMode(enable);
  return enable;
}

int32_t MrvkExecScript(const tNUVString* script, tNUVVariant* result, iNUVDispatch2* context,
                       const tNUVString* name) {
  return CatchingEverything([&] {
    if (!State.Engine) NUVThrowError(NUVInternalError);
    State.Engine->ExecScript(script ? *script : tNUVString(), result, context, name, 0);
  });
}

int32_t MrvkEvalExpression(const tNUVString* expression, tNUVVariant* result, iNUVDispatch2* context,
                           const tNUVString* name) {
  return CatchingEverything([&] {
    if (!State.Engine) NUVThrowError(NUVInternalError);
    State.Engine->EvalExpression(expression ? *expression : tNUVString(), result, context, name, 0);
  });
}

int32_t MrvkExecSimpleScript(const tNUVString* script) {
  return MrvkExecScript(script, nullptr, nullptr, &InternalExecName());
}

int32_t MrvkRegisterGlobalObject(MrvkObjectRegistrationCallback* callback) {
  if (!callback) return -1;
  return callback->Register();
}

}  // extern "C"

}  // namespace NUV
