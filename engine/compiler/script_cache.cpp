#include "engine/compiler/script_cache.h"

#include "engine/compiler/script_block.h"
#include "engine/services/engine.h"

namespace NUV {

namespace {

// The creation reference of a new block, dropped when the scope ends (also when
// the block's run throws).
class tNewBlock {
public:
  explicit tNewBlock(tNUVScriptBlock* block) : Block(block) {}
  ~tNewBlock() { Block->Release(); }
  tNewBlock(const tNewBlock&) = delete;
  tNewBlock& operator=(const tNewBlock&) = delete;
  tNUVScriptBlock* operator->() const { return Block; }
  tNUVScriptBlock* Get() const { return Block; }

private:
  tNUVScriptBlock* Block;
};

}  // namespace

// Block references ------------------------------------------------------------------------------

tNUVScriptCache::tBlockReference::tBlockReference(tNUVScriptBlock* block) : Block(block) {
  if (Block) Block->AddRef();
}

tNUVScriptCache::tBlockReference& tNUVScriptCache::tBlockReference::operator=(tBlockReference&& other) noexcept {
  if (this != &other) {
    tNUVScriptBlock* old = Block;
    Block = other.Block;
    other.Block = nullptr;
    if (old) old->Release();
  }
  return *this;
}

tNUVScriptCache::tBlockReference::~tBlockReference() {
  if (Block) Block->Release();
}

// The cache ---------------------------------------------------------------------------------------

tNUVScriptCache::tNUVScriptCache(tNUV* owner) : Owner(owner) { Entries.SetLimit(MaxCachedExpressions); }

tNUVScriptCache::~tNUVScriptCache() { Clear(); }

void tNUVScriptCache::Clear() { Entries.Clear(); }

bool tNUVScriptCache::Contains(const tNUVString& text, bool resultWanted) const {
  return Entries.Peek(tScriptCacheData{text, true, resultWanted}) != nullptr;
}

tNUVScriptBlock* tNUVScriptCache::NewBlock(const tNUVString* name, int32_t lineBase) {
  auto* block = new tNUVScriptBlock(Owner);
  if (name && !name->IsEmpty()) block->AssignName(*name, lineBase);
  ++CompileCount;
  return block;
}

void tNUVScriptCache::ExecScript(const tNUVString& text, tNUVVariant* result, iNUVDispatch2* thisObject,
                                 const tNUVString* name, int32_t lineBase) {
  tNewBlock block(NewBlock(name, lineBase));
  block->CompileAndRun(result, text, thisObject, false);
}

void tNUVScriptCache::EvalExpression(const tNUVString& text, tNUVVariant* result, iNUVDispatch2* thisObject,
                                     const tNUVString* name, int32_t lineBase) {
  if (name && !name->IsEmpty()) {
    tNewBlock block(NewBlock(name, lineBase));
    block->CompileAndRun(result, text, thisObject, true);
    return;
  }

  tScriptCacheData key{text, true, result != nullptr};
  uint32_t hash = Entries.HashOf(key);
  if (auto* entry = Entries.Find(key, hash)) {
    // The run may evaluate other expressions and so evict this one; the block
    // must stay until its code has finished.
    tBlockReference running(entry->GetPayload().Get());
    running.Get()->RunTopLevel(result, thisObject);
    return;
  }

  tNewBlock block(NewBlock(nullptr, 0));
  block->CompileAndRun(result, text, thisObject, true);
  // A block that defined functions, classes or properties must run again to
  // define them anew; one that read preprocessor values may compile differently
  // next time.
  if (block->GetContextCount() != 1 || !block->GetTopLevel() || block->UsedPreprocessor()) return;
  // Add, not AddNew: the run may have cached the same text meanwhile (through
  // eval), and the table would then hold the key twice.
  Entries.Add(key, tBlockReference(block.Get()));
}

}  // namespace NUV
