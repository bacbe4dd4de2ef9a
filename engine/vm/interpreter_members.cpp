// The member instructions of the execution loop: get, set, delete, typeof and the
// read-modify-write forms on members and property objects, the instance and
// validity tests, eval, and the class instructions.
//
// Every instruction that passes a result slot to the object interface lets the
// object write into a local first and moves the value into the destination
// register afterwards. The destination may be the very register that holds the
// object: overwriting it while the object runs could release the object under
// itself.

#include "engine/objects/dispatch.h"
#include "engine/services/errors.h"
#include "engine/services/messages.h"
#include "engine/values/variant_internal.h"
#include "engine/vm/code_context.h"
#include "engine/vm/direct_members.h"
#include "engine/vm/interpreter.h"
#include "engine/vm/primitive_operations.h"
#include "engine/vm/runtime.h"

namespace NUV::InterpreterDetail {

namespace {

inline const tNUVVariant& Constant(const tActivation& activation, int32_t operand) {
  return *reinterpret_cast<const tNUVVariant*>(reinterpret_cast<const char*>(activation.Context->GetData().data()) +
                                               operand);
}

// A member name from the data area, with the hint cached in its string body.
struct tConstantName {
  const char16_t* Text;
  uint32_t* Hint;
  tNUVVariantString* Body;   // null for the empty name
};

inline tConstantName ConstantName(const tActivation& activation, int32_t operand) {
  const tNUVVariant& constant = Constant(activation, operand);
  if (constant.vt != tvtString) [[unlikely]] VariantDetail::ThrowConvertError(constant, VariantDetail::NUVTargetString);
  tNUVVariantString* body = constant.String;
  if (!body) return {u"", nullptr, nullptr};
  return {body->Text(), &body->Hint, body};
}

// The object handed to the object interface as this: the value's bound this, the
// running this, or the object itself.
inline iNUVDispatch2* CallThis(const tNUVVariant& value, const tActivation& activation) {
  if (value.Object.ObjThis) return value.Object.ObjThis;
  return activation.Self ? activation.Self : value.Object.Object;
}

// Moves a fetched value into the destination register (0: none).
inline void Deliver(const tActivation& activation, int32_t destination, tNUVVariant& value) {
  if (destination != 0) Register(activation, destination) = std::move(value);
}

// Raises for a failing code of an operation whose member came from a register:
// integers name it by number, anything else by its text.
void ThrowForKey(int32_t code, const tNUVVariant& key) {
  if (code >= 0) return;
  if (key.vt == tvtInteger) NUVThrowFromResultCodeWithNumber(code, static_cast<int32_t>(key.Integer));
  NUVThrowFromResultCode(code, key.AsString());
}

}  // namespace

tDirectLookUp LookUpAndRemember(iNUVDispatch2* object, int32_t kind, const char16_t* name, uint32_t* hint,
                                bool forGet, iNUVDispatch2* objThis, tNUVMemberCacheEntry& cache,
                                tDirectMember& found) {
  auto remember = [&](tNUVCustomObject* first, tNUVCustomObject* second) {
    cache.FirstStamp = first->GetLayoutStamp();
    cache.SecondStamp = second ? second->GetLayoutStamp() : 0;
    cache.Symbol = found.Symbol;
    cache.Depth = second ? -1 : first->RecordDepth(found.Symbol);
  };
  if (kind == NUVEngineKindScriptObject) {
    auto* owner = static_cast<tNUVCustomObject*>(object);
    tDirectLookUp answer = LookUpOwnMember(owner, name, hint, forGet, objThis, found);
    if (answer == tDirectLookUp::Found) remember(owner, nullptr);
    return answer;
  }
  if (kind != NUVEngineKindProxy) return tDirectLookUp::Undecided;
  auto* proxy = static_cast<tNUVObjectProxy*>(object);
  iNUVDispatch2* first = proxy->GetFirst();
  iNUVDispatch2* second = proxy->GetSecond();
  if (!first || first->Reserved2() != NUVEngineKindScriptObject) return tDirectLookUp::Undecided;
  auto* firstOwner = static_cast<tNUVCustomObject*>(first);
  tDirectLookUp answer = LookUpOwnMember(firstOwner, name, hint, forGet, objThis ? objThis : first, found);
  if (answer == tDirectLookUp::Found) remember(firstOwner, nullptr);
  if (answer != tDirectLookUp::NoMember || !second || second == first) return answer;
  if (second->Reserved2() != NUVEngineKindScriptObject) return tDirectLookUp::Undecided;
  auto* secondOwner = static_cast<tNUVCustomObject*>(second);
  answer = LookUpOwnMember(secondOwner, name, hint, forGet, objThis ? objThis : second, found);
  if (answer == tDirectLookUp::Found) remember(firstOwner, secondOwner);
  return answer;
}

void RaiseNotAnObject(const tNUVVariant& value) {
  if (value.vt != tvtObject) VariantDetail::ThrowConvertErrorToObject(value);
  NUVThrowError(NUVNullAccess);
}

// gpd, gpds d, o, m
void GetNamedMember(const tActivation& activation, const int32_t* ip, uint32_t flags) {
  const tNUVVariant& receiver = Register(activation, ip[2]);
  tConstantName name = ConstantName(activation, ip[3]);
  tNUVVariant value;
  int32_t code;
  if (NUVIsPrimitiveReceiver(receiver)) {
    code = NUVGetPrimitiveMember(receiver, name.Text, &value);
  } else {
    iNUVDispatch2* object = RequireObject(receiver);
    iNUVDispatch2* objThis = CallThis(receiver, activation);
    tDirectMember found;
    if (!(flags & NUVMemberEnsure) &&
        LookUpCachedMember(object, name.Text, name.Body, name.Hint, true, objThis, MemberCacheAt(activation, ip[3]),
                           activation, found) == tDirectLookUp::Found &&
        IsPlainMemberValue(found.Symbol->Value)) {
      if (ip[1] != 0) Register(activation, ip[1]) = found.Symbol->Value;
      return;
    }
    code = object->GetMember(flags, name.Text, name.Hint, &value, objThis);
  }
  if (code < 0) NUVThrowFromResultCode(code, name.Text);
  Deliver(activation, ip[1], value);
}

// gpi, gpis d, o, k
void GetIndexedMember(const tActivation& activation, const int32_t* ip, uint32_t flags) {
  const tNUVVariant& receiver = Register(activation, ip[2]);
  const tNUVVariant& key = Register(activation, ip[3]);
  tNUVVariant value;
  int32_t code;
  if (NUVIsPrimitiveReceiver(receiver)) {
    code = NUVGetPrimitiveMemberByValue(receiver, key, &value);
  } else {
    iNUVDispatch2* object = RequireObject(receiver);
    if (key.vt == tvtInteger) {
      code = object->GetMemberByNum(flags, static_cast<int32_t>(key.Integer), &value, CallThis(receiver, activation));
    } else {
      tNUVString name = key.AsString();
      code = object->GetMember(flags, name.c_str(), nullptr, &value, CallThis(receiver, activation));
    }
  }
  ThrowForKey(code, key);
  Deliver(activation, ip[1], value);
}

// The forms with the member-ensure flag on a script object: the member is found
// or added as SetMemberByBody would, and a value that is no property is stored
// directly. False when the general operation must run (nothing done then).
bool StoreEnsuredMember(iNUVDispatch2* object, const tConstantName& name, uint32_t flags, const tNUVVariant& value) {
  if (object->Reserved2() != NUVEngineKindScriptObject) return false;
  auto* owner = static_cast<tNUVCustomObject*>(object);
  tNUVCustomObject::tSymbolData* symbol = owner->FindOrAddMember(name.Text, name.Hint, name.Body);
  if (!symbol) return false;
  if (!(flags & NUVIgnoreProperty) && !IsPlainMemberValue(symbol->Value)) return false;
  owner->StoreFoundMember(*symbol, flags, value);
  return true;
}

// spd, spde, spdeh, spds o, m, v
void SetNamedMember(const tActivation& activation, const int32_t* ip, uint32_t flags) {
  const tNUVVariant& receiver = Register(activation, ip[1]);
  tConstantName name = ConstantName(activation, ip[2]);
  const tNUVVariant& value = Register(activation, ip[3]);
  int32_t code;
  if (NUVIsPrimitiveReceiver(receiver)) {
    code = NUVSetPrimitiveMember(receiver, name.Text);
  } else {
    iNUVDispatch2* object = RequireObject(receiver);
    iNUVDispatch2* callThis = CallThis(receiver, activation);
    tDirectMember found;
    if (!(flags & NUVMemberEnsure) &&
        LookUpCachedMember(object, name.Text, name.Body, name.Hint, false, callThis, MemberCacheAt(activation, ip[2]),
                           activation, found) == tDirectLookUp::Found &&
        IsPlainMemberValue(found.Symbol->Value)) {
      found.Owner->StoreFoundMember(*found.Symbol, flags, value);
      return;
    }
    if ((flags & NUVMemberEnsure) && name.Body && StoreEnsuredMember(object, name, flags, value)) return;
    code = name.Body ? object->SetMemberByBody(flags, name.Body, &value, callThis) : NUVResultNotImplemented;
    if (code == NUVResultNotImplemented) code = object->SetMember(flags, name.Text, name.Hint, &value, callThis);
  }
  if (code < 0) NUVThrowFromResultCode(code, name.Text);
}

// spi, spie, spis o, k, v
void SetIndexedMember(const tActivation& activation, const int32_t* ip, uint32_t flags) {
  const tNUVVariant& receiver = Register(activation, ip[1]);
  const tNUVVariant& key = Register(activation, ip[2]);
  const tNUVVariant& value = Register(activation, ip[3]);
  int32_t code;
  if (NUVIsPrimitiveReceiver(receiver)) {
    code = NUVSetPrimitiveMemberByValue(receiver, key);
  } else {
    iNUVDispatch2* object = RequireObject(receiver);
    if (key.vt == tvtInteger) {
      code = object->SetMemberByNum(flags, static_cast<int32_t>(key.Integer), &value, CallThis(receiver, activation));
    } else {
      tNUVString name = key.AsString();
      code = object->SetMember(flags, name.c_str(), nullptr, &value, CallThis(receiver, activation));
    }
  }
  ThrowForKey(code, key);
}

// getp d, p
void GetProperty(const tActivation& activation, const int32_t* ip) {
  const tNUVVariant& property = Register(activation, ip[2]);
  iNUVDispatch2* object = RequireObject(property);
  tNUVVariant value;
  NUVThrowFromResultCode(object->GetMember(0, nullptr, nullptr, &value, CallThis(property, activation)));
  Deliver(activation, ip[1], value);
}

// setp p, v
void SetProperty(const tActivation& activation, const int32_t* ip) {
  const tNUVVariant& property = Register(activation, ip[1]);
  iNUVDispatch2* object = RequireObject(property);
  NUVThrowFromResultCode(
      object->SetMember(0, nullptr, nullptr, &Register(activation, ip[2]), CallThis(property, activation)));
}

// deld d, o, m: the outcome is stored, never raised. A string or octet has no
// deletable members.
void DeleteNamedMember(const tActivation& activation, const int32_t* ip) {
  const tNUVVariant& receiver = Register(activation, ip[2]);
  tConstantName name = ConstantName(activation, ip[3]);
  bool deleted = false;
  if (!NUVIsPrimitiveReceiver(receiver)) {
    iNUVDispatch2* object = RequireObject(receiver);
    deleted = object->DeleteMember(0, name.Text, name.Hint, CallThis(receiver, activation)) >= 0;
  }
  if (ip[1] != 0) Register(activation, ip[1]).SetInteger(deleted ? 1 : 0);
}

// deli d, o, k
void DeleteIndexedMember(const tActivation& activation, const int32_t* ip) {
  const tNUVVariant& receiver = Register(activation, ip[2]);
  const tNUVVariant& key = Register(activation, ip[3]);
  bool deleted = false;
  if (!NUVIsPrimitiveReceiver(receiver)) {
    iNUVDispatch2* object = RequireObject(receiver);
    iNUVDispatch2* callThis = CallThis(receiver, activation);
    int32_t code;
    if (key.vt == tvtInteger) {
      code = object->DeleteMemberByNum(0, static_cast<int32_t>(key.Integer), callThis);
    } else {
      tNUVString name = key.AsString();
      code = object->DeleteMember(0, name.c_str(), nullptr, callThis);
    }
    deleted = code >= 0;
  }
  if (ip[1] != 0) Register(activation, ip[1]).SetInteger(deleted ? 1 : 0);
}

namespace {

// The typeof answer for a member fetched with the must-exist flag.
void DeliverTypeOf(const tActivation& activation, int32_t destination, int32_t code, tNUVVariant& value) {
  if (code == NUVResultOk) {
    tNUVVariant name(NUVTypeOfName(value));
    Deliver(activation, destination, name);
  } else if (code == NUVResultMemberNotFound) {
    tNUVVariant name(NUVUndefinedTypeName());
    Deliver(activation, destination, name);
  } else {
    Deliver(activation, destination, value);
  }
}

}  // namespace

// typeofd d, o, m
void TypeOfNamedMember(const tActivation& activation, const int32_t* ip) {
  const tNUVVariant& receiver = Register(activation, ip[2]);
  tConstantName name = ConstantName(activation, ip[3]);
  tNUVVariant value;
  if (NUVIsPrimitiveReceiver(receiver)) {
    NUVThrowFromResultCode(NUVTypeOfPrimitiveMember(receiver, name.Text, &value), name.Text);
    Deliver(activation, ip[1], value);
    return;
  }
  iNUVDispatch2* object = RequireObject(receiver);
  int32_t code = object->GetMember(NUVMemberMustExist, name.Text, name.Hint, &value, CallThis(receiver, activation));
  if (code < 0 && code != NUVResultMemberNotFound) NUVThrowFromResultCode(code, name.Text);
  DeliverTypeOf(activation, ip[1], code, value);
}

// typeofi d, o, k
void TypeOfIndexedMember(const tActivation& activation, const int32_t* ip) {
  const tNUVVariant& receiver = Register(activation, ip[2]);
  const tNUVVariant& key = Register(activation, ip[3]);
  tNUVVariant value;
  if (NUVIsPrimitiveReceiver(receiver)) {
    ThrowForKey(NUVTypeOfPrimitiveMemberByValue(receiver, key, &value), key);
    Deliver(activation, ip[1], value);
    return;
  }
  iNUVDispatch2* object = RequireObject(receiver);
  iNUVDispatch2* callThis = CallThis(receiver, activation);
  int32_t code;
  if (key.vt == tvtInteger) {
    code = object->GetMemberByNum(NUVMemberMustExist, static_cast<int32_t>(key.Integer), &value, callThis);
  } else {
    tNUVString name = key.AsString();
    code = object->GetMember(NUVMemberMustExist, name.c_str(), nullptr, &value, callThis);
  }
  if (code < 0 && code != NUVResultMemberNotFound) ThrowForKey(code, key);
  DeliverTypeOf(activation, ip[1], code, value);
}

// incpd, decpd and the pd forms of the arithmetic families: d, o, m[, a]
void ApplyToNamedMember(const tActivation& activation, const int32_t* ip, uint32_t operation,
                        const tNUVVariant* operand) {
  const tNUVVariant& receiver = Register(activation, ip[2]);
  iNUVDispatch2* object = RequireObject(receiver);
  tConstantName name = ConstantName(activation, ip[3]);
  tNUVVariant value;
  int32_t destination = ip[1];
  iNUVDispatch2* objThis = CallThis(receiver, activation);
  const uint32_t requested = operation & NUVOperationMask;
  tDirectMember found;
  if (requested >= NUVOpBitAnd && requested <= NUVOpDecrement &&
      (operand || requested == NUVOpIncrement || requested == NUVOpDecrement) &&
      LookUpCachedMember(object, name.Text, name.Body, name.Hint, false, objThis, MemberCacheAt(activation, ip[3]),
                         activation, found) == tDirectLookUp::Found &&
      IsPlainMemberValue(found.Symbol->Value)) {
    tNUVCustomObject::ApplyToPlainValue(found.Symbol->Value, requested, operand, destination ? &value : nullptr);
    Deliver(activation, destination, value);
    return;
  }
  int32_t code = object->ApplyOperation(operation, name.Text, name.Hint, destination ? &value : nullptr, operand, objThis);
  if (code < 0) NUVThrowFromResultCode(code, name.Text);
  Deliver(activation, destination, value);
}

// The pi forms: d, o, k[, a]
void ApplyToIndexedMember(const tActivation& activation, const int32_t* ip, uint32_t operation,
                          const tNUVVariant* operand) {
  const tNUVVariant& receiver = Register(activation, ip[2]);
  iNUVDispatch2* object = RequireObject(receiver);
  const tNUVVariant& key = Register(activation, ip[3]);
  tNUVVariant value;
  int32_t destination = ip[1];
  tNUVVariant* result = destination ? &value : nullptr;
  iNUVDispatch2* callThis = CallThis(receiver, activation);
  int32_t code;
  if (key.vt == tvtInteger) {
    code = object->ApplyOperationByNum(operation, static_cast<int32_t>(key.Integer), result, operand, callThis);
  } else {
    tNUVString name = key.AsString();
    code = object->ApplyOperation(operation, name.c_str(), nullptr, result, operand, callThis);
  }
  ThrowForKey(code, key);
  Deliver(activation, destination, value);
}

// The p forms: d, p[, a]
void ApplyToProperty(const tActivation& activation, const int32_t* ip, uint32_t operation,
                     const tNUVVariant* operand) {
  const tNUVVariant& property = Register(activation, ip[2]);
  iNUVDispatch2* object = RequireObject(property);
  tNUVVariant value;
  int32_t destination = ip[1];
  NUVThrowFromResultCode(object->ApplyOperation(operation, nullptr, nullptr, destination ? &value : nullptr, operand,
                                                CallThis(property, activation)));
  Deliver(activation, destination, value);
}

// chkins r, s
void CheckInstance(const tActivation& activation, const int32_t* ip) {
  tNUVVariant& value = Register(activation, ip[1]);
  tNUVString className = Register(activation, ip[2]).AsString();
  bool answer = false;
  if (value.vt == tvtVoid) {
    answer = false;
  } else if (className == u"Object") {
    answer = true;
  } else {
    switch (value.vt) {
      case tvtInteger:
      case tvtReal: answer = className == u"Number"; break;
      case tvtString: answer = className == u"String"; break;
      case tvtOctet: answer = className == u"Octet"; break;
      case tvtObject:
        if (value.Object.Object) {
          int32_t code =
              value.Object.Object->IsInstanceOf(0, nullptr, nullptr, className.c_str(), value.Object.ObjThis);
          NUVThrowFromResultCode(code);
          answer = code == NUVResultTrue;
        }
        break;
      default: break;
    }
  }
  value.SetInteger(answer ? 1 : 0);
}

// inv r
void InvalidateObject(const tActivation& activation, const int32_t* ip) {
  tNUVVariant& value = Register(activation, ip[1]);
  iNUVDispatch2* object = RequireObject(value);
  int32_t code = object->Invalidate(0, nullptr, nullptr, CallThis(value, activation));
  value.SetInteger(code == NUVResultTrue ? 1 : 0);
}

// chkinv r: an object that cannot tell counts as valid.
void CheckValid(const tActivation& activation, const int32_t* ip) {
  tNUVVariant& value = Register(activation, ip[1]);
  iNUVDispatch2* object = RequireObject(value);
  int32_t code = object->IsValid(0, nullptr, nullptr, CallThis(value, activation));
  value.SetInteger(code == NUVResultTrue || code == NUVResultNotImplemented ? 1 : 0);
}

// chgthis d, r
void ChangeThis(const tActivation& activation, const int32_t* ip) {
  tNUVVariant& target = Register(activation, ip[1]);
  iNUVDispatch2* newThis = Register(activation, ip[2]).AsObject();
  iNUVDispatch2* object = target.AsObject();
  target.SetObject(object, newThis);
}

// addci o, r: objects that keep no class names may refuse; that is not an error.
void AddClassName(const tActivation& activation, const int32_t* ip) {
  const tNUVVariant& target = Register(activation, ip[1]);
  if (target.vt != tvtObject || !target.Object.Object) return;
  tNUVVariant name(Register(activation, ip[2]).AsString());
  target.Object.Object->ClassInfo(1, 0, &name);
}

// eval r, eexp r
void Evaluate(const tActivation& activation, const int32_t* ip, bool keepResult) {
  tNUVVariant& value = Register(activation, ip[1]);
  tNUVString text = value.AsString();
  if (text.IsEmpty()) {
    if (keepResult) value.Clear();
    return;
  }
  iNUVRuntime* runtime = activation.Context->GetOwner()->GetRuntime();
  if (!runtime) NUVThrowError(NUVNotImplemented);
  if (!keepResult) {
    runtime->EvalExpression(text, nullptr, activation.Self);
    return;
  }
  tNUVVariant result;
  runtime->EvalExpression(text, &result, activation.Self);
  value = std::move(result);
}

namespace {

// The enumeration callback of regmember: each member of the class becomes a
// member of the new object, bound to it. It lives on the native stack for one
// enumeration; the enumerator's extra references never reach zero.
class tClassMemberCopier final : public tNUVDispatch {
public:
  explicit tClassMemberCopier(iNUVDispatch2* target) : Target(target) {}

