// Calls, try regions and throw.
//
// A call gathers its argument list into pointers to variants: plain lists point
// straight at the caller's registers, the omitted form passes the running
// function's own argument array, and the extended form may expand Arrays (their
// elements are copied first, so the callee cannot pull them away by changing the
// array). Lists of up to 20 pointers sit in a buffer on the native stack.
//
// A try region is a nested run of the loop on the same frame. What escapes it
// (except the quiet stop) becomes the value of the catch variable and execution
// goes on at the catch position.

#include <cxxabi.h>

#include <exception>
#include <memory>
#include <string>

#include "engine/objects/array.h"
#include "engine/platform/text_conversion.h"
#include "engine/services/call_tracer.h"
#include "engine/services/errors.h"
#include "engine/services/messages.h"
#include "engine/services/script_errors.h"
#include "engine/values/variant_internal.h"
#include "engine/vm/code_context.h"
#include "engine/vm/interpreter.h"
#include "engine/vm/direct_members.h"
#include "engine/vm/primitive_operations.h"
#include "engine/vm/runtime.h"

namespace NUV::InterpreterDetail {

namespace {

inline iNUVDispatch2* CallThis(const tNUVVariant& value, const tActivation& activation) {
  if (value.Object.ObjThis) return value.Object.ObjThis;
  return activation.Self ? activation.Self : value.Object.Object;
}

// The argument list of a call-family instruction whose fixed part is fixedLength
// words, and the position of the instruction after it.
class tArgumentList {
public:
  tArgumentList(const tActivation& activation, const int32_t* ip, int32_t fixedLength) {
    int32_t count = ip[fixedLength - 1];
    if (count >= 0) {
      Next = ip + fixedLength + count;
      const int32_t* operands = ip + fixedLength;
      tNUVVariant** list = Reserve(count);
      for (int32_t i = 0; i < count; ++i) list[i] = &Register(activation, operands[i]);
      Count = count;
    } else if (count == NUVArgumentsOmitted) {
      Next = ip + fixedLength;
      List = activation.Arguments;
      Count = activation.ArgumentCount;
    } else {
      GatherExtended(activation, ip + fixedLength);
    }
  }
  tArgumentList(const tArgumentList&) = delete;
  tArgumentList& operator=(const tArgumentList&) = delete;

  tNUVVariant** GetList() const { return List; }
  int32_t GetCount() const { return Count; }
  const int32_t* GetNext() const { return Next; }

private:
  static constexpr int32_t FixedCapacity = 20;

  tNUVVariant** Reserve(int32_t count) {
    if (count > FixedCapacity) {
      HeapList.reset(new tNUVVariant*[static_cast<size_t>(count)]);
      List = HeapList.get();
    }
    return List;
  }

  static tNUVArrayNI* ExpandedArray(const tNUVVariant& value) {
    tNUVArrayNI* array = value.vt == tvtObject ? NUVFindArray(value.Object.Object) : nullptr;
    if (!array) NUVThrowError(NUVSpecifyArray);
    return array;
  }

  // pairs: the pair count word, then (kind, register) pairs.
  void GatherExtended(const tActivation& activation, const int32_t* pairs) {
    int32_t pairCount = pairs[0];
    const int32_t* pair = pairs + 1;
    Next = pair + 2 * pairCount;
    int32_t unnamedBase = activation.Context->GetUnnamedArgBase();
    int32_t unnamedCount = activation.ArgumentCount > unnamedBase ? activation.ArgumentCount - unnamedBase : 0;
    // First the sizes, so that every buffer is allocated once.
    int64_t total = 0;
    int64_t expanded = 0;
    for (int32_t i = 0; i < pairCount; ++i) {
      int32_t kind = pair[2 * i];
      if (kind == akExpand) {
        int32_t elements = ExpandedArray(Register(activation, pair[2 * i + 1]))->GetCount();
        expanded += elements;
        total += elements;
      } else if (kind == akUnnamed) {
        total += unnamedCount;
      } else {
        total += 1;
      }
    }
    if (total > INT32_MAX) NUVThrowError(NUVBadParamCount);
    tNUVVariant** list = Reserve(static_cast<int32_t>(total));
    if (expanded > 0) Copies.reset(new tNUVVariant[static_cast<size_t>(expanded)]);
    int32_t used = 0;
    int32_t copied = 0;
    for (int32_t i = 0; i < pairCount; ++i) {
      int32_t kind = pair[2 * i];
      tNUVVariant& value = Register(activation, pair[2 * i + 1]);
      if (kind == akExpand) {
        tNUVArrayNI* array = ExpandedArray(value);
        for (int32_t element = 0; element < array->GetCount(); ++element) {
          Copies[copied] = array->At(element);
          list[used++] = &Copies[copied++];
        }
      } else if (kind == akUnnamed) {
        for (int32_t argument = 0; argument < unnamedCount; ++argument) {
          list[used++] = activation.Arguments[unnamedBase + argument];
        }
      } else {
        list[used++] = &value;
      }
    }
    Count = used;
  }

