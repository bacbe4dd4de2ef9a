// nuv: runs one NUV2 script file with the mervanik library.
//
//   nuv [options] scriptfile
//
// The script file is the last argument that does not start with "-". Every
// argument reaches the script through CommandLine; the runner interprets none.
// The exit status is 0, except 3 when the library's version is not accepted.

#include <cstdio>
#include <cstdlib>

#include "mervanik/mervanik.h"

namespace {

using NUV::tNUVString;

// The oldest library version this runner accepts (a test build raises it to see
// the rejection).
#ifndef NUV_RUNNER_MINIMUM_MAJOR
#define NUV_RUNNER_MINIMUM_MAJOR 0
#endif

const char16_t* const UsageText =
    u"使用法： nuv [options] scriptfile\nオプション：\n\t-key=value の形式で任意に指定できます。";
const char16_t* const LoadFailedText = u"ファイル読み込み失敗";
const char16_t* const RunFailedText = u"スクリプト実行失敗";

void Print(const char16_t* text) {
  tNUVString string(text);
  MrvkPrintString(&string);
}

[[noreturn]] void TerminateAbnormally() {
  std::fputs("Abnormal program termination\n", stderr);
  std::fflush(stderr);
  std::_Exit(3);
}

// The index of the last argument not starting with "-", or 0 when there is none.
int FindScriptIndex(int argc, char** argv) {
  int script = 0;
  for (int i = 1; i < argc; ++i)
    if (argv[i][0] != '-') script = i;
  return script;
}

void LoadAndRun(const tNUVString& scriptName) {
  tNUVString name(scriptName);
  tNUVString text;
  if (MrvkLoadScriptFile(&name, &text) != 0) {
    Print(LoadFailedText);
    return;
  }
  if (MrvkExecScript(&text, nullptr, nullptr, &name) != 0) Print(RunFailedText);
}

void Run(int argc, char** argv) {
  int scriptIndex = argc < 2 ? 0 : FindScriptIndex(argc, argv);
  if (scriptIndex == 0) {
    Print(UsageText);
    return;
  }
  tNUVString script(argv[scriptIndex]);
  MrvkInitProgramArguments(argc, argv);
  {
    tNUVString command(argv[0]);
    tNUVString key(u"%execute-command");
    MrvkAddProgramArgument(&key, &command);
  }
  tNUVString startupKey(u"%startup-script");
  MrvkAddProgramArgument(&startupKey, &script);
  LoadAndRun(script);
}

}  // namespace

int main(int argc, char** argv) {
  {
    tNUVString message;
    if (!MrvkCheckDLLAcceptance(NUV_RUNNER_MINIMUM_MAJOR, 0, 0, 0, 0, -1, &message)) {
      MrvkPrintString(&message);
      TerminateAbnormally();
    }
    try {
      Run(argc, argv);
    } catch (...) {
      // Only text that is invalid in the code page gets here (the script file's
      // bytes, or an argument): the script could not be loaded.
      Print(LoadFailedText);
    }
    MrvkFreeScriptEngine();
  }
  return 0;
}
