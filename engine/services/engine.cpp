#include "engine/services/engine.h"

#include <algorithm>
#include <string>

#include "engine/compiler/reserved_words.h"
#include "engine/compiler/script_block.h"
#include "engine/compiler/script_cache.h"
#include "engine/objects/array.h"
#include "engine/objects/custom_object.h"
#include "engine/objects/date_class.h"
#include "engine/objects/math_class.h"
#include "engine/objects/regexp_class.h"
#include "engine/objects/dictionary.h"
#include "engine/platform/system.h"
#include "engine/services/error_report.h"
#include "engine/services/errors.h"
#include "engine/services/exception_class.h"
#include "engine/services/messages.h"
#include "engine/services/call_tracer.h"
#include "engine/services/debug_mode.h"
#include "engine/services/object_tracking.h"
#include "engine/values/global_string_map.h"
#include "engine/vm/interpreter.h"
#include "engine/vm/primitive_operations.h"

namespace NUV {

// The global object: a general object whose members the engine clears at
// shutdown, breaking the cycles that run through global variables.
class tNUVGlobalObject final : public tNUVCustomObject {
public:
  tNUVGlobalObject() : tNUVCustomObject(3) {}
  void ClearAllMembers() { ClearMembers(); }
};

namespace {

constexpr int32_t VersionValue = (NUVVersionMajor << 24) | (NUVVersionMinor << 16) | NUVVersionRelease;
constexpr const char16_t* BuildStamp = u"Nov 20 2005 09:54:28";

// The shared resources an engine takes, in order; a constructor that fails
// half-way gives back exactly the ones it took.
enum : int32_t { TookArrayStack = 1, TookReservedWords, TookStringMap, Registered };

// Every live engine in creation order. Exceptions that cannot propagate (a
// finalizer failing inside a destructor) are reported through the console of the
// newest engine that has one; the reporter found before the first engine serves
// while no engine has a console, and again after the last engine.
std::vector<tNUV*>& LiveEngines() {
  static std::vector<tNUV*> engines;
  return engines;
}
tNUVErrorReporter ReporterBeforeEngines = nullptr;

void ReportThroughConsole(const tNUVString& message) {
  std::vector<tNUV*>& engines = LiveEngines();
  for (auto engine = engines.rbegin(); engine != engines.rend(); ++engine) {
    if ((*engine)->GetConsoleOutput()) {
      (*engine)->OutputExceptionToConsole(message);
      return;
    }
  }
  if (ReporterBeforeEngines) ReporterBeforeEngines(message);
}

void RegisterEngine(tNUV* engine) {
  std::vector<tNUV*>& engines = LiveEngines();
  engines.push_back(engine);
  if (engines.size() == 1) ReporterBeforeEngines = NUVSetErrorReporter(ReportThroughConsole);
}

// Answers whether engine was the last one.
bool UnregisterEngine(tNUV* engine) {
  std::vector<tNUV*>& engines = LiveEngines();
  auto found = std::find(engines.begin(), engines.end(), engine);
  if (found != engines.end()) engines.erase(found);
  if (!engines.empty()) return false;
  // Someone may have installed a reporter of their own since; keep that one.
  tNUVErrorReporter current = NUVSetErrorReporter(ReporterBeforeEngines);
  if (current != ReportThroughConsole) NUVSetErrorReporter(current);
  ReporterBeforeEngines = nullptr;
  return true;
}

// Stores a new class object as a member of target (no bound this) and drops the
// creation reference.
void PutClass(iNUVDispatch2* target, const char16_t* name, iNUVDispatch2* classObject) {
  tNUVVariant value(classObject, nullptr);
  classObject->Release();
  NUVThrowFromResultCode(target->SetMember(NUVMemberEnsure, name, nullptr, &value, target), name);
}

tNUVString BlockTitle(tNUVScriptBlock* block) {
  tNUVString title =
      block->GetName().IsEmpty() ? tNUVString(u"(no-named script block)") : block->NameWithOffset();
  return title + tNUVString::Formatted(u" 0x%p", static_cast<const void*>(block));
}

// References on every block for as long as a dump runs: printing runs host code.
class tHeldBlocks {
public:
  explicit tHeldBlocks(const std::vector<tNUVScriptBlock*>& blocks) : Blocks(blocks) {
    for (tNUVScriptBlock* block : Blocks) block->AddRef();
  }
  ~tHeldBlocks() {
    for (tNUVScriptBlock* block : Blocks) block->Release();
  }
  tHeldBlocks(const tHeldBlocks&) = delete;
  tHeldBlocks& operator=(const tHeldBlocks&) = delete;
  const std::vector<tNUVScriptBlock*>& Get() const { return Blocks; }

private:
  std::vector<tNUVScriptBlock*> Blocks;
};

}  // namespace

// Lifetime --------------------------------------------------------------------------------

tNUV::tNUV() {
  try {
    NUVAddRefVariantArrayStack();
    SharedTaken = TookArrayStack;
    NUVAddRefReservedWordTable();
    SharedTaken = TookReservedWords;
    NUVAddRefGlobalStringMap();
    SharedTaken = TookStringMap;
    if (NUVIsDebugMode()) {
      NUVAddRefObjectTracking();
      NUVAddRefStackTracer();
      HoldsDebugFacilities = true;
    }
    RegisterEngine(this);
    SharedTaken = Registered;

    Cache = new tNUVScriptCache(this);
    PPValues.Add(tNUVString(u"version"), VersionValue);
    Global = new tNUVGlobalObject;
    NUVSetTrackedObjectType(Global, [] { return tNUVString(u"the global object"); });

    // The built-in classes in their fixed order: Array, Dictionary, Date, Math
    // (RandomGenerator is a member of the Math class object, not of the global
    // object), Exception, RegExp.
    PutClass(Global, u"Array", new tNUVArrayClass);
    PutClass(Global, u"Dictionary", new tNUVDictionaryClass);
    PutClass(Global, u"Date", new tNUVNC_Date);
    PutClass(Global, u"Math", new tNUVNC_Math);
    PutClass(Global, u"Exception", new tNUVNC_Exception);
    PutClass(Global, u"RegExp", new tNUVNC_RegExp);
  } catch (...) {
    ReleaseResources();
    throw;
  }
}

tNUV::~tNUV() { ReleaseResources(); }

void tNUV::ReleaseResources() noexcept {
  // The global object and the cached blocks go first: their releases may still
  // run script code, which needs the register stack.
  if (Global) {
    tNUVGlobalObject* global = Global;
    Global = nullptr;
    NUVReleaseNoThrow(global);
  }
  if (Cache) {
    tNUVScriptCache* cache = Cache;
    Cache = nullptr;
    delete cache;
  }
  PPValues.Clear();
  DropDebugFacilities();
  if (SharedTaken >= TookArrayStack) {
    NUVCompactVariantArrayStack();
    NUVReleaseVariantArrayStack();
  }
  if (SharedTaken >= TookReservedWords) NUVReleaseReservedWordTable();
  bool last = SharedTaken >= Registered && UnregisterEngine(this);
  if (last) {
    // Process-wide objects made on first use; the next engine makes them again.
    NUVReleaseSharedArrayClass();
    NUVReleaseSharedDictionaryClass();
    NUVReleaseTypeOfNames();
  }
  if (SharedTaken >= TookStringMap) NUVReleaseGlobalStringMap();
  SharedTaken = 0;
}

void tNUV::Release() {
  if (Destroying) return;
  if (--References > 0) return;
  Destroying = true;
  delete this;
}

void tNUV::Shutdown() {
  NUVCompactVariantArrayStack();
  if (Global) {
    // Finalizers run here; one that fails is reported and the shutdown goes on,
    // so nothing it should free is left behind.
    try {
      Global->ClearAllMembers();
    } catch (...) {
      NUVReportCurrentException();
    }
    tNUVGlobalObject* global = Global;
    Global = nullptr;
    NUVReleaseNoThrow(global);
  }
  if (Cache) {
    tNUVScriptCache* cache = Cache;
    Cache = nullptr;
    delete cache;
  }
  // Nothing of this engine runs any more, so whatever is still alive now has
  // leaked: report it here, because leaked functions keep their script blocks and
  // with them this engine alive, and its destruction would never come.
  DropDebugFacilities();
}

void tNUV::DropDebugFacilities() noexcept {
  if (!HoldsDebugFacilities) return;
  HoldsDebugFacilities = false;
  NUVReleaseStackTracer();
  try {
    NUVReleaseObjectTracking(
        [](const tNUVString& line, void* engine) { static_cast<tNUV*>(engine)->OutputToConsole(line); }, this);
  } catch (...) {
    // A report that cannot be printed (no memory, a failing console) is dropped.
  }
}

// Global object and console ------------------------------------------------------------------

iNUVDispatch2* tNUV::GetGlobal() {
  if (Global) Global->AddRef();
  return Global;
}

tNUVCustomObject* tNUV::GetGlobalNoAddRef() { return Global; }

void tNUV::OutputToConsole(const tNUVString& line) {
  if (Console) Console->Print(line.c_str());
}

void tNUV::OutputExceptionToConsole(const tNUVString& line) {
  if (Console) Console->Print(line.c_str());
}

void tNUV::OutputToConsoleWithCentering(const tNUVString& text, int32_t width) {
  int32_t indent = (width - text.GetLen()) / 2;
  if (indent <= 0) {
    OutputToConsole(text);
    return;
  }
  std::u16string line(static_cast<size_t>(indent), u' ');
  line.append(text.c_str(), static_cast<size_t>(text.GetLen()));
  OutputToConsole(tNUVString(line));
}

void tNUV::OutputToConsoleSeparator(const tNUVString& text, int32_t count) {
  std::u16string line;
  if (count > 0) line.reserve(static_cast<size_t>(count) * static_cast<size_t>(text.GetLen()));
  for (int32_t i = 0; i < count; ++i) line.append(text.c_str(), static_cast<size_t>(text.GetLen()));
  OutputToConsole(tNUVString(line));
}

// Script blocks ---------------------------------------------------------------------------------

void tNUV::AddScriptBlock(tNUVScriptBlock* block) { Blocks.push_back(block); }

void tNUV::RemoveScriptBlock(tNUVScriptBlock* block) {
  auto found = std::find(Blocks.begin(), Blocks.end(), block);
  if (found != Blocks.end()) Blocks.erase(found);
}

// Running ----------------------------------------------------------------------------------------

void tNUV::ExecScript(const tNUVString& script, tNUVVariant* result, iNUVDispatch2* context,
                      const tNUVString* name, int32_t lineBase) {
  if (!Cache) NUVThrowError(NUVInternalError);
  Platform::MaskFloatingPointTraps();
  Cache->ExecScript(script, result, context, name, lineBase);
}

void tNUV::EvalExpression(const tNUVString& expression, tNUVVariant* result, iNUVDispatch2* context,
                          const tNUVString* name, int32_t lineBase) {
  if (!Cache) NUVThrowError(NUVInternalError);
  Platform::MaskFloatingPointTraps();
  Cache->EvalExpression(expression, result, context, name, lineBase);
}

void tNUV::EvalExpression(const tNUVString& text, tNUVVariant* result, iNUVDispatch2* thisObject) {
  EvalExpression(text, result, thisObject, nullptr, 0);
}

// Preprocessor values ------------------------------------------------------------------------------

void tNUV::SetPPValue(const tNUVString& name, int32_t value) { PPValues.Add(name, value); }

int32_t tNUV::GetPPValue(const tNUVString& name) {
  auto* entry = PPValues.Peek(name);
  return entry ? entry->GetPayload() : 0;
}

// Dump -------------------------------------------------------------------------------------------

void tNUV::Dump(int32_t width) {
  const tNUVString empty;
  OutputToConsoleSeparator(tNUVString(u"#"), width);
  OutputToConsoleWithCentering(tNUVString(u"NUV Context Dump"), width);
  OutputToConsoleSeparator(tNUVString(u"#"), width);
  OutputToConsole(tNUVString::Formatted(u"NUV version %d.%d.%d (%s)", NUVVersionMajor, NUVVersionMinor,
                                        NUVVersionRelease, BuildStamp));
  OutputToConsole(empty);

  tHeldBlocks held(Blocks);
  const std::vector<tNUVScriptBlock*>& blocks = held.Get();
  if (blocks.empty()) {
    OutputToConsole(empty);
    OutputToConsole(tNUVString(u"There are no script blocks in the system."));
    return;
  }

  OutputToConsole(tNUVString::Formatted(u"Total %d script block(s)", static_cast<int32_t>(blocks.size())));
  OutputToConsole(empty);
  int64_t totalContexts = 0;
  int64_t totalCode = 0;
  int64_t totalData = 0;
  for (tNUVScriptBlock* block : blocks) {
    int32_t contexts = block->GetContextCount();
    int32_t code = block->GetTotalCodeSize();
    int32_t data = block->GetTotalDataSize();
    OutputToConsole(BlockTitle(block));
    OutputToConsole(tNUVString::Formatted(u"\tCount of contexts      : %d", contexts));
    OutputToConsole(tNUVString::Formatted(u"\tVM code area size      : %d words", code));
    OutputToConsole(tNUVString::Formatted(u"\tVM constant data count : %d", data));
    OutputToConsole(empty);
    totalContexts += contexts;
    totalCode += code;
    totalData += data;
  }
  OutputToConsole(tNUVString::Formatted(u"Total count of contexts      : %lld", static_cast<long long>(totalContexts)));
  OutputToConsole(tNUVString::Formatted(u"Total VM code area size      : %lld words", static_cast<long long>(totalCode)));
  OutputToConsole(tNUVString::Formatted(u"Total VM constant data count : %lld", static_cast<long long>(totalData)));
  OutputToConsole(empty);

  for (tNUVScriptBlock* block : blocks) {
    OutputToConsoleSeparator(tNUVString(u"-"), width);
    OutputToConsoleWithCentering(BlockTitle(block), width);
    OutputToConsoleSeparator(tNUVString(u"-"), width);
    block->Dump();
    OutputToConsole(empty);
    OutputToConsole(empty);
  }
}

}  // namespace NUV
