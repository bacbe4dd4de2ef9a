// A code context as a script object: functions, properties, classes and top
// levels answer the object interface.
//
// Calls run the context by its kind. A property object has no code of its own: a
// read or write of the property itself calls its getter or setter context. new on
// a class makes a general object, runs the class body on it (the body copies the
// class members into it and records the class names) and calls the constructor.
// A class that names super classes has a super class getter context whose entries
// each yield one super class object; a member operation that finds nothing on the
// class is repeated on those objects, the last named first, so a later super class
// overrides an earlier one.

#include <vector>

#include "engine/objects/custom_object.h"
#include "engine/services/error_report.h"
#include "engine/services/errors.h"
#include "engine/services/messages.h"
#include "engine/vm/code_context.h"
#include "engine/vm/interpreter.h"
#include "engine/vm/runtime.h"

namespace NUV {
namespace {

// An invalidated class has lost its members and asks no super class either.
bool HasSuperClasses(const tNUVInterCodeContext& context) {
  return context.GetKind() == ctClass && context.GetSuperProxy() && !context.GetIsInvalidated();
}

// The flags for trying a member on a class and its super classes without creating
// it: a member found in a super class is changed there rather than shadowed.
uint32_t TrialFlags(uint32_t flags) {
  return (flags & NUVIgnoreProperty) ? flags : flags & ~NUVMemberEnsure;
}

bool BadArgumentList(int32_t argumentCount, tNUVVariant** arguments) {
  return argumentCount < 0 || (argumentCount > 0 && !arguments);
}

// The answer of a named operation on a class, or when the class lacks the member,
// the first answer other than member-not-found that a super class gives.
// operation(superClass, callThis) repeats the operation on one super class object.
template <typename tOperation>
int32_t WithSuperClasses(tNUVInterCodeContext& context, const char16_t* memberName, iNUVDispatch2* objThis,
                         int32_t answer, tOperation operation) {
  if (answer != NUVResultMemberNotFound || !memberName || !HasSuperClasses(context)) return answer;
  // Counted like an activation: classes that name each other as super classes
  // would otherwise recurse here without end.
  InterpreterDetail::tActivationDepthGuard depth;
  tNUVInterCodeContext* getter = context.GetSuperProxy();
  tNUVObjectHolder holdGetter(getter);
  // Held, so the entries (fixed at commit) outlive whatever the getter's code does.
  const std::vector<int32_t>& entries = getter->GetSuperClassEntries();
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    tNUVVariant superClass;
    NUVRunAsFunction(getter, nullptr, nullptr, 0, &superClass, *entry);
    tNUVVariantClosure closure = superClass.AsObjectClosure();
    if (!closure.Object) NUVThrowError(NUVNullAccess);
    iNUVDispatch2* callThis = closure.ObjThis ? closure.ObjThis : objThis ? objThis : closure.Object;
    answer = operation(closure.Object, callThis);
    if (answer != NUVResultMemberNotFound) return answer;
  }
  return NUVResultMemberNotFound;
}

iNUVDispatch2* GlobalObjectOf(const tNUVInterCodeContext& context) {
  iNUVRuntime* runtime = context.GetOwner()->GetRuntime();
  return runtime ? runtime->GetGlobalNoAddRef() : nullptr;
}

}  // namespace

int32_t tNUVInterCodeContext::CallMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                         tNUVVariant* result, int32_t argumentCount, tNUVVariant** arguments,
                                         iNUVDispatch2* objThis) {
  if (IsInvalidated) return NUVResultInvalidObject;
  if (memberName) {
    return WithSuperClasses(
        *this, memberName, objThis,
        tNUVCustomObject::CallMember(flags, memberName, hint, result, argumentCount, arguments, objThis),
        [&](iNUVDispatch2* superClass, iNUVDispatch2* callThis) {
          return superClass->CallMember(flags, memberName, hint, result, argumentCount, arguments, callThis);
        });
  }
  if (BadArgumentList(argumentCount, arguments)) return NUVResultInvalidParam;
  switch (Kind) {
    case ctTopLevel:
      NUVRunAsFunction(this, objThis ? objThis : GlobalObjectOf(*this), nullptr, 0, result);
      return NUVResultOk;
    case ctProperty: return NUVResultInvalidType;
    case ctFunction:
    case ctExprFunction:
    case ctPropertySetter:
    case ctPropertyGetter:
    case ctClass:
      NUVRunAsFunction(this, objThis, arguments, argumentCount, result);
      return NUVResultOk;
    default: return NUVResultOk;
  }
}

