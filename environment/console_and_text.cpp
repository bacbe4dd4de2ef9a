// Texts crossing the library boundary: message templates, errors raised from
// native code, narrow conversion, standard output and the two console outputs.

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/platform/text_conversion.h"
#include "engine/services/errors.h"
#include "environment/environment.h"

namespace NUV {
namespace {

void AppendLine(tNUVString& target, const char16_t* text) {
  if (text) target += text;
  target += u'\n';
}

}  // namespace

tNUVString MrvkExpandMessageTemplate(const char16_t* text, const tNUVString* p1, const tNUVString* p2,
                                     bool twoArguments) {
  std::u16string out;
  for (const char16_t* at = text; at && *at; ++at) {
    if (*at == u'%' && at[1] == u'%') {
      out += u'%';
      ++at;
    } else if (*at == u'%' && (at[1] == u'1' || (at[1] == u'2' && twoArguments))) {
      const tNUVString* argument = at[1] == u'1' ? p1 : p2;
      if (argument) out.append(argument->c_str(), static_cast<size_t>(argument->GetLen()));
      ++at;
    } else {
      out += *at;
    }
  }
  return tNUVString(out);
}

// Console outputs ------------------------------------------------------------------------

void MrvkStandardOutput::PrintOther(const char16_t* text) {
  MrvkPrintWide(text);
  MrvkPrintNarrow("\n");
}

void MrvkStandardOutput::Print(const char16_t* text) {
  MrvkPrintWide(text);
  MrvkPrintNarrow("\n");
}

void MrvkStringOutput::PrintOther(const char16_t* text) { AppendLine(A, text); }
void MrvkStringOutput::Print(const char16_t* text) { AppendLine(B, text); }

extern "C" {

// Errors -----------------------------------------------------------------------------------

void MrvkThrowExceptionMessage_n(const char16_t* message) { NUVThrowError(tNUVString(message)); }

void MrvkThrowExceptionMessage_s(const char16_t* message, const tNUVString* p1) {
  NUVThrowError(MrvkExpandMessageTemplate(message, p1, nullptr, false));
}

void MrvkThrowExceptionMessage_si(const char16_t* message, const tNUVString* p1, int32_t n) {
  tNUVString number = tNUVString::FromInteger(n);
  NUVThrowError(MrvkExpandMessageTemplate(message, p1, &number, true));
}

void MrvkThrowExceptionMessage_ss(const char16_t* message, const tNUVString* p1, const tNUVString* p2) {
  NUVThrowError(MrvkExpandMessageTemplate(message, p1, p2, true));
}

// Texts --------------------------------------------------------------------------------------

int32_t MrvkCopyWideToWide(const char16_t* src, char16_t* dst, uint32_t count) {
  if (!dst) return 0;
  size_t length = 0;
  if (src)
    while (length < count && src[length]) ++length;
  if (length) std::memcpy(dst, src, length * sizeof(char16_t));
  dst[length] = 0;
  return 0;
}

char* MrvkAllocNarrowString(const tNUVString* text) {
  std::string narrow;
  if (text && !text->IsEmpty())
    narrow = Platform::WideToNarrow(text->c_str(), static_cast<size_t>(text->GetLen()));
  char* buffer = new char[narrow.size() + 1];
  std::memcpy(buffer, narrow.c_str(), narrow.size() + 1);
  return buffer;
}

void MrvkDeallocNarrowString(char* text) { delete[] text; }

int32_t MrvkPrintNarrow(const char* text) {
  if (text) std::fputs(text, stdout);
  return std::fflush(stdout);
}

void MrvkPrintString(const tNUVString* text) {
  char* narrow = MrvkAllocNarrowString(text);
  MrvkPrintNarrow(narrow);
  MrvkDeallocNarrowString(narrow);
}

void MrvkPrintWide(const char16_t* text) {
  tNUVString string(text);
  MrvkPrintString(&string);
}

}  // extern "C"

}  // namespace NUV
