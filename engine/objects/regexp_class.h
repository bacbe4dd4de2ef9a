#pragma once
// The script-visible RegExp class: a compiled regular expression applied to texts
// (test, match, exec, replace, split), with the state the last exec recorded.
//
// tNUVNC_RegExp is the class object, tNUVNI_RegExp the per-object data. Flags keep
// the expression options in the low 24 bits (0x8507 the default set, 0x2000
// case-insensitive) and the global bit 31. A global expression searches from
// Start, which exec moves to the end of each match so repeated calls walk through
// the target; a non-global one always searches the whole target. Only exec
// changes the recorded state; compile keeps it and Start.
//
// Regular-expression literals reach the class through _compile with the text
// "//" flags "/" pattern. Array.split (and so string.split) reaches it through the
// splitter hook of the Array class, which the class object installs.

#include <cstdint>

#include "engine/objects/array.h"
#include "engine/objects/native_class.h"
#include "engine/objects/regexp_matcher.h"

namespace NUV {

class tNUVNI_RegExp : public tNUVNativeInstance {
public:
  // The RegExp class id; -1 until the first class object is built.
  static inline int32_t ClassID = -1;

  static constexpr uint32_t DefaultFlags = 0x8507;
  static constexpr uint32_t IgnoreCaseFlag = 0x2000;
  static constexpr uint32_t GlobalFlag = 0x80000000u;

  // Flags of a flag text, read up to its end or its first "/": "g" global, "i"
  // case-insensitive, anything else ignored.
  static uint32_t FlagsFromText(const char16_t* text, int32_t length);

  // With at least one argument, compiles as compile(pattern [, flag text]).
  int32_t Construct(int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* owner) override;
  // Drops the recorded match array.
  void Invalidate() override;

  // Stores flags, then compiles the pattern ("" stands for "(?:)"); an invalid
  // pattern raises eNUVError with the expression library's message and keeps the
  // previous expression.
  void Compile(const tNUVString& pattern, uint32_t flags);

  bool Test(const tNUVString& target) const;
  // The sub-match array of the first match (an empty array when none).
  tNUVVariant Match(const tNUVString& target) const;
  // As Match, and records the match; a global expression moves Start.
  tNUVVariant Exec(const tNUVString& target);
  // Replaces the first match, or every match of a global expression, by a text
  // (copied literally) or by the text a function (an object value) answers for
  // the sub-match array; self is the call's this when the function has none.
  // Answers the failure code of a failing call, else 0 with the text in output.
  int32_t Replace(const tNUVString& target, const tNUVVariant& replacement, iNUVDispatch2* self,
                  tNUVString& output) const;
  // Appends the pieces between matches, and the sub-expression texts of each
  // match, to into; purge leaves out the empty ones.
  void Split(const tNUVString& target, bool purge, tNUVArrayNI& into) const;

  // Properties.
  const tNUVVariant& GetMatches() const { return Matches; }
  int32_t GetStart() const { return Start; }
  // A negative start counts as 0.
  void SetStart(int64_t start);
  int32_t GetIndex() const { return Index; }
  int32_t GetLastIndex() const { return LastIndex; }
  const tNUVString& GetInput() const { return Input; }
  const tNUVString& GetLastMatch() const { return LastMatch; }
  const tNUVString& GetLastParen() const { return LastParen; }
  const tNUVString& GetLeftContext() const { return LeftContext; }
  const tNUVString& GetRightContext() const { return RightContext; }
  uint32_t GetFlags() const { return Flags; }

private:
  enum class tFound { None, Match, EmptyAtEnd };
  bool IsGlobal() const { return (Flags & GlobalFlag) != 0; }
  tFound Search(const tNUVString& target, tNUVRegExpMatch& match) const;
  tNUVVariant SubMatchArray(const tNUVString& target, tFound found, const tNUVRegExpMatch& match) const;

  tNUVRegExpMatcher Matcher;
  uint32_t Flags = DefaultFlags;
  int32_t Start = 0;
  tNUVVariant Matches;
  int32_t Index = 0;
  int32_t LastIndex = 0;
  tNUVString Input, LastMatch, LastParen, LeftContext, RightContext;
};

class tNUVNC_RegExp : public tNUVNativeClass {
public:
  tNUVNC_RegExp();
  iNUVNativeInstance* CreateNativeInstance() override { return new tNUVNI_RegExp; }
};

// The RegExp data of object, or null when it is no RegExp.
tNUVNI_RegExp* NUVFindRegExp(iNUVDispatch2* object);

// A new array value (bound to itself) and its elements, for results.
tNUVArrayNI& NUVNewArrayValue(tNUVVariant& value);

}  // namespace NUV
