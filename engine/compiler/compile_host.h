#pragma once
// iNUVCompileHost: what the lexer and the parser drive while one script text is
// compiled.
//
// The script block implements it together with the code contexts it owns: errors
// are reported through it, preprocessor variables are read and written through it,
// expression nodes are made in its current context, and every grammar action
// (opening contexts and blocks, declarations, statements) is one call. Keeping
// these calls behind one interface lets the front end be tested alone, with a host
// that records what the parser asks for.

#include <cstdint>

#include "engine/compiler/expression_node.h"
#include "engine/values/nuv_string.h"
#include "engine/values/variant.h"

namespace NUV {

// Kinds of code contexts (their printed names are in the code generator).
enum tNUVContextKind : int32_t {
  ctTopLevel = 0,
  ctFunction = 1,
  ctExprFunction = 2,
  ctProperty = 3,
  ctPropertySetter = 4,
  ctPropertyGetter = 5,
  ctClass = 6,
  ctSuperClassGetter = 7,
};

class iNUVCompileHost {
public:
  // Errors ------------------------------------------------------------------------
  // A lexical or preprocessor error: raises the compile error with this position.
  [[noreturn]] virtual void RaiseCompileError(const tNUVString& message, int32_t position) = 0;
  // A preprocessor evaluation failure, which carries no position.
  [[noreturn]] virtual void RaisePreprocessorError(const tNUVString& message) = 0;
  // The error routine of the parser (syntax errors and semantic errors of the code
  // generator): a message beginning with "syntax error" is wrapped as
  // NUVSyntaxError; the error is counted, kept if first, and printed. Parsing goes on.
  virtual void ReportError(const tNUVString& message, int32_t position) = 0;
  virtual int32_t GetErrorCount() const = 0;

  // Preprocessor ------------------------------------------------------------------
  virtual void NotifyUsingPreprocessor() = 0;
  // Unset names read as 0.
  virtual int32_t GetPreprocessorValue(const tNUVString& name) = 0;
  virtual void SetPreprocessorValue(const tNUVString& name, int32_t value) = 0;

  // Expression nodes, owned by the current context ----------------------------------
  virtual tNUVExprNode* AllocateNode(int32_t op, int32_t position) = 0;
  // The list-node stack used while array and dictionary literals are reduced.
  virtual void OpenListNode(tNUVExprNode* node) = 0;
  virtual tNUVExprNode* CurrentListNode() = 0;
  virtual void CloseListNode() = 0;

  // Contexts ----------------------------------------------------------------------
  virtual void BeginContext(const tNUVString& name, tNUVContextKind kind) = 0;
  virtual void EndContext() = 0;
  // The current context as an object value with a null this (for function expressions).
  virtual tNUVVariant CurrentContextValue() = 0;

  // Declarations and statements ---------------------------------------------------
  virtual void OpenBlock() = 0;
  virtual void CloseBlock() = 0;
  virtual void DeclareLocal(const tNUVString& name, tNUVExprNode* initial) = 0;   // initial may be null
  virtual void AddParameter(const tNUVString& name, tNUVExprNode* defaultValue) = 0;
  virtual void AddRestParameter(const tNUVString& name) = 0;   // empty name: bare "*"
  virtual void SetSetterParameter(const tNUVString& name) = 0;
  virtual void AddSuperclass(tNUVExprNode* expression, bool onlyOne) = 0;

  virtual void EmitExpressionStatement(tNUVExprNode* expression) = 0;
  virtual void BeginIf() = 0;
  virtual void IfCondition(tNUVExprNode* condition) = 0;
  virtual void EndIf() = 0;
  virtual void BeginElse() = 0;
  virtual void EndElse() = 0;
  virtual void BeginWhile(bool doWhile) = 0;
  virtual void WhileCondition(tNUVExprNode* condition) = 0;
  virtual void EndWhile() = 0;
  virtual void BeginFor(bool withDeclaration) = 0;
  virtual void ForCondition(tNUVExprNode* condition) = 0;   // may be null
  virtual void ForStep(tNUVExprNode* step) = 0;             // may be null
  virtual void EndFor() = 0;
  virtual void EmitBreak() = 0;
  virtual void EmitContinue() = 0;
  virtual void EmitDebugger() = 0;
  virtual void EmitReturn(tNUVExprNode* value) = 0;         // may be null
  virtual void BeginSwitch(tNUVExprNode* value) = 0;
  virtual void EndSwitch() = 0;
  virtual void CaseLabel(tNUVExprNode* value) = 0;          // null: "default"
  virtual void BeginWith(tNUVExprNode* value) = 0;
  virtual void EndWith() = 0;
  virtual void BeginTry() = 0;
  virtual void BeginCatch(const tNUVString& name) = 0;      // empty: no variable
  virtual void EndTry() = 0;
  virtual void EmitThrow(tNUVExprNode* value) = 0;

protected:
  ~iNUVCompileHost() = default;
};

}  // namespace NUV
