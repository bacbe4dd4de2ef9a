// String bodies, tNUVString and the text utilities: inline/long storage, buffer
// growth, copy on write, narrow conversion, escaping, number texts, comparisons,
// the string hash and the string appender.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <utility>

#include "engine/services/errors.h"
#include "engine/services/messages.h"
#include "engine/values/nuv_string.h"
#include "engine/values/string_appender.h"
#include "engine/values/string_body.h"
#include "engine/values/string_heap.h"

namespace NUV {
namespace {

std::u16string Text(const tNUVString& string) { return std::u16string(string.c_str(), string.GetLen()); }
std::u16string Text(const tNUVVariantString* body) {
  return body ? std::u16string(body->Text(), body->Length) : std::u16string();
}
int64_t LiveBodies() { return GetStringHeapStatus().LiveCount; }

// Runs call and expects the engine error carrying the given message.
template <typename tCall>
void ExpectError(tCall call, const tNUVMessageHolder& message) {
  try {
    call();
    ADD_FAILURE() << "no error was raised";
  } catch (const eNUVError& error) {
    EXPECT_EQ(Text(error.GetMessage()), Text(NUVFillMessage(message.Text())));
  }
}

// Bodies ----------------------------------------------------------------------------

TEST(StringBody, EmptyInputsGiveNoBody) {
  int64_t live = LiveBodies();
  EXPECT_EQ(CreateStringBody(u""), nullptr);
  EXPECT_EQ(CreateStringBody(nullptr), nullptr);
  EXPECT_EQ(CreateStringBody(u"abc", 0), nullptr);
  EXPECT_EQ(CreateStringBody(nullptr, 5), nullptr);
  EXPECT_EQ(CreateStringBody(u"", -1), nullptr);
  EXPECT_EQ(CreateStringBody(u"\0abc", 4), nullptr);
  EXPECT_EQ(CreateStringBodyFromNarrow(""), nullptr);
  EXPECT_EQ(CreateStringBodyFromNarrow(nullptr), nullptr);
  EXPECT_EQ(CreateJoinedStringBody(nullptr, 0, nullptr, 0), nullptr);
  EXPECT_EQ(CreateJoinedStringBody(u"", -1, u"", -1), nullptr);
  EXPECT_EQ(LiveBodies(), live);
  EXPECT_EQ(HashString(tNUVString(u"")), 0u);
  EXPECT_EQ(HashString(nullptr, 0), 0u);
}

TEST(StringBody, LengthArgument) {
  tNUVString whole(u"abcdef", -1);
  EXPECT_EQ(Text(whole), u"abcdef");
  tNUVString prefix(u"abcdef", 3);
  EXPECT_EQ(Text(prefix), u"abc");
  EXPECT_EQ(prefix.GetLen(), 3);
  // An embedded 0 ends the copy early.
  tNUVString cut(u"ab\0cd", 5);
  EXPECT_EQ(cut.GetLen(), 2);
  EXPECT_EQ(Text(cut), u"ab");
  EXPECT_EQ(cut.c_str()[2], 0);
  tNUVString joined = tNUVString::Adopt(CreateJoinedStringBody(u"ab", -1, nullptr, 0));
  EXPECT_EQ(Text(joined), u"ab");
  joined = tNUVString::Adopt(CreateJoinedStringBody(u"", -1, u"cd", 2));
  EXPECT_EQ(Text(joined), u"cd");
  joined = tNUVString::Adopt(CreateJoinedStringBody(u"ab", 2, u"cdef", 2));
  EXPECT_EQ(Text(joined), u"abcd");
}

TEST(StringBody, InlineUpToTwentyOneUnits) {
  const std::u16string text21(21, u'x');
  tNUVString inlineText(text21.c_str());
  ASSERT_NE(inlineText.GetBody(), nullptr);
  EXPECT_EQ(inlineText.GetBody()->LongString, nullptr);
  EXPECT_EQ(inlineText.GetLen(), 21);
  EXPECT_EQ(inlineText.c_str(), inlineText.GetBody()->ShortString);
  EXPECT_EQ(inlineText.c_str()[21], 0);

  const std::u16string text22(22, u'y');
  tNUVString longText(text22.c_str());
  ASSERT_NE(longText.GetBody()->LongString, nullptr);
  EXPECT_EQ(LongBufferCapacity(longText.GetBody()->LongString), 22 + 1 + 16);
  EXPECT_EQ(Text(longText), text22);
  EXPECT_EQ(longText.c_str()[22], 0);

  tNUVString ofLength = tNUVString::Adopt(CreateStringBodyOfLength(30));
  EXPECT_EQ(ofLength.GetLen(), 30);
  EXPECT_EQ(ofLength.c_str()[30], 0);
  EXPECT_EQ(LongBufferCapacity(ofLength.GetBody()->LongString), 47);
}

TEST(StringBody, AppendMovesToALongBufferAndGrowsIt) {
  tNUVString text(std::u16string(21, u'a'));
  tNUVVariantString* body = text.GetBody();
  text += u"b";   // 22 units: moves out of ShortString
  ASSERT_EQ(text.GetBody(), body);   // private body: appended in place
  ASSERT_NE(body->LongString, nullptr);
  EXPECT_EQ(LongBufferCapacity(body->LongString), 39);
  EXPECT_EQ(Text(text), std::u16string(21, u'a') + u"b");

  // Fits in 39 units (38 + terminator): same buffer.
  char16_t* buffer = body->LongString;
  text += std::u16string(16, u'c').c_str();
  EXPECT_EQ(text.GetLen(), 38);
  EXPECT_EQ(body->LongString, buffer);
  EXPECT_EQ(LongBufferCapacity(body->LongString), 39);
  // 39 units + terminator need 40: twice that.
  text += u"d";
  EXPECT_EQ(LongBufferCapacity(body->LongString), 80);
  EXPECT_EQ(Text(text), std::u16string(21, u'a') + u"b" + std::u16string(16, u'c') + u"d");
  EXPECT_EQ(text.c_str()[39], 0);

  // A null body yields a new one.
  tNUVVariantString* fresh = AppendToStringBody(nullptr, u"xyz", -1);
  EXPECT_EQ(Text(fresh), u"xyz");
  ReleaseStringBody(fresh);
  EXPECT_EQ(AppendToStringBody(nullptr, u"", -1), nullptr);
}

TEST(StringBody, LongBufferGrowthRule) {
  char16_t* buffer = AllocateLongBuffer(10);
  EXPECT_EQ(LongBufferCapacity(buffer), 26);
  std::memcpy(buffer, u"0123456789", 20);
  char16_t* same = GrowLongBuffer(buffer, 26);
  EXPECT_EQ(same, buffer);
  EXPECT_EQ(LongBufferCapacity(same), 26);
  buffer = GrowLongBuffer(buffer, 27);
  EXPECT_EQ(LongBufferCapacity(buffer), 54);
  EXPECT_EQ(std::u16string(buffer, 10), u"0123456789");
  buffer = GrowLongBuffer(buffer, 1000);
  EXPECT_EQ(LongBufferCapacity(buffer), 2000);
  EXPECT_EQ(std::u16string(buffer, 10), u"0123456789");
  FreeLongBuffer(buffer);
  FreeLongBuffer(nullptr);
  EXPECT_EQ(LongBufferCapacity(nullptr), 0);

  // At 3,999,999 units still doubled; above, a step of 4,000,000 (16 MB each).
  buffer = GrowLongBuffer(nullptr, 3999999);
  EXPECT_EQ(LongBufferCapacity(buffer), 7999998);
  FreeLongBuffer(buffer);
  buffer = GrowLongBuffer(nullptr, 4000001);
  EXPECT_EQ(LongBufferCapacity(buffer), 8000001);
  FreeLongBuffer(buffer);
}

TEST(StringBody, FixLength) {
  int64_t live = LiveBodies();
  tNUVString text;
  char16_t* out = text.AllocBuffer(10);
  std::memcpy(out, u"abc", 8);   // with its terminator
  text.FixLength();
  EXPECT_EQ(text.GetLen(), 3);
  EXPECT_EQ(Text(text), u"abc");

  // An empty result gives up the body.
  text.MakeIndependent()[0] = 0;
  text.FixLength();
  EXPECT_EQ(text.GetBody(), nullptr);
  EXPECT_EQ(text.GetLen(), 0);
  EXPECT_EQ(LiveBodies(), live);

  // A shared body may not be cut under its other owners.
  tNUVString shared(u"shared text");
  tNUVString other(shared);
  ExpectError([&] { shared.FixLength(); }, NUVStringDeallocError);
  EXPECT_EQ(Text(other), u"shared text");
  EXPECT_EQ(shared.GetBody(), other.GetBody());
  EXPECT_EQ(FixStringBodyLength(nullptr), nullptr);
}

// Ownership -----------------------------------------------------------------------

TEST(StringOwnership, RefCountCountsOwnersMinusOne) {
  int64_t live = LiveBodies();
  tNUVString first(u"owned");
  EXPECT_EQ(first.GetBody()->RefCount, 0);
  {
    tNUVString second(first);
    EXPECT_EQ(second.GetBody(), first.GetBody());
    EXPECT_EQ(first.GetBody()->RefCount, 1);
    tNUVString third;
    third = second;
    EXPECT_EQ(first.GetBody()->RefCount, 2);
    tNUVString moved(std::move(third));
    EXPECT_EQ(first.GetBody()->RefCount, 2);
    EXPECT_EQ(third.GetBody(), nullptr);
  }
  EXPECT_EQ(first.GetBody()->RefCount, 0);
  EXPECT_EQ(LiveBodies(), live + 1);
  first.Clear();
  EXPECT_EQ(LiveBodies(), live);
}

TEST(StringOwnership, SelfAssignmentKeepsTheBody) {
  int64_t live = LiveBodies();
  tNUVString text(u"self");
  tNUVString& alias = text;
  text = alias;
  EXPECT_EQ(Text(text), u"self");
  EXPECT_EQ(text.GetBody()->RefCount, 0);
  text = std::move(alias);
  EXPECT_EQ(Text(text), u"self");
  // Assigning its own text pointer copies before it lets go.
  text = text.c_str();
  EXPECT_EQ(Text(text), u"self");
  text.Clear();
  EXPECT_EQ(LiveBodies(), live);
}

TEST(StringOwnership, MakeIndependentCopiesOnlySharedBodies) {
  tNUVString original(u"original text");
  tNUVVariantString* body = original.GetBody();
  char16_t* writable = original.MakeIndependent();
  EXPECT_EQ(original.GetBody(), body);   // private: no copy
  EXPECT_EQ(writable, body->Text());

  tNUVString copy(original);
  writable = copy.MakeIndependent();
  EXPECT_NE(copy.GetBody(), body);
  EXPECT_EQ(body->RefCount, 0);
  EXPECT_EQ(copy.GetBody()->RefCount, 0);
  writable[0] = u'O';
  EXPECT_EQ(Text(copy), u"Original text");
  EXPECT_EQ(Text(original), u"original text");

  tNUVString empty;
  EXPECT_EQ(empty.MakeIndependent(), nullptr);
}

TEST(StringOwnership, MakeIndependentKeepsTheWholeLength) {
  // A body filled directly may hold a 0 unit before its end; the private copy must
  // keep every unit, or writing up to the old length overruns it.
  tNUVString text = tNUVString::Adopt(CreateStringBodyOfLength(30));
  char16_t* out = text.MakeIndependent();
  for (int i = 0; i < 30; ++i) out[i] = static_cast<char16_t>(u'a' + i % 26);
  out[3] = 0;
  tNUVString shared(text);
  out = shared.MakeIndependent();
  ASSERT_NE(shared.GetBody(), text.GetBody());
  EXPECT_EQ(shared.GetLen(), 30);
  for (int i = 0; i < 30; ++i) out[i] = u'z';
  EXPECT_EQ(Text(shared), std::u16string(30, u'z'));
  EXPECT_EQ(text.c_str()[4], u'e');

  // A shared body of length 0 still yields a writable text.
  tNUVString zero = tNUVString::Adopt(CreateStringBodyOfLength(0));
  tNUVString zeroShared(zero);
  char16_t* zeroText = zeroShared.MakeIndependent();
  ASSERT_NE(zeroText, nullptr);
  EXPECT_EQ(zeroText[0], 0);
}

TEST(StringOwnership, AppendingToItself) {
  int64_t live = LiveBodies();
  {
    tNUVString text(u"abc");
    text += text;   // shared through the operand
    EXPECT_EQ(Text(text), u"abcabc");
    text += text;
    text += text;
    EXPECT_EQ(text.GetLen(), 24);   // crossed into a long buffer
    EXPECT_EQ(Text(text), u"abcabcabcabcabcabcabcabc");

    // Its own text as a plain pointer, private body, inline to long.
    tNUVString inlineText(std::u16string(20, u'q'));
    inlineText.Append(inlineText.c_str(), inlineText.GetLen());
    EXPECT_EQ(Text(inlineText), std::u16string(40, u'q'));
    // And long buffer to a larger one.
    inlineText.Append(inlineText.c_str(), -1);
    EXPECT_EQ(Text(inlineText), std::u16string(80, u'q'));
    inlineText += inlineText.c_str() + 70;
    EXPECT_EQ(inlineText.GetLen(), 90);

    // A shared body is copied first; the other owner keeps its text.
    tNUVString shared(u"xy");
    tNUVString other(shared);
    shared += u"z";
    EXPECT_EQ(Text(shared), u"xyz");
    EXPECT_EQ(Text(other), u"xy");

    tNUVString empty;
    empty += tNUVString(u"now");
    EXPECT_EQ(Text(empty), u"now");
    empty += u'!';
    EXPECT_EQ(Text(empty), u"now!");
    empty += char16_t(0);
    EXPECT_EQ(Text(empty), u"now!");
  }
  EXPECT_EQ(LiveBodies(), live);
}

TEST(StringOwnership, Concatenation) {
  tNUVString left(u"left");
  tNUVString right(u"right");
  EXPECT_EQ(Text(left + right), u"leftright");
  EXPECT_EQ(Text(left + u"-"), u"left-");
  EXPECT_EQ(Text(u"-" + right), u"-right");
  EXPECT_EQ(Text(tNUVString() + tNUVString()), u"");
  EXPECT_EQ((tNUVString() + tNUVString()).GetBody(), nullptr);
  EXPECT_EQ((tNUVString() + u"").GetBody(), nullptr);
  EXPECT_EQ(Text(left), u"left");
}

// Narrow text -------------------------------------------------------------------------

TEST(StringNarrow, ValidUtf8) {
  tNUVString text("a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80");   // a, e acute, a CJK unit, an emoji
  EXPECT_EQ(Text(text), u"a\u00E9\u65E5\U0001F600");
  EXPECT_EQ(text.GetLen(), 5);   // the emoji is a surrogate pair
  EXPECT_EQ(text[3], 0xD83D);
  EXPECT_EQ(text[4], 0xDE00);
  EXPECT_EQ(text.GetNarrowLength(), 10);
  EXPECT_EQ(text.AsStdString(), "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80");
  tNUVString withLength = tNUVString::Adopt(CreateStringBodyFromNarrow("abcdef", 3));
  EXPECT_EQ(Text(withLength), u"abc");
}

TEST(StringNarrow, InvalidUtf8RaisesTheConversionError) {
  int64_t live = LiveBodies();
  const char* invalid[] = {
      "\xC0\xAF",               // overlong '/'
      "\xE0\x80\xAF",           // overlong, three bytes
      "\xED\xA0\x80",           // an encoded surrogate
      "ok\xE3\x81",             // truncated at the end
      "\xE3\x81z",              // truncated by a plain byte
      "\x80",                   // a lone continuation byte
      "\xF4\x90\x80\x80",       // beyond U+10FFFF
      "\xF8\x88\x80\x80\x80",   // five-byte form
      "\xFE",
      "\xFF",
  };
  for (const char* text : invalid) {
    SCOPED_TRACE(testing::PrintToString(text));
    ExpectError([&] { tNUVString string(text); }, NUVNarrowToWideConversionError);
  }
  EXPECT_EQ(LiveBodies(), live);
}

TEST(StringNarrow, BoundedConversionWritesWholeCharacters) {
  tNUVString text(u"a\u00E9\u65E5\U0001F600");   // 1 + 2 + 3 + 4 bytes
  char buffer[16];
  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(text.ToNarrow(buffer, 15), 10);
  EXPECT_STREQ(buffer, "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80");

  const struct {
    int32_t Size;
    int32_t Written;
  } cases[] = {{0, 0}, {1, 1}, {2, 1}, {3, 3}, {5, 3}, {6, 6}, {9, 6}, {10, 10}};
  for (const auto& test : cases) {
    SCOPED_TRACE(test.Size);
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(text.ToNarrow(buffer, test.Size), test.Written);
    EXPECT_EQ(buffer[test.Written], 0);
    EXPECT_EQ(buffer[test.Size + 1], 'X');   // nothing beyond size + 1 bytes
  }
  EXPECT_EQ(text.ToNarrow(nullptr, 10), -1);
  EXPECT_EQ(text.ToNarrow(buffer, -1), -1);
  EXPECT_EQ(tNUVString().ToNarrow(buffer, 5), 0);
  EXPECT_EQ(buffer[0], 0);
}

TEST(StringNarrow, UnpairedSurrogatesBecomeQuestionMarks) {
  const char16_t highAlone[] = {u'a', 0xD800, u'b', 0};
  const char16_t lowAlone[] = {0xDC00, u'c', 0};
  const char16_t highAtEnd[] = {u'd', 0xDBFF, 0};
  EXPECT_EQ(tNUVString(highAlone).AsStdString(), "a?b");
  EXPECT_EQ(tNUVString(highAlone).GetNarrowLength(), 3);
  EXPECT_EQ(tNUVString(lowAlone).AsStdString(), "?c");
  EXPECT_EQ(tNUVString(highAtEnd).AsStdString(), "d?");
  char buffer[4];
  EXPECT_EQ(tNUVString(highAtEnd).ToNarrow(buffer, 3), 2);
  EXPECT_STREQ(buffer, "d?");
}

// Text utilities ----------------------------------------------------------------------

TEST(StringText, EscapeNamedAndHexEscapes) {
  EXPECT_EQ(Text(tNUVString(u"\a\b\t\n\v\f\r\"'\\").Escape()), u"\\a\\b\\t\\n\\v\\f\\r\\\"\\'\\\\");
  // Other controls in lower-case hex; a hex digit right after such an escape is
  // escaped too, and that chains.
  EXPECT_EQ(Text(tNUVString(u"\x01" u"Ag").Escape()), u"\\x01\\x41g");
  EXPECT_EQ(Text(tNUVString(u"\x1b" u"0a9Fz1").Escape()), u"\\x1b\\x30\\x61\\x39\\x46z1");
  EXPECT_EQ(Text(tNUVString(u"\x1f" u"G").Escape()), u"\\x1fG");
  // A named escape does not start the chain.
  EXPECT_EQ(Text(tNUVString(u"\n1\\a").Escape()), u"\\n1\\\\a");
  EXPECT_EQ(Text(tNUVString(u"\x02\n" u"b").Escape()), u"\\x02\\nb");
  // 32 and above, including non-ASCII and DEL, as they are.
  EXPECT_EQ(Text(tNUVString(u" ~\x7F\u00E9\u65E5").Escape()), u" ~\x7F\u00E9\u65E5");
  EXPECT_EQ(Text(tNUVString(u"\x01\u00E9").Escape()), u"\\x01\u00E9");
  EXPECT_EQ(tNUVString().Escape().GetBody(), nullptr);
}

TEST(StringText, TruncateWithEllipsis) {
  tNUVString letters(u"abcdefgh");
  EXPECT_EQ(Text(letters.TruncateWithEllipsis(5)), u"ab...");
  EXPECT_EQ(Text(letters.TruncateWithEllipsis(2)), u"ab");
  EXPECT_EQ(Text(letters.TruncateWithEllipsis(1)), u"a");
  EXPECT_EQ(letters.TruncateWithEllipsis(0).GetBody(), nullptr);
  EXPECT_EQ(letters.TruncateWithEllipsis(-4).GetBody(), nullptr);
  EXPECT_EQ(Text(letters.TruncateWithEllipsis(3)), u"...");
  EXPECT_EQ(Text(letters.TruncateWithEllipsis(4)), u"a...");
  EXPECT_EQ(Text(letters.TruncateWithEllipsis(7)), u"abcd...");
  EXPECT_EQ(letters.TruncateWithEllipsis(8).GetBody(), letters.GetBody());
  EXPECT_EQ(Text(letters.TruncateWithEllipsis(100)), u"abcdefgh");
  EXPECT_EQ(tNUVString().TruncateWithEllipsis(3).GetBody(), nullptr);
  EXPECT_EQ(Text(letters), u"abcdefgh");
}

TEST(StringText, Replace) {
  tNUVString empty;
  empty.Replace(tNUVString(u"a"), tNUVString(u"b"));
  EXPECT_EQ(empty.GetBody(), nullptr);

  tNUVString text(u"hello");
  tNUVVariantString* body = text.GetBody();
  text.Replace(tNUVString(u"xyz"), tNUVString(u"b"));
  EXPECT_EQ(text.GetBody(), body);
  text.Replace(tNUVString(), tNUVString(u"b"));
  EXPECT_EQ(Text(text), u"hello");

  tNUVString all(u"a-b-c");
  all.Replace(tNUVString(u"-"), tNUVString(u"+"), true);
  EXPECT_EQ(Text(all), u"a+b+c");
  tNUVString first(u"a-b-c");
  first.Replace(tNUVString(u"-"), tNUVString(u"+"), false);
  EXPECT_EQ(Text(first), u"a+b-c");

  // The search goes on behind the inserted text.
  tNUVString growing(u"a.a");
  growing.Replace(tNUVString(u"a"), tNUVString(u"aa"));
  EXPECT_EQ(Text(growing), u"aa.aa");
  // Overlapping occurrences: left to right, no overlap reused.
  tNUVString overlapping(u"aaaaa");
  overlapping.Replace(tNUVString(u"aa"), tNUVString(u"b"));
  EXPECT_EQ(Text(overlapping), u"bba");
  // Deleting, down to the empty string.
  tNUVString deleting(u"--");
  deleting.Replace(tNUVString(u"-"), tNUVString());
  EXPECT_EQ(deleting.GetBody(), nullptr);
  // Other owners keep their text.
  tNUVString shared(u"one two");
  tNUVString other(shared);
  shared.Replace(tNUVString(u"one"), tNUVString(u"three"));
  EXPECT_EQ(Text(shared), u"three two");
  EXPECT_EQ(Text(other), u"one two");
  // The string itself as search or replacement.
  tNUVString self(u"ab");
  self.Replace(self, self + u"!");
  EXPECT_EQ(Text(self), u"ab!");
}

TEST(StringText, StartsWith) {
  tNUVString empty;
  EXPECT_TRUE(empty.StartsWith(u""));
  EXPECT_TRUE(empty.StartsWith(static_cast<const char16_t*>(nullptr)));
  EXPECT_FALSE(empty.StartsWith(u"a"));
  tNUVString text(u"abc");
  EXPECT_TRUE(text.StartsWith(u""));
  EXPECT_TRUE(text.StartsWith(u"ab"));
  EXPECT_TRUE(text.StartsWith(u"abc"));
  EXPECT_FALSE(text.StartsWith(u"abcd"));
  EXPECT_FALSE(text.StartsWith(u"b"));
  EXPECT_TRUE(text.StartsWith(tNUVString(u"a")));
  EXPECT_TRUE(text.StartsWith(tNUVString()));
}

TEST(StringText, EqualityAndOrderByUnsignedUnits) {
  const char16_t highUnit[] = {0xFFFF, 0};
  EXPECT_TRUE(tNUVString(u"a") < tNUVString(highUnit));
  EXPECT_TRUE(tNUVString(highUnit) > tNUVString(u"a"));
  EXPECT_TRUE(tNUVString(u"\u00E9") > tNUVString(u"z"));
  EXPECT_TRUE(tNUVString(u"ab") < tNUVString(u"abc"));
  EXPECT_FALSE(tNUVString(u"abc") < tNUVString(u"ab"));
  EXPECT_TRUE(tNUVString() < tNUVString(u"a"));
  EXPECT_FALSE(tNUVString(u"a") < tNUVString(u"a"));
  EXPECT_TRUE(tNUVString(u"B") < tNUVString(u"a"));
  EXPECT_LT(WideCompare(u"a", highUnit), 0);
  EXPECT_LT(WideCompare(u"ab", u"abc"), 0);
  EXPECT_LT(WideCompareN(u"abX", u"abY", 3), 0);
  EXPECT_EQ(WideCompareN(u"abX", u"abY", 2), 0);
  EXPECT_EQ(WideCompareN(u"ab", u"ab", 10), 0);

  EXPECT_TRUE(tNUVString() == tNUVString(u""));
  EXPECT_TRUE(tNUVString() == u"");
  EXPECT_TRUE(tNUVString() == static_cast<const char16_t*>(nullptr));
  EXPECT_TRUE(tNUVString(u"same") == tNUVString(u"same"));
  EXPECT_TRUE(tNUVString(u"same") == u"same");
  EXPECT_TRUE(tNUVString(u"same") != u"sam");
  EXPECT_TRUE(tNUVString(u"same") != tNUVString(u"Same"));
}

TEST(StringText, AsciiCaseInsensitiveComparison) {
  EXPECT_EQ(WideCompareNoCase(u"Hello", u"hELLO"), 0);
  EXPECT_NE(WideCompareNoCase(u"\u00E9", u"\u00C9"), 0);   // not folded
  EXPECT_LT(WideCompareNoCase(u"a", u"B"), 0);
  // Folding goes to upper case: '[' lies between 'Z' and 'a'.
  EXPECT_GT(WideCompareNoCase(u"[", u"a"), 0);
  EXPECT_LT(WideCompareNoCase(u"ab", u"ABC"), 0);
  EXPECT_EQ(WideCompareNoCaseN(u"abcX", u"ABCy", 3), 0);
  EXPECT_NE(WideCompareNoCaseN(u"abcX", u"ABCy", 4), 0);
  EXPECT_EQ(WideCompareNoCaseN(u"ab", u"AB", 10), 0);
}

TEST(StringText, AsciiCaseMapping) {
  tNUVString mixed(u"AbC-\u00E9\u00C9-Zz@[`{");
  EXPECT_EQ(Text(mixed.ToLowerCase()), u"abc-\u00E9\u00C9-zz@[`{");
  EXPECT_EQ(Text(mixed.ToUpperCase()), u"ABC-\u00E9\u00C9-ZZ@[`{");
  EXPECT_EQ(Text(mixed), u"AbC-\u00E9\u00C9-Zz@[`{");
  tNUVString shared(mixed);
  shared.ToUpperCaseInPlace();
  EXPECT_EQ(Text(shared), u"ABC-\u00E9\u00C9-ZZ@[`{");
  EXPECT_EQ(Text(mixed), u"AbC-\u00E9\u00C9-Zz@[`{");
  shared.ToLowerCaseInPlace();
  EXPECT_EQ(Text(shared), u"abc-\u00E9\u00C9-zz@[`{");
  EXPECT_EQ(tNUVString().ToLowerCase().GetBody(), nullptr);
}

TEST(StringText, HexText) {
  EXPECT_EQ(Text(tNUVString::ToHexText(0, 0)), u"0");
  EXPECT_EQ(Text(tNUVString::ToHexText(0, -3)), u"0");
  EXPECT_EQ(Text(tNUVString::ToHexText(0, 4)), u"0000");
  EXPECT_EQ(Text(tNUVString::ToHexText(0xAB, 1)), u"AB");
  EXPECT_EQ(Text(tNUVString::ToHexText(0xAB, 4)), u"00AB");
  EXPECT_EQ(Text(tNUVString::ToHexText(0xAB, 12)), u"000000AB");
  EXPECT_EQ(Text(tNUVString::ToHexText(0xDEADBEEF, 2)), u"DEADBEEF");
  EXPECT_EQ(Text(tNUVString::ToHexText(0xFFFFFFFF, 9)), u"FFFFFFFF");
}

TEST(StringText, IntegerText) {
  EXPECT_EQ(Text(IntegerToText(INT64_MIN)), u"-9223372036854775808");
  EXPECT_EQ(Text(IntegerToText(INT64_MAX)), u"9223372036854775807");
  EXPECT_EQ(Text(IntegerToText(0)), u"0");
  EXPECT_EQ(Text(IntegerToText(-1)), u"-1");
  EXPECT_EQ(Text(IntegerToText(-42)), u"-42");
  EXPECT_EQ(Text(IntegerToText(INT32_MIN)), u"-2147483648");
  EXPECT_EQ(Text(tNUVString::FromInteger(1234567890123)), u"1234567890123");
  char16_t out[21];
  IntegerToText(INT64_MIN, out);
  EXPECT_EQ(std::u16string(out), u"-9223372036854775808");
}

TEST(StringText, TextToInt32) {
  EXPECT_EQ(TextToInt32(u"42"), 42);
  EXPECT_EQ(TextToInt32(u"  42"), 42);
  EXPECT_EQ(TextToInt32(u"\t\n\x01 7"), 7);
  EXPECT_EQ(TextToInt32(u"-  12"), -12);
  EXPECT_EQ(TextToInt32(u"-12abc"), -12);
  EXPECT_EQ(TextToInt32(u"12 34"), 12);
  EXPECT_EQ(TextToInt32(u"abc"), 0);
  EXPECT_EQ(TextToInt32(u""), 0);
  EXPECT_EQ(TextToInt32(nullptr), 0);
  EXPECT_EQ(TextToInt32(u"-"), 0);
  EXPECT_EQ(TextToInt32(u"--5"), 0);
  EXPECT_EQ(TextToInt32(u"+5"), 0);
  EXPECT_EQ(TextToInt32(u"2147483647"), INT32_MAX);
  EXPECT_EQ(TextToInt32(u"-2147483648"), INT32_MIN);
}

TEST(StringHash, MatchesValuesWorkedOutIndependently) {
  // Expected values computed outside this code base from the published steps.
  EXPECT_EQ(HashString(tNUVString(u"a")), 0xCA2E9442u);
  EXPECT_EQ(HashString(tNUVString(u"abc")), 0xED131F5Bu);
  EXPECT_EQ(HashString(tNUVString(u"length")), 0x957E2539u);
  EXPECT_EQ(HashString(tNUVString(u"Hello, World")), 0x0BDB77FFu);
  EXPECT_EQ(HashString(tNUVString(u"\u65E5\u672C")), 0x26E92E10u);
  EXPECT_EQ(HashString(tNUVString(u"\U0001F600")), 0x5C28937Au);
  EXPECT_EQ(HashString(u"abcdef", 3), 0xED131F5Bu);
  // These units drive the running value to 0, which is reported as 0xFFFFFFFF.
  EXPECT_EQ(HashString(tNUVString(u"JIFc\u029C")), 0xFFFFFFFFu);
  EXPECT_EQ(HashString(tNUVString()), 0u);
}

// Appender --------------------------------------------------------------------------------

TEST(StringAppender, GrowthRule) {
  tNUVStringAppender appender;
  EXPECT_EQ(appender.GetData(), nullptr);
  appender.Append(nullptr, 4);
  appender.Append(u"", -1);
  appender.Append(u"abc", 0);
  EXPECT_EQ(appender.GetData(), nullptr);
  EXPECT_EQ(appender.ToString().GetBody(), nullptr);

  // The first piece: capacity twice its length, in a buffer for that many units.
  appender.Append(u"hello", 5);
  EXPECT_EQ(appender.GetLength(), 5);
  EXPECT_EQ(appender.GetCapacity(), 10);
  EXPECT_EQ(LongBufferCapacity(appender.GetData()), 10 + 16);
  const char16_t* data = appender.GetData();
  appender.Append(u"world", -1);   // exactly fills the capacity
  EXPECT_EQ(appender.GetData(), data);
  EXPECT_EQ(appender.GetCapacity(), 10);
  EXPECT_EQ(std::u16string(appender.GetData()), u"helloworld");

  // Beyond it: capacity need + 8192, buffer grown to hold 2 x need + 16384 units
  // (and growing a buffer doubles what it is asked for).
  appender.Append(u"!", 1);
  EXPECT_EQ(appender.GetLength(), 11);
  EXPECT_EQ(appender.GetCapacity(), 11 + 8192);
  EXPECT_EQ(LongBufferCapacity(appender.GetData()), 2 * (2 * 11 + 16384));

  const std::u16string filler(8192, u'f');
  appender.Append(filler.c_str(), 8192);   // need 8203: still within
  EXPECT_EQ(appender.GetCapacity(), 8203);
  appender.Append(u"x", 1);   // need 8204: the buffer is already large enough
  EXPECT_EQ(appender.GetCapacity(), 8204 + 8192);
  EXPECT_EQ(LongBufferCapacity(appender.GetData()), 32812);
  const std::u16string more(16396 - 8204 + 1, u'm');
  appender.Append(more.c_str(), static_cast<int32_t>(more.size()));   // need 16397
  EXPECT_EQ(appender.GetCapacity(), 16397 + 8192);
  EXPECT_EQ(LongBufferCapacity(appender.GetData()), 2 * (2 * 16397 + 16384));

  std::u16string expected = u"helloworld!" + filler + u"x" + more;
  EXPECT_EQ(appender.GetLength(), static_cast<int32_t>(expected.size()));
  EXPECT_EQ(std::u16string(appender.GetData(), appender.GetLength()), expected);
  EXPECT_EQ(appender.GetData()[appender.GetLength()], 0);
  EXPECT_EQ(Text(appender.ToString()), expected);
}

TEST(StringAppender, AppendsItsOwnContentAcrossGrowth) {
  tNUVStringAppender appender;
  appender.Append(u"abcd", 4);
  appender.Append(appender.GetData(), appender.GetLength());   // fits
  EXPECT_EQ(std::u16string(appender.GetData()), u"abcdabcd");
  appender.Append(appender.GetData() + 2, appender.GetLength() - 2);   // moves the buffer
  EXPECT_EQ(std::u16string(appender.GetData()), u"abcdabcdcdabcd");
  appender.Append(tNUVString(u"\u65E5"));
  appender.Append(u'.');
  EXPECT_EQ(Text(appender.ToString()), u"abcdabcdcdabcd\u65E5.");
  appender.Reset();
  EXPECT_EQ(appender.GetLength(), 0);
  EXPECT_EQ(appender.ToString().GetBody(), nullptr);
  appender.Append(u"again", -1);
  EXPECT_EQ(Text(appender.ToString()), u"again");
}

}  // namespace
}  // namespace NUV
