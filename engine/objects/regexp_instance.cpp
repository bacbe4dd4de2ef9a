// The per-object data of RegExp: compiling, searching, the recorded exec state,
// replacing and splitting.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string_view>

#include "engine/objects/regexp_class.h"
#include "engine/services/errors.h"
#include "engine/values/string_appender.h"

namespace NUV {
namespace {

tNUVString Piece(const tNUVString& text, int32_t begin, int32_t end) {
  return tNUVString(text.c_str() + begin, end - begin);
}

tNUVString GroupText(const tNUVString& text, const tNUVRegExpMatch::tSpan& span) {
  return span.Matched() ? Piece(text, span.Begin, span.End) : tNUVString();
}

// The expression library reads past the end of a pattern that ends inside a
// character class ("[a\\", "[a-"), before it reports the unmatched "[". Such a
// pattern never reaches it: this finds one. Quoted text (\Q...\E), comments
// ("(?#...)", and "#" to the line's end once a flag group has turned on "x") and
// "[:name:]" inside a class are read as the library reads them.
bool EndsInsideCharacterClass(const char16_t* text, int32_t length) {
  auto find = [&](int32_t from, std::u16string_view what) {
    std::u16string_view view(text, static_cast<size_t>(length));
    size_t found = view.find(what, static_cast<size_t>(from));
    return found == std::u16string_view::npos ? -1 : static_cast<int32_t>(found);
  };
  bool extended = false;
  int32_t i = 0;
  while (i < length) {
    char16_t unit = text[i];
    if (unit == u'\\') {
      if (i + 1 < length && text[i + 1] == u'Q') {
        int32_t end = find(i + 2, u"\\E");
        if (end < 0) return false;
        i = end + 2;
      } else {
        i += 2;
      }
    } else if (unit == u'(' && i + 1 < length && text[i + 1] == u'?') {
      if (i + 2 < length && text[i + 2] == u'#') {
        int32_t end = find(i + 3, u")");
        if (end < 0) return false;
        i = end + 1;
        continue;
      }
      bool on = true;
      for (i += 2; i < length && (std::isalpha(text[i] < 0x80 ? text[i] : 0) || text[i] == u'-'); ++i) {
        if (text[i] == u'-') on = false;
        else if (text[i] == u'x') extended = on;
      }
    } else if (unit == u'#' && extended) {
      while (i < length && text[i] != u'\n') ++i;
    } else if (unit == u'[') {
      int32_t j = i + 1;
      if (j < length && text[j] == u'^') ++j;
      if (j < length && text[j] == u']') ++j;
      for (;;) {
        if (j >= length) return true;
        if (text[j] == u']') break;
        if (text[j] == u'\\') {
          j += 2;
        } else if (text[j] == u'[' && j + 1 < length &&
                   (text[j + 1] == u':' || text[j + 1] == u'=' || text[j + 1] == u'.')) {
          char16_t close[] = {text[j + 1], u']', 0};
          int32_t end = find(j + 2, close);
          j = end < 0 ? j + 1 : end + 2;
        } else {
          ++j;
        }
      }
      i = j + 1;
    } else {
      ++i;
    }
  }
  return false;
}

}  // namespace

tNUVArrayNI& NUVNewArrayValue(tNUVVariant& value) {
  iNUVDispatch2* array = CreateArrayObject();
  NUVAdoptObjectValue(value, array);
  return *NUVFindArray(array);
}

uint32_t tNUVNI_RegExp::FlagsFromText(const char16_t* text, int32_t length) {
  uint32_t flags = DefaultFlags;
  for (int32_t i = 0; i < length && text[i] != u'/'; ++i) {
    if (text[i] == u'g') flags |= GlobalFlag;
    else if (text[i] == u'i') flags |= IgnoreCaseFlag;
  }
  return flags;
}

int32_t tNUVNI_RegExp::Construct(int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2*) {
  if (argumentCount < 1) return NUVResultOk;
  uint32_t flags = DefaultFlags;
  if (argumentCount >= 2) {
    tNUVString flagText = arguments[1]->AsString();
    flags = FlagsFromText(flagText.c_str(), flagText.GetLen());
  }
  Compile(arguments[0]->AsString(), flags);
  return NUVResultOk;
}

void tNUVNI_RegExp::Invalidate() { Matches.Clear(); }

void tNUVNI_RegExp::Compile(const tNUVString& pattern, uint32_t flags) {
  Flags = flags;
  const tNUVString text = pattern.IsEmpty() ? tNUVString(u"(?:)") : pattern;
  if (EndsInsideCharacterClass(text.c_str(), text.GetLen())) {
    NUVThrowError(tNUVString(u"Unmatched [ or [^ in character class declaration.  The error occurred while parsing "
                             u"the regular expression: '") + text + tNUVString(u">>>HERE>>>'."));
  }
  Matcher.Compile(text.c_str(), text.GetLen(), (flags & IgnoreCaseFlag) != 0);
}

void tNUVNI_RegExp::SetStart(int64_t start) {
  Start = static_cast<int32_t>(std::clamp<int64_t>(start, 0, INT32_MAX));
}

tNUVNI_RegExp::tFound tNUVNI_RegExp::Search(const tNUVString& target, tNUVRegExpMatch& match) const {
  const int32_t length = target.GetLen();
  int32_t from = 0;
  if (IsGlobal()) {
    if (Start > length) return tFound::None;
    if (Start == length) return Matcher.MatchesEmpty() ? tFound::EmptyAtEnd : tFound::None;
    from = Start;
  }
  return Matcher.Search(target.c_str(), length, from, match) ? tFound::Match : tFound::None;
}

tNUVVariant tNUVNI_RegExp::SubMatchArray(const tNUVString& target, tFound found,
                                         const tNUVRegExpMatch& match) const {
  tNUVVariant value;
  tNUVArrayNI& elements = NUVNewArrayValue(value);
  if (found == tFound::EmptyAtEnd) {
    elements.Add(tNUVVariant(tNUVString()));
  } else if (found == tFound::Match) {
    for (const tNUVRegExpMatch::tSpan& span : match.Groups) elements.Add(tNUVVariant(GroupText(target, span)));
  }
  return value;
}

bool tNUVNI_RegExp::Test(const tNUVString& target) const {
  tNUVRegExpMatch match;
  return Search(target, match) != tFound::None;
}

tNUVVariant tNUVNI_RegExp::Match(const tNUVString& target) const {
  tNUVRegExpMatch match;
  tFound found = Search(target, match);
  return SubMatchArray(target, found, match);
}

tNUVVariant tNUVNI_RegExp::Exec(const tNUVString& target) {
  tNUVRegExpMatch match;
  tFound found = Search(target, match);
  Matches = SubMatchArray(target, found, match);
  if (found == tFound::None) return Matches;
  Input = target;
  if (found == tFound::EmptyAtEnd) {
    Index = LastIndex = Start;
    LastParen = tNUVString();
    LeftContext = Piece(target, 0, Start);
  } else {
    // Offsets count from the start of the target, which is start + position.
    Index = match.Position();
    LastIndex = Index + match.Length();
    LastMatch = Piece(target, Index, LastIndex);
    LastParen = match.Groups.size() > 1 ? GroupText(target, match.Groups.back()) : tNUVString();
    LeftContext = Piece(target, 0, Index);
    RightContext = Piece(target, LastIndex, target.GetLen());
  }
  if (IsGlobal()) Start = LastIndex;
  return Matches;
}

int32_t tNUVNI_RegExp::Replace(const tNUVString& target, const tNUVVariant& replacement, iNUVDispatch2* self,
                               tNUVString& output) const {
  const bool callFunction = replacement.vt == tvtObject;
  const tNUVString replacementText = callFunction ? tNUVString() : replacement.AsString();
  tNUVStringAppender result;
  int32_t copied = 0;   // end of the last visited match
  tNUVRegExpMatcher::tCursor cursor = Matcher.Iterate(target.c_str(), target.GetLen());
  tNUVRegExpMatch match;
  while (cursor.Next(match)) {
    result.Append(target.c_str() + copied, match.Position() - copied);
    copied = match.Position() + match.Length();
    if (callFunction) {
      tNUVVariantClosure closure = replacement.AsObjectClosure();
      if (!closure.Object) NUVThrowError(NUVNullAccess);
      tNUVVariant subMatches = SubMatchArray(target, tFound::Match, match);
      tNUVVariant* arguments[1] = {&subMatches};
      tNUVVariant answer;
      int32_t code = closure.Object->CallMember(0, nullptr, nullptr, &answer, 1, arguments,
                                                closure.ObjThis ? closure.ObjThis : self);
      // A failing call is the caller's error, not a replacement by nothing.
      if (NUVFailed(code)) return code;
      result.Append(answer.AsString());
    } else {
      result.Append(replacementText);
    }
    if (!IsGlobal()) break;
  }
  result.Append(target.c_str() + copied, target.GetLen() - copied);
  output = result.GetLength() > 0 ? result.ToString() : tNUVString();
  return NUVResultOk;
}

void tNUVNI_RegExp::Split(const tNUVString& target, bool purge, tNUVArrayNI& into) const {
  auto add = [&](const tNUVString& piece) {
    if (!(purge && piece.IsEmpty())) into.Add(tNUVVariant(piece));
  };
  const int32_t length = target.GetLen();
  int32_t previousEnd = 0;
  bool anyMatch = false;
  bool lastWasEmpty = false;
  tNUVRegExpMatcher::tCursor cursor = Matcher.Iterate(target.c_str(), length);
  tNUVRegExpMatch match;
  while (cursor.Next(match)) {
    anyMatch = true;
    const int32_t position = match.Position();
    if (position >= previousEnd && !(match.Length() == 0 && position == 0))
      add(Piece(target, previousEnd, position));
    for (size_t k = 1; k < match.Groups.size(); ++k) add(GroupText(target, match.Groups[k]));
    previousEnd = position + match.Length();
    lastWasEmpty = match.Length() == 0;
  }
  if (!anyMatch) {
    if (length > 0) into.Add(tNUVVariant(target));
    return;
  }
  if (previousEnd < length) into.Add(tNUVVariant(Piece(target, previousEnd, length)));
  else if (!purge && !lastWasEmpty) into.Add(tNUVVariant(tNUVString()));
}

}  // namespace NUV
