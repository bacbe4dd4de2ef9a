#pragma once
// tNUVDateParser: reads a date text such as "Sun, 06 Nov 2005 08:49:37 GMT",
// "Nov 6 08:49:37 2005" or "2005/11/06 8:49 PM JST+0100" into a point in time.
//
// A text is a day, a month and a year in one of eleven orders, a time of day
// (hours and minutes, optional seconds with an ignored fraction, AM or PM before
// or after) and an optional zone: a zone word, a "+HHMM" or "-HHMM" offset and a
// parenthesised comment. Words are case-insensitive. Two-digit years below 51 are
// 20xx, the others 19xx. Without a zone word or offset the text is local standard
// time, whatever daylight rules the local zone has.
//
// One parser serves one parse: Parse fills the fields and returns the result.

#include <cstdint>

#include "engine/values/nuv_string.h"

namespace NUV {

// Largest distance from the epoch, in seconds, whose milliseconds fit in 64 bits.
constexpr int64_t NUVDateMaxSeconds = INT64_MAX / 1000;

class tNUVDateParser {
public:
  // One field of the text: whether it was given and its value. Month is 0-based;
  // AmPm is 0 for AM and 1 for PM; Zone and Offset are signed HHMM numbers.
  struct tField {
    bool Given = false;
    int64_t Value = 0;
  };

  // Parses the whole text and returns milliseconds since the epoch (UTC).
  // Raises NUVCannotParseDate when the text does not match or lacks a field,
  // NUVInvalidValueForTimestamp when the time cannot be represented.
  int64_t Parse(const char16_t* text, int32_t length);
  int64_t Parse(const tNUVString& text) { return Parse(text.c_str(), text.GetLen()); }

  // Matches the text against the grammar only, filling the fields; false when it
  // does not match.
  bool Match(const char16_t* text, int32_t length);

  tField Year, Month, Day, Hours, Minutes, Seconds, AmPm, Zone, Offset;
  int64_t Result = 0;

  // Token kinds; single characters are their own code.
  enum tTokenKind : int32_t {
    tkEnd = -1,
    tkNumber = -2,
    tkMonth = -3,
    tkWeekDay = -4,
    tkAmPm = -5,
    tkZone = -6,
    tkComment = -7,
  };
  struct tToken {
    int32_t Kind = tkEnd;
    int64_t Value = 0;
  };

private:
  bool Tokenize(const char16_t* text, int32_t length);
  bool MatchForm(int32_t form);
  bool MatchTime();
  bool MatchZone();
  bool Accept(int32_t kind, int64_t* value = nullptr);
  int32_t Peek() const;

  static constexpr int32_t MaximumTokens = 64;
  tToken Tokens[MaximumTokens];
  int32_t TokenCount = 0;
  int32_t Position = 0;
};

}  // namespace NUV
