#include "engine/compiler/script_block.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "engine/compiler/code_generator.h"
#include "engine/compiler/lexer.h"
#include "engine/compiler/parser.h"
#include "engine/services/engine.h"
#include "engine/services/error_report.h"
#include "engine/services/errors.h"
#include "engine/services/messages.h"
#include "engine/services/script_errors.h"
#include "engine/vm/code_decoding.h"
#include "engine/vm/disassembler.h"
#include "engine/vm/interpreter.h"

namespace NUV {

namespace {

void PrintDumpLine(const tNUVString& line, void* userData) { static_cast<tNUVScriptBlock*>(userData)->Print(line); }

// One reference on a block for as long as the scope lasts.
class tKeepAlive {
public:
  explicit tKeepAlive(tNUVScriptBlock* block) : Block(block) { Block->AddRef(); }
  ~tKeepAlive() { Block->Release(); }
  tKeepAlive(const tKeepAlive&) = delete;
  tKeepAlive& operator=(const tKeepAlive&) = delete;

private:
  tNUVScriptBlock* Block;
};

}  // namespace

// Lifetime -------------------------------------------------------------------------------

tNUVScriptBlock::tNUVScriptBlock(tNUV* engine) : Owner(engine) {
  if (!Owner) NUVThrowError(NUVInternalError);
  Owner->AddRef();
  try {
    Owner->AddScriptBlock(this);
  } catch (...) {
    Owner->Release();
    throw;
  }
}

tNUVScriptBlock::tNUVScriptBlock(tNUVLinePrinter printer) : Printer(std::move(printer)) {}

tNUVScriptBlock::~tNUVScriptBlock() {
  // Dying contexts unregister and release their owner; those calls must not
  // destroy the block a second time.
  Destroying = true;
  // A destructor must not throw: what a release raises is reported instead.
  try {
    ReleaseOpenContexts();
  } catch (...) {
    NUVReportCurrentException();
  }
  delete Lexer;
  Lexer = nullptr;
  if (Owner) {
    // The last block of a released engine takes the engine with it.
    Owner->RemoveScriptBlock(this);
    Owner->Release();
  }
}

void tNUVScriptBlock::Release() {
  if (Destroying) return;
  if (--References > 0) return;
  delete this;
}

void tNUVScriptBlock::ReleaseOpenContexts() {
  // The fields are cleared first: a context being destroyed calls back into the
  // block, which must not see it any more.
  std::vector<tNUVInterCodeContext*> open;
  open.swap(OpenContexts);
  tNUVInterCodeContext* top = TopLevel;
  TopLevel = nullptr;
  Current = nullptr;
  for (auto context = open.rbegin(); context != open.rend(); ++context) (*context)->Release();
  if (top) top->Release();
}

void tNUVScriptBlock::ReleaseTopLevel() {
  if (TopLevel && Contexts.size() == 1 && Contexts.front() == TopLevel && OpenContexts.empty()) return;
  ReleaseOpenContexts();
}

// Names ----------------------------------------------------------------------------------

void tNUVScriptBlock::AssignName(const tNUVString& name, int32_t lineBase) {
  Name = name;
  LineBase = lineBase;
}

tNUVString tNUVScriptBlock::NameWithOffset() const {
  if (LineBase == 0) return Name;
  return Name + tNUVString::Formatted(u"(line +%d)", LineBase);
}

// Compiling ------------------------------------------------------------------------------

void tNUVScriptBlock::Compile(const tNUVString& text, bool asExpression, bool resultWanted) {
  // The caller reads the position of the first error from GetFirstErrorPosition().
  if (!CompileText(text, asExpression, resultWanted)) NUVThrowError(FirstErrorMessage);
}

bool tNUVScriptBlock::CompileText(const tNUVString& text, bool asExpression, bool resultWanted) {
  if (text.IsEmpty()) return true;
  // The contexts of a block map their positions through its one text; a second
  // text would give them the wrong lines.
  if (Lexer || !Script.IsEmpty() || !Contexts.empty()) NUVThrowError(NUVInternalError);
  try {
    Script = text;
    BuildLineTable();
    ErrorCount = 0;
    FirstErrorMessage.Clear();
    FirstErrorPosition = 0;

    int32_t result = NUVParseDone;
    int32_t endPosition = 0;
    {
      std::unique_ptr<tNUVLexicalAnalyzer> lexer(
          new tNUVLexicalAnalyzer(this, Script.c_str(), asExpression, resultWanted));
      Lexer = lexer.get();
      try {
        result = NUVParse(this, Lexer);
      } catch (const eNUVScriptError&) {
        Lexer = nullptr;
        throw;
      } catch (const eNUVError& error) {
        // Raised while parsing (by the preprocessor, by constant folding, by a
        // compile error that stops at once): the text does not compile, and the
        // error is its first error unless one was recorded already, so it is
        // reported with its position like every other compile error.
        const int32_t position = Lexer->TokenPosition();
        Lexer = nullptr;
        if (ErrorCount == 0) {
          FirstErrorMessage = error.GetMessage();
          FirstErrorPosition = position;
          ErrorCount = 1;
        }
        ReleaseOpenContexts();
        return false;
      } catch (...) {
        Lexer = nullptr;
        throw;
      }
      endPosition = Lexer->TokenPosition();
      Lexer = nullptr;
    }
    // The parser reports every way it stops early; an unreported stop still must
    // not pass for a compiled text.
    if (result != NUVParseDone && ErrorCount == 0) {
      ReportError(tNUVString(result == NUVParseStackOverflow ? u"parser stack overflow" : u"syntax error"),
                  endPosition);
    }
    if (ErrorCount == 0 && (!OpenContexts.empty() || !TopLevel)) {
      RaiseCompileError(tNUVString(NUVInternalError.Text()), endPosition);
    }
  } catch (...) {
    // Nothing of a failed text runs: even a lone top level goes.
    ReleaseOpenContexts();
    throw;
  }
  if (ErrorCount == 0) return true;
  ReleaseOpenContexts();
  return false;
}

// Running ---------------------------------------------------------------------------------

void tNUVScriptBlock::CompileAndRun(tNUVVariant* result, const tNUVString& text, iNUVDispatch2* thisObject,
                                    bool asExpression) {
  if (text.IsEmpty()) return;
  // The run may drop every other reference to the block (the cache evicting it);
  // the cleanup below still needs it.
  tKeepAlive keep(this);
  try {
    if (!CompileText(text, asExpression, result != nullptr)) {
      NUVThrowCompileError(FirstErrorMessage, this, FirstErrorPosition);
    }
    RunTopLevel(result, thisObject);
  } catch (...) {
    ReleaseTopLevel();
    throw;
  }
  ReleaseTopLevel();
}

void tNUVScriptBlock::RunTopLevel(tNUVVariant* result, iNUVDispatch2* thisObject) {
  if (!TopLevel) NUVThrowError(NUVInternalError);
  tKeepAlive keep(this);
  if (!thisObject) {
    iNUVRuntime* runtime = GetRuntime();
    thisObject = runtime ? runtime->GetGlobalNoAddRef() : nullptr;
  }
  NUVRunAsFunction(TopLevel, thisObject, nullptr, 0, result);
}

iNUVRuntime* tNUVScriptBlock::GetRuntime() { return Owner; }

void tNUVScriptBlock::Print(const tNUVString& line) {
  if (Owner) Owner->OutputToConsole(line);
  else if (Printer) Printer(line);
}

void tNUVScriptBlock::BuildLineTable() {
  LineStarts.clear();
  LineLengths.clear();
  const char16_t* text = Script.c_str();
  int32_t length = Script.GetLen();
  int32_t start = 0;
  int32_t i = 0;
  while (i < length) {
    char16_t unit = text[i];
    if (unit == u'\r' || unit == u'\n') {
      LineStarts.push_back(start);
      LineLengths.push_back(i - start);
      i += (unit == u'\r' && i + 1 < length && text[i + 1] == u'\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < length) {
    LineStarts.push_back(start);
    LineLengths.push_back(length - start);
  }
}

int32_t tNUVScriptBlock::CurrentPosition() const { return Lexer ? Lexer->TokenPosition() : 0; }

tNUVInterCodeContext& tNUVScriptBlock::RequireCurrent() {
  if (!Current) RaiseCompileError(tNUVString(NUVInternalError.Text()), CurrentPosition());
  return *Current;
}

int32_t tNUVScriptBlock::GetTotalCodeSize() const {
  int32_t total = 0;
  for (const tNUVInterCodeContext* context : Contexts) total += context->GetCodeCount();
  return total;
}

int32_t tNUVScriptBlock::GetTotalDataSize() const {
  int32_t total = 0;
  for (const tNUVInterCodeContext* context : Contexts) total += context->GetConstantCount();
  return total;
}

// Lines -------------------------------------------------------------------------------------

tNUVString tNUVScriptBlock::LineText(int32_t line) const {
  int32_t index = line - LineBase;
  if (index < 0 || index >= GetLineCount()) return tNUVString();
  size_t slot = static_cast<size_t>(index);
  return tNUVString(Script.c_str() + LineStarts[slot], LineLengths[slot]);
}

int32_t tNUVScriptBlock::SourcePositionToLine(int32_t position) {
  auto after = std::upper_bound(LineStarts.begin(), LineStarts.end(), position);
  if (after == LineStarts.begin()) return LineBase;
  return LineBase + static_cast<int32_t>(after - LineStarts.begin()) - 1;
}

int32_t tNUVScriptBlock::LineToSourcePosition(int32_t line) {
  if (LineStarts.empty()) return 0;
  int32_t index = std::clamp(line - LineBase, 0, GetLineCount() - 1);
  return LineStarts[static_cast<size_t>(index)];
}

tNUVString tNUVScriptBlock::IdentityName() const {
  return Name.IsEmpty() ? tNUVString::Formatted(u"anonymous@0x%p", static_cast<const void*>(this)) : Name;
}

tNUVString tNUVScriptBlock::LineLabel(int32_t position) {
  return IdentityName() + tNUVString::Formatted(u"(%d)", SourcePositionToLine(position) + 1);
}

tNUVString tNUVScriptBlock::GetNameForMessages() { return Name.IsEmpty() ? IdentityName() : NameWithOffset(); }

void tNUVScriptBlock::Dump() {
  tNUVSourceLines lines(Script.c_str(), Script.GetLen(), LineBase);
  // A copy: printing may run host code, which must not change the list under us.
  std::vector<tNUVInterCodeContext*> contexts = Contexts;
  for (tNUVInterCodeContext* context : contexts) {
    tNUVDisassemblyInput input;
    input.Code = context->GetCodeView();
    input.Data = context->GetData().data();
    input.DataCount = context->GetConstantCount();
    input.Positions = &context->GetPositionTable();
    input.Lines = &lines;
    input.Kind = context->GetKind();
    input.Name = context->GetName();
    input.Identity = context;
    tNUVDisassembler(input, PrintDumpLine, this).DumpContext();
  }
}

// iNUVCodeContextOwner ------------------------------------------------------------------------

void tNUVScriptBlock::RegisterContext(tNUVInterCodeContext* context) { Contexts.push_back(context); }

void tNUVScriptBlock::UnregisterContext(tNUVInterCodeContext* context) {
  Contexts.erase(std::remove(Contexts.begin(), Contexts.end(), context), Contexts.end());
  // Only reachable if someone else dropped a reference the block holds; never
  // leave a dangling pointer behind.
  OpenContexts.erase(std::remove(OpenContexts.begin(), OpenContexts.end(), context), OpenContexts.end());
  if (TopLevel == context) TopLevel = nullptr;
  if (Current == context) Current = OpenContexts.empty() ? nullptr : OpenContexts.back();
}

void tNUVScriptBlock::RaiseCompileError(const tNUVString& message, int32_t position) {
  if (position == -1) position = CurrentPosition();
  if (ErrorCount == 0) {
    FirstErrorMessage = message;
    FirstErrorPosition = position;
  }
  ++ErrorCount;
  NUVThrowError(message);
}

void tNUVScriptBlock::ReportError(const tNUVString& message, int32_t position) {
  tNUVString text = message.StartsWith(u"syntax error") ? NUVFillMessage(NUVSyntaxError.Text(), &message) : message;
  if (position == -1) position = CurrentPosition();
  if (ErrorCount == 0) {
    FirstErrorMessage = text;
    FirstErrorPosition = position;
  }
  ++ErrorCount;
  Print(text + tNUVString::Formatted(u" at line %d", SourcePositionToLine(position) + 1));
}

void tNUVScriptBlock::RecordTrackedTypeName(tNUVInterCodeContext* context, const tNUVString& typeName) {
  NUVSetTrackedObjectType(static_cast<iNUVDispatch2*>(context), [&] { return typeName; });
}

// iNUVCompileHost ---------------------------------------------------------------------------------

void tNUVScriptBlock::RaisePreprocessorError(const tNUVString& message) {
  // At the directive itself, not at the token before it.
  RaiseCompileError(message, Lexer ? Lexer->ScanPosition() : 0);
}

int32_t tNUVScriptBlock::GetPreprocessorValue(const tNUVString& name) {
  if (Owner) return Owner->GetPPValue(name);
  auto found = PreprocessorValues->find(std::u16string(name.c_str(), static_cast<size_t>(name.GetLen())));
  return found == PreprocessorValues->end() ? 0 : found->second;
}

void tNUVScriptBlock::SetPreprocessorValue(const tNUVString& name, int32_t value) {
  if (Owner) {
    Owner->SetPPValue(name, value);
    return;
  }
  (*PreprocessorValues)[std::u16string(name.c_str(), static_cast<size_t>(name.GetLen()))] = value;
}

tNUVExprNode* tNUVScriptBlock::AllocateNode(int32_t op, int32_t position) {
  return RequireCurrent().AllocateNode(op, position);
}

void tNUVScriptBlock::OpenListNode(tNUVExprNode* node) { RequireCurrent().OpenListNode(node); }

tNUVExprNode* tNUVScriptBlock::CurrentListNode() { return RequireCurrent().CurrentListNode(); }

void tNUVScriptBlock::CloseListNode() { RequireCurrent().CloseListNode(); }

void tNUVScriptBlock::BeginContext(const tNUVString& name, tNUVContextKind kind) {
  // A context without an enclosing one is the top level, and there is one per text.
  bool topLevel = Current == nullptr;
  if (topLevel != (kind == ctTopLevel) || (topLevel && TopLevel)) {
    RaiseCompileError(tNUVString(NUVInternalError.Text()), CurrentPosition());
  }
  // Room first, so the new context cannot be lost between creation and push.
  OpenContexts.reserve(OpenContexts.size() + 1);
  auto* context = new tNUVInterCodeContext(Current, name, this, kind);
  if (topLevel) {
    context->AddRef();
    TopLevel = context;
  }
  OpenContexts.push_back(context);
  Current = context;
}

void tNUVScriptBlock::EndContext() {
  tNUVInterCodeContext& context = RequireCurrent();
  // A failing commit leaves the context open; the cleanup after the parse releases it.
  context.Finish();
  OpenContexts.pop_back();
  Current = OpenContexts.empty() ? nullptr : OpenContexts.back();
  context.Release();
}

tNUVVariant tNUVScriptBlock::CurrentContextValue() {
  return tNUVVariant(static_cast<iNUVDispatch2*>(&RequireCurrent()), nullptr);
}

// Declarations and statements: one code generator per action --------------------------------------

void tNUVScriptBlock::OpenBlock() { tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).OpenBlock(); }

void tNUVScriptBlock::CloseBlock() { tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).CloseBlock(); }

void tNUVScriptBlock::DeclareLocal(const tNUVString& name, tNUVExprNode* initial) {
  tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).DeclareLocal(name, initial);
}

