#include "engine/objects/date_parser.h"

#include <cstring>
#include <iterator>

#include "engine/platform/local_time.h"
#include "engine/services/errors.h"

namespace NUV {
namespace {

// A word of the date text. Dotted words may also be written with a trailing ".".
struct tDateWord {
  const char* Text;
  int32_t Kind;
  int32_t Value;
  bool Dotted;
};

constexpr int32_t M = tNUVDateParser::tkMonth;
constexpr int32_t W = tNUVDateParser::tkWeekDay;
constexpr int32_t P = tNUVDateParser::tkAmPm;
constexpr int32_t Z = tNUVDateParser::tkZone;

constexpr tDateWord DateWords[] = {
    {"JAN", M, 0, true}, {"JANUARY", M, 0, false}, {"FEB", M, 1, true}, {"FEBRUARY", M, 1, false},
    {"MAR", M, 2, true}, {"MARCH", M, 2, false}, {"APR", M, 3, true}, {"APRIL", M, 3, false},
    {"MAY", M, 4, false}, {"JU", M, 5, true}, {"JUN", M, 5, true}, {"JUNE", M, 5, false},
    {"JUL", M, 6, true}, {"JULY", M, 6, false}, {"AUG", M, 7, true}, {"AUGUST", M, 7, false},
    {"SEP", M, 8, true}, {"SEPT", M, 8, true}, {"SEPTEMBER", M, 8, false}, {"OCT", M, 9, true},
    {"OCTOBER", M, 9, false}, {"NOV", M, 10, true}, {"NOVEMBER", M, 10, false}, {"DEC", M, 11, true},
    {"DECEMBER", M, 11, false},

    {"SUN", W, 0, true}, {"SUNDAY", W, 0, false}, {"MON", W, 1, true}, {"MONDAY", W, 1, false},
    {"TUE", W, 2, true}, {"TUES", W, 2, true}, {"TUESDAY", W, 2, false}, {"WED", W, 3, true},
    {"WEDNESDAY", W, 3, false}, {"THU", W, 4, true}, {"THURS", W, 4, true}, {"THURSDAY", W, 4, false},
    {"FRI", W, 5, true}, {"FRIDAY", W, 5, false}, {"SAT", W, 6, true}, {"SATURDAY", W, 6, false},

    {"AM", P, 0, false}, {"PM", P, 1, false},

    {"IDLW", Z, -1200, false}, {"M", Z, -1200, false}, {"NT", Z, -1100, false}, {"AHST", Z, -1000, false},
    {"CAT", Z, -1000, false}, {"HDT", Z, -900, false}, {"PST", Z, -800, false}, {"MST", Z, -700, false},
    {"PDT", Z, -700, false}, {"CST", Z, -600, false}, {"MDT", Z, -600, false}, {"CDT", Z, -500, false},
    {"EST", Z, -500, false}, {"AST", Z, -400, false}, {"EDT", Z, -400, false}, {"NFT", Z, -330, false},
    {"NST", Z, -330, false}, {"ADT", Z, -300, false}, {"NDT", Z, -230, false}, {"A", Z, -100, false},
    {"WAT", Z, -100, false}, {"GMT", Z, 0, false}, {"UT", Z, 0, false}, {"UTC", Z, 0, false},
    {"WET", Z, 0, false}, {"Z", Z, 0, false}, {"BST", Z, 100, false}, {"CET", Z, 100, false},
    {"DNT", Z, 100, false}, {"FST", Z, 100, false}, {"MET", Z, 100, false}, {"MEWT", Z, 100, false},
    {"MEZ", Z, 100, false}, {"N", Z, 100, false}, {"NOR", Z, 100, false}, {"SET", Z, 100, false},
    {"SWT", Z, 100, false}, {"WETDST", Z, 100, false}, {"EET", Z, 200, false}, {"FWT", Z, 200, false},
    {"IST", Z, 200, false}, {"MEST", Z, 200, false}, {"SST", Z, 200, false}, {"BT", Z, 300, false},
    {"IT", Z, 330, false}, {"WAST", Z, 700, false}, {"JT", Z, 730, false}, {"AWST", Z, 800, false},
    {"CCT", Z, 800, false}, {"WADT", Z, 800, false}, {"WST", Z, 800, false}, {"MT", Z, 830, false},
    {"AWSST", Z, 900, false}, {"JST", Z, 900, false}, {"KST", Z, 900, false}, {"WDT", Z, 900, false},
    {"ACST", Z, 930, false}, {"CAST", Z, 930, false}, {"SAST", Z, 930, false}, {"AEST", Z, 1000, false},
    {"EAST", Z, 1000, false}, {"GST", Z, 1000, false}, {"LIGT", Z, 1000, false}, {"ACSST", Z, 1030, false},
    {"CADT", Z, 1030, false}, {"SADT", Z, 1030, false}, {"AESST", Z, 1100, false}, {"IDLE", Z, 1200, false},
    {"NZST", Z, 1200, false}, {"NZT", Z, 1200, false}, {"Y", Z, 1200, false}, {"NZDT", Z, 1300, false},
};

constexpr int32_t LongestWord = 9;

bool IsLetter(char16_t unit) { return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z'); }
bool IsDigit(char16_t unit) { return unit >= u'0' && unit <= u'9'; }
bool IsSpace(char16_t unit) {
  return unit == u' ' || unit == u'\t' || unit == u'\n' || unit == u'\r' || unit == u'\v' || unit == u'\f';
}

const tDateWord* FindWord(const char* upper) {
  for (const tDateWord& word : DateWords)
    if (std::strcmp(word.Text, upper) == 0) return &word;
  return nullptr;
}

// The orders of day, month and year. D day, Y year, M month word, N month number,
// "-" a dash, S a dash or slash, T the time part, Z the zone part.
constexpr const char* DateForms[] = {
    "DMYTZ", "D-MYTZ", "D-M-YTZ", "MDYTZ", "M-DYTZ", "M-D-YTZ",
    "DMTYZ", "D-MTYZ", "MDTYZ",  "M-DTYZ", "YSNSDTZ",
};

// A signed HHMM number as seconds.
int64_t ZoneSeconds(int64_t hhmm) {
  int64_t magnitude = hhmm < 0 ? -hhmm : hhmm;
  int64_t seconds = (magnitude / 100) * 3600 + (magnitude % 100) * 60;
  return hhmm < 0 ? -seconds : seconds;
}

bool FitsInt32(int64_t value) { return value >= INT32_MIN && value <= INT32_MAX; }

}  // namespace

bool tNUVDateParser::Tokenize(const char16_t* text, int32_t length) {
  TokenCount = 0;
  int32_t index = 0;
  for (;;) {
    while (index < length && IsSpace(text[index])) index++;
    if (TokenCount == MaximumTokens) return false;
    tToken& token = Tokens[TokenCount++];
    token.Value = 0;
    if (index >= length) {
      token.Kind = tkEnd;
      return true;
    }
    char16_t unit = text[index];
    if (IsDigit(unit)) {
      // Numbers beyond 32 bits make no sensible date field.
      int64_t value = 0;
      while (index < length && IsDigit(text[index])) {
        value = value * 10 + (text[index++] - u'0');
        if (value > INT32_MAX) return false;
      }
      token.Kind = tkNumber;
      token.Value = value;
    } else if (IsLetter(unit)) {
      char upper[LongestWord + 1];
      int32_t size = 0;
      while (index < length && IsLetter(text[index])) {
        if (size == LongestWord) return false;
        char16_t letter = text[index++];
        upper[size++] = static_cast<char>(letter >= u'a' ? letter - (u'a' - u'A') : letter);
      }
      upper[size] = 0;
      const tDateWord* word = FindWord(upper);
      if (!word) return false;
      if (word->Dotted && index < length && text[index] == u'.' && !(index + 1 < length && IsLetter(text[index + 1])))
        index++;
      token.Kind = word->Kind;
      token.Value = word->Value;
    } else if (unit == u'(') {
      // A comment runs to the next ")".
      while (index < length && text[index] != u')') index++;
      if (index >= length) return false;
      index++;
      token.Kind = tkComment;
    } else {
      token.Kind = unit;
      index++;
    }
  }
}

int32_t tNUVDateParser::Peek() const { return Tokens[Position].Kind; }

bool tNUVDateParser::Accept(int32_t kind, int64_t* value) {
  if (Tokens[Position].Kind != kind) return false;
  if (value) *value = Tokens[Position].Value;
  Position++;
  return true;
}

bool tNUVDateParser::MatchTime() {
  int64_t ampm = 0;
  bool before = Accept(tkAmPm, &ampm);
  int64_t hours = 0, minutes = 0;
  if (!Accept(tkNumber, &hours) || !Accept(u':') || !Accept(tkNumber, &minutes)) return false;
  Hours = {true, hours};
  Minutes = {true, minutes};
  if (Accept(u':')) {
    int64_t seconds = 0;
    if (!Accept(tkNumber, &seconds)) return false;
    Seconds = {true, seconds};
    if (Accept(u'.') && !Accept(tkNumber)) return false;
  }
  if (before || Accept(tkAmPm, &ampm)) AmPm = {true, ampm};
  return true;
}

bool tNUVDateParser::MatchZone() {
  int64_t value = 0;
  if (Accept(tkZone, &value)) Zone = {true, value};
  int32_t sign = Peek();
  if (sign == u'+' || sign == u'-') {
    Position++;
    if (!Accept(tkNumber, &value)) return false;
    Offset = {true, sign == u'-' ? -value : value};
  }
  Accept(tkComment);
  return true;
}

bool tNUVDateParser::MatchForm(int32_t form) {
  int64_t value = 0;
  for (const char* step = DateForms[form]; *step; step++) {
    switch (*step) {
      case 'D':
        if (!Accept(tkNumber, &value)) return false;
        Day = {true, value};
        break;
      case 'Y':
        if (!Accept(tkNumber, &value)) return false;
        if (value < 100) value += value > 50 ? 1900 : 2000;
        Year = {true, value};
        break;
      case 'M':
        if (!Accept(tkMonth, &value)) return false;
        Month = {true, value};
        break;
      case 'N':
        if (!Accept(tkNumber, &value)) return false;
        Month = {true, value - 1};
        break;
      case '-':
        if (!Accept(u'-')) return false;
        break;
      case 'S':
        if (!Accept(u'-') && !Accept(u'/')) return false;
        break;
      case 'T':
        if (!MatchTime()) return false;
        break;
      case 'Z':
        if (!MatchZone()) return false;
        break;
    }
  }
  return Peek() == tkEnd;
}

bool tNUVDateParser::Match(const char16_t* text, int32_t length) {
  if (!Tokenize(text, length)) return false;
  Position = 0;
  if (Accept(tkWeekDay)) Accept(u',');
  int32_t start = Position;
  for (int32_t form = 0; form < static_cast<int32_t>(std::size(DateForms)); form++) {
    Year = Month = Day = Hours = Minutes = Seconds = AmPm = Zone = Offset = tField{};
    Position = start;
    if (MatchForm(form)) return true;
  }
  Year = Month = Day = Hours = Minutes = Seconds = AmPm = Zone = Offset = tField{};
  return false;
}

int64_t tNUVDateParser::Parse(const char16_t* text, int32_t length) {
  if (!Match(text, length) || !Year.Given || !Month.Given || !Day.Given || !Hours.Given || !Minutes.Given)
    NUVThrowError(NUVCannotParseDate);
  int64_t hours = Hours.Value + (AmPm.Given && AmPm.Value == 1 ? 12 : 0);
  int64_t standardWest = Platform::StandardOffsetWest();
  int64_t zone = 0;
  if (Zone.Given) zone += ZoneSeconds(Zone.Value);
  if (Offset.Given) zone += ZoneSeconds(Offset.Value);
  if (!Zone.Given && !Offset.Given) zone = -standardWest;

  if (!FitsInt32(Month.Value) || !FitsInt32(hours)) NUVThrowError(NUVInvalidValueForTimestamp);
  Platform::tLocalTimeFields fields;
  fields.Year = Year.Value;
  fields.Month = static_cast<int32_t>(Month.Value);
  fields.Day = static_cast<int32_t>(Day.Value);
  fields.Hours = static_cast<int32_t>(hours);
  fields.Minutes = static_cast<int32_t>(Minutes.Value);
  fields.Seconds = static_cast<int32_t>(Seconds.Given ? Seconds.Value : 0);
  fields.IsDaylight = 0;
  int64_t local = 0;
  if (!Platform::MakeLocalTime(fields, local)) NUVThrowError(NUVInvalidValueForTimestamp);
  // local counts the fields as local standard time; undo that offset, then the text's.
  int64_t seconds = local - standardWest - zone;
  if (seconds > NUVDateMaxSeconds || seconds < -NUVDateMaxSeconds) NUVThrowError(NUVInvalidValueForTimestamp);
  Result = seconds * 1000;
  return Result;
}

}  // namespace NUV
