#pragma once
// Compiling short scripts for the code generation tests.
//
// CompileFixture runs a script block over a text and keeps, for every code context
// the block made (in creation order), its kind, name, instructions in their
// printed form with their positions, raw code words and constants as text, plus
// every console line the block printed. Everything is copied out before the block
// is released, so the tests compare plain strings (UTF-8) and the block's objects
// are gone by the time an expectation fails. Each context's code is also run
// through ValidateCode with its own frame and data limits: that catches jump
// operands that are not byte distances, jumps into the middle of an instruction and
// registers the frame does not cover, whatever script a test compiles.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "engine/compiler/script_block.h"
#include "engine/services/errors.h"
#include "engine/services/messages.h"
#include "engine/values/global_string_map.h"
#include "engine/vm/code_context.h"
#include "engine/vm/code_decoding.h"
#include "engine/vm/disassembler.h"

namespace NUV::CompileTestSupport {

// UTF-8 form of engine text (listings are ASCII; messages are not).
inline std::string Utf8(const char16_t* text, size_t length) {
  return tNUVString(std::u16string(text, length).c_str()).AsStdString();
}
inline std::string Utf8(const tNUVString& text) {
  return text.c_str() ? Utf8(text.c_str(), static_cast<size_t>(text.GetLen())) : std::string();
}
inline std::string Utf8(const char16_t* text) { return Utf8(std::u16string(text)); }
inline std::string Utf8(const std::u16string& text) { return Utf8(text.data(), text.size()); }
// Engine text of an ASCII string.
inline std::u16string Widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// A message's text as the block prints it for an error at a line (1-based).
inline std::string ErrorLine(const tNUVMessageHolder& message, int32_t line) {
  return Utf8(message.Text()) + " at line " + std::to_string(line);
}
// A syntax error message (the parser's or the generator's text wrapped in NUVSyntaxError).
inline std::string SyntaxErrorLine(const char16_t* detail, int32_t line) {
  tNUVString text(detail);
  return Utf8(NUVFillMessage(NUVSyntaxError.Text(), &text)) + " at line " + std::to_string(line);
}

using tListing = std::vector<std::string>;

// A constant as text: "(int)1", "(string)\"a\"", and a code context object as
// "(<kind name>) <name>".
inline std::string ConstantText(const tNUVVariant& value) {
  if (value.Type() == tvtObject) {
    auto* context = dynamic_cast<tNUVInterCodeContext*>(value.AsObjectNoError());
    if (context) return "(" + Utf8(ContextKindName(context->GetKind())) + ") " + Utf8(context->GetName());
  }
  return Utf8(value.ReadableText(200));
}

struct tCompiledContext {
  tNUVContextKind Kind = ctTopLevel;
  std::string Name;
  tListing Listing;                 // printed form of each instruction
  std::vector<int32_t> Ips;         // the position of each instruction
  std::vector<int32_t> Words;       // the raw code words
  std::vector<std::string> Constants;
  int32_t ArgCount = 0;
  int32_t UnnamedArgBase = 0;
  int32_t CollapseBase = -1;
  int32_t LocalSlotCount = 0;
  int32_t ReservedCount = 0;
  int32_t FrameRegisterCount = 0;
  tNUVCodeCheck Check;              // ValidateCode with the context's limits

  // The raw operand word of the jump (or entry) at ip.
  int32_t JumpOperandAt(int32_t ip) const { return Words.at(static_cast<size_t>(ip) + 1); }
};

struct tCompilation {
  bool Failed = false;              // Compile threw
  std::string FailureMessage;
  int32_t ErrorCount = 0;
  std::vector<std::string> Printed;
  std::vector<tCompiledContext> Contexts;