void tNUVScriptBlock::AddParameter(const tNUVString& name, tNUVExprNode* defaultValue) {
  tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).AddParameter(name, defaultValue);
}

void tNUVScriptBlock::AddRestParameter(const tNUVString& name) { RequireCurrent().AddRestParameter(name); }

void tNUVScriptBlock::SetSetterParameter(const tNUVString& name) { RequireCurrent().SetSetterParameter(name); }

void tNUVScriptBlock::AddSuperclass(tNUVExprNode* expression, bool onlyOne) {
  tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).AddSuperclass(expression, onlyOne);
}

void tNUVScriptBlock::EmitExpressionStatement(tNUVExprNode* expression) {
  tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).ExpressionStatement(expression);
}

void tNUVScriptBlock::BeginIf() { tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).BeginIf(); }

void tNUVScriptBlock::IfCondition(tNUVExprNode* condition) {
  tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).IfCondition(condition);
}

void tNUVScriptBlock::EndIf() { tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).EndIf(); }

void tNUVScriptBlock::BeginElse() { tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).BeginElse(); }

void tNUVScriptBlock::EndElse() { tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).EndElse(); }

void tNUVScriptBlock::BeginWhile(bool doWhile) {
  tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).BeginWhile(doWhile);
}

void tNUVScriptBlock::WhileCondition(tNUVExprNode* condition) {
  tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).WhileCondition(condition);
}