int32_t tNUVInterCodeContext::GetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                        tNUVVariant* result, iNUVDispatch2* objThis) {
  if (IsInvalidated) return NUVResultInvalidObject;
  if (!memberName && Kind == ctProperty) {
    if (!Getter) return NUVResultAccessDenied;
    return Getter->CallMember(0, nullptr, nullptr, result, 0, nullptr, objThis);
  }
  return WithSuperClasses(*this, memberName, objThis,
                          tNUVCustomObject::GetMember(flags, memberName, hint, result, objThis),
                          [&](iNUVDispatch2* superClass, iNUVDispatch2* callThis) {
                            return superClass->GetMember(flags, memberName, hint, result, callThis);
                          });
}

int32_t tNUVInterCodeContext::SetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                        const tNUVVariant* value, iNUVDispatch2* objThis) {
  if (IsInvalidated) return NUVResultInvalidObject;
  if (!memberName && Kind == ctProperty) {
    if (!Setter) return NUVResultAccessDenied;
    if (!value) return NUVResultInvalidParam;
    tNUVVariant argument(*value);
    tNUVVariant* arguments[1] = {&argument};
    return Setter->CallMember(0, nullptr, nullptr, nullptr, 1, arguments, objThis);
  }
  if (!memberName || !HasSuperClasses(*this))
    return tNUVCustomObject::SetMember(flags, memberName, hint, value, objThis);
  const uint32_t trial = TrialFlags(flags);
  int32_t answer = WithSuperClasses(*this, memberName, objThis,
                                    tNUVCustomObject::SetMember(trial, memberName, hint, value, objThis),
                                    [&](iNUVDispatch2* superClass, iNUVDispatch2* callThis) {
                                      return superClass->SetMember(trial, memberName, hint, value, callThis);
                                    });
  if (answer != NUVResultMemberNotFound || !(flags & NUVMemberEnsure)) return answer;
  return tNUVCustomObject::SetMember(flags, memberName, hint, value, objThis);
}

int32_t tNUVInterCodeContext::SetMemberByBody(uint32_t, tNUVVariantString*, const tNUVVariant*, iNUVDispatch2*) {
  return NUVResultNotImplemented;
}

int32_t tNUVInterCodeContext::GetMemberCount(int32_t* result, const char16_t* memberName, uint32_t* hint,
                                             iNUVDispatch2* objThis) {
  return WithSuperClasses(*this, memberName, objThis,
                          tNUVCustomObject::GetMemberCount(result, memberName, hint, objThis),
                          [&](iNUVDispatch2* superClass, iNUVDispatch2* callThis) {
                            return superClass->GetMemberCount(result, memberName, hint, callThis);
                          });
}

int32_t tNUVInterCodeContext::DeleteMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                           iNUVDispatch2* objThis) {
  return WithSuperClasses(*this, memberName, objThis,
                          tNUVCustomObject::DeleteMember(flags, memberName, hint, objThis),
                          [&](iNUVDispatch2* superClass, iNUVDispatch2* callThis) {
                            return superClass->DeleteMember(flags, memberName, hint, callThis);
                          });
}

int32_t tNUVInterCodeContext::Invalidate(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                         iNUVDispatch2* objThis) {
  return WithSuperClasses(*this, memberName, objThis,
                          tNUVCustomObject::Invalidate(flags, memberName, hint, objThis),
                          [&](iNUVDispatch2* superClass, iNUVDispatch2* callThis) {
                            return superClass->Invalidate(flags, memberName, hint, callThis);
                          });
}

int32_t tNUVInterCodeContext::IsValid(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                      iNUVDispatch2* objThis) {
  return WithSuperClasses(*this, memberName, objThis, tNUVCustomObject::IsValid(flags, memberName, hint, objThis),
                          [&](iNUVDispatch2* superClass, iNUVDispatch2* callThis) {
                            return superClass->IsValid(flags, memberName, hint, callThis);
                          });
}