  // The first context of this kind and name; a test failure when there is none.
  const tCompiledContext& Get(tNUVContextKind kind, const std::string& name) const {
    for (const tCompiledContext& context : Contexts) {
      if (context.Kind == kind && context.Name == name) return context;
    }
    ADD_FAILURE() << "no context of kind " << kind << " named " << name;
    static const tCompiledContext none;
    return none;
  }
  const tCompiledContext& TopLevel() const { return Get(ctTopLevel, "global"); }
  int32_t CountPrinted(const std::string& line) const {
    return static_cast<int32_t>(std::count(Printed.begin(), Printed.end(), line));
  }
};

// Expected and actual listing side by side on a mismatch.
inline testing::AssertionResult ListingIs(const tListing& actual, const tListing& expected) {
  if (actual == expected) return testing::AssertionSuccess();
  std::ostringstream out;
  out << "listings differ\n";
  size_t count = std::max(actual.size(), expected.size());
  for (size_t i = 0; i < count; ++i) {
    std::string want = i < expected.size() ? expected[i] : "";
    std::string got = i < actual.size() ? actual[i] : "";
    out << (want == got ? "   " : "=> ") << "expected: " << want;
    out << std::string(want.size() < 34 ? 34 - want.size() : 1, ' ') << "actual: " << got << "\n";
  }
  return testing::AssertionFailure() << out.str();
}

class CompileFixture : public testing::Test {
protected:
  void SetUp() override { NUVAddRefGlobalStringMap(); }
  void TearDown() override { NUVReleaseGlobalStringMap(); }

  // Compiles a script text (not as an expression, no result wanted) in a block named
  // "test". With expectSuccess, a throw or a printed line is a test failure.
  static tCompilation Compile(const std::u16string& script, bool expectSuccess = true) {
    tCompilation result;
    std::vector<std::string> printed;
    auto* block = new tNUVScriptBlock([&printed](const tNUVString& line) { printed.push_back(Utf8(line)); });
    block->AssignName(tNUVString(u"test"), 0);
    try {
      block->Compile(tNUVString(script), false, false);
    } catch (const eNUV& error) {
      result.Failed = true;
      result.FailureMessage = Utf8(error.GetMessage());
    }
    result.ErrorCount = block->GetErrorCount();
    if (!result.Failed) {
      for (tNUVInterCodeContext* context : block->GetContexts()) result.Contexts.push_back(Collect(*context));
      block->ReleaseTopLevel();
    }
    block->Release();
    result.Printed = printed;
    if (expectSuccess) {
      EXPECT_FALSE(result.Failed) << Utf8(script) << "\nthrew: " << result.FailureMessage;
      EXPECT_TRUE(result.Printed.empty()) << Utf8(script) << "\nprinted: " << testing::PrintToString(result.Printed);
      for (const tCompiledContext& context : result.Contexts) {
        EXPECT_TRUE(context.Check.IsValid())
            << Utf8(script) << "\ncontext " << context.Name << " (kind " << context.Kind << ") fails validation: fault "
            << context.Check.Fault << " at " << context.Check.Position;
      }
    }
    return result;
  }

  static tCompiledContext Collect(tNUVInterCodeContext& context) {
    tCompiledContext result;
    result.Kind = context.GetKind();
    result.Name = Utf8(context.GetName());
    tNUVCodeView code = context.GetCodeView();
    for (tNUVCodeWalker walker(code); !walker.AtEnd(); walker.Next()) {
      result.Ips.push_back(walker.Position());
      result.Listing.push_back(Utf8(InstructionText(code, walker.Position())));
    }
    result.Words.assign(code.Words, code.Words + code.Length);
    for (const tNUVVariant& value : context.GetData()) result.Constants.push_back(ConstantText(value));
    result.ArgCount = context.GetArgCount();
    result.UnnamedArgBase = context.GetUnnamedArgBase();
    result.CollapseBase = context.GetCollapseBase();
    result.LocalSlotCount = context.GetLocalSlotCount();
    result.ReservedCount = context.GetReservedCount();
    result.FrameRegisterCount = context.GetFrameRegisterCount();
    tNUVCodeLimits limits{-(result.LocalSlotCount + result.ReservedCount), result.FrameRegisterCount,
                          static_cast<int32_t>(result.Constants.size())};
    result.Check = ValidateCode(code, &limits);
    return result;
  }
};

}  // namespace NUV::CompileTestSupport
