// Member get, set and typeof on string and octet receivers, and the typeof names.
// The string methods live in string_methods.cpp.

#include "engine/vm/primitive_operations.h"

#include <climits>

#include "engine/services/errors.h"

namespace NUV {
namespace {

bool IsDigit(char16_t unit) { return unit >= u'0' && unit <= u'9'; }

bool IsLengthName(const char16_t* name) {
  return name[0] == u'l' && name[1] == u'e' && name[2] == u'n' && name[3] == u'g' && name[4] == u't' &&
         name[5] == u'h' && name[6] == 0;
}

// The decimal digits at the start of name (name[0] is a digit), up to the first
// non-digit. Saturates at INT32_MAX so that a long digit run is out of range
// rather than wrapping around to some valid index.
int64_t ReadIndexText(const char16_t* name) {
  int64_t value = 0;
  for (const char16_t* unit = name; IsDigit(*unit); ++unit) {
    value = value * 10 + (*unit - u'0');
    if (value > INT32_MAX) return INT32_MAX;
  }
  return value;
}

int32_t ReceiverLength(const tNUVVariant& receiver) {
  if (receiver.vt == tvtString) return receiver.String ? receiver.String->Length : 0;
  return receiver.Octet ? receiver.Octet->Length : 0;
}

// The member value for an index. Strings accept index == length (the empty
// string); octets do not.
void IndexedValue(const tNUVVariant& receiver, int64_t index, tNUVVariant* result) {
  int32_t length = ReceiverLength(receiver);
  if (receiver.vt == tvtString) {
    if (index < 0 || index > length) NUVThrowError(NUVRangeError);
    if (!result) return;
    if (index == length) {
      *result = tNUVString();
      return;
    }
    char16_t buffer[2] = {receiver.String->Text()[index], 0};
    *result = buffer;
    return;
  }
  if (index < 0 || index >= length) NUVThrowError(NUVRangeError);
  if (result) result->SetInteger(receiver.Octet->Data[index]);
}

// Shared typeof names, in variant tag order, then "undefined".
constexpr int32_t UndefinedNameSlot = 6;
tNUVString* TypeNames = nullptr;

const tNUVString* SharedTypeNames() {
  if (!TypeNames) {
    static const char16_t* const texts[] = {u"void", u"Object",  u"String",   u"Octet",
                                            u"Integer", u"Real", u"undefined"};
    tNUVString* names = new tNUVString[7];
    try {
      for (int32_t i = 0; i < 7; ++i) names[i] = texts[i];
    } catch (...) {
      delete[] names;
      throw;
    }
    TypeNames = names;
  }
  return TypeNames;
}

}  // namespace

// Member get -------------------------------------------------------------------------

int32_t NUVGetPrimitiveMemberByNum(const tNUVVariant& receiver, int64_t index, tNUVVariant* result) {
  if (!NUVIsPrimitiveReceiver(receiver)) return NUVResultNotImplemented;
  IndexedValue(receiver, index, result);
  return NUVResultOk;
}

int32_t NUVGetPrimitiveMember(const tNUVVariant& receiver, const char16_t* name, tNUVVariant* result) {
  if (!NUVIsPrimitiveReceiver(receiver)) return NUVResultNotImplemented;
  if (!name || !name[0]) return NUVResultMemberNotFound;
  if (IsDigit(name[0])) {
    IndexedValue(receiver, ReadIndexText(name), result);
    return NUVResultOk;
  }
  if (!IsLengthName(name)) return NUVResultMemberNotFound;
  if (result) result->SetInteger(ReceiverLength(receiver));
  return NUVResultOk;
}

int32_t NUVGetPrimitiveMemberByValue(const tNUVVariant& receiver, const tNUVVariant& member,
                                     tNUVVariant* result) {
  if (member.vt == tvtInteger || member.vt == tvtReal)
    return NUVGetPrimitiveMemberByNum(receiver, member.AsInteger(), result);
  // The name is read before the result is written, so member may be the result.
  if (member.vt == tvtString)
    return NUVGetPrimitiveMember(receiver, member.String ? member.String->Text() : u"", result);
  tNUVString name = member.AsString();
  return NUVGetPrimitiveMember(receiver, name.c_str(), result);
}

// typeof of a member ---------------------------------------------------------------------

namespace {

int32_t TypeOfFetched(int32_t code, const tNUVVariant& fetched, tNUVVariant* result) {
  if (code == NUVResultMemberNotFound) {
    if (result) *result = NUVUndefinedTypeName();
    return NUVResultOk;
  }
  if (NUVFailed(code)) return code;
  if (result) *result = NUVTypeOfName(fetched);
  return code;
}

}  // namespace

int32_t NUVTypeOfPrimitiveMember(const tNUVVariant& receiver, const char16_t* name, tNUVVariant* result) {
  tNUVVariant fetched;
  int32_t code = NUVGetPrimitiveMember(receiver, name, &fetched);
  return TypeOfFetched(code, fetched, result);
}

int32_t NUVTypeOfPrimitiveMemberByValue(const tNUVVariant& receiver, const tNUVVariant& member,
                                        tNUVVariant* result) {
  tNUVVariant fetched;
  int32_t code = NUVGetPrimitiveMemberByValue(receiver, member, &fetched);
  return TypeOfFetched(code, fetched, result);
}

// Member set ------------------------------------------------------------------------------

int32_t NUVSetPrimitiveMemberByNum(const tNUVVariant& receiver, int64_t) {
  if (!NUVIsPrimitiveReceiver(receiver)) return NUVResultNotImplemented;
  return NUVResultAccessDenied;
}

int32_t NUVSetPrimitiveMember(const tNUVVariant& receiver, const char16_t* name) {
  if (!NUVIsPrimitiveReceiver(receiver)) return NUVResultNotImplemented;
  if (name && (IsDigit(name[0]) || IsLengthName(name))) return NUVResultAccessDenied;
  return NUVResultMemberNotFound;
}

int32_t NUVSetPrimitiveMemberByValue(const tNUVVariant& receiver, const tNUVVariant& member) {
  if (member.vt == tvtInteger || member.vt == tvtReal) return NUVSetPrimitiveMemberByNum(receiver, 0);
  tNUVString name = member.AsString();
  return NUVSetPrimitiveMember(receiver, name.c_str());
}

// typeof names -------------------------------------------------------------------------------

const tNUVString& NUVTypeOfName(const tNUVVariant& value) {
  const tNUVString* names = SharedTypeNames();
  int32_t slot = value.vt >= tvtVoid && value.vt <= tvtReal ? value.vt : tvtVoid;
  return names[slot];
}

const tNUVString& NUVUndefinedTypeName() { return SharedTypeNames()[UndefinedNameSlot]; }

void NUVReleaseTypeOfNames() {
  tNUVString* names = TypeNames;
  TypeNames = nullptr;
  delete[] names;
}

}  // namespace NUV
