// Comments and literals of tNUVLexicalAnalyzer: strings (also the text pieces of
// embeddable strings), numbers, octets and regular expressions.

#include <new>

#include "engine/compiler/character_class.h"
#include "engine/compiler/lexer.h"
#include "engine/compiler/number_scanner.h"
#include "engine/compiler/tokens.h"
#include "engine/services/messages.h"

namespace NUV {

// At a "/": skips a line comment (with its line feed) or a block comment (nesting),
// then the space behind it.
tNUVLexicalAnalyzer::tCommentResult tNUVLexicalAnalyzer::SkipComment() {
  const char16_t* next = NUVNextUnit(Cursor);
  if (*next == u'/') {
    Cursor = next;
    while (*Cursor && *Cursor != u'\n') Advance();
    if (*Cursor == u'\n') Advance();
  } else if (*next == u'*') {
    const int32_t start = CursorOffset();
    Cursor = NUVNextUnit(next);
    int32_t level = 0;
    for (;;) {
      if (*Cursor == 0) Raise(NUVUnclosedComment, start);
      if (*Cursor == u'*' && *NUVNextUnit(Cursor) == u'/') {
        Advance();
        Advance();
        if (level == 0) break;
        --level;
      } else if (*Cursor == u'/' && *NUVNextUnit(Cursor) == u'*') {
        Advance();
        Advance();
        ++level;
      } else {
        Advance();
      }
    }
  } else {
    return tCommentResult::NotComment;
  }
  SkipSpace();
  return *Cursor ? tCommentResult::Skipped : tCommentResult::SkippedToEnd;
}

int32_t tNUVLexicalAnalyzer::ScanStringLiteral(int32_t* valueIndex) {
  const char16_t quote = *Cursor;
  const int32_t start = CursorOffset();
  Advance();
  std::u16string text;
  ScanStringPiece(quote, false, start, text);
  *valueIndex = PutValue(tNUVVariant(tNUVString(text)));
  return T_CONSTVAL;
}

tNUVLexicalAnalyzer::tPieceEnd tNUVLexicalAnalyzer::ScanStringPiece(char16_t quote, bool embeddable,
                                                                    int32_t errorOffset, std::u16string& piece) {
  for (;;) {
    const char16_t unit = *Cursor;
    if (unit == 0) Raise(NUVStringParseError, errorOffset);

    if (unit == quote) {
      Advance();
      // A literal of the same quote after white space (not comments) continues this one.
      const char16_t* behindQuote = Cursor;
      SkipSpace();
      if (*Cursor == quote) {
        Advance();
        continue;
      }
      Cursor = behindQuote;
      return tPieceEnd::Quote;
    }

    if (embeddable) {
      if (unit == u'&') {
        Advance();
        return tPieceEnd::Ampersand;
      }
      if (unit == u'$' && *NUVNextUnit(Cursor) == u'{') {
        Advance();
        Advance();
        return tPieceEnd::DollarBrace;
      }
    }

    if (unit != u'\\') {
      piece += unit;
      Advance();
      continue;
    }

    Advance();
    const char16_t escaped = *Cursor;
    if (escaped == 0) Raise(NUVStringParseError, errorOffset);
    // Escapes that yield code 0 add nothing: "\0" alone is an empty piece.
    uint32_t code = 0;
    switch (escaped) {
      case u'x':
      case u'X':
        Advance();
        for (int digits = 0; digits < 4 && NUVHexDigitValue(*Cursor) >= 0; ++digits) {
          code = code * 16 + static_cast<uint32_t>(NUVHexDigitValue(*Cursor));
          Advance();
        }
        if (code) piece += static_cast<char16_t>(code);
        continue;
      case u'0':
        Advance();
        while (*Cursor >= u'0' && *Cursor <= u'7') {
          code = (code * 8 + static_cast<uint32_t>(*Cursor - u'0')) & 0xFFFF;
          Advance();
        }
        if (code) piece += static_cast<char16_t>(code);
        continue;
      case u'a': piece += u'\a'; break;
      case u'b': piece += u'\b'; break;
      case u'f': piece += u'\f'; break;
      case u'n': piece += u'\n'; break;
      case u'r': piece += u'\r'; break;
      case u't': piece += u'\t'; break;
      case u'v': piece += u'\v'; break;
      default: piece += escaped; break;
    }
    Advance();
  }
}

int32_t tNUVLexicalAnalyzer::ScanNumberLiteral(int32_t* valueIndex) {
  const int32_t start = CursorOffset();
  const char16_t* position = Cursor;
  tNUVScannedNumber number;
  if (!ScanNumberWord(position, number)) Raise(NUVNumberError, start);
  Cursor = NUVSkipInvisible(position);
  *valueIndex = number.IsReal ? PutValue(tNUVVariant(number.Real)) : PutValue(tNUVVariant(number.Integer));
  return T_CONSTVAL;
}

// <% ... %>: pairs of hexadecimal digits are bytes; a lone digit before "," or
// "%>" is a byte of its own; everything else (space, commas, comments) is ignored.
int32_t tNUVLexicalAnalyzer::ScanOctetLiteral(int32_t* valueIndex) {
  const int32_t start = CursorOffset();
  Advance();
  Advance();
  std::vector<uint8_t> bytes;
  int32_t pending = -1;
  try {
    for (;;) {
      const char16_t unit = *Cursor;
      if (unit == 0) Raise(NUVStringParseError, start);
      if (unit == u'%' && *NUVNextUnit(Cursor) == u'>') {
        Advance();
        Advance();
        break;
      }
      if (unit == u'/') {
        const tCommentResult comment = SkipComment();
        if (comment == tCommentResult::Skipped) continue;
        if (comment == tCommentResult::SkippedToEnd) Raise(NUVStringParseError, start);
      }
      const int digit = NUVHexDigitValue(unit);
      if (digit >= 0) {
        if (pending < 0) {
          pending = digit;
        } else {
          bytes.push_back(static_cast<uint8_t>(pending * 16 + digit));
          pending = -1;
        }
      } else if (unit == u',' && pending >= 0) {
        bytes.push_back(static_cast<uint8_t>(pending));
        pending = -1;
      }
      Advance();
    }
    if (pending >= 0) bytes.push_back(static_cast<uint8_t>(pending));
  } catch (const std::bad_alloc&) {
    Raise(NUVInsufficientMem, start);
  }
  *valueIndex = PutValue(tNUVVariant(bytes.data(), static_cast<int32_t>(bytes.size())));
  return T_CONSTVAL;
}

// The pattern runs to the first unescaped "/"; lower-case letters behind it are
// the flags. The value is "//" flags "/" pattern.
int32_t tNUVLexicalAnalyzer::ScanRegExpLiteral(int32_t* valueIndex) {
  // The literal began at the "/" the parser already took.
  const int32_t start = TokenStart;
  std::u16string pattern;
  for (;;) {
    const char16_t unit = *Cursor;
    if (unit == 0) Raise(NUVStringParseError, start);
    if (unit == u'/') {
      Advance();
      break;
    }
    pattern += unit;
    Advance();
    if (unit == u'\\') {
      if (*Cursor == 0) Raise(NUVStringParseError, start);
      pattern += *Cursor;
      Advance();
    }
  }
  std::u16string value = u"//";
  while (*Cursor >= u'a' && *Cursor <= u'z') {
    value += *Cursor;
    Advance();
  }
  value += u'/';
  value += pattern;
  *valueIndex = PutValue(tNUVVariant(tNUVString(value)));
  return T_REGEXP;
}

}  // namespace NUV
