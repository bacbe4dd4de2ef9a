// Runs one NUV2 test script with the console runner nuv and checks the
// expectations written in the script as comments:
//   // expect: TEXT           a line the script prints (print/println), in order
//   // console: TEXT          a line the engine writes to its console (error
//                             lines, dumps); these must appear in this order
//   // expect error: MESSAGE  the script ends with an uncaught error carrying this
//                             message: the engine's lines name it and nuv reports
//                             the failed run
//   // args: A %script B ...  the command line: %script stands for the script's
//                             path (without it the path comes first)
//   // stdin: TEXT            a line fed to the script's standard input
//   // env: NAME=VALUE        an environment variable nuv runs with
// Both printed and console lines reach standard output. Where the engine wrote
// nothing of its own (no error was raised, not even a caught one), the script
// must print exactly its "expect" lines; otherwise the expected lines must appear
// in order among the engine's.
// nuv must exit with status 0 and write nothing to standard error.
//
// Usage: script_runner NUV SCRIPT. The script runs in its own folder, named by
// its file name, so it can reach files beside it.

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string RunFailed = "スクリプト実行失敗";

struct tExpectations {
  std::vector<std::string> Printed;
  std::vector<std::string> Console;
  std::vector<std::string> Arguments;
  std::string Input;
  std::vector<std::string> Environment;
  bool ExpectError = false;
  std::string ErrorMessage;
};