void tNUVScriptBlock::EndWhile() { tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).EndWhile(); }

void tNUVScriptBlock::BeginFor(bool withDeclaration) {
  tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).BeginFor(withDeclaration);
}

void tNUVScriptBlock::ForCondition(tNUVExprNode* condition) {
  tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).ForCondition(condition);
}

void tNUVScriptBlock::ForStep(tNUVExprNode* step) {
  tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).ForStep(step);
}

void tNUVScriptBlock::EndFor() { tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).EndFor(); }

void tNUVScriptBlock::EmitBreak() { tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).Break(); }

void tNUVScriptBlock::EmitContinue() { tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).Continue(); }

void tNUVScriptBlock::EmitDebugger() { tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).Debugger(); }

void tNUVScriptBlock::EmitReturn(tNUVExprNode* value) {
  tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).Return(value);
}

void tNUVScriptBlock::BeginSwitch(tNUVExprNode* value) {
  tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).BeginSwitch(value);
}

void tNUVScriptBlock::EndSwitch() { tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).EndSwitch(); }

void tNUVScriptBlock::CaseLabel(tNUVExprNode* value) {
  tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).CaseLabel(value);
}

void tNUVScriptBlock::BeginWith(tNUVExprNode* value) {
  tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).BeginWith(value);
}

void tNUVScriptBlock::EndWith() { tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).EndWith(); }

void tNUVScriptBlock::BeginTry() { tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).BeginTry(); }

void tNUVScriptBlock::BeginCatch(const tNUVString& name) {
  tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).BeginCatch(name);
}

void tNUVScriptBlock::EndTry() { tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).EndTry(); }

void tNUVScriptBlock::EmitThrow(tNUVExprNode* value) {
  tNUVCodeGenerator(RequireCurrent(), CurrentPosition()).Throw(value);
}

}  // namespace NUV
