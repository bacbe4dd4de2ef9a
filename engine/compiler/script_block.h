#pragma once
// tNUVScriptBlock: one compiled script text.
//
// The block owns a copy of the text and its line table, the lexer while it
// compiles, the stack of code contexts the parser has opened and the list of
// every context made from the text. It is the compile host of the parser (each
// grammar action becomes a call on the code generator of the current context)
// and the owner of its contexts (they ask it for lines, labels and the error
// routine).
//
// Reference counting: a block starts with one reference. Every context other
// than the top level holds one more, so a block stays alive while any function or
// class compiled from it is referenced; the block holds a reference on its top
// level context until ReleaseTopLevel.
//
// A block normally belongs to an engine: it holds a reference on the engine and
// is in the engine's block list for its whole life, prints through the engine's
// console, reads and writes the engine's preprocessor values and runs against
// the engine's global object. A block made without an engine (compiling alone)
// prints through the printer given at construction and keeps its own
// preprocessor values.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/compiler/compile_host.h"
#include "engine/values/nuv_string.h"
#include "engine/vm/code_context.h"

namespace NUV {

class tNUV;
class tNUVLexicalAnalyzer;
class iNUVRuntime;

// Preprocessor variables by name.
using tNUVPreprocessorStore = std::map<std::u16string, int32_t>;

// Receives one console line (without a line break).
using tNUVLinePrinter = std::function<void(const tNUVString& line)>;

class tNUVScriptBlock final : public iNUVCompileHost, public iNUVCodeContextOwner {
public:
  // A block of the given engine (not null).
  explicit tNUVScriptBlock(tNUV* engine);
  // A block without an engine; printer may be empty (nothing is printed). A
  // plain nullptr means no printer: it would be ambiguous between the two.
  explicit tNUVScriptBlock(tNUVLinePrinter printer);
  explicit tNUVScriptBlock(std::nullptr_t) : tNUVScriptBlock(tNUVLinePrinter()) {}
  tNUVScriptBlock(const tNUVScriptBlock&) = delete;
  tNUVScriptBlock& operator=(const tNUVScriptBlock&) = delete;

  void AddRef() { ++References; }
  // Destroys the block when the last reference goes.
  void Release();
  int32_t GetReferenceCount() const { return References; }
  // The owning engine, or null for a block without one.
  tNUV* GetEngine() const { return Owner; }

  // Names ------------------------------------------------------------------------
  void AssignName(const tNUVString& name, int32_t lineBase);
  const tNUVString& GetName() const { return Name; }
  int32_t GetLineBase() const { return LineBase; }
  // The name, followed by "(line +N)" when the line base is not 0.
  tNUVString NameWithOffset() const;

  // Compiling --------------------------------------------------------------------
  // Copies the text, builds the line table and compiles it into contexts. An empty
  // text does nothing. Syntax and semantic errors are counted and printed; when
  // there were any, the first one is thrown as an engine error after the parse.
  // Lexical errors and errors raised by the code generator end the parse at once.
  // On any exception the top level is released (as ReleaseTopLevel) first.
  void Compile(const tNUVString& text, bool asExpression, bool resultWanted);
  // After running: unless the top level is the only context, releases the top level
  // and every context still open, so the block keeps only what scripts reference.
  void ReleaseTopLevel();

  // Running -----------------------------------------------------------------------
  // Compiles text (an empty text does nothing) and runs its top level with
  // thisObject (null: the global object); result may be null, which also tells
  // the compiler that no value is wanted. Compile errors are raised as
  // eNUVCompileError with the first error after all were printed. Afterwards,
  // also when anything failed, the top level is released as by ReleaseTopLevel.
  void CompileAndRun(tNUVVariant* result, const tNUVString& text, iNUVDispatch2* thisObject, bool asExpression);
  // Runs the compiled top level again (a cached expression). The block keeps
  // itself alive until the run ends, even when its holders let go meanwhile.
  void RunTopLevel(tNUVVariant* result, iNUVDispatch2* thisObject);

  int32_t GetErrorCount() const override { return ErrorCount; }
  const tNUVString& GetFirstErrorMessage() const { return FirstErrorMessage; }
  int32_t GetFirstErrorPosition() const { return FirstErrorPosition; }
  bool UsedPreprocessor() const { return UsesPreprocessor; }
  // The preprocessor variables of a block without an engine: the given store, or
  // the block's own without one. A block of an engine always uses the engine's.
  void SetPreprocessorStore(tNUVPreprocessorStore* store) { PreprocessorValues = store ? store : &OwnPreprocessorValues; }

  tNUVInterCodeContext* GetTopLevel() const { return TopLevel; }
  // Every context made from the text, in creation order.
  const std::vector<tNUVInterCodeContext*>& GetContexts() const { return Contexts; }
  int32_t GetContextCount() const { return static_cast<int32_t>(Contexts.size()); }
  // Sums over all contexts: code words and constants.
  int32_t GetTotalCodeSize() const;
  int32_t GetTotalDataSize() const;

  // Lines --------------------------------------------------------------------------
  int32_t GetLineCount() const { return static_cast<int32_t>(LineStarts.size()); }
  // The text of a line (line base included) without its break; empty outside.
  tNUVString LineText(int32_t line) const;

