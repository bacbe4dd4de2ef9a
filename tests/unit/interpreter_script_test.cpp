// Compiled scripts run by the interpreter: arithmetic and loops, calls with
// default values, rest parameters, expansion and the unnamed-argument forms,
// try regions with break, continue and return, engine errors caught as
// Exception objects, the runaway-recursion limit, large frames, string receivers,
// the member tests, eval, and the dump of an uncaught error. The fake runtime
// has a global object with "print" (collecting lines) and "Exception".

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "engine/services/console_output.h"
#include "engine/services/engine.h"
#include "engine/objects/array.h"
#include "engine/objects/native_class.h"
#include "engine/services/error_report.h"
#include "engine/services/errors.h"
#include "engine/services/messages.h"
#include "engine/services/script_errors.h"
#include "engine/vm/interpreter.h"
#include "engine/vm/primitive_operations.h"
#include "engine/vm/variant_array_stack.h"

namespace NUV {
namespace {

std::string Utf8(const tNUVString& text) { return text.AsStdString(); }

using tLines = std::vector<std::string>;

// Joins its arguments' texts into one printed line.
class tPrintFunction final : public tNUVNativeFunction {
public:
  explicit tPrintFunction(tLines& output) : Output(output) {}
  int32_t Process(tNUVVariant*, int32_t count, tNUVVariant** arguments, iNUVDispatch2*) override {
    std::string line;
    for (int32_t i = 0; i < count; ++i) line += (i ? " " : "") + Utf8(arguments[i]->AsString());
    Output.push_back(line);
    return NUVResultOk;
  }

private:
  tLines& Output;
};

class tRecordingConsole final : public iNUVConsoleOutput {
public:
  void PrintOther(const char16_t* text) override { Lines.push_back(Utf8(tNUVString(text))); }
  void Print(const char16_t* text) override { Lines.push_back(Utf8(tNUVString(text))); }
  tLines Lines;
};

// An engine whose global object has "print"; scripts run under the name "test".
class InterpreterScript : public testing::Test {
protected:
  void SetUp() override {
    Nuv = new tNUV;
    Nuv->SetConsoleOutput(&Console);
    iNUVDispatch2* print = new tPrintFunction(Output);
    tNUVVariant value(print, nullptr);
    print->Release();
    Nuv->GetGlobalNoAddRef()->SetMember(NUVMemberEnsure, u"print", nullptr, &value, nullptr);
  }
  void TearDown() override {
    Nuv->Shutdown();
    Nuv->Release();
    EXPECT_EQ(NUVActivationDepth(), 0);
  }

  // Runs text as a script; returns everything printed so far.
  tLines Run(const std::u16string& text) {
    tNUVString name(u"test");
    try {
      Nuv->ExecScript(tNUVString(text.c_str()), nullptr, nullptr, &name);
    } catch (const eNUV& error) {
      // Shown when an unexpected error fails the test.
      for (const std::string& line : Console.Lines) std::cout << "  console: " << line << "\n";
      throw;
    }
    return Output;
  }
  // Runs text that must fail; returns the escaping error's message.
  std::string RunError(const std::u16string& text, tNUVString* trace = nullptr) {
    tNUVString name(u"test");
    try {
      Nuv->ExecScript(tNUVString(text.c_str()), nullptr, nullptr, &name);
    } catch (const eNUVScriptError& error) {
      if (trace) *trace = error.GetTrace();
      return Utf8(error.GetMessage());
    }
    ADD_FAILURE() << "no error";
    return "";
  }
  // The console lines of exception dumps.
  tLines DumpLines() const {
    tLines lines;
    bool inside = false;
    for (const std::string& line : Console.Lines) {
      if (line.rfind("==== ", 0) == 0) inside = true;
      if (inside) lines.push_back(line);
      if (inside && !line.empty() && line.find_first_not_of('-') == std::string::npos) inside = false;
    }
    return lines;
  }

