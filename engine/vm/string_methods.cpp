// The methods scripts call on strings ("abc".substring(1), ...).
//
// The receiver's text is read in place; a method builds at most its result.
// Positions and lengths are UTF-16 units, except that "reverse" keeps each
// surrogate pair in order, so that reversing never splits a character.

#include <climits>
#include <string>
#include <string_view>

#include "engine/objects/array.h"
#include "engine/services/errors.h"
#include "engine/vm/primitive_operations.h"

namespace NUV {
namespace {

enum class tStringMethod {
  None, CharAt, IndexOf, ToUpperCase, ToLowerCase, Substring, Sprintf, Replace, Escape, Split, Reverse, Repeat,
};

bool SameName(const char16_t* name, const char16_t* fixed) {
  for (; *fixed; ++name, ++fixed)
    if (*name != *fixed) return false;
  return *name == 0;
}

// Matches the name against the fixed method names, choosing candidates by the
// first unit so that at most four comparisons are made.
tStringMethod FindStringMethod(const char16_t* name) {
  switch (name[0]) {
    case u'c':
      if (SameName(name, u"charAt")) return tStringMethod::CharAt;
      break;
    case u'i':
      if (SameName(name, u"indexOf")) return tStringMethod::IndexOf;
      break;
    case u't':
      if (SameName(name, u"toUpperCase")) return tStringMethod::ToUpperCase;
      if (SameName(name, u"toLowerCase")) return tStringMethod::ToLowerCase;
      break;
    case u's':
      if (SameName(name, u"substring") || SameName(name, u"substr")) return tStringMethod::Substring;
      if (SameName(name, u"sprintf")) return tStringMethod::Sprintf;
      if (SameName(name, u"split")) return tStringMethod::Split;
      break;
    case u'r':
      if (SameName(name, u"replace")) return tStringMethod::Replace;
      if (SameName(name, u"reverse")) return tStringMethod::Reverse;
      if (SameName(name, u"repeat")) return tStringMethod::Repeat;
      break;
    case u'e':
      if (SameName(name, u"escape")) return tStringMethod::Escape;
      break;
    default:
      break;
  }
  return tStringMethod::None;
}

// The receiver's text, read in place.
struct tTextView {
  const char16_t* Data;
  int32_t Length;
};

tTextView ViewOf(const tNUVVariant& receiver) {
  if (!receiver.String) return {u"", 0};
  return {receiver.String->Text(), receiver.String->Length};
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The units of text from start, at most count of them (start within the text).
tNUVString Piece(const tTextView& text, int64_t start, int64_t count) {
  int64_t available = text.Length - start;
  if (count > available) count = available;
  if (count <= 0) return tNUVString();
  return tNUVString(text.Data + start, static_cast<int32_t>(count));
}

tNUVString CharacterAt(const tTextView& text, int64_t index) {
  if (index < 0 || index >= text.Length) return tNUVString();
  return Piece(text, index, 1);
}

int64_t IndexOf(const tTextView& text, const tNUVString& search, int64_t start) {
  if (text.Length == 0 || search.IsEmpty() || start >= text.Length) return -1;
  if (start < 0) start = 0;
  std::u16string_view haystack(text.Data, text.Length);
  size_t found = haystack.find(std::u16string_view(search.c_str(), search.GetLen()), static_cast<size_t>(start));
  return found == std::u16string_view::npos ? -1 : static_cast<int64_t>(found);
}

tNUVString Substring(const tTextView& text, int64_t start, bool hasCount, int64_t count) {
  if (start < 0 || start >= text.Length) return tNUVString();
  if (!hasCount) return Piece(text, start, text.Length - start);
  if (count < 0) return tNUVString();
  return Piece(text, start, count);
}

tNUVString Reversed(const tTextView& text) {
  if (text.Length == 0) return tNUVString();
  tNUVString reversed = tNUVString::Adopt(CreateStringBodyOfLength(text.Length));
  char16_t* out = reversed.GetBody()->Text();
  int32_t length = text.Length;
  for (int32_t i = 0; i < length; ++i) {
    if (i + 1 < length && IsHighSurrogate(text.Data[i]) && IsLowSurrogate(text.Data[i + 1])) {
      out[length - i - 2] = text.Data[i];
      out[length - i - 1] = text.Data[i + 1];
      ++i;
    } else {
      out[length - i - 1] = text.Data[i];
    }
  }
  return reversed;
}

tNUVString Repeated(const tTextView& text, int64_t count) {
  if (count <= 0 || text.Length == 0) return tNUVString();
  // Refuse before multiplying: a script-chosen count must not overflow the size.
  constexpr int64_t maximumUnits = INT32_MAX / 2;
  if (count > maximumUnits / text.Length) NUVThrowError(NUVStringAllocError);
  int32_t total = static_cast<int32_t>(count * text.Length);
  tNUVString repeated = tNUVString::Adopt(CreateStringBodyOfLength(total));
  char16_t* out = repeated.GetBody()->Text();
  for (int64_t i = 0; i < count; ++i, out += text.Length)
    std::char_traits<char16_t>::copy(out, text.Data, static_cast<size_t>(text.Length));
  return repeated;
}

// "replace": the pattern object's own "replace" member does the work, called with
// (this string, replacement) on the pattern's bound this, or the pattern itself.
int32_t ReplaceByPattern(const tNUVVariant& receiver, tNUVVariant* result, tNUVVariant** arguments) {
  // Copies keep the pattern and both texts alive whatever the callee does to the
  // caller's registers (result among them).
  tNUVVariant pattern(*arguments[0]);
  tNUVVariantClosure closure = pattern.AsObjectClosure();
  if (!closure.Object) NUVThrowError(NUVNullAccess);
  iNUVDispatch2* callThis = closure.ObjThis ? closure.ObjThis : closure.Object;
  tNUVVariant text(receiver);
  tNUVVariant replacement(*arguments[1]);
  tNUVVariant* callArguments[2] = {&text, &replacement};
  tNUVVariant answer;
  int32_t code = closure.Object->CallMember(0, u"replace", nullptr, result ? &answer : nullptr, 2, callArguments,
                                            callThis);
  if (NUVFailed(code)) return code;
  if (result) *result = std::move(answer);
  return code;
}

// "split": a new Array splits the string through its own "split" member, with
// (separator, this string) and the optional two further arguments.
int32_t SplitIntoArray(const tNUVVariant& receiver, tNUVVariant* result, int32_t argumentCount,
                       tNUVVariant** arguments) {
  iNUVDispatch2* array = CreateArrayObject();
  tNUVVariant arrayValue;
  NUVAdoptObjectValue(arrayValue, array);
  tNUVVariant separator(*arguments[0]);
  tNUVVariant text(receiver);
  tNUVVariant first(argumentCount > 1 ? *arguments[1] : tNUVVariant());
  tNUVVariant second(argumentCount > 2 ? *arguments[2] : tNUVVariant());
  tNUVVariant* callArguments[4] = {&separator, &text, &first, &second};
  int32_t callCount = argumentCount > 3 ? 4 : argumentCount + 1;
  int32_t code = array->CallMember(0, u"split", nullptr, nullptr, callCount, callArguments, array);
  if (NUVFailed(code)) return code;
  if (result) *result = std::move(arrayValue);
  return NUVResultOk;
}

// Stores a computed string when the caller wants it.
int32_t Answer(tNUVVariant* result, const tNUVString& value) {
  if (result) *result = value;
  return NUVResultOk;
}

int32_t Answer(tNUVVariant* result, int64_t value) {
  if (result) result->SetInteger(value);
  return NUVResultOk;
}

}  // namespace

int32_t NUVCallPrimitiveMethod(const tNUVVariant& receiver, const char16_t* name, tNUVVariant* result,
                               int32_t argumentCount, tNUVVariant** arguments) {
  if (!NUVIsPrimitiveReceiver(receiver)) return NUVResultNotImplemented;
  if (receiver.vt == tvtOctet || !name) return NUVResultMemberNotFound;
  tStringMethod method = FindStringMethod(name);
  if (method == tStringMethod::None) return NUVResultMemberNotFound;
  tTextView text = ViewOf(receiver);
  switch (method) {
    case tStringMethod::CharAt:
      if (argumentCount != 1) return NUVResultBadParamCount;
      return Answer(result, CharacterAt(text, arguments[0]->AsInteger()));
    case tStringMethod::IndexOf: {
      if (argumentCount < 1 || argumentCount > 2) return NUVResultBadParamCount;
      tNUVString search = arguments[0]->AsString();
      int64_t start = argumentCount > 1 ? arguments[1]->AsInteger() : 0;
      return Answer(result, IndexOf(text, search, start));
    }
    case tStringMethod::ToUpperCase:
    case tStringMethod::ToLowerCase: {
      if (argumentCount != 0) return NUVResultBadParamCount;
      if (!result) return NUVResultOk;
      tNUVString source = tNUVString::FromBody(receiver.String);
      return Answer(result, method == tStringMethod::ToUpperCase ? source.ToUpperCase() : source.ToLowerCase());
    }
    case tStringMethod::Substring: {
      if (argumentCount < 1 || argumentCount > 2) return NUVResultBadParamCount;
      int64_t start = arguments[0]->AsInteger();
      int64_t count = argumentCount > 1 ? arguments[1]->AsInteger() : 0;
      return Answer(result, Substring(text, start, argumentCount > 1, count));
    }
    case tStringMethod::Sprintf:
      return Answer(result, FormatTemplate(tNUVString::FromBody(receiver.String), argumentCount, arguments));
    case tStringMethod::Replace:
      if (argumentCount < 2) return NUVResultBadParamCount;
      return ReplaceByPattern(receiver, result, arguments);
    case tStringMethod::Escape:
      if (!result) return NUVResultOk;
      return Answer(result, tNUVString::FromBody(receiver.String).Escape());
    case tStringMethod::Split:
      if (argumentCount < 1) return NUVResultBadParamCount;
      return SplitIntoArray(receiver, result, argumentCount, arguments);
    case tStringMethod::Reverse:
      if (argumentCount != 0) return NUVResultBadParamCount;
      if (!result) return NUVResultOk;
      return Answer(result, Reversed(text));
    case tStringMethod::Repeat:
      if (argumentCount != 1) return NUVResultBadParamCount;
      return Answer(result, Repeated(text, arguments[0]->AsInteger()));
    case tStringMethod::None:
      break;
  }
  return NUVResultMemberNotFound;
}

}  // namespace NUV
