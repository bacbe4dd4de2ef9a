#pragma once
// A compile host for front-end tests: it records every action the lexer and the
// parser ask for as one line of text, prints expression trees as S-expressions
// with the token names of tokens.h ("(= a (+ b c))"), owns the nodes in one flat
// list and counts reported errors the way the script block does.
//
// Trees are printed without recursion, so a test may print an expression nested
// as deeply as the parser allows.

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/compiler/compile_host.h"
#include "engine/compiler/tokens.h"
#include "engine/objects/custom_object.h"
#include "engine/services/errors.h"

namespace NUV::ParserTest {

inline std::string Narrow(const tNUVString& text) { return text.AsStdString(); }

// A token code's name without the quotes messages put around spellings.
inline std::string OperatorName(int32_t op) {
  const char* name = NUVTokenName(op);
  if (!name) return "#" + std::to_string(op);
  std::string text = name;
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  return text;
}

class tRecordingCompileHost : public iNUVCompileHost {
public:
  tRecordingCompileHost() = default;
  tRecordingCompileHost(const tRecordingCompileHost&) = delete;
  tRecordingCompileHost& operator=(const tRecordingCompileHost&) = delete;
  virtual ~tRecordingCompileHost() {
    for (auto& [object, name] : ContextNames) object->Release();
  }

  std::vector<std::string> Log;
  // The errors reported through ReportError: position and message.
  std::vector<std::pair<int32_t, std::string>> Errors;
  std::vector<std::unique_ptr<tNUVExprNode>> Nodes;
  // Off: expression arguments are logged as "<tree>" (for huge trees).
  bool PrintTrees = true;

  // The tree as an S-expression: constants as values, symbols as names, other
  // nodes as "(op child ...)", a childless node as its op alone, an absent child
  // as "-".
  std::string TreeText(const tNUVExprNode* root) const {
    if (!root) return "-";
    std::string text;
    struct tFrame {
      const tNUVExprNode* Node;
      int32_t NextChild;
    };
    std::vector<tFrame> stack;
    stack.push_back({root, -1});
    while (!stack.empty()) {
      tFrame& frame = stack.back();
      const tNUVExprNode* node = frame.Node;
      if (frame.NextChild < 0) {
        if (!node) {
          text += "-";
          stack.pop_back();
          continue;
        }
        if (node->GetOpecode() == T_CONSTVAL) {
          text += ValueText(node->GetValue());
          stack.pop_back();
          continue;
        }
        if (node->GetOpecode() == T_SYMBOL && node->GetSize() == 0) {
          text += Narrow(node->GetValue().AsString());
          stack.pop_back();
          continue;
        }
        if (node->GetSize() == 0 && !node->HasValue()) {
          text += OperatorName(node->GetOpecode());
          stack.pop_back();
          continue;
        }
        text += "(" + OperatorName(node->GetOpecode());
        if (node->HasValue()) text += " " + ValueText(node->GetValue());
        frame.NextChild = 0;
      }
      if (frame.NextChild < node->GetSize()) {
        const tNUVExprNode* child = (*node)[frame.NextChild++];
        text += " ";
        stack.push_back({child, -1});
      } else {
        text += ")";
        stack.pop_back();
      }
    }
    return text;
  }

  std::string ValueText(const tNUVVariant& value) const {
    switch (value.Type()) {
      case tvtInteger: return std::to_string(value.AsInteger());
      case tvtString: return "\"" + Narrow(value.AsString().Escape()) + "\"";
      case tvtObject: {
        auto found = ContextNames.find(value.AsObjectNoError());
        return found != ContextNames.end() ? "<context " + found->second + ">" : "<object>";
      }
      default: return Narrow(value.ReadableText(200));
    }
  }

  // Errors --------------------------------------------------------------------------
  [[noreturn]] void RaiseCompileError(const tNUVString& message, int32_t position) override {
    Log.push_back("RaiseCompileError " + std::to_string(position) + " " + Narrow(message));
    throw eNUVError(message);
  }
  [[noreturn]] void RaisePreprocessorError(const tNUVString& message) override {
    Log.push_back("RaisePreprocessorError " + Narrow(message));
    throw eNUVError(message);
  }
  void ReportError(const tNUVString& message, int32_t position) override {
    Errors.emplace_back(position, Narrow(message));
    Log.push_back("Error " + std::to_string(position) + " " + Narrow(message));
  }
  int32_t GetErrorCount() const override { return static_cast<int32_t>(Errors.size()); }

  // Preprocessor --------------------------------------------------------------------
  void NotifyUsingPreprocessor() override { UsedPreprocessor = true; }
  int32_t GetPreprocessorValue(const tNUVString& name) override {
    auto found = PreprocessorValues.find(Narrow(name));
    return found == PreprocessorValues.end() ? 0 : found->second;
  }
  void SetPreprocessorValue(const tNUVString& name, int32_t value) override {
    PreprocessorValues[Narrow(name)] = value;
  }
  bool UsedPreprocessor = false;
  std::map<std::string, int32_t> PreprocessorValues;