  // Prints every context: an empty line, "(kind) name 0x<identity>", then its
  // disassembly with the source lines interleaved.
  void Dump();
  // One console line: the engine's console, or the printer without an engine.
  void Print(const tNUVString& line);

  // iNUVCodeContextOwner ------------------------------------------------------------
  void RegisterContext(tNUVInterCodeContext* context) override;
  void UnregisterContext(tNUVInterCodeContext* context) override;
  void AddRefOwner() override { AddRef(); }
  void ReleaseOwner() override { Release(); }
  [[noreturn]] void RaiseCompileError(const tNUVString& message, int32_t position) override;
  void ReportError(const tNUVString& message, int32_t position) override;
  void PrintLine(const tNUVString& line) override { Print(line); }
  // NameWithOffset, or for an unnamed block its identity as LineLabel shows it.
  tNUVString GetNameForMessages() override;
  int32_t SourcePositionToLine(int32_t position) override;
  int32_t LineToSourcePosition(int32_t line) override;
  tNUVString LineLabel(int32_t position) override;
  void RecordTrackedTypeName(tNUVInterCodeContext* context, const tNUVString& typeName) override;
  tNUVScriptBlock* GetScriptBlock() override { return this; }
  // The engine; none for a block without one (its code cannot run).
  iNUVRuntime* GetRuntime() override;

  // iNUVCompileHost -------------------------------------------------------------------
  [[noreturn]] void RaisePreprocessorError(const tNUVString& message) override;
  void NotifyUsingPreprocessor() override { UsesPreprocessor = true; }
  int32_t GetPreprocessorValue(const tNUVString& name) override;
  void SetPreprocessorValue(const tNUVString& name, int32_t value) override;
  tNUVExprNode* AllocateNode(int32_t op, int32_t position) override;
  void OpenListNode(tNUVExprNode* node) override;
  tNUVExprNode* CurrentListNode() override;
  void CloseListNode() override;
  void BeginContext(const tNUVString& name, tNUVContextKind kind) override;
  void EndContext() override;
  tNUVVariant CurrentContextValue() override;
  void OpenBlock() override;
  void CloseBlock() override;
  void DeclareLocal(const tNUVString& name, tNUVExprNode* initial) override;
  void AddParameter(const tNUVString& name, tNUVExprNode* defaultValue) override;
  void AddRestParameter(const tNUVString& name) override;
  void SetSetterParameter(const tNUVString& name) override;
  void AddSuperclass(tNUVExprNode* expression, bool onlyOne) override;
  void EmitExpressionStatement(tNUVExprNode* expression) override;
  void BeginIf() override;
  void IfCondition(tNUVExprNode* condition) override;
  void EndIf() override;
  void BeginElse() override;
  void EndElse() override;
  void BeginWhile(bool doWhile) override;
  void WhileCondition(tNUVExprNode* condition) override;
  void EndWhile() override;
  void BeginFor(bool withDeclaration) override;
  void ForCondition(tNUVExprNode* condition) override;
  void ForStep(tNUVExprNode* step) override;
  void EndFor() override;
  void EmitBreak() override;
  void EmitContinue() override;
  void EmitDebugger() override;
  void EmitReturn(tNUVExprNode* value) override;
  void BeginSwitch(tNUVExprNode* value) override;
  void EndSwitch() override;
  void CaseLabel(tNUVExprNode* value) override;
  void BeginWith(tNUVExprNode* value) override;
  void EndWith() override;
  void BeginTry() override;
  void BeginCatch(const tNUVString& name) override;
  void EndTry() override;
  void EmitThrow(tNUVExprNode* value) override;

private:
  ~tNUVScriptBlock();
  // Compile without raising for collected errors: false when there were any
  // (everything compiled is released then).
  bool CompileText(const tNUVString& text, bool asExpression, bool resultWanted);
  // The name, or "anonymous@0x<identity>" without one.
  tNUVString IdentityName() const;
  void BuildLineTable();
  // The position of the token scanned last (0 when not compiling).
  int32_t CurrentPosition() const;
  // The context the parser is inside; none is an internal error.
  tNUVInterCodeContext& RequireCurrent();
  // Drops the block's references: every context still open, then the top level.
  void ReleaseOpenContexts();

  int32_t References = 1;
  // Set while the destructor runs: releases from dying contexts are ignored then.
  bool Destroying = false;
  tNUV* Owner = nullptr;
  tNUVLinePrinter Printer;
  tNUVString Script;
  tNUVString Name;
  int32_t LineBase = 0;
  std::vector<int32_t> LineStarts;
  std::vector<int32_t> LineLengths;
  tNUVLexicalAnalyzer* Lexer = nullptr;
  tNUVInterCodeContext* Current = nullptr;
  tNUVInterCodeContext* TopLevel = nullptr;
  std::vector<tNUVInterCodeContext*> OpenContexts;
  std::vector<tNUVInterCodeContext*> Contexts;
  bool UsesPreprocessor = false;
  int32_t ErrorCount = 0;
  tNUVString FirstErrorMessage;
  int32_t FirstErrorPosition = 0;
  // Preprocessor variables: the engine's store when one was given, else the block's.
  tNUVPreprocessorStore OwnPreprocessorValues;
  tNUVPreprocessorStore* PreprocessorValues = &OwnPreprocessorValues;
};

}  // namespace NUV