  tNUVVariant* Fixed[FixedCapacity];
  tNUVVariant** List = Fixed;
  int32_t Count = 0;
  const int32_t* Next = nullptr;
  std::unique_ptr<tNUVVariant*[]> HeapList;
  std::unique_ptr<tNUVVariant[]> Copies;
};

// Text of a standard exception's description; bytes that are not valid narrow text
// become "?" rather than a second error.
tNUVString NarrowDescription(const char* text) {
  if (!text) return tNUVString();
  std::string narrow(text);
  std::u16string wide;
  if (!Platform::NarrowToWide(narrow.data(), narrow.size(), wide)) {
    wide.clear();
    for (char unit : narrow) wide.push_back(static_cast<unsigned char>(unit) < 0x80 ? static_cast<char16_t>(unit) : u'?');
  }
  return tNUVString(wide);
}

// Holds a code context for the length of a call: the call may change the table
// that held it.
class tContextHold {
public:
  explicit tContextHold(tNUVInterCodeContext* context) : Context(context) { Context->tNUVDispatch::AddRef(); }
  ~tContextHold() { Context->tNUVDispatch::Release(); }
  tContextHold(const tContextHold&) = delete;
  tContextHold& operator=(const tContextHold&) = delete;

private:
  tNUVInterCodeContext* Context;
};

// Runs a script function for a call instruction: code of the caller's owner
// runs with the caller's global object, found once per activation.
inline void RunCallee(const tActivation& activation, tNUVInterCodeContext* context, iNUVDispatch2* callThis,
                      tNUVVariant** arguments, int32_t count, tNUVVariant* result) {
  if (context->GetOwner() == activation.Context->GetOwner()) {
    RunWithGlobal(context, callThis, activation.Global, arguments, count, result);
  } else {
    NUVRunAsFunction(context, callThis, arguments, count, result);
  }
}

// Calls what a member of a script object (or of the frame's proxy) holds
// straight away, taking the steps of the general path (the object's CallMember,
// the held value's call, for a script function the context's call) without the
// name lookup, relays and copies. False when the general path must run; else
// code is what the object's CallMember would answer.
bool CallScriptMember(iNUVDispatch2* object, const char16_t* name, tNUVVariantString* body, uint32_t* hint,
                      tNUVMemberCacheEntry& cache, tNUVVariant* result, const tArgumentList& arguments,
                      iNUVDispatch2* objThis, const tActivation& activation, int32_t& code) {
  tDirectMember found;
  if (LookUpCachedMember(object, name, body, hint, false, objThis, cache, activation, found) != tDirectLookUp::Found)
    return false;
  const tNUVVariant& member = found.Symbol->Value;
  if (member.vt != tvtObject || !member.Object.Object) return false;
  if (member.Object.Object->Reserved2() != NUVEngineKindCodeContext) {
    // A native method, a host function: held by a copy, as CallMember holds it.
    tNUVVariant callee(member);
    code = NUVCallHeldValue(tNUVVariantClosure(callee.Object), 0, result, arguments.GetCount(), arguments.GetList(),
                            found.ObjThis);
    return true;
  }
  auto* context = static_cast<tNUVInterCodeContext*>(member.Object.Object);
  if (!context->RunsAsFunction()) return false;
  iNUVDispatch2* callThis = member.Object.ObjThis ? member.Object.ObjThis : found.ObjThis;
  tContextHold hold(context);
  RunCallee(activation, context, callThis, arguments.GetList(), arguments.GetCount(), result);
  code = NUVResultOk;
  return true;
}

}  // namespace

const int32_t* CallCachedFunction(const tActivation& activation, const int32_t* ip) {
  constexpr int32_t fixedLength = 5;
  constexpr int32_t mostArguments = 8;
  const int32_t count = ip[fixedLength - 1];
  if (count < 0 || count > mostArguments) return nullptr;
  const tNUVVariant& target = Register(activation, ip[2]);
  if (target.vt != tvtObject || !target.Object.Object) return nullptr;
  iNUVDispatch2* object = target.Object.Object;
  const int32_t kind = EngineKindOf(object, activation);
  if (kind != NUVEngineKindScriptObject && kind != NUVEngineKindProxy) return nullptr;
  const tNUVVariant& name = *reinterpret_cast<const tNUVVariant*>(
      reinterpret_cast<const char*>(activation.Context->GetData().data()) + ip[3]);
  if (name.vt != tvtString) return nullptr;
  const tCachedMember hit =
      ProbeMemberCache(object, kind, name.String, MemberCacheAt(activation, ip[3]), activation.Global);
  if (!hit.Owner) return nullptr;
  const tNUVVariant& member = hit.Symbol->Value;
  if (member.vt != tvtObject || !member.Object.Object ||
      member.Object.Object->Reserved2() != NUVEngineKindCodeContext)
    return nullptr;
  auto* context = static_cast<tNUVInterCodeContext*>(member.Object.Object);
  if (!context->RunsAsFunction()) return nullptr;
  // As CallScriptMember: the function's bound this, else the this the object
  // operation would pass on.
  iNUVDispatch2* callThis = member.Object.ObjThis ? member.Object.ObjThis : CallThis(target, activation);
  tNUVVariant* arguments[mostArguments];
  for (int32_t i = 0; i < count; ++i) arguments[i] = &Register(activation, ip[fixedLength + i]);
  tContextHold hold(context);
  const int32_t destination = ip[1];
  if (destination) {
    tNUVVariant value;
    RunCallee(activation, context, callThis, arguments, count, &value);
    Register(activation, destination) = std::move(value);
  } else {
    RunCallee(activation, context, callThis, arguments, count, nullptr);
  }
  return ip + fixedLength + count;
}

const int32_t* ExecuteCall(const tActivation& activation, const int32_t* ip) {
  const int32_t opcode = ip[0];
  const int32_t destination = ip[1];
  const tNUVVariant& target = Register(activation, ip[2]);
  tArgumentList arguments(activation, ip, NUVInstructionLengthTable[opcode]);
  tNUVVariant value;
  tNUVVariant* result = destination ? &value : nullptr;
  switch (opcode) {
    case VM_CALL: {
      iNUVDispatch2* function = RequireObject(target);
      int32_t code = function->CallMember(0, nullptr, nullptr, result, arguments.GetCount(), arguments.GetList(),
                                          CallThis(target, activation));
      if (code < 0) NUVThrowFromResultCode(code, u"");
      break;
    }
    case VM_NEW: {
      iNUVDispatch2* classObject = RequireObject(target);
      iNUVDispatch2* created = nullptr;
      int32_t code = classObject->CreateInstance(0, nullptr, nullptr, &created, arguments.GetCount(),
                                                 arguments.GetList(), CallThis(target, activation));
      if (code < 0) {
        if (created) created->Release();
        NUVThrowFromResultCode(code, u"");
      }
      // A class that makes no object leaves the destination as it was.
      if (!created) return arguments.GetNext();
      if (destination) value.SetObject(created, created);
      created->Release();
      break;
    }
    case VM_CALLD: {
      const tNUVVariant& constant = *reinterpret_cast<const tNUVVariant*>(
          reinterpret_cast<const char*>(activation.Context->GetData().data()) + ip[3]);
      if (constant.vt != tvtString) VariantDetail::ThrowConvertError(constant, VariantDetail::NUVTargetString);
      tNUVVariantString* body = constant.String;
      const char16_t* name = body ? body->Text() : u"";
      int32_t code;
      if (NUVIsPrimitiveReceiver(target)) {
        code = NUVCallPrimitiveMethod(target, name, result, arguments.GetCount(), arguments.GetList());
      } else {
        iNUVDispatch2* object = RequireObject(target);
        iNUVDispatch2* callThis = CallThis(target, activation);
        uint32_t* hint = body ? &body->Hint : nullptr;
        if (!CallScriptMember(object, name, body, hint, MemberCacheAt(activation, ip[3]), result, arguments,
                              callThis, activation, code))
          code = object->CallMember(0, name, hint, result, arguments.GetCount(), arguments.GetList(), callThis);
      }
      if (code < 0) NUVThrowFromResultCode(code, name);
      break;
    }
    default: {   // VM_CALLI
      tNUVString name = Register(activation, ip[3]).AsString();
      int32_t code;
      if (NUVIsPrimitiveReceiver(target)) {
        code = NUVCallPrimitiveMethod(target, name.c_str(), result, arguments.GetCount(), arguments.GetList());
      } else {
        iNUVDispatch2* object = RequireObject(target);
        code = object->CallMember(0, name.c_str(), nullptr, result, arguments.GetCount(), arguments.GetList(),
                                  CallThis(target, activation));
      }
      if (code < 0) NUVThrowFromResultCode(code, name);
      break;
    }
  }
  if (destination) Register(activation, destination) = std::move(value);
  return arguments.GetNext();
}

tNUVVariant MakeExceptionObject(iNUVDispatch2* global, const tNUVString& message, const tNUVString* trace) {
  if (!global) NUVThrowError(NUVExceptionNotFound);
  tNUVVariant exceptionClass;
  int32_t code = global->GetMember(0, u"Exception", nullptr, &exceptionClass, global);
  if (code < 0 || exceptionClass.vt != tvtObject || !exceptionClass.Object.Object) {
    NUVThrowError(NUVExceptionNotFound);
  }
  tNUVVariant messageValue(message);
  tNUVVariant* arguments[1] = {&messageValue};
  iNUVDispatch2* created = nullptr;
  code = exceptionClass.Object.Object->CreateInstance(0, nullptr, nullptr, &created, 1, arguments,
                                                      exceptionClass.Object.ObjThis);
  if (code < 0 || !created) {
    if (created) created->Release();
    NUVThrowError(NUVExceptionNotFound);
  }
  tNUVVariant exception(created, created);
  created->Release();
  if (trace) {
    tNUVVariant traceValue(*trace);
    created->SetMember(NUVMemberEnsure, u"trace", nullptr, &traceValue, created);
  }
  return exception;
}

// entry t, e
const int32_t* ExecuteTryRegion(const tActivation& activation, const int32_t* ip) {
  const int32_t* code = activation.Context->GetCode().data();
  const int32_t* catchPosition =
      reinterpret_cast<const int32_t*>(reinterpret_cast<const char*>(ip) + ip[1]);
  const int32_t exceptionRegister = ip[2];
  const int32_t regionStart = static_cast<int32_t>(ip + 3 - code);
  tActivationDepthGuard depth;
  tNUVTracedActivation traced(activation.Context, true);
  try {
    return code + RunCode(activation, regionStart, true);
  } catch (const eNUVSilent&) {
    throw;
  } catch (const eNUVScriptException& exception) {
    if (exceptionRegister) Register(activation, exceptionRegister) = exception.GetValue();
  } catch (const eNUVScriptError& error) {
    if (exceptionRegister) {
      tNUVString trace = error.GetTrace();
      Register(activation, exceptionRegister) = MakeExceptionObject(activation.Global, error.GetMessage(), &trace);
    }
  } catch (const eNUV& error) {
    if (exceptionRegister) {
      Register(activation, exceptionRegister) = MakeExceptionObject(activation.Global, error.GetMessage(), nullptr);
    }
  } catch (const std::exception& error) {
    if (exceptionRegister) {
      Register(activation, exceptionRegister) =
          MakeExceptionObject(activation.Global, NarrowDescription(error.what()), nullptr);
    }
  } catch (abi::__forced_unwind&) {
    // Thread cancellation must reach the end of the thread.
    throw;
  } catch (...) {
    if (exceptionRegister) Register(activation, exceptionRegister).Clear();
  }
  return catchPosition;
}

// throw r
void ExecuteThrow(const tActivation& activation, const int32_t* ip) {
  const tNUVVariant& value = Register(activation, ip[1]);
  tNUVString message(u"script exception");
  if (value.vt == tvtObject && value.Object.Object) {
    tNUVVariant member;
    iNUVDispatch2* object = value.Object.Object;
    // Only a member that exists counts (a Dictionary answers void for any name).
    int32_t code = object->GetMember(NUVMemberMustExist, u"message", nullptr, &member,
                                     value.Object.ObjThis ? value.Object.ObjThis : object);
    if (code >= 0) message = tNUVString(u"script exception : ") + member.AsString();
  }
  tNUVInterCodeContext* context = activation.Context;
  // A copy: the register may be overwritten while the exception is handled.
  tNUVVariant thrown(value);
  NUVThrowScriptException(message, context, static_cast<int32_t>(ip - context->GetCode().data()), thrown);
}

// Called inside the loop's catch block.
void ConvertEscapingException(const tActivation& activation, int32_t ip) {
  tNUVInterCodeContext* context = activation.Context;
  tNUVString message;
  try {
    throw;
  } catch (const eNUVSilent&) {
    throw;
  } catch (eNUVScriptError& error) {
    error.AddTrace(context, ip);
    throw;
  } catch (const eNUV& error) {
    message = error.GetMessage();
  } catch (const std::exception& error) {
    message = NarrowDescription(error.what());
  } catch (const char16_t* text) {
    message = tNUVString(text);
  } catch (const char* text) {
    message = NarrowDescription(text);
  }
  // Only the engine errors and texts get here; the original exception is gone.
  iNUVRuntime* runtime = context->GetOwner()->GetRuntime();
  if (runtime) {
    WriteExceptionDump(
        activation, ip,
        [](const tNUVString& line, void* userData) { static_cast<iNUVRuntime*>(userData)->OutputExceptionToConsole(line); },
        runtime);
  }
  try {
    NUVThrowScriptErrorAt(message, context, ip);
  } catch (eNUVScriptError& error) {
    // The failing activation is the first one the error leaves.
    error.AddTrace(context, ip);
    throw;
  }
}

}  // namespace NUV::InterpreterDetail
