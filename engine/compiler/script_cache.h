#pragma once
// tNUVScriptCache: where the engine's script texts and expressions are compiled
// and run.
//
// A script text always gets a new block, which is released after it ran (its
// functions and classes keep it alive if scripts still reference them). An
// unnamed expression is looked up first in a cache of up to 64 compiled
// expressions keyed by (text, expression mode, result wanted); a hit runs the
// compiled top level again with the new this object. Only blocks that consist of
// their top level alone, and did not touch the preprocessor, are kept: a block
// that defined a function or class must run again to define it anew, and a
// preprocessor value may differ on the next evaluation.
//
// The cache holds one reference on every block it keeps; each block holds one on
// the engine, so the engine destroys the cache (Shutdown) before its last release.

#include <cstdint>

#include "engine/objects/dispatch_interface.h"
#include "engine/values/hash_cache.h"
#include "engine/values/nuv_string.h"
#include "engine/values/variant.h"

namespace NUV {

class tNUV;
class tNUVScriptBlock;

class tNUVScriptCache {
public:
  // The number of compiled expressions kept.
  static constexpr int32_t MaxCachedExpressions = 64;

  // The key of a cached block.
  struct tScriptCacheData {
    tNUVString Text;
    bool ExpressionMode = true;
    bool ResultWanted = false;
    bool operator==(const tScriptCacheData& other) const {
      return ExpressionMode == other.ExpressionMode && ResultWanted == other.ResultWanted && Text == other.Text;
    }
  };
  struct tScriptCacheHashFunc {
    static uint32_t Make(const tScriptCacheData& key) {
      return HashString(key.Text) ^ (key.ExpressionMode ? 1u : 0u) ^ (key.ResultWanted ? 1u : 0u);
    }
  };

  // A counted reference to a cached block; dropping it releases the block.
  class tBlockReference {
  public:
    explicit tBlockReference(tNUVScriptBlock* block);
    tBlockReference(tBlockReference&& other) noexcept : Block(other.Block) { other.Block = nullptr; }
    tBlockReference(const tBlockReference&) = delete;
    tBlockReference& operator=(const tBlockReference&) = delete;
    tBlockReference& operator=(tBlockReference&& other) noexcept;
    ~tBlockReference();
    tNUVScriptBlock* Get() const { return Block; }

  private:
    tNUVScriptBlock* Block;
  };

  explicit tNUVScriptCache(tNUV* owner);
  tNUVScriptCache(const tNUVScriptCache&) = delete;
  tNUVScriptCache& operator=(const tNUVScriptCache&) = delete;
  // Releases every cached block.
  ~tNUVScriptCache();

  // Compiles and runs text as a script in a new block, named when name is given
  // and not empty. result and thisObject may be null.
  void ExecScript(const tNUVString& text, tNUVVariant* result, iNUVDispatch2* thisObject, const tNUVString* name,
                  int32_t lineBase);
  // Evaluates text as an expression; unnamed expressions go through the cache.
  void EvalExpression(const tNUVString& text, tNUVVariant* result, iNUVDispatch2* thisObject,
                      const tNUVString* name, int32_t lineBase);

  // Releases every cached block.
  void Clear();
  int32_t GetCount() const { return Entries.GetCount(); }
  // Whether an expression is cached, without changing the use order.
  bool Contains(const tNUVString& text, bool resultWanted) const;
  // The number of blocks this cache has compiled (for diagnostics and tests).
  int32_t GetCompileCount() const { return CompileCount; }

private:
  // A new block of the owner, named when name is given and not empty; the caller
  // holds its one reference.
  tNUVScriptBlock* NewBlock(const tNUVString* name, int32_t lineBase);

  tNUV* Owner;
  tNUVHashCache<tScriptCacheData, tBlockReference, tScriptCacheHashFunc, 64> Entries;
  int32_t CompileCount = 0;
};

}  // namespace NUV