  // Nodes ---------------------------------------------------------------------------
  tNUVExprNode* AllocateNode(int32_t op, int32_t position) override {
    Nodes.push_back(std::make_unique<tNUVExprNode>(op, position));
    return Nodes.back().get();
  }
  void OpenListNode(tNUVExprNode* node) override { ListNodes.push_back(node); }
  tNUVExprNode* CurrentListNode() override { return ListNodes.empty() ? nullptr : ListNodes.back(); }
  void CloseListNode() override {
    if (!ListNodes.empty()) ListNodes.pop_back();
  }
  std::vector<tNUVExprNode*> ListNodes;

  // Contexts ------------------------------------------------------------------------
  void BeginContext(const tNUVString& name, tNUVContextKind kind) override {
    Log.push_back("BeginContext " + Narrow(name) + " " + std::to_string(kind));
    tNUVCustomObject* object = new tNUVCustomObject();
    ContextNames[object] = Narrow(name);
    Contexts.push_back(object);
  }
  void EndContext() override {
    Log.push_back("EndContext");
    if (!Contexts.empty()) Contexts.pop_back();
  }
  tNUVVariant CurrentContextValue() override {
    return Contexts.empty() ? tNUVVariant() : tNUVVariant(Contexts.back(), nullptr);
  }
  std::vector<iNUVDispatch2*> Contexts;
  std::map<iNUVDispatch2*, std::string> ContextNames;

  // Declarations and statements -----------------------------------------------------
  void OpenBlock() override { Log.push_back("OpenBlock"); }
  void CloseBlock() override { Log.push_back("CloseBlock"); }
  void DeclareLocal(const tNUVString& name, tNUVExprNode* initial) override {
    Log.push_back("DeclareLocal " + Narrow(name) + " " + Tree(initial));
  }
  void AddParameter(const tNUVString& name, tNUVExprNode* defaultValue) override {
    Log.push_back("AddParameter " + Narrow(name) + " " + Tree(defaultValue));
  }
  void AddRestParameter(const tNUVString& name) override {
    Log.push_back("AddRestParameter " + (name.IsEmpty() ? std::string("-") : Narrow(name)));
  }
  void SetSetterParameter(const tNUVString& name) override { Log.push_back("SetSetterParameter " + Narrow(name)); }
  void AddSuperclass(tNUVExprNode* expression, bool onlyOne) override {
    Log.push_back("AddSuperclass " + Tree(expression) + (onlyOne ? " only" : " many"));
  }
  void EmitExpressionStatement(tNUVExprNode* expression) override {
    Log.push_back("EmitExpressionStatement " + Tree(expression));
  }
  void BeginIf() override { Log.push_back("BeginIf"); }
  void IfCondition(tNUVExprNode* condition) override { Log.push_back("IfCondition " + Tree(condition)); }
  void EndIf() override { Log.push_back("EndIf"); }
  void BeginElse() override { Log.push_back("BeginElse"); }
  void EndElse() override { Log.push_back("EndElse"); }
  void BeginWhile(bool doWhile) override { Log.push_back(doWhile ? "BeginWhile do" : "BeginWhile while"); }
  void WhileCondition(tNUVExprNode* condition) override { Log.push_back("WhileCondition " + Tree(condition)); }
  void EndWhile() override { Log.push_back("EndWhile"); }
  void BeginFor(bool withDeclaration) override { Log.push_back(withDeclaration ? "BeginFor var" : "BeginFor"); }
  void ForCondition(tNUVExprNode* condition) override { Log.push_back("ForCondition " + Tree(condition)); }
  void ForStep(tNUVExprNode* step) override { Log.push_back("ForStep " + Tree(step)); }
  void EndFor() override { Log.push_back("EndFor"); }
  void EmitBreak() override { Log.push_back("EmitBreak"); }
  void EmitContinue() override { Log.push_back("EmitContinue"); }
  void EmitDebugger() override { Log.push_back("EmitDebugger"); }
  void EmitReturn(tNUVExprNode* value) override { Log.push_back("EmitReturn " + Tree(value)); }
  void BeginSwitch(tNUVExprNode* value) override { Log.push_back("BeginSwitch " + Tree(value)); }
  void EndSwitch() override { Log.push_back("EndSwitch"); }
  void CaseLabel(tNUVExprNode* value) override { Log.push_back("CaseLabel " + Tree(value)); }
  void BeginWith(tNUVExprNode* value) override { Log.push_back("BeginWith " + Tree(value)); }
  void EndWith() override { Log.push_back("EndWith"); }
  void BeginTry() override { Log.push_back("BeginTry"); }
  void BeginCatch(const tNUVString& name) override {
    Log.push_back("BeginCatch " + (name.IsEmpty() ? std::string("-") : Narrow(name)));
  }
  void EndTry() override { Log.push_back("EndTry"); }
  void EmitThrow(tNUVExprNode* value) override { Log.push_back("EmitThrow " + Tree(value)); }

private:
  std::string Tree(const tNUVExprNode* node) const { return PrintTrees ? TreeText(node) : "<tree>"; }
};

}  // namespace NUV::ParserTest
