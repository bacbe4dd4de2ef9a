#pragma once
// tNUV: the engine object, one script environment.
//
// It owns the global object (which holds the built-in classes and everything
// top-level scripts define), the preprocessor values that persist between
// scripts, the script cache through which every text runs, and the list of live
// script blocks; it prints through the host's console output. Reference counted:
// the environment holds one reference and every script block one more, so the
// engine outlives the last compiled function. Shutdown clears the global object
// (breaking cycles through global variables) before the final release.

#include <cstdint>
#include <vector>

#include "engine/objects/dispatch_interface.h"
#include "engine/services/console_output.h"
#include "engine/values/hash_cache.h"
#include "engine/values/nuv_string.h"
#include "engine/values/variant.h"
#include "engine/vm/runtime.h"

namespace NUV {

class tNUVScriptBlock;
class tNUVScriptCache;
class tNUVGlobalObject;

// The version the engine reports ("version" preprocessor value 0x02040013).
constexpr int32_t NUVVersionMajor = 2;
constexpr int32_t NUVVersionMinor = 4;
constexpr int32_t NUVVersionRelease = 19;

class tNUV final : public iNUVRuntime {
public:
  tNUV();
  tNUV(const tNUV&) = delete;
  tNUV& operator=(const tNUV&) = delete;

  void AddRef() { ++References; }
  // Destroys the engine at the last reference.
  void Release();
  int32_t GetReferenceCount() const { return References; }
  // Compacts the register stack, clears and releases the global object and the
  // script cache. Only the final release may follow.
  void Shutdown();

  // The global object with a reference added for the caller (null after Shutdown).
  iNUVDispatch2* GetGlobal();
  tNUVCustomObject* GetGlobalNoAddRef() override;

  void SetConsoleOutput(iNUVConsoleOutput* output) { Console = output; }
  iNUVConsoleOutput* GetConsoleOutput() const { return Console; }
  void OutputToConsole(const tNUVString& line) override;
  void OutputExceptionToConsole(const tNUVString& line) override;
  // The text preceded by (width - length) / 2 spaces.
  void OutputToConsoleWithCentering(const tNUVString& text, int32_t width);
  // One line of text repeated count times.
  void OutputToConsoleSeparator(const tNUVString& text, int32_t count);

  // Called by every script block on creation and destruction.
  void AddScriptBlock(tNUVScriptBlock* block);
  void RemoveScriptBlock(tNUVScriptBlock* block);
  const std::vector<tNUVScriptBlock*>& GetScriptBlocks() const { return Blocks; }

  // Runs a script text / evaluates an expression (floating-point traps masked
  // first). result and context may be null (context null: the global object);
  // name may be null or empty. Errors propagate to the caller; after Shutdown both
  // raise NUVInternalError.
  void ExecScript(const tNUVString& script, tNUVVariant* result, iNUVDispatch2* context,
                  const tNUVString* name = nullptr, int32_t lineBase = 0);
  void EvalExpression(const tNUVString& expression, tNUVVariant* result, iNUVDispatch2* context,
                      const tNUVString* name, int32_t lineBase);
  void EvalExpression(const tNUVString& text, tNUVVariant* result, iNUVDispatch2* thisObject) override;

  // Preprocessor values; unset names read 0.
  void SetPPValue(const tNUVString& name, int32_t value);
  int32_t GetPPValue(const tNUVString& name);

  // The context dump of every script block, every line through the console.
  void Dump(int32_t width = 80);

  tNUVScriptCache* GetScriptCache() const { return Cache; }

private:
  ~tNUV();
  // Drops everything the engine holds (destruction, and a constructor that failed
  // half-way); each step copes with what was never made.
  void ReleaseResources() noexcept;

  int32_t References = 1;
  // Set while the engine is being destroyed: stray AddRef/Release pairs from code
  // run by the releases must not destroy it a second time.
  bool Destroying = false;
  // How far the constructor got in taking the process-wide resources.
  int32_t SharedTaken = 0;
  // Call tracing and object tracking are held (the engine was made in debug mode).
  bool HoldsDebugFacilities = false;
  void DropDebugFacilities() noexcept;
  iNUVConsoleOutput* Console = nullptr;
  std::vector<tNUVScriptBlock*> Blocks;
  tNUVGlobalObject* Global = nullptr;
  tNUVScriptCache* Cache = nullptr;
  // Preprocessor values: a chained hash table of 64 buckets keyed by name. Its
  // use order is never consulted (no limit is set).
  tNUVHashCache<tNUVString, int32_t> PPValues;
};

}  // namespace NUV
