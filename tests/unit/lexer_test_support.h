#pragma once
// Helpers shared by the lexer and preprocessor tests: a compile host that throws
// errors as tCompileFailure and keeps preprocessor variables in a map (the
// grammar hooks fail the test if called), and a driver that pulls tokens the way
// the parser does and writes them as one readable line.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/compiler/compile_host.h"
#include "engine/compiler/lexer.h"
#include "engine/compiler/tokens.h"
#include "engine/services/messages.h"

namespace NUV::LexerTest {

// An error raised through the host.
struct tCompileFailure {
  std::u16string Message;
  int32_t Position = -1;
  bool HasPosition = false;
};

class tTestHost : public iNUVCompileHost {
public:
  [[noreturn]] void RaiseCompileError(const tNUVString& message, int32_t position) override {
    throw tCompileFailure{message.c_str(), position, true};
  }
  [[noreturn]] void RaisePreprocessorError(const tNUVString& message) override {
    throw tCompileFailure{message.c_str(), -1, false};
  }
  void ReportError(const tNUVString&, int32_t) override { Unexpected("ReportError"); }
  int32_t GetErrorCount() const override { return 0; }

  void NotifyUsingPreprocessor() override { ++PreprocessorUses; }
  int32_t GetPreprocessorValue(const tNUVString& name) override {
    auto found = Values.find(name.c_str());
    return found == Values.end() ? 0 : found->second;
  }
  void SetPreprocessorValue(const tNUVString& name, int32_t value) override { Values[name.c_str()] = value; }

  tNUVExprNode* AllocateNode(int32_t, int32_t) override { return Unexpected("AllocateNode"), nullptr; }
  void OpenListNode(tNUVExprNode*) override { Unexpected("OpenListNode"); }
  tNUVExprNode* CurrentListNode() override { return Unexpected("CurrentListNode"), nullptr; }
  void CloseListNode() override { Unexpected("CloseListNode"); }
  void BeginContext(const tNUVString&, tNUVContextKind) override { Unexpected("BeginContext"); }
  void EndContext() override { Unexpected("EndContext"); }
  tNUVVariant CurrentContextValue() override { return Unexpected("CurrentContextValue"), tNUVVariant(); }
  void OpenBlock() override { Unexpected("OpenBlock"); }
  void CloseBlock() override { Unexpected("CloseBlock"); }
  void DeclareLocal(const tNUVString&, tNUVExprNode*) override { Unexpected("DeclareLocal"); }
  void AddParameter(const tNUVString&, tNUVExprNode*) override { Unexpected("AddParameter"); }
  void AddRestParameter(const tNUVString&) override { Unexpected("AddRestParameter"); }
  void SetSetterParameter(const tNUVString&) override { Unexpected("SetSetterParameter"); }
  void AddSuperclass(tNUVExprNode*, bool) override { Unexpected("AddSuperclass"); }
  void EmitExpressionStatement(tNUVExprNode*) override { Unexpected("EmitExpressionStatement"); }
  void BeginIf() override { Unexpected("BeginIf"); }
  void IfCondition(tNUVExprNode*) override { Unexpected("IfCondition"); }
  void EndIf() override { Unexpected("EndIf"); }
  void BeginElse() override { Unexpected("BeginElse"); }
  void EndElse() override { Unexpected("EndElse"); }
  void BeginWhile(bool) override { Unexpected("BeginWhile"); }
  void WhileCondition(tNUVExprNode*) override { Unexpected("WhileCondition"); }
  void EndWhile() override { Unexpected("EndWhile"); }
  void BeginFor(bool) override { Unexpected("BeginFor"); }
  void ForCondition(tNUVExprNode*) override { Unexpected("ForCondition"); }
  void ForStep(tNUVExprNode*) override { Unexpected("ForStep"); }
  void EndFor() override { Unexpected("EndFor"); }
  void EmitBreak() override { Unexpected("EmitBreak"); }
  void EmitContinue() override { Unexpected("EmitContinue"); }
  void EmitDebugger() override { Unexpected("EmitDebugger"); }
  void EmitReturn(tNUVExprNode*) override { Unexpected("EmitReturn"); }
  void BeginSwitch(tNUVExprNode*) override { Unexpected("BeginSwitch"); }
  void EndSwitch() override { Unexpected("EndSwitch"); }
  void CaseLabel(tNUVExprNode*) override { Unexpected("CaseLabel"); }
  void BeginWith(tNUVExprNode*) override { Unexpected("BeginWith"); }
  void EndWith() override { Unexpected("EndWith"); }
  void BeginTry() override { Unexpected("BeginTry"); }
  void BeginCatch(const tNUVString&) override { Unexpected("BeginCatch"); }
  void EndTry() override { Unexpected("EndTry"); }
  void EmitThrow(tNUVExprNode*) override { Unexpected("EmitThrow"); }

