// Compiles arbitrary text (lexer, preprocessor, parser, code generator) without
// running it, once as a script and once as an expression whose value is wanted.
// Every context a successful compilation makes must pass ValidateCode.

#include <cstdlib>

#include "engine/compiler/script_block.h"
#include "engine/services/errors.h"
#include "engine/values/global_string_map.h"
#include "engine/vm/code_context.h"
#include "engine/vm/code_decoding.h"
#include "tests/fuzz/fuzz_support.h"

using namespace NUV;

namespace {

void CheckContexts(tNUVScriptBlock& block) {
  for (tNUVInterCodeContext* context : block.GetContexts()) {
    int32_t constants = static_cast<int32_t>(context->GetData().size());
    tNUVCodeLimits limits{-(context->GetLocalSlotCount() + context->GetReservedCount()),
                          context->GetFrameRegisterCount(), constants};
    if (!ValidateCode(context->GetCodeView(), &limits).IsValid()) std::abort();
  }
}

void CompileOnce(const tNUVString& text, bool asExpression) {
  auto* block = new tNUVScriptBlock([](const tNUVString&) {});
  block->AssignName(tNUVString(u"fuzz"), 0);
  bool compiled = true;
  try {
    block->Compile(text, asExpression, asExpression);
  } catch (const eNUV&) {
    compiled = false;
  }
  if (compiled) {
    CheckContexts(*block);
    block->ReleaseTopLevel();
  }
  block->Release();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  NUVAddRefGlobalStringMap();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tNUVString text;
  if (!Fuzz::InputText(data, size, text)) return 0;
  CompileOnce(text, false);
  CompileOnce(text, true);
  return 0;
}
