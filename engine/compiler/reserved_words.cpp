#include "engine/compiler/reserved_words.h"

#include "engine/compiler/tokens.h"
#include "engine/objects/custom_object.h"
#include "engine/services/errors.h"

namespace NUV {
namespace {

struct tReservedWord {
  const char16_t* Word;
  int32_t Token;
};

// The order of registration is part of the table's observable layout.
constexpr tReservedWord kReservedWords[] = {
    {u"break", T_BREAK},
    {u"continue", T_CONTINUE},
    {u"const", T_CONST},
    {u"catch", T_CATCH},
    {u"class", T_CLASS},
    {u"case", T_CASE},
    {u"debugger", T_DEBUGGER},
    {u"default", T_DEFAULT},
    {u"delete", T_DELETE},
    {u"do", T_DO},
    {u"extends", T_EXTENDS},
    {u"export", T_EXPORT},
    {u"enum", T_ENUM},
    {u"else", T_ELSE},
    {u"function", T_FUNCTION},
    {u"finally", T_FINALLY},
    {u"false", T_FALSE},
    {u"for", T_FOR},
    {u"global", T_GLOBAL},
    {u"getter", T_GETTER},
    {u"goto", T_GOTO},
    {u"incontextof", T_INCONTEXTOF},
    {u"invalidate", T_INVALIDATE},
    {u"instanceof", T_INSTANCEOF},
    {u"isvalid", T_ISVALID},
    {u"import", T_IMPORT},
    {u"int", T_INT},
    {u"in", T_IN},
    {u"if", T_IF},
    {u"null", T_NULL},
    {u"new", T_NEW},
    {u"octet", T_OCTET},
    {u"protected", T_PROTECTED},
    {u"property", T_PROPERTY},
    {u"private", T_PRIVATE},
    {u"public", T_PUBLIC},
    {u"return", T_RETURN},
    {u"real", T_REAL},
    {u"synchronized", T_SYNCHRONIZED},
    {u"switch", T_SWITCH},
    {u"static", T_STATIC},
    {u"setter", T_SETTER},
    {u"string", T_STRING},
    {u"super", T_SUPER},
    {u"typeof", T_TYPEOF},
    {u"throw", T_THROW},
    {u"this", T_THIS},
    {u"true", T_TRUE},
    {u"try", T_TRY},
    {u"void", T_VOID},
    {u"var", T_VAR},
    {u"while", T_WHILE},
    {u"NaN", T_NAN},
    {u"Infinity", T_INFINITY},
    {u"with", T_WITH},
};
static_assert(sizeof(kReservedWords) / sizeof(kReservedWords[0]) == 55);

iNUVDispatch2* Table = nullptr;
int32_t RefCount = 0;
bool Filled = false;

}  // namespace

void NUVAddRefReservedWordTable() {
  if (RefCount == 0) {
    Table = new tNUVCustomObject(3);
    Filled = false;
  }
  ++RefCount;
}

void NUVReleaseReservedWordTable() {
  if (RefCount <= 0) return;
  if (--RefCount > 0) return;
  iNUVDispatch2* table = Table;
  Table = nullptr;
  Filled = false;
  table->Release();
}

void NUVFillReservedWordTable() {
  if (!Table || Filled) return;
  for (const tReservedWord& entry : kReservedWords) {
    tNUVString word(entry.Word);
    tNUVVariant code(entry.Token);
    NUVThrowFromResultCode(Table->SetMember(NUVMemberEnsure, word.c_str(), word.GetHint(), &code, Table),
                           word);
  }
  Filled = true;
}

int32_t NUVLookupReservedWord(const tNUVString& word) {
  if (!Table || word.IsEmpty()) return 0;
  tNUVVariant code;
  if (Table->GetMember(0, word.c_str(), word.GetHint(), &code, Table) < 0) return 0;
  return code.Type() == tvtInteger ? static_cast<int32_t>(code.AsInteger()) : 0;
}

int32_t NUVReservedWordTableRefCount() { return RefCount; }

}  // namespace NUV