  int32_t PreprocessorUses = 0;
  std::map<std::u16string, int32_t> Values;

private:
  static void Unexpected(const char* hook) { ADD_FAILURE() << "the lexer called the grammar hook " << hook; }
};

// One token as the parser received it.
struct tScannedToken {
  int32_t Token = 0;
  tNUVVariant Value;
  int32_t Position = 0;
};

struct tScanOptions {
  bool IsExpression = false;
  bool WantsResult = false;
  // Announce a regular expression after "/" or "/=" that follows "=", "(" or ",",
  // where the parser expects an operand.
  bool RegExpAfterOperator = true;
  // Announce a member name after every ".".
  bool MemberNameAfterDot = true;
};

inline std::string Narrow(const std::u16string& text) { return tNUVString(text).AsStdString(); }

// Pulls every token up to the end of the text.
inline std::vector<tScannedToken> Scan(tTestHost& host, const char16_t* text, const tScanOptions& options = {}) {
  tNUVLexicalAnalyzer lexer(&host, text, options.IsExpression, options.WantsResult);
  std::vector<tScannedToken> tokens;
  int32_t previous = -1;
  for (int32_t guard = 0; guard < 1000000; ++guard) {
    int32_t index = -1;
    const int32_t token = lexer.NextToken(&index);
    if (token == 0) return tokens;
    tokens.push_back({token, lexer.ValueAt(index), lexer.TokenPosition()});
    if (options.RegExpAfterOperator && (token == T_SLASH || token == T_SLASHEQUAL) &&
        (previous == T_EQUAL || previous == T_LPARENTHESIS || previous == T_COMMA)) {
      lexer.BeginRegExp();
    }
    if (options.MemberNameAfterDot && token == T_DOT) lexer.ExpectMemberName();
    previous = token;
  }
  ADD_FAILURE() << "the lexer did not reach the end of the text";
  return tokens;
}

// A value as the readable line writes it: strings quoted, integers in decimal,
// reals as "real:<value>", octets as "<%hex bytes%>".
inline std::string DescribeValue(const tNUVVariant& value) {
  switch (value.Type()) {
    case tvtVoid: return "void";
    case tvtObject: return value.Object.Object || value.Object.ObjThis ? "object" : "null";
    case tvtString: return "\"" + value.AsString().AsStdString() + "\"";
    case tvtInteger: return std::to_string(value.AsInteger());
    case tvtReal: {
      const double real = value.AsReal();
      if (std::isnan(real)) return "real:NaN";
      if (std::isinf(real)) return real > 0 ? "real:+Inf" : "real:-Inf";
      std::string text = std::to_string(real);
      while (text.back() == '0') text.pop_back();
      if (text.back() == '.') text.pop_back();
      return "real:" + text;
    }
    case tvtOctet: {
      static const char digits[] = "0123456789ABCDEF";
      std::string text = "<%";
      const tNUVVariantOctet* octet = value.AsOctet();
      for (int32_t i = 0; octet && i < octet->Length; ++i) {
        if (i) text += ' ';
        text += digits[octet->Data[i] >> 4];
        text += digits[octet->Data[i] & 15];
      }
      return text + "%>";
    }
  }
  return "?";
}

// Tokens as one line: operators and keywords by their spelling, symbols by name,
// constants by value, regular expressions as re(<encoded value>).
inline std::string Describe(const std::vector<tScannedToken>& tokens) {
  std::string line;
  for (const tScannedToken& token : tokens) {
    if (!line.empty()) line += ' ';
    if (token.Token == T_SYMBOL) {
      line += token.Value.AsString().AsStdString();
    } else if (token.Token == T_CONSTVAL) {
      line += DescribeValue(token.Value);
    } else if (token.Token == T_REGEXP) {
      line += "re(" + token.Value.AsString().AsStdString() + ")";
    } else {
      const char* name = NUVTokenName(token.Token);
      std::string spelling = name ? name : "?";
      if (spelling.size() >= 2 && spelling.front() == '"') spelling = spelling.substr(1, spelling.size() - 2);
      line += spelling;
    }
  }
  return line;
}

inline std::string Tokens(const char16_t* text, const tScanOptions& options = {}) {
  tTestHost host;
  return Describe(Scan(host, text, options));
}

// The error that scanning the whole text raises; fails the test if none is raised.
inline tCompileFailure ScanFailure(tTestHost& host, const char16_t* text, const tScanOptions& options = {}) {
  try {
    Scan(host, text, options);
  } catch (const tCompileFailure& failure) {
    return failure;
  }
  ADD_FAILURE() << "no error for " << Narrow(text);
  return {};
}

inline tCompileFailure ScanFailure(const char16_t* text, const tScanOptions& options = {}) {
  tTestHost host;
  return ScanFailure(host, text, options);
}

inline std::u16string MessageText(const tNUVMessageHolder& message, const char16_t* parameter = nullptr) {
  if (!parameter) return NUVFillMessage(message).c_str();
  const tNUVString value(parameter);
  return NUVFillMessage(message, &value).c_str();
}

}  // namespace NUV::LexerTest