int32_t tNUVInterCodeContext::CreateInstance(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                             iNUVDispatch2** result, int32_t argumentCount,
                                             tNUVVariant** arguments, iNUVDispatch2* objThis) {
  if (IsInvalidated) return NUVResultInvalidObject;
  if (memberName) {
    return WithSuperClasses(
        *this, memberName, objThis,
        tNUVCustomObject::CreateInstance(flags, memberName, hint, result, argumentCount, arguments, objThis),
        [&](iNUVDispatch2* superClass, iNUVDispatch2* callThis) {
          return superClass->CreateInstance(flags, memberName, hint, result, argumentCount, arguments, callThis);
        });
  }
  if (Kind != ctClass) return NUVResultInvalidType;
  if (!result || BadArgumentList(argumentCount, arguments)) return NUVResultInvalidParam;
  // The class body and the constructor may drop every other reference to the class.
  tNUVObjectHolder holdClass(this);
  tNUVString constructorName(Name);
  iNUVDispatch2* created = NUVCreateCustomObject();
  try {
    NUVRunAsFunction(this, created, nullptr, 0, nullptr);
    if (tSymbolData* symbol = OwnConstructor(constructorName)) {
      // What CallMember would come to, without its relays: the function held by
      // the class's own member runs on the new object (or on the this it is bound to).
      const tNUVVariant& member = symbol->Value;
      auto* constructor = static_cast<tNUVInterCodeContext*>(member.Object.Object);
      iNUVDispatch2* callThis = member.Object.ObjThis ? member.Object.ObjThis : created;
      tNUVObjectHolder holdConstructor(constructor);
      NUVRunAsFunction(constructor, callThis, arguments, argumentCount, nullptr);
    } else {
      // A class without a constructor simply has none to call: the answer is ignored.
      CallMember(0, constructorName.c_str(), constructorName.GetHint(), nullptr, argumentCount, arguments, created);
    }
  } catch (...) {
    NUVReleaseNoThrow(created);
    throw;
  }
  *result = created;
  return NUVResultOk;
}

tNUVCustomObject::tSymbolData* tNUVInterCodeContext::OwnConstructor(const tNUVString& name) {
  if (IsInvalidated || CallMissing) return nullptr;
  tSymbolData* symbol = FindMember(name.c_str(), name.GetHint());
  if (!symbol) return nullptr;
  const tNUVVariant& member = symbol->Value;
  if (member.vt != tvtObject || !member.Object.Object || member.Object.Object->Reserved2() != NUVEngineKindCodeContext)
    return nullptr;
  auto* constructor = static_cast<tNUVInterCodeContext*>(member.Object.Object);
  return constructor->RunsAsFunction() ? symbol : nullptr;
}

int32_t tNUVInterCodeContext::IsInstanceOf(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                           const char16_t* className, iNUVDispatch2* objThis) {
  if (IsInvalidated) return NUVResultInvalidObject;
  if (!memberName) {
    const char16_t* ownClass = nullptr;
    if (Kind == ctFunction || Kind == ctExprFunction) ownClass = u"Function";
    else if (Kind == ctProperty) ownClass = u"Property";
    else if (Kind == ctClass) ownClass = u"Class";
    if (ownClass && className && WideCompare(className, ownClass) == 0) return NUVResultTrue;
    return tNUVCustomObject::IsInstanceOf(flags, nullptr, hint, className, objThis);
  }
  return WithSuperClasses(*this, memberName, objThis,
                          tNUVCustomObject::IsInstanceOf(flags, memberName, hint, className, objThis),
                          [&](iNUVDispatch2* superClass, iNUVDispatch2* callThis) {
                            return superClass->IsInstanceOf(flags, memberName, hint, className, callThis);
                          });
}

int32_t tNUVInterCodeContext::ApplyOperation(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                             tNUVVariant* result, const tNUVVariant* operand,
                                             iNUVDispatch2* objThis) {
  // The property itself: the generic read-modify-write goes through this object's
  // GetMember and SetMember, that is through the getter and the setter.
  if (!memberName && Kind == ctProperty)
    return tNUVDispatch::ApplyOperation(flags, nullptr, hint, result, operand, objThis);
  if (!memberName || !HasSuperClasses(*this))
    return tNUVCustomObject::ApplyOperation(flags, memberName, hint, result, operand, objThis);
  const uint32_t trial = TrialFlags(flags);
  int32_t answer = WithSuperClasses(
      *this, memberName, objThis, tNUVCustomObject::ApplyOperation(trial, memberName, hint, result, operand, objThis),
      [&](iNUVDispatch2* superClass, iNUVDispatch2* callThis) {
        return superClass->ApplyOperation(trial, memberName, hint, result, operand, callThis);
      });
  if (answer != NUVResultMemberNotFound) return answer;
  return tNUVCustomObject::ApplyOperation(flags, memberName, hint, result, operand, objThis);
}

}  // namespace NUV
