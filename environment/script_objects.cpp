// What every engine's global object gets from the library: the console functions
// print, println and readline, and the classes CommandLine and Scripts.
//
// The methods of CommandLine and Scripts never look at `this`: scripts call them
// on the class objects themselves.

#include "engine/objects/array.h"
#include "engine/objects/dictionary.h"
#include "engine/objects/native_class.h"
#include "engine/services/call_tracer.h"
#include "engine/services/engine.h"
#include "engine/services/errors.h"
#include "environment/environment.h"
#include "environment/program_arguments.h"
#include "environment/text_files.h"

namespace NUV {
namespace {

const char16_t* const MissingArgumentMessage = u"第%1引数に何も指定されていません。";
const char16_t* const NotAStringMessage = u"第%1引数には文字列を指定してください。";
constexpr int32_t DefaultDumpWidth = 80;

[[noreturn]] void ThrowArgumentMessage(const char16_t* message, int32_t position) {
  tNUVString number = tNUVString::FromInteger(position);
  MrvkThrowExceptionMessage_s(message, &number);
}

void RequirePresent(const tNUVNativeCall& call, int32_t index) {
  if (!call.Arguments[index]) ThrowArgumentMessage(MissingArgumentMessage, index + 1);
}

// The first argument, which must be given and be a string.
tNUVString RequireStringArgument(const tNUVNativeCall& call) {
  RequirePresent(call, 0);
  if (call.Argument(0).vt != tvtString) ThrowArgumentMessage(NotAStringMessage, 1);
  return call.Argument(0).AsString();
}

tNUV& Engine() {
  tNUV* engine = MrvkCurrentEngine();
  if (!engine) NUVThrowError(NUVInternalError);
  return *engine;
}

void PutOnGlobal(const char16_t* name, iNUVDispatch2* object, uint32_t flags, iNUVDispatch2* objThis) {
  iNUVDispatch2* global = MrvkGetGlobalObject();
  tNUVVariant value(object, objThis);
  object->Release();
  if (!global) NUVThrowError(NUVInternalError);
  NUVThrowFromResultCode(global->SetMember(flags, name, nullptr, &value, global), name);
}

// Console functions ------------------------------------------------------------------------

class tPrintFunction final : public tNUVNativeFunction {
public:
  explicit tPrintFunction(bool lineBreak) : LineBreak(lineBreak) {}
  int32_t Process(tNUVVariant*, int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2*) override {
    if (argumentCount < 1) return NUVResultBadParamCount;
    if (!arguments[0]) ThrowArgumentMessage(MissingArgumentMessage, 1);
    tNUVString text = arguments[0]->AsString();
    MrvkPrintString(&text);
    if (LineBreak) MrvkPrintNarrow("\n");
    return NUVResultOk;
  }

private:
  bool LineBreak;
};

class tReadLineFunction final : public tNUVNativeFunction {
public:
  int32_t Process(tNUVVariant* result, int32_t, tNUVVariant**, iNUVDispatch2*) override {
    auto* input = static_cast<MrvkTextReadStream*>(MrvkGetDefaultInputStream());
    tNUVString line;
    uint32_t read = input->ReadLine(line);
    if (result) {
      if (read)
        *result = line;
      else
        result->Clear();
    }
    return NUVResultOk;
  }
};

// CommandLine --------------------------------------------------------------------------------

int32_t GetArgumentMap(const tNUVNativeCall& call) {
  tNUVVariant dictionary;
  NUVAdoptObjectValue(dictionary, CreateDictionaryObject());
  iNUVDispatch2* members = dictionary.Object.Object;
  for (const auto& [key, value] : ProgramArgumentMap()) {
    // A member cannot have an empty name; the argument still shows in the list.
    if (key.empty()) continue;
    tNUVVariant text{tNUVString(value)};
    NUVThrowFromResultCode(members->SetMember(NUVMemberEnsure, key.c_str(), nullptr, &text, members));
  }
  call.SetResult(dictionary);
  return NUVResultOk;
}

int32_t GetArgumentArray(const tNUVNativeCall& call) {
  tNUVVariant array;
  NUVAdoptObjectValue(array, CreateArrayObject());
  tNUVArrayNI* items = NUVFindArray(array.Object.Object);
  for (const std::u16string& argument : ProgramArgumentList()) items->Add(tNUVVariant(tNUVString(argument)));
  call.SetResult(array);
  return NUVResultOk;
}

int32_t ValueAt(const tNUVNativeCall& call) {
  RequirePresent(call, 0);
  const auto& list = ProgramArgumentList();
  int64_t index = call.Argument(0).AsInteger();
  int64_t count = static_cast<int64_t>(list.size());
  if (index < 0) index += count;
  if (index < 0 || index >= count) return NUVResultInvalidParam;
  call.SetResult(tNUVVariant(tNUVString(list[static_cast<size_t>(index)])));
  return NUVResultOk;
}

int32_t ValueOf(const tNUVNativeCall& call) {
  tNUVString key = RequireStringArgument(call);
  auto found = ProgramArgumentMap().find(std::u16string(key.c_str(), static_cast<size_t>(key.GetLen())));
  if (found != ProgramArgumentMap().end()) call.SetResult(tNUVVariant(tNUVString(found->second)));
  return NUVResultOk;
}

// Scripts ------------------------------------------------------------------------------------

// Loads a script file through the host's read factory; an engine error of the
// reading itself is raised again as a plain error with its message. A file that
// cannot be opened (or a refusing factory) gives no text.
tNUVString LoadStorage(const tNUVString& name) {
  const tNUVString mode(u"rb");
  iNUVTextReadStream* opened = nullptr;
  try {
    opened = NUVCreateTextReadStream(name, mode);
  } catch (const eNUVError&) {
    return tNUVString();
  }
  tNUVTextStreamHolder<iNUVTextReadStream> stream(opened);
  tNUVString text;
  try {
    stream->Read(text, 0);
  } catch (const eNUV& error) {
    NUVThrowError(error.GetMessage());
  }
  return text;
}

using tRunText = int32_t (*)(const tNUVString*, tNUVVariant*, iNUVDispatch2*, const tNUVString*);

// Runs a script file (as a script or as an expression) named by the first
// argument; the file name names the block. Errors of the run are swallowed.
template <tRunText Run>
int32_t RunStorage(const tNUVNativeCall& call) {
  tNUVString name = RequireStringArgument(call);
  tNUVString text = LoadStorage(name);
  tNUVVariant value;
  Run(&text, &value, nullptr, &name);
  call.SetResult(value);
  return NUVResultOk;
}

const tNUVString& InlineBlockName() {
  static const tNUVString* name = new tNUVString(u"Inline NUV");
  return *name;
}

int32_t Exec(const tNUVNativeCall& call) {
  tNUVString text = RequireStringArgument(call);
  MrvkExecScript(&text, call.Result, nullptr, &InlineBlockName());
  return NUVResultOk;
}

int32_t Eval(const tNUVNativeCall& call) {
  tNUVString text = RequireStringArgument(call);
  tNUVVariant value;
  MrvkEvalExpression(&text, &value, nullptr, &InlineBlockName());
  call.SetResult(value);
  return NUVResultOk;
}

int32_t DumpWidth(const tNUVNativeCall& call) {
  if (call.ArgumentCount < 1 || !call.Arguments[0] || call.Argument(0).vt == tvtVoid) return DefaultDumpWidth;
  int64_t width = call.Argument(0).AsInteger();
  return width < 1 || width > INT32_MAX ? DefaultDumpWidth : static_cast<int32_t>(width);
}

int32_t Dump(const tNUVNativeCall& call) {
  Engine().Dump(DumpWidth(call));
  return NUVResultOk;
}

int32_t GetDumpString(const tNUVNativeCall& call) {
  int32_t width = DumpWidth(call);
  tNUV& engine = Engine();
  MrvkStringOutput* capture = MrvkLibraryStringOutput();
  if (!capture) NUVThrowError(NUVInternalError);
  capture->B = tNUVString();
  iNUVConsoleOutput* previous = engine.GetConsoleOutput();
  engine.SetConsoleOutput(capture);
  try {
    engine.Dump(width);
  } catch (...) {
    engine.SetConsoleOutput(previous);
    throw;
  }
  engine.SetConsoleOutput(previous);
  tNUVString text = capture->B;
  capture->B = tNUVString();
  call.SetResult(text);
  return NUVResultOk;
}

int32_t GetTraceString(const tNUVNativeCall& call) {
  if (call.ArgumentCount >= 2 && call.Arguments[1] && call.Argument(1).vt != tvtString)
    ThrowArgumentMessage(NotAStringMessage, 2);
  // Calls are traced only in debug mode; otherwise the history is empty.
  int32_t limit = call.ArgumentCount >= 1 && call.Arguments[0] ? static_cast<int32_t>(call.Argument(0).AsInteger()) : 0;
  if (call.ArgumentCount >= 2 && call.Arguments[1]) {
    tNUVString delimiter = call.Argument(1).AsString();
    call.SetResult(NUVGetCallHistory(limit, &delimiter));
  } else {
    call.SetResult(NUVGetCallHistory(limit));
  }
  return NUVResultOk;
}

int32_t DoNothing(const tNUVNativeCall&) { return NUVResultOk; }

class tScriptControlClass : public tNUVNativeClass {
public:
  explicit tScriptControlClass(const char16_t* name) : tNUVNativeClass(name) {
    RegisterMember(name, new tNUVNativeClassConstructor(NUVStaticMethod<0, DoNothing>), NUVNativeMemberMethod);
    RegisterMember(u"finalize", new tNUVNativeClassMethod(NUVStaticMethod<0, DoNothing>), NUVNativeMemberMethod);
  }
  void Method(const char16_t* name, tNUVNativeCallback callback) {
    RegisterMember(name, new tNUVNativeClassMethod(callback), NUVNativeMemberMethod);
  }
};

iNUVDispatch2* NewCommandLineClass() {
  auto* commandLine = new tScriptControlClass(u"CommandLine");
  commandLine->Method(u"getArgumentMap", NUVStaticMethod<0, GetArgumentMap>);
  commandLine->Method(u"getArgumentArray", NUVStaticMethod<0, GetArgumentArray>);
  commandLine->Method(u"valueAt", NUVStaticMethod<1, ValueAt>);
  commandLine->Method(u"valueOf", NUVStaticMethod<1, ValueOf>);
  return commandLine;
}

iNUVDispatch2* NewScriptsClass() {
  auto* scripts = new tScriptControlClass(u"Scripts");
  scripts->Method(u"execStorage", NUVStaticMethod<1, RunStorage<MrvkExecScript>>);
  scripts->Method(u"evalStorage", NUVStaticMethod<1, RunStorage<MrvkEvalExpression>>);
  scripts->Method(u"exec", NUVStaticMethod<1, Exec>);
  scripts->Method(u"eval", NUVStaticMethod<1, Eval>);
  scripts->Method(u"dump", NUVStaticMethod<0, Dump>);
  scripts->Method(u"getDumpString", NUVStaticMethod<0, GetDumpString>);
  scripts->Method(u"getTraceString", NUVStaticMethod<0, GetTraceString>);
  return scripts;
}

}  // namespace

int32_t MrvkFunctionRegistrationAgent::Register() {
  PutOnGlobal(u"print", new tPrintFunction(false), NUVMemberEnsure, nullptr);
  PutOnGlobal(u"println", new tPrintFunction(true), NUVMemberEnsure, nullptr);
  PutOnGlobal(u"readline", new tReadLineFunction, NUVMemberEnsure, nullptr);
  return 0;
}

int32_t MrvkClassRegistrationAgent::Register() {
  iNUVDispatch2* global = MrvkGetGlobalObject();
  PutOnGlobal(u"Scripts", NewScriptsClass(), NUVMemberEnsure | NUVIgnoreProperty, global);
  PutOnGlobal(u"CommandLine", NewCommandLineClass(), NUVMemberEnsure | NUVIgnoreProperty, global);
  return 0;
}

}  // namespace NUV
