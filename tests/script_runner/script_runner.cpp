// Runs one NUV2 test script in an engine and checks the expectations written in
// it as comments:
//   // expect: TEXT           the next line the script prints (print/println)
//   // console: TEXT          a line the engine writes to its console; these lines
//                             must appear in this order, other console lines (such
//                             as register dumps, which hold addresses) may come between
//   // expect error: MESSAGE  the run ends with an error carrying this message
// Without "expect error" the run must succeed. Exit code 0 when everything
// matches; otherwise the differences are listed and the exit code is 1.

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/objects/dispatch_interface.h"
#include "engine/objects/native_class.h"
#include "engine/services/console_output.h"
#include "engine/services/engine.h"
#include "engine/services/errors.h"
#include "engine/services/script_errors.h"

namespace NUV {
namespace {

struct tOutput {
  std::vector<std::string> Printed;
  std::vector<std::string> Console;
  std::string PendingLine;
  bool HasPending = false;

  void Write(const std::string& text) {
    for (char character : text) {
      if (character == '\n') {
        Printed.push_back(PendingLine);
        PendingLine.clear();
        HasPending = false;
      } else {
        PendingLine += character;
        HasPending = true;
      }
    }
  }
  void Flush() {
    if (HasPending) Printed.push_back(PendingLine);
    PendingLine.clear();
    HasPending = false;
  }
};

class tCapturingConsole : public iNUVConsoleOutput {
public:
  explicit tCapturingConsole(tOutput& output) : Output(output) {}
  void PrintOther(const char16_t* text) override { Print(text); }
  void Print(const char16_t* text) override { Output.Console.push_back(tNUVString(text).AsStdString()); }

private:
  tOutput& Output;
};

// print and println as the console runner offers them.
class tPrintFunction : public tNUVNativeFunction {
public:
  tPrintFunction(tOutput& output, bool newline) : Output(output), Newline(newline) {}
  int32_t Process(tNUVVariant*, int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2*) override {
    if (argumentCount < 1) return NUVResultBadParamCount;
    std::string text = arguments[0] ? arguments[0]->AsString().AsStdString() : std::string();
    Output.Write(Newline ? text + "\n" : text);
    return NUVResultOk;
  }

private:
  tOutput& Output;
  bool Newline;
};

std::string Trim(const std::string& text) {
  size_t end = text.find_last_not_of(" \t\r");
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

struct tExpectations {
  std::vector<std::string> Printed;
  std::vector<std::string> Console;
  bool CheckConsole = false;
  bool ExpectError = false;
  std::string ErrorMessage;
};

tExpectations ReadExpectations(const std::string& script) {
  tExpectations expectations;
  std::istringstream lines(script);
  std::string line;
  const std::string printed = "// expect: ", console = "// console: ", error = "// expect error: ";
  while (std::getline(lines, line)) {
    size_t at;
    if ((at = line.find(printed)) != std::string::npos) {
      expectations.Printed.push_back(Trim(line.substr(at + printed.size())));
    } else if ((at = line.find(console)) != std::string::npos) {
      expectations.CheckConsole = true;
      expectations.Console.push_back(Trim(line.substr(at + console.size())));
    } else if ((at = line.find(error)) != std::string::npos) {
      expectations.ExpectError = true;
      expectations.ErrorMessage = Trim(line.substr(at + error.size()));
    }
  }
  return expectations;
}

// Every expected line appears in actual, in order.
bool Contains(const std::vector<std::string>& expected, const std::vector<std::string>& actual) {
  size_t next = 0;
  for (const std::string& wanted : expected) {
    while (next < actual.size() && Trim(actual[next]) != wanted) ++next;
    if (next == actual.size()) {
      std::printf("console: expected line \"%s\" not found (in order)\n", wanted.c_str());
      return false;
    }
    ++next;
  }
  return true;
}

bool Compare(const char* what, const std::vector<std::string>& expected, const std::vector<std::string>& actual) {
  bool same = true;
  size_t count = std::max(expected.size(), actual.size());
  for (size_t i = 0; i < count; ++i) {
    const std::string wanted = i < expected.size() ? expected[i] : "<nothing>";
    const std::string got = i < actual.size() ? Trim(actual[i]) : "<nothing>";
    if (wanted != got) {
      std::printf("%s line %zu: expected \"%s\", got \"%s\"\n", what, i + 1, wanted.c_str(), got.c_str());
      same = false;
    }
  }
  return same;
}

void Register(tNUV* engine, const char16_t* name, iNUVDispatch2* function) {
  tNUVVariant value(function, nullptr);
  function->Release();
  engine->GetGlobalNoAddRef()->SetMember(NUVMemberEnsure, name, nullptr, &value, nullptr);
}

int RunScript(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::printf("cannot read %s\n", path.c_str());
    return 1;
  }
  std::stringstream buffer;
  buffer << file.rdbuf();
  std::string script = buffer.str();
  tExpectations expectations = ReadExpectations(script);

  tOutput output;
  tCapturingConsole console(output);
  bool failed = false;
  std::string errorMessage;
  tNUV* engine = new tNUV();
  engine->SetConsoleOutput(&console);
  Register(engine, u"print", new tPrintFunction(output, false));
  Register(engine, u"println", new tPrintFunction(output, true));
  std::string name = path.substr(path.find_last_of('/') + 1);
  tNUVString blockName(name.c_str());
  try {
    engine->ExecScript(tNUVString(script.c_str()), nullptr, nullptr, &blockName, 0);
  } catch (const eNUV& error) {
    failed = true;
    errorMessage = error.GetMessage().AsStdString();
  } catch (const std::exception& error) {
    failed = true;
    errorMessage = error.what();
  }
  engine->Shutdown();
  engine->Release();
  output.Flush();

  bool ok = Compare("printed", expectations.Printed, output.Printed);
  if (expectations.CheckConsole) ok = Contains(expectations.Console, output.Console) && ok;
  if (failed != expectations.ExpectError) {
    std::printf(failed ? "unexpected error: %s\n" : "expected an error, the script ran to its end%s\n",
                errorMessage.c_str());
    ok = false;
  } else if (failed && errorMessage != expectations.ErrorMessage) {
    std::printf("expected error \"%s\", got \"%s\"\n", expectations.ErrorMessage.c_str(), errorMessage.c_str());
    ok = false;
  }
  if (!ok) {
    std::printf("-- console --\n");
    for (const std::string& line : output.Console) std::printf("%s\n", line.c_str());
  }
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace NUV

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: script_runner FILE.nuv\n");
    return 2;
  }
  return NUV::RunScript(argv[1]);
}
