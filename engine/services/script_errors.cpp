#include "engine/services/script_errors.h"

#include "engine/compiler/script_block.h"
#include "engine/vm/code_context.h"

namespace NUV {

eNUVScriptError::tScriptBlockHolder::tScriptBlockHolder(tNUVScriptBlock* block) : Block(block) {
  if (Block) Block->AddRef();
}

eNUVScriptError::tScriptBlockHolder::tScriptBlockHolder(const tScriptBlockHolder& other) : Block(other.Block) {
  if (Block) Block->AddRef();
}

eNUVScriptError::tScriptBlockHolder::~tScriptBlockHolder() {
  if (Block) Block->Release();
}

void eNUVScriptError::AddTrace(const tNUVString& description) {
  if (Trace.GetLen() >= NUVTraceLimit) return;
  if (!Trace.IsEmpty()) Trace = Trace + u" <-- ";
  Trace = Trace + description;
}

void eNUVScriptError::AddTrace(tNUVInterCodeContext* context, int32_t codePosition) {
  if (Trace.GetLen() >= NUVTraceLimit) return;
  AddTrace(NUVCodePositionDescription(context, codePosition));
}

tNUVString NUVBlockPositionDescription(tNUVScriptBlock* block, int32_t position) {
  return block ? block->LineLabel(position) : tNUVString();
}

tNUVString NUVCodePositionDescription(tNUVInterCodeContext* context, int32_t codePosition) {
  return context ? context->PositionLabel(codePosition) : tNUVString();
}

namespace {

void PrintThroughBlock(tNUVScriptBlock* block, const tNUVString& line) {
  if (block) block->Print(line);
}

}  // namespace

void NUVThrowScriptError(const tNUVString& message, tNUVScriptBlock* block, int32_t position) {
  PrintThroughBlock(block, message + u" at " + NUVBlockPositionDescription(block, position));
  throw eNUVScriptError(message, block, position);
}

void NUVThrowScriptErrorAt(const tNUVString& message, tNUVInterCodeContext* context, int32_t codePosition) {
  tNUVScriptBlock* block = context ? context->GetOwner()->GetScriptBlock() : nullptr;
  if (context) context->GetOwner()->PrintLine(message + u" at " + NUVCodePositionDescription(context, codePosition));
  throw eNUVScriptError(message, block, context ? context->FindPosition(codePosition) : 0);
}

void NUVThrowScriptException(const tNUVString& message, tNUVInterCodeContext* context, int32_t codePosition,
                             const tNUVVariant& value) {
  tNUVScriptBlock* block = context ? context->GetOwner()->GetScriptBlock() : nullptr;
  if (context) context->GetOwner()->PrintLine(message + u" at " + NUVCodePositionDescription(context, codePosition));
  throw eNUVScriptException(message, block, context ? context->FindPosition(codePosition) : 0, value);
}

void NUVThrowCompileError(const tNUVString& message, tNUVScriptBlock* block, int32_t position) {
  PrintThroughBlock(block, message + u" at " + NUVBlockPositionDescription(block, position));
  throw eNUVCompileError(message, block, position);
}

}  // namespace NUV
