// The C++ blocks of docs/embedding.md, compiled into one host that sees only the
// public header and the shared library, and checked to do what the page says.
// Each block is extracted into NAME.inc (the name of its embed-test mark) at
// build time.
//
// Usage: embedding_host run|objects|interrupt|files WORKDIR

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <type_traits>

#include "mervanik/mervanik.h"

// Declarations quoted from the header. Inside extern "C", one that differs from
// the header's does not compile.
extern "C" {
#include "exec-declarations.inc"
#include "throw-declarations.inc"
#include "interrupt-declaration.inc"
#include "factory-declarations.inc"
}

// The quoted members of iNUVDispatch2, declared on a class of their own and
// compared with the interface's.
namespace NUV {
struct tPageDispatch {
#include "dispatch-members.inc"
};
}  // namespace NUV

template <typename tMember>
struct tSignatureOf;
template <typename tClass, typename tResult, typename... tArguments>
struct tSignatureOf<tResult (tClass::*)(tArguments...)> {
  using Type = tResult(tArguments...);
};
#define SAME_AS_INTERFACE(member)                                                                \
  static_assert(std::is_same_v<tSignatureOf<decltype(&NUV::tPageDispatch::member)>::Type,        \
                               tSignatureOf<decltype(&NUV::iNUVDispatch2::member)>::Type>,       \
                "the page declares " #member " differently")
SAME_AS_INTERFACE(CallMember);
SAME_AS_INTERFACE(GetMember);
SAME_AS_INTERFACE(SetMember);
SAME_AS_INTERFACE(CreateInstance);

namespace {

#include "interrupt-budget.inc"
#include "folder-factories.inc"

int Failures = 0;

void Check(bool condition, const std::string& what) {
  if (condition) return;
  std::fprintf(stderr, "FAIL: %s\n", what.c_str());
  ++Failures;
}

// What action writes to standard output (where print and the engine's console write).
std::string Captured(const std::function<void()>& action) {
  std::fflush(stdout);
  FILE* file = std::tmpfile();
  int saved = dup(1);
  dup2(fileno(file), 1);
  action();
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  std::string text;
  std::rewind(file);
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  std::fclose(file);
  return text;
}

// Whether text is pattern with "0x" and upper-case hexadecimal digits in place of ADDRESS.
bool MatchesWithAddress(const std::string& text, const std::string& pattern) {
  const std::string placeholder = "ADDRESS";
  size_t at = pattern.find(placeholder);
  std::string before = pattern.substr(0, at), after = pattern.substr(at + placeholder.size());
  if (text.size() < before.size() + after.size() + 3 || text.compare(0, before.size(), before) != 0 ||
      text.compare(text.size() - after.size(), after.size(), after) != 0)
    return false;
  std::string address = text.substr(before.size(), text.size() - before.size() - after.size());
  return address.compare(0, 2, "0x") == 0 && address.find_first_not_of("0123456789ABCDEF", 2) == std::string::npos;
}

int32_t Run(const char16_t* script, NUV::tNUVVariant* result = nullptr) {
  NUV::tNUVString text(script), name(u"embedding_host.nuv");
  return MrvkExecScript(&text, result, nullptr, &name);
}

NUV::tNUVVariant Value(const char16_t* script) {
  NUV::tNUVVariant result;
  Check(Run(script, &result) == 0, "script runs: " + NUV::tNUVString(script).AsStdString());
  return result;
}

void WriteFile(const std::filesystem::path& path, const std::string& text) { std::ofstream(path) << text; }

void LoadAndRun() {
#include "load-and-run.inc"
}

NUV::tNUVVariant CallSum() {
#include "call-sum.inc"
  return total;
}

void RegisterLimit() {
  NUV::iNUVDispatch2* global = MrvkGetGlobalObject();
#include "register-limit.inc"
}

// Loading and running a file; what a failure prints.
void CheckRun() {
  WriteFile("script.nuv", "var fromFile = \"script.nuv\";\n");
  LoadAndRun();
  Check(Value(u"return fromFile;").AsString() == u"script.nuv", "script.nuv ran on the global object");

  WriteFile("script.nuv", "throw new Exception(\"no\");\n");
  std::string printed = Captured(LoadAndRun);
  Check(printed.find("script exception : no at script.nuv(1)[(top level script) global]\n") != std::string::npos,
        "the failure names script.nuv: " + printed);

  NUV::tNUVString thrown(u"throw new Exception(\"no\");"), incomplete(u"1 +");
  int32_t code = 0;
  printed = Captured([&] { code = MrvkExecScript(&thrown, nullptr, nullptr, nullptr); });
  Check(code == -1, "an uncaught error gives -1");
  Check(MatchesWithAddress(printed, "script exception : no at anonymous@ADDRESS(1)[(top level script) global]\n"),
        "the failure of an unnamed script: " + printed);
  NUV::tNUVVariant result;
  printed = Captured([&] { code = MrvkEvalExpression(&incomplete, &result, nullptr, nullptr); });
  Check(code == -1, "a syntax error gives -1");
  Check(MatchesWithAddress(printed, "文法エラーです(syntax error, unexpected \";\") at line 1\n"
                                    "文法エラーです(syntax error, unexpected \";\") at anonymous@ADDRESS(1)\n"),
        "the syntax error of an unnamed expression: " + printed);
}

// The host calls a script function with an array it made and registers a value.
void CheckObjects() {
  Value(u"function sum(list) { var total = 0; for (var i = 0; i < list.count; i++) total += list[i]; "
        u"return total; }");
  NUV::tNUVVariant total = CallSum();
  Check(total.Type() == NUV::tvtInteger && total.AsInteger() == 6, "sum of the new array: " +
        total.ReadableText().AsStdString());
  RegisterLimit();
  NUV::tNUVVariant limit = Value(u"return limit + 1;");
  Check(limit.Type() == NUV::tvtInteger && limit.AsInteger() == 101, "limit registered as 100");
}

// The budget stops runaway scripts, uncatchably and silently; the engine goes on.
void CheckInterrupt() {
  NUV::tNUVString name(u"bounded.nuv");
  const char16_t* runaways[] = {
      u"for (;;) {}",
      u"try { while (true) {} } catch (e) { println(\"caught\"); }\nprintln(\"after\");",
      u"try { Scripts.exec(\"for (;;) {}\"); } catch (e) { println(\"caught\"); }\nprintln(\"after\");",
  };
  for (const char16_t* runaway : runaways) {
    NUV::tNUVString text(runaway);
    int32_t code = 0;
    std::string printed = Captured([&] { code = RunBounded(text, name); });
    Check(code == -1, "stopped: " + text.AsStdString());
    Check(printed.empty(), "nothing printed by the stop: " + printed);
  }
  NUV::tNUVString finite(u"var n = 0; for (var i = 0; i < 100; i++) n += i; println(n);");
  int32_t code = 0;
  std::string printed = Captured([&] { code = RunBounded(finite, name); });
  Check(code == 0 && printed == "4950\n", "a short script runs to its end after the stops: " + printed);
}

// The confining pair keeps scripts in one folder; the previous pair comes back.
void CheckFiles(const std::filesystem::path& work) {
  std::filesystem::create_directories(work / "data");
  ScriptFolder = (work / "data").string() + "/";
  WriteFile(work / "outside.txt", "\"outside\"\n");

  ConfineScripts();
  Check(OldRead == &MrvkCreateTextStreamForRead && OldWrite == &MrvkCreateTextStreamForWrite,
        "the previous pair is the default one");
  Value(u"[\"a\", \"b\"].save(\"notes.txt\");");
  Check(std::filesystem::exists(work / "data" / "notes.txt") && !std::filesystem::exists(work / "notes.txt"),
        "a plain name is written in the folder");
  Check(Value(u"return [].load(\"notes.txt\").join(\",\");").AsString() == u"a,b", "and read from there");

  const std::string refused[] = {"../outside.txt", (work / "outside.txt").string(), ".."};
  for (const std::string& name : refused) {
    NUV::tNUVString quoted(name.c_str());
    NUV::tNUVString load = NUV::tNUVString(u"try { [].load(\"") + quoted + u"\"); } catch (e) { return e.message; }";
    NUV::tNUVVariant message;
    Captured([&] { Run(load.c_str(), &message); });
    Check(message.AsString() == NUV::tNUVString(u"ストレージ ") + NUV::tNUVString(name.c_str()) +
                                    u" を開くことができません。",
          "reading refused: " + name + ", " + message.ReadableText().AsStdString());
    NUV::tNUVString storage = NUV::tNUVString(u"return typeof Scripts.evalStorage(\"") + quoted + u"\");";
    Check(Value(storage.c_str()).AsString() == u"void", "evaluating refused: " + name);
  }
  NUV::tNUVVariant message;
  Captured([&] { Run(u"try { [1].save(\"../written.txt\"); } catch (e) { return e.message; }", &message); });
  Check(message.AsString() == u"ストレージ ../written.txt を開くことができません。" &&
            !std::filesystem::exists(work / "written.txt"),
        "writing outside refused");

  UnconfineScripts();
  Check(Value(u"return Scripts.evalStorage(\"outside.txt\");").AsString() == u"outside",
        "local files again once the previous pair is back");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s run|objects|interrupt|files WORKDIR\n", argv[0]);
    return 2;
  }
  const std::string which = argv[1];
  const std::filesystem::path work = std::filesystem::absolute(argv[2]);
  std::filesystem::remove_all(work);
  std::filesystem::create_directories(work);
  std::filesystem::current_path(work);
  try {
    if (which == "run") CheckRun();
    else if (which == "objects") CheckObjects();
    else if (which == "interrupt") CheckInterrupt();
    else if (which == "files") CheckFiles(work);
    else Check(false, "no case " + which);
  } catch (...) {
    Check(false, "the engine raised an error outside a script run");
  }
  MrvkFreeScriptEngine();
  std::filesystem::current_path(work.parent_path());
  std::filesystem::remove_all(work);
  if (Failures == 0) std::printf("%s: all checks passed\n", which.c_str());
  return Failures == 0 ? 0 : 1;
}