std::string Trim(const std::string& text) {
  size_t end = text.find_last_not_of(" \t\r");
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

std::string TrimBoth(const std::string& text) {
  size_t start = text.find_first_not_of(" \t");
  return start == std::string::npos ? std::string() : Trim(text.substr(start));
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream buffer;
  buffer << file.rdbuf();
  return buffer.str();
}

tExpectations ReadExpectations(const std::string& script) {
  tExpectations expectations;
  std::istringstream lines(script);
  std::string line;
  const std::string printed = "// expect: ", console = "// console: ", error = "// expect error: ",
                    arguments = "// args: ", input = "// stdin: ", environment = "// env: ";
  while (std::getline(lines, line)) {
    size_t at;
    if ((at = line.find(printed)) != std::string::npos) {
      expectations.Printed.push_back(TrimBoth(line.substr(at + printed.size())));
    } else if ((at = line.find(console)) != std::string::npos) {
      expectations.Console.push_back(TrimBoth(line.substr(at + console.size())));
    } else if ((at = line.find(error)) != std::string::npos) {
      expectations.ExpectError = true;
      expectations.ErrorMessage = Trim(line.substr(at + error.size()));
    } else if ((at = line.find(arguments)) != std::string::npos) {
      std::istringstream words(line.substr(at + arguments.size()));
      std::string word;
      while (words >> word) expectations.Arguments.push_back(word);
    } else if ((at = line.find(environment)) != std::string::npos) {
      expectations.Environment.push_back(Trim(line.substr(at + environment.size())));
    } else if ((at = line.find(input)) != std::string::npos) {
      expectations.Input += line.substr(at + input.size()) + "\n";
    }
  }
  return expectations;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string current;
  for (char character : text) {
    if (character == '\n') {
      lines.push_back(current);
      current.clear();
    } else {
      current += character;
    }
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

// Runs nuv in folder with the arguments, input on standard input; collects both
// output streams and the exit status.
struct tRun {
  std::string Output;
  std::string Errors;
  int Status = -1;
};

tRun RunNuv(const std::string& nuv, const std::string& folder, const std::vector<std::string>& arguments,
            const std::string& input, const std::vector<std::string>& environment) {
  tRun run;
  char inputPath[] = "/tmp/nuv-test-in-XXXXXX";
  char outputPath[] = "/tmp/nuv-test-out-XXXXXX";
  char errorPath[] = "/tmp/nuv-test-err-XXXXXX";
  int inputFile = mkstemp(inputPath), outputFile = mkstemp(outputPath), errorFile = mkstemp(errorPath);
  if (inputFile < 0 || outputFile < 0 || errorFile < 0) return run;
  if (write(inputFile, input.data(), input.size()) != static_cast<ssize_t>(input.size())) return run;
  lseek(inputFile, 0, SEEK_SET);
  pid_t child = fork();
  if (child == 0) {
    dup2(inputFile, 0);
    dup2(outputFile, 1);
    dup2(errorFile, 2);
    if (chdir(folder.c_str()) != 0) _exit(126);
    for (const std::string& setting : environment) putenv(const_cast<char*>(setting.c_str()));
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(nuv.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(nuv.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child) run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.Output = ReadFile(outputPath);
  run.Errors = ReadFile(errorPath);
  for (int file : {inputFile, outputFile, errorFile}) close(file);
  for (const char* path : {inputPath, outputPath, errorPath}) unlink(path);
  return run;
}

// A wanted console line matches a printed one; "0x*" stands for any hexadecimal
// number, so lines that carry object addresses can be checked.
bool LineMatches(const std::string& wanted, const std::string& line) {
  size_t at = 0, from = 0;
  for (size_t star = wanted.find("0x*"); star != std::string::npos; star = wanted.find("0x*", from)) {
    size_t length = star + 2 - from;
    if (line.size() - at < length || line.compare(at, length, wanted, from, length) != 0) return false;
    at += length;
    while (at < line.size() && std::isxdigit(static_cast<unsigned char>(line[at]))) ++at;
    from = star + 3;
  }
  return line.compare(at, std::string::npos, wanted, from, std::string::npos) == 0;
}

// Every wanted line appears in lines, in order.
bool ContainsInOrder(const char* what, const std::vector<std::string>& wanted, const std::vector<std::string>& lines) {
  size_t next = 0;
  for (const std::string& line : wanted) {
    while (next < lines.size() && !LineMatches(line, TrimBoth(lines[next]))) ++next;
    if (next == lines.size()) {
      std::printf("%s: line \"%s\" not found (in order)\n", what, line.c_str());
      return false;
    }
    ++next;
  }
  return true;
}

bool SameLines(const std::vector<std::string>& wanted, const std::vector<std::string>& lines) {
  bool same = true;
  size_t count = std::max(wanted.size(), lines.size());
  for (size_t i = 0; i < count; ++i) {
    std::string expected = i < wanted.size() ? wanted[i] : "<nothing>";
    std::string got = i < lines.size() ? TrimBoth(lines[i]) : "<nothing>";
    if (expected != got) {
      std::printf("printed line %zu: expected \"%s\", got \"%s\"\n", i + 1, expected.c_str(), got.c_str());
      same = false;
    }
  }
  return same;
}

int Check(const std::string& nuv, const std::string& path) {
  std::string script = ReadFile(path);
  if (script.empty()) {
    std::printf("cannot read %s\n", path.c_str());
    return 1;
  }
  tExpectations expectations = ReadExpectations(script);
  size_t slash = path.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::vector<std::string> arguments;
  bool placed = false;
  for (const std::string& argument : expectations.Arguments) {
    placed = placed || argument == "%script";
    arguments.push_back(argument == "%script" ? name : argument);
  }
  if (!placed) arguments.insert(arguments.begin(), name);
  tRun run = RunNuv(nuv, folder, arguments, expectations.Input, expectations.Environment);

  bool ok = true;
  std::string output = run.Output;
  bool failed = output.size() >= RunFailed.size() &&
                output.compare(output.size() - RunFailed.size(), RunFailed.size(), RunFailed) == 0;
  if (failed) output.erase(output.size() - RunFailed.size());
  std::vector<std::string> lines = SplitLines(output);

  if (run.Status != 0) {
    std::printf("nuv exited with status %d\n", run.Status);
    ok = false;
  }
  if (!run.Errors.empty()) {
    std::printf("nuv wrote to standard error\n");
    ok = false;
  }
  if (failed != expectations.ExpectError) {
    std::printf(failed ? "the script failed unexpectedly\n" : "expected an error, the script ran to its end\n");
    ok = false;
  } else if (failed && output.find(expectations.ErrorMessage) == std::string::npos) {
    std::printf("the error message \"%s\" does not appear\n", expectations.ErrorMessage.c_str());
    ok = false;
  }
  bool engineWrote = output.find("==== An exception occured") != std::string::npos;
  if (expectations.Console.empty() && !expectations.ExpectError && !engineWrote) {
    ok = SameLines(expectations.Printed, lines) && ok;
  } else {
    ok = ContainsInOrder("printed", expectations.Printed, lines) && ok;
    ok = ContainsInOrder("console", expectations.Console, lines) && ok;
  }
  if (!ok) std::printf("-- standard output --\n%s\n-- standard error --\n%s\n", run.Output.c_str(), run.Errors.c_str());
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::printf("usage: script_runner NUV FILE.nuv\n");
    return 2;
  }
  return Check(argv[1], argv[2]);
}