  // Arguments: name, flags, value.
  int32_t CallMember(uint32_t, const char16_t* memberName, uint32_t*, tNUVVariant* result, int32_t argumentCount,
                     tNUVVariant** arguments, iNUVDispatch2*) override {
    if (memberName) return NUVResultMemberNotFound;
    if (argumentCount >= 3) Copy(*arguments[0], *arguments[1], *arguments[2]);
    if (result) result->SetInteger(1);
    return NUVResultOk;
  }

private:
  void Copy(const tNUVVariant& nameValue, const tNUVVariant& flagsValue, const tNUVVariant& member) {
    uint32_t memberFlags = static_cast<uint32_t>(flagsValue.AsInteger());
    if (memberFlags & NUVStaticMember) return;
    tNUVVariant value(member);
    if (value.vt == tvtObject) value.SetObject(value.Object.Object, Target);
    tNUVString name = nameValue.AsString();
    uint32_t flags = memberFlags | NUVMemberEnsure | NUVIgnoreProperty;
    int32_t code = name.GetBody() ? Target->SetMemberByBody(flags, name.GetBody(), &value, Target)
                                  : NUVResultNotImplemented;
    if (code == NUVResultNotImplemented) code = Target->SetMember(flags, name.c_str(), name.GetHint(), &value, Target);
    NUVThrowFromResultCode(code, name);
  }

  iNUVDispatch2* Target;
};

}  // namespace

void CopyClassMembers(const tActivation& activation) {
  if (!activation.Self) return;
  if (activation.Self->Reserved2() == NUVEngineKindScriptObject && activation.Self != activation.Context &&
      activation.Context->CopyMembersTo(*static_cast<tNUVCustomObject*>(activation.Self)))
    return;
  tClassMemberCopier copier(activation.Self);
  tNUVVariantClosure_S callback{&copier, nullptr};
  NUVThrowFromResultCode(activation.Context->EnumerateMembers(NUVIgnoreProperty, &callback, nullptr));
}

}  // namespace NUV::InterpreterDetail