  tNUV* Nuv = nullptr;
  tRecordingConsole Console;
  tLines Output;
};

TEST_F(InterpreterScript, ArithmeticAndLoops) {
  tLines lines = Run(
      u"var sum = 0;\n"
      u"for (var i = 0; i < 10; i++) sum += i;\n"
      u"print(sum);\n"
      u"var n = 10, product = 1;\n"
      u"while (n > 1) product *= n--;\n"
      u"print(product);\n"
      u"print(7 - 10, -(3), 2.5 * 2, 7 % 3, 1 / 4);\n"
      u"var s = ''; do { s += 'x'; } while (s.length < 3); print(s);\n"
      u"print(0x7fffffffffffffff + 1 < 0);\n");
  EXPECT_EQ(lines, (tLines{"45", "3628800", "-3 -3 5 1 0.25", "xxx", "1"}));
}

TEST_F(InterpreterScript, DefaultsRestParametersAndExpansion) {
  tLines lines = Run(
      u"function f(a, b = 10, rest*) { return a + b + rest.count; }\n"
      u"print(f(1), f(1, 2), f(1, 2, 3, 4, 5), f(1, void));\n"
      u"function g(a, *) { return h(*); }\n"
      u"function h(x*) { return x.join(','); }\n"
      u"print(g(1, 2, 3), g(1), g());\n"
      u"var arr = [3, 4];\n"
      u"print(h(1, arr*, 5), h(arr*));\n"
      u"function k() { return h(...); }\n"
      u"print(k('p', 'q'));\n");
  EXPECT_EQ(lines, (tLines{"11 3 6 11", "2,3  ", "1,3,4,5 3,4", "p,q"}));
}

TEST_F(InterpreterScript, TryCatchesThrowAndEngineErrors) {
  tLines lines = Run(
      u"try { throw new Exception('boom'); } catch (e) { print(e.message); }\n"
      u"try { throw 'plain'; } catch (e) { print(e); }\n"
      u"try { var o; o.x = 1; } catch (e) { print(e instanceof 'Exception'); }\n"
      u"try { null.x; } catch (e) { print(e.message == '" +
      std::u16string(NUVNullAccess.Text()) +
      u"'); }\n"
      u"function inner() { var o = void; return o.member; }\n"
      u"try { inner(); } catch (e) { print(e.trace != ''); }\n"
      u"print('after');\n");
  EXPECT_EQ(lines, (tLines{"boom", "plain", "1", "1", "1", "after"}));
  // Every engine error is dumped by the loop it leaves, also inside a try region
  // (the region's own loop), before the entry handler catches it.
  const tLines dump = DumpLines();
  ASSERT_FALSE(dump.empty());
  EXPECT_EQ(dump[0].rfind("==== An exception occured at test(3)[(top level script) global]", 0), 0u) << dump[0];
  EXPECT_EQ(std::count_if(dump.begin(), dump.end(),
                          [](const std::string& line) { return line.rfind("==== ", 0) == 0; }),
            3);
}

TEST_F(InterpreterScript, NestedTryWithBreakContinueAndReturn) {
  tLines lines = Run(
      u"function loop() {\n"
      u"  var seen = '';\n"
      u"  for (var i = 0; i < 6; i++) {\n"
      u"    try {\n"
      u"      try {\n"
      u"        if (i == 1) continue;\n"
      u"        if (i == 4) break;\n"
      u"        seen += i;\n"
      u"      } catch (e) { seen += 'x'; }\n"
      u"      if (i == 2) throw 'two';\n"
      u"    } catch (e) { seen += e; }\n"
      u"  }\n"
      u"  return seen;\n"
      u"}\n"
      u"function early() {\n"
      u"  try { try { return 'inner'; } catch (e) {} } catch (e) {}\n"
      u"  return 'outer';\n"
      u"}\n"
      u"function fromCatch() {\n"
      u"  try { throw 1; } catch (e) { return 'caught ' + e; }\n"
      u"  return 'no';\n"
      u"}\n"
      u"print(loop(), early(), fromCatch());\n");
  EXPECT_EQ(lines, (tLines{"02two3 inner caught 1"}));
}

TEST_F(InterpreterScript, RunawayRecursionIsCatchable) {
  tLines lines = Run(
      u"function f() { return f(); }\n"
      u"try { f(); } catch (e) { print(e.message); }\n"
      u"var depth = 0;\n"
      u"function g(n) { depth = n; return g(n + 1); }\n"
      u"try { g(1); } catch (e) { print(depth > 100); }\n"
      u"function fib(n) { return n < 2 ? n : fib(n - 1) + fib(n - 2); }\n"
      u"print(fib(20));\n");
  EXPECT_EQ(lines, (tLines{Utf8(tNUVString(NUVStackOverflow.Text())), "1", "6765"}));
  // Uncaught, it ends the script; the engine goes on.
  EXPECT_EQ(RunError(u"function h() { return h(); }\nh();\n"), Utf8(tNUVString(NUVStackOverflow.Text())));
  EXPECT_EQ(Run(u"print('again');\n").back(), "again");
}

// What one script-level call costs on the native stack (run, loop, call, the
// function object's call, a method lookup by name in between), times the nesting
// limit, must leave at least half of an 8 MiB stack free.
class tFrameProbe final : public tNUVNativeFunction {
public:
  int32_t Process(tNUVVariant*, int32_t, tNUVVariant**, iNUVDispatch2*) override {
    Addresses.push_back(reinterpret_cast<uintptr_t>(__builtin_frame_address(0)));
    return NUVResultOk;
  }
  std::vector<uintptr_t> Addresses;
};

TEST_F(InterpreterScript, ScriptCallFrameCostFitsTheStack) {
  tFrameProbe* probe = new tFrameProbe();
  tNUVVariant value(probe, nullptr);
  Nuv->GetGlobalNoAddRef()->SetMember(NUVMemberEnsure, u"probe", nullptr, &value, nullptr);
  Run(u"function direct(n) { probe(); if (n > 0) direct(n - 1); }\n"
      u"direct(100);\n"
      u"var holder = new Exception('');\n"
      u"holder.method = function(n) { probe(); if (n > 0) holder.method(n - 1); };\n"
      u"holder.method(100);\n");
  ASSERT_EQ(probe->Addresses.size(), 202u);
  for (size_t first : {size_t{0}, size_t{101}}) {
    uintptr_t perCall = (probe->Addresses[first + 10] - probe->Addresses[first + 90]) / 80;
    std::cout << "[ info ] native stack per script call: " << perCall << " bytes\n";
    EXPECT_LT(perCall * NUVMaxActivationDepth, 4u << 20);
  }
  probe->Release();
}

TEST_F(InterpreterScript, FunctionsWithLargeFrames) {
  std::u16string text = u"function big(a) {\n";
  for (int i = 0; i < 1100; ++i) {
    std::string line = "  var v" + std::to_string(i) + " = a + " + std::to_string(i) + ";\n";
    text += std::u16string(line.begin(), line.end());
  }
  text += u"  return v0 + v1099;\n}\nprint(big(1), big(2));\n";
  tLines lines = Run(text);
  EXPECT_EQ(lines, (tLines{"1101 1103"}));
  EXPECT_EQ(NUVGetVariantArrayStack()->GetSegmentsInUse(), 0);
}

TEST_F(InterpreterScript, StringAndOctetReceivers) {
  tLines lines = Run(
      u"var s = 'hello';\n"
      u"print(s.length, s[1], s.substring(1, 3), s.toUpperCase(), 'a,b'.split(',').count);\n"
      u"var name = 'length';\n"
      u"print(s[name], typeof s.length, typeof s.nothing);\n"
      u"try { s.length = 3; } catch (e) { print(e.message == '" +
      std::u16string(NUVAccessDenyed.Text()) + u"'); }\n");
  EXPECT_EQ(lines, (tLines{"5 e ell HELLO 2", "5 Integer undefined", "1"}));
}

TEST_F(InterpreterScript, EvalRunsWithTheRunningThis) {
  tLines lines = Run(
      u"var x = 5;\n"
      u"print('x * 2'!, ''!);\n"
      u"'x = 7'!;\n"
      u"print(x);\n"
      u"function f() { return 'this.y'!; }\n"
      u"var holder = new Exception('');\n"
      u"holder.y = 'from holder';\n"
      u"print((f incontextof holder)());\n");
  EXPECT_EQ(lines, (tLines{"10 ", "7", "from holder"}));
}

TEST_F(InterpreterScript, ClassesCopyTheirMembersIntoInstances) {
  tLines lines = Run(
      u"class Counter {\n"
      u"  var count = 0;\n"
      u"  function Counter(start) { count = start; }\n"
      u"  function add(n) { count += n; return this; }\n"
      u"  property doubled { getter { return count * 2; } }\n"
      u"}\n"
      u"var c = new Counter(3);\n"
      u"c.add(2).add(1);\n"
      u"var method = c.add;\n"
      u"method(10);\n"
      u"print(c.count, c.doubled, c instanceof 'Counter');\n");
  EXPECT_EQ(lines, (tLines{"16 32 1"}));
}

TEST_F(InterpreterScript, UncaughtErrorIsDumpedOnce) {
  tNUVString trace;
  std::string message = RunError(
      u"function inner(o) {\n"
      u"  var local = 'value';\n"
      u"  return o.member;\n"
      u"}\n"
      u"function outer() { return inner(void); }\n"
      u"outer();\n",
      &trace);
  EXPECT_FALSE(message.empty());
  EXPECT_EQ(Utf8(trace), "test(3)[(function) inner] <-- test(5)[(function) outer] <-- test(6)[(top level script) global]");
  const tLines console = DumpLines();
  ASSERT_GE(console.size(), 5u);
  EXPECT_EQ(console[0].rfind("==== An exception occured at test(3)[(function) inner], VM ip = ", 0), 0u) << console[0];
  EXPECT_EQ(console[1], "-- Disassembled VM code --");
  EXPECT_EQ(console[2], "#(3)   return o.member;");
  EXPECT_EQ(console.back(), std::string(console[0].size(), '-'));
  int32_t headers = 0;
  bool registers = false;
  for (const std::string& line : console) {
    if (line.rfind("==== ", 0) == 0) ++headers;
    if (line.find("%-4=(string)\"value\"") != std::string::npos) registers = true;
  }
  EXPECT_EQ(headers, 1);
  EXPECT_TRUE(registers);
}

}  // namespace
}  // namespace NUV

