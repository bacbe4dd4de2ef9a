// The message table and its process-wide mapper.
//
// The mapper is a chained hash table of 64 buckets keyed by the message id, plus
// the list of holders in registration order. It lives exactly while at least one
// holder is registered: the first registration creates it, the last
// unregistration frees it. Its state is two zero-initialised globals, so it is
// usable from the very first holder constructed during static initialisation.
// Keys are the holders' own static texts; the table never owns string bodies.
// Registration happens during start-up and shutdown, which are single-threaded;
// lookups in between only read.

#include "engine/services/messages.h"

#include <cstddef>
#include <string>
#include <vector>

namespace NUV {

namespace {

constexpr uint32_t NUVMessageBucketCount = 64;

struct tMessageEntry {
  const tNUVMessageHolder* Holder;
  uint32_t Hash;
  tMessageEntry* Next;
};

struct tMessageTable {
  tMessageEntry* Buckets[NUVMessageBucketCount] = {};
  std::vector<const tNUVMessageHolder*> Order;

  ~tMessageTable() {
    for (tMessageEntry*& head : Buckets) {
      while (head) {
        tMessageEntry* next = head->Next;
        delete head;
        head = next;
      }
    }
  }
};

// Zero-initialised before any constructor runs.
tMessageTable* MessageTable;
int32_t MessageTableReferences;

const char16_t* KeyText(const char16_t* id) { return id ? id : u""; }

uint32_t KeyHash(const char16_t* id) { return HashString(id, WideLength(id)); }

void RegisterMessage(const tNUVMessageHolder* holder) {
  if (!MessageTable) MessageTable = new tMessageTable;
  ++MessageTableReferences;
  const char16_t* id = KeyText(holder->GetID());
  uint32_t hash = KeyHash(id);
  // A new entry goes to the head of its chain, so a second holder with an id
  // already in use shadows the first until it is unregistered.
  tMessageEntry*& head = MessageTable->Buckets[hash % NUVMessageBucketCount];
  head = new tMessageEntry{holder, hash, head};
  MessageTable->Order.push_back(holder);
}

void UnregisterMessage(const tNUVMessageHolder* holder) {
  if (!MessageTable) return;
  uint32_t hash = KeyHash(KeyText(holder->GetID()));
  for (tMessageEntry** link = &MessageTable->Buckets[hash % NUVMessageBucketCount]; *link;
       link = &(*link)->Next) {
    if ((*link)->Holder == holder) {
      tMessageEntry* entry = *link;
      *link = entry->Next;
      delete entry;
      break;
    }
  }
  std::vector<const tNUVMessageHolder*>& order = MessageTable->Order;
  for (size_t i = order.size(); i-- > 0;) {
    if (order[i] == holder) {
      order.erase(order.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  if (--MessageTableReferences == 0) {
    delete MessageTable;
    MessageTable = nullptr;
  }
}

const tNUVMessageHolder* FindMessage(const char16_t* id) {
  if (!MessageTable || !id) return nullptr;
  uint32_t hash = KeyHash(id);
  for (const tMessageEntry* entry = MessageTable->Buckets[hash % NUVMessageBucketCount]; entry;
       entry = entry->Next) {
    if (entry->Hash == hash && WideCompare(KeyText(entry->Holder->GetID()), id) == 0) {
      return entry->Holder;
    }
  }
  return nullptr;
}

}  // namespace

tNUVMessageHolder::tNUVMessageHolder(const char16_t* id, const char16_t* defaultText)
    : Id(id), DefaultText(defaultText ? defaultText : u"") {
  RegisterMessage(this);
}

tNUVMessageHolder::~tNUVMessageHolder() { UnregisterMessage(this); }

tNUVString tNUVMessageMapper::Get(const char16_t* id) {
  const tNUVMessageHolder* holder = FindMessage(id);
  return holder ? tNUVString(holder->Text()) : tNUVString();
}

int32_t tNUVMessageMapper::Count() {
  return MessageTable ? static_cast<int32_t>(MessageTable->Order.size()) : 0;
}

const tNUVMessageHolder* tNUVMessageMapper::At(int32_t index) {
  if (!MessageTable || index < 0 || index >= Count()) return nullptr;
  return MessageTable->Order[static_cast<size_t>(index)];
}

// One pass over the template: an inserted value is never searched for
// placeholders itself, so a value that happens to contain "%2" stays intact.
tNUVString NUVFillMessage(const char16_t* templ, const tNUVString* p1, const tNUVString* p2,
                          const tNUVString* p3, const tNUVString* p4) {
  if (!templ) return tNUVString();
  const tNUVString* values[4] = {p1, p2, p3, p4};
  std::u16string result;
  for (const char16_t* cursor = templ; *cursor; ++cursor) {
    if (cursor[0] == u'%' && cursor[1] >= u'1' && cursor[1] <= u'4') {
      const tNUVString* value = values[cursor[1] - u'1'];
      if (value) {
        result.append(value->c_str(), static_cast<size_t>(value->GetLen()));
        ++cursor;
        continue;
      }
    }
    result.push_back(*cursor);
  }
  return tNUVString(result);
}

// The messages, defined in registration order: dynamic initialisation within one
// translation unit follows the order of definition.
tNUVMessageHolder NUVInternalError(u"NUVInternalError",
    u"内部エラーが発生しました");
tNUVMessageHolder NUVWarning(u"NUVWarning",
    u"警告: ");
tNUVMessageHolder NUVWarnEvalOperator(u"NUVWarnEvalOperator",
    u"グローバルでない場所で後置 ! 演算子が使われています(この演算子の挙動はNUV2 version 2.4.1 で変わりましたのでご注意ください)");
tNUVMessageHolder NUVNarrowToWideConversionError(u"NUVNarrowToWideConversionError",
    u"ANSI 文字列を UNICODE 文字列に変換できません。現在のコードページで解釈できない文字が含まれてます。正しいデータが指定されているかを確認してください。データが破損している可能性もあります");
tNUVMessageHolder NUVVariantConvertError(u"NUVVariantConvertError",
    u"%1 から %2 へ型を変換できません");
tNUVMessageHolder NUVVariantConvertErrorToObject(u"NUVVariantConvertErrorToObject",
    u"%1 から Object へ型を変換できません。Object 型が要求される文脈で Object 型以外の値が渡されるとこのエラーが発生します");
tNUVMessageHolder NUVIDExpected(u"NUVIDExpected",
    u"識別子を指定してください");
tNUVMessageHolder NUVSubstitutionInBooleanContext(u"NUVSubstitutionInBooleanContext",
    u"論理値が求められている場所で = 演算子が使用されています(== 演算子の間違いですか？代入した上でゼロと値を比較したい場合は、(A=B) != 0 の形式を使うことをお勧めします)");
tNUVMessageHolder NUVCannotModifyLHS(u"NUVCannotModifyLHS",
    u"不正な代入か不正な式の操作です");
tNUVMessageHolder NUVInsufficientMem(u"NUVInsufficientMem",
    u"メモリが足りません");
tNUVMessageHolder NUVCannotGetResult(u"NUVCannotGetResult",
    u"この式からは値を得ることができません");
tNUVMessageHolder NUVNullAccess(u"NUVNullAccess",
    u"null オブジェクトにアクセスしようとしました");
tNUVMessageHolder NUVMemberNotFound(u"NUVMemberNotFound",
    u"メンバ \"%1\" が見つかりません");
tNUVMessageHolder NUVMemberNotFoundNoNameGiven(u"NUVMemberNotFoundNoNameGiven",
    u"メンバが見つかりません");
tNUVMessageHolder NUVNotImplemented(u"NUVNotImplemented",
    u"呼び出そうとした機能は未実装です");
tNUVMessageHolder NUVInvalidParam(u"NUVInvalidParam",
    u"不正な引数です");
tNUVMessageHolder NUVBadParamCount(u"NUVBadParamCount",
    u"引数の数が不正です");
tNUVMessageHolder NUVInvalidType(u"NUVInvalidType",
    u"関数ではないかプロパティの種類が違います");
tNUVMessageHolder NUVSpecifyDicOrArray(u"NUVSpecifyDicOrArray",
    u"Dictionary または Array クラスのオブジェクトを指定してください");
tNUVMessageHolder NUVSpecifyArray(u"NUVSpecifyArray",
    u"Array クラスのオブジェクトを指定してください");
tNUVMessageHolder NUVStringDeallocError(u"NUVStringDeallocError",
    u"文字列メモリブロックを解放できません");
tNUVMessageHolder NUVStringAllocError(u"NUVStringAllocError",
    u"文字列メモリブロックを確保できません");
tNUVMessageHolder NUVMisplacedBreakContinue(u"NUVMisplacedBreakContinue",
    u"\"break\" または \"continue\" はここに書くことはできません");
tNUVMessageHolder NUVMisplacedCase(u"NUVMisplacedCase",
    u"\"case\" はここに書くことはできません");
tNUVMessageHolder NUVMisplacedReturn(u"NUVMisplacedReturn",
    u"\"return\" はここに書くことはできません");
tNUVMessageHolder NUVStringParseError(u"NUVStringParseError",
    u"文字列定数/正規表現/オクテット即値が終わらないままスクリプトの終端に達しました");
tNUVMessageHolder NUVNumberError(u"NUVNumberError",
    u"数値として解釈できません");
tNUVMessageHolder NUVUnclosedComment(u"NUVUnclosedComment",
    u"コメントが終わらないままスクリプトの終端に達しました");
tNUVMessageHolder NUVInvalidChar(u"NUVInvalidChar",
    u"不正な文字です : '%1'");
tNUVMessageHolder NUVExpected(u"NUVExpected",
    u"%1 がありません");
tNUVMessageHolder NUVSyntaxError(u"NUVSyntaxError",
    u"文法エラーです(%1)");
tNUVMessageHolder NUVPPError(u"NUVPPError",
    u"条件コンパイル式にエラーがあります");
tNUVMessageHolder NUVCannotGetSuper(u"NUVCannotGetSuper",
    u"スーパークラスが存在しないかスーパークラスを特定できません");
tNUVMessageHolder NUVInvalidOpecode(u"NUVInvalidOpecode",
    u"不正な VM コードです");
tNUVMessageHolder NUVRangeError(u"NUVRangeError",
    u"値が範囲外です");
tNUVMessageHolder NUVAccessDenyed(u"NUVAccessDenyed",
    u"読み込み専用あるいは書き込み専用プロパティに対して行えない操作をしようとしました");
tNUVMessageHolder NUVNativeClassCrash(u"NUVNativeClassCrash",
    u"実行コンテキストが違います");
tNUVMessageHolder NUVInvalidObject(u"NUVInvalidObject",
    u"オブジェクトはすでに無効化されています");
tNUVMessageHolder NUVCannotOmit(u"NUVCannotOmit",
    u"\"...\" は関数外では使えません");
tNUVMessageHolder NUVCannotParseDate(u"NUVCannotParseDate",
    u"不正な日付文字列の形式です");
tNUVMessageHolder NUVInvalidValueForTimestamp(u"NUVInvalidValueForTimestamp",
    u"不正な日付・時刻です");
tNUVMessageHolder NUVExceptionNotFound(u"NUVExceptionNotFound",
    u"\"Exception\" が存在しないため例外オブジェクトを作成できません");
tNUVMessageHolder NUVInvalidFormatString(u"NUVInvalidFormatString",
    u"不正な書式文字列です");
tNUVMessageHolder NUVDivideByZero(u"NUVDivideByZero",
    u"0 で除算をしようとしました");
tNUVMessageHolder NUVNotReconstructiveRandomizeData(u"NUVNotReconstructiveRandomizeData",
    u"乱数系列を初期化できません(おそらく不正なデータが渡されました)");
tNUVMessageHolder NUVSymbol(u"NUVSymbol",
    u"識別子");
tNUVMessageHolder NUVCallHistoryIsFromOutOfNUV2Script(u"NUVCallHistoryIsFromOutOfNUV2Script",
    u"[NUVスクリプト管理外]");
tNUVMessageHolder NUVNObjectsWasNotFreed(u"NUVNObjectsWasNotFreed",
    u"合計 %1 個のオブジェクトが解放されていません");
tNUVMessageHolder NUVObjectCreationHistoryDelimiter(u"NUVObjectCreationHistoryDelimiter",
    u"\n                     ");
tNUVMessageHolder NUVObjectWasNotFreed(u"NUVObjectWasNotFreed",
    u"オブジェクト %1 [%2] が解放されていません。オブジェクト作成時の呼び出し履歴は以下の通りです:\n                     %3");
tNUVMessageHolder NUVGroupByObjectTypeAndHistory(u"NUVGroupByObjectTypeAndHistory",
    u"オブジェクトのタイプとオブジェクト作成時の履歴による分類");
tNUVMessageHolder NUVGroupByObjectType(u"NUVGroupByObjectType",
    u"オブジェクトのタイプによる分類");
tNUVMessageHolder NUVObjectCountingMessageGroupByObjectTypeAndHistory(u"NUVObjectCountingMessageGroupByObjectTypeAndHistory",
    u"%1 個 : [%2]\n                     %3");
tNUVMessageHolder NUVObjectCountingMessageNUVGroupByObjectType(u"NUVObjectCountingMessageNUVGroupByObjectType",
    u"%1 個 : [%2]");
tNUVMessageHolder NUVWarnRunningCodeOnDeletingObject(u"NUVWarnRunningCodeOnDeletingObject",
    u"%4: 削除中のオブジェクト %1[%2] 上でコードが実行されています。このオブジェクトの作成時の呼び出し履歴は以下の通りです:\n                     %3");
tNUVMessageHolder NUVWriteError(u"NUVWriteError",
    u"書き込みエラーが発生しました");
tNUVMessageHolder NUVReadError(u"NUVReadError",
    u"読み込みエラーが発生しました。ファイルが破損している可能性や、デバイスからの読み込みに失敗した可能性があります");
tNUVMessageHolder NUVSeekError(u"NUVSeekError",
    u"シークエラーが発生しました。ファイルが破損している可能性や、デバイスからの読み込みに失敗した可能性があります");
tNUVMessageHolder NUVStackOverflow(u"NUVStackOverflow",
    u"関数呼び出しのネストが深すぎます");

}  // namespace NUV
