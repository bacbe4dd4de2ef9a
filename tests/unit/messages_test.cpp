// Message table, mapper and the engine's exception family.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "engine/services/errors.h"
#include "engine/services/messages.h"
#include "engine/values/string_heap.h"

namespace NUV {
namespace {

std::u16string Text(const tNUVString& string) {
  return std::u16string(string.c_str(), static_cast<size_t>(string.GetLen()));
}

struct tExpectedMessage {
  const char16_t* Id;
  const tNUVMessageHolder* Holder;
  const char16_t* Text;
};

// The contract: every message in creation order with its exact default text.
const tExpectedMessage ExpectedMessages[] = {
    {u"NUVInternalError", &NUVInternalError,
     u"内部エラーが発生しました"},
    {u"NUVWarning", &NUVWarning,
     u"警告: "},
    {u"NUVWarnEvalOperator", &NUVWarnEvalOperator,
     u"グローバルでない場所で後置 ! 演算子が使われています(この演算子の挙動はNUV2 version 2.4.1 で変わりましたのでご注意ください)"},
    {u"NUVNarrowToWideConversionError", &NUVNarrowToWideConversionError,
     u"ANSI 文字列を UNICODE 文字列に変換できません。現在のコードページで解釈できない文字が含まれてます。正しいデータが指定されているかを確認してください。データが破損している可能性もあります"},
    {u"NUVVariantConvertError", &NUVVariantConvertError,
     u"%1 から %2 へ型を変換できません"},
    {u"NUVVariantConvertErrorToObject", &NUVVariantConvertErrorToObject,
     u"%1 から Object へ型を変換できません。Object 型が要求される文脈で Object 型以外の値が渡されるとこのエラーが発生します"},
    {u"NUVIDExpected", &NUVIDExpected,
     u"識別子を指定してください"},
    {u"NUVSubstitutionInBooleanContext", &NUVSubstitutionInBooleanContext,
     u"論理値が求められている場所で = 演算子が使用されています(== 演算子の間違いですか？代入した上でゼロと値を比較したい場合は、(A=B) != 0 の形式を使うことをお勧めします)"},
    {u"NUVCannotModifyLHS", &NUVCannotModifyLHS,
     u"不正な代入か不正な式の操作です"},
    {u"NUVInsufficientMem", &NUVInsufficientMem,
     u"メモリが足りません"},
    {u"NUVCannotGetResult", &NUVCannotGetResult,
     u"この式からは値を得ることができません"},
    {u"NUVNullAccess", &NUVNullAccess,
     u"null オブジェクトにアクセスしようとしました"},
    {u"NUVMemberNotFound", &NUVMemberNotFound,
     u"メンバ \"%1\" が見つかりません"},
    {u"NUVMemberNotFoundNoNameGiven", &NUVMemberNotFoundNoNameGiven,
     u"メンバが見つかりません"},
    {u"NUVNotImplemented", &NUVNotImplemented,
     u"呼び出そうとした機能は未実装です"},
    {u"NUVInvalidParam", &NUVInvalidParam,
     u"不正な引数です"},
    {u"NUVBadParamCount", &NUVBadParamCount,
     u"引数の数が不正です"},
    {u"NUVInvalidType", &NUVInvalidType,
     u"関数ではないかプロパティの種類が違います"},
    {u"NUVSpecifyDicOrArray", &NUVSpecifyDicOrArray,
     u"Dictionary または Array クラスのオブジェクトを指定してください"},
    {u"NUVSpecifyArray", &NUVSpecifyArray,
     u"Array クラスのオブジェクトを指定してください"},
    {u"NUVStringDeallocError", &NUVStringDeallocError,
     u"文字列メモリブロックを解放できません"},
    {u"NUVStringAllocError", &NUVStringAllocError,
     u"文字列メモリブロックを確保できません"},
    {u"NUVMisplacedBreakContinue", &NUVMisplacedBreakContinue,
     u"\"break\" または \"continue\" はここに書くことはできません"},
    {u"NUVMisplacedCase", &NUVMisplacedCase,
     u"\"case\" はここに書くことはできません"},
    {u"NUVMisplacedReturn", &NUVMisplacedReturn,
     u"\"return\" はここに書くことはできません"},
    {u"NUVStringParseError", &NUVStringParseError,
     u"文字列定数/正規表現/オクテット即値が終わらないままスクリプトの終端に達しました"},
    {u"NUVNumberError", &NUVNumberError,
     u"数値として解釈できません"},
    {u"NUVUnclosedComment", &NUVUnclosedComment,
     u"コメントが終わらないままスクリプトの終端に達しました"},
    {u"NUVInvalidChar", &NUVInvalidChar,
     u"不正な文字です : '%1'"},
    {u"NUVExpected", &NUVExpected,
     u"%1 がありません"},
    {u"NUVSyntaxError", &NUVSyntaxError,
     u"文法エラーです(%1)"},
    {u"NUVPPError", &NUVPPError,
     u"条件コンパイル式にエラーがあります"},
    {u"NUVCannotGetSuper", &NUVCannotGetSuper,
     u"スーパークラスが存在しないかスーパークラスを特定できません"},
    {u"NUVInvalidOpecode", &NUVInvalidOpecode,
     u"不正な VM コードです"},
    {u"NUVRangeError", &NUVRangeError,
     u"値が範囲外です"},
    {u"NUVAccessDenyed", &NUVAccessDenyed,
     u"読み込み専用あるいは書き込み専用プロパティに対して行えない操作をしようとしました"},
    {u"NUVNativeClassCrash", &NUVNativeClassCrash,
     u"実行コンテキストが違います"},
    {u"NUVInvalidObject", &NUVInvalidObject,
     u"オブジェクトはすでに無効化されています"},
    {u"NUVCannotOmit", &NUVCannotOmit,
     u"\"...\" は関数外では使えません"},
    {u"NUVCannotParseDate", &NUVCannotParseDate,
     u"不正な日付文字列の形式です"},
    {u"NUVInvalidValueForTimestamp", &NUVInvalidValueForTimestamp,
     u"不正な日付・時刻です"},
    {u"NUVExceptionNotFound", &NUVExceptionNotFound,
     u"\"Exception\" が存在しないため例外オブジェクトを作成できません"},
    {u"NUVInvalidFormatString", &NUVInvalidFormatString,
     u"不正な書式文字列です"},
    {u"NUVDivideByZero", &NUVDivideByZero,
     u"0 で除算をしようとしました"},
    {u"NUVNotReconstructiveRandomizeData", &NUVNotReconstructiveRandomizeData,
     u"乱数系列を初期化できません(おそらく不正なデータが渡されました)"},
    {u"NUVSymbol", &NUVSymbol,
     u"識別子"},
    {u"NUVCallHistoryIsFromOutOfNUV2Script", &NUVCallHistoryIsFromOutOfNUV2Script,
     u"[NUVスクリプト管理外]"},
    {u"NUVNObjectsWasNotFreed", &NUVNObjectsWasNotFreed,
     u"合計 %1 個のオブジェクトが解放されていません"},
    {u"NUVObjectCreationHistoryDelimiter", &NUVObjectCreationHistoryDelimiter,
     u"\n                     "},
    {u"NUVObjectWasNotFreed", &NUVObjectWasNotFreed,
     u"オブジェクト %1 [%2] が解放されていません。オブジェクト作成時の呼び出し履歴は以下の通りです:\n                     %3"},
    {u"NUVGroupByObjectTypeAndHistory", &NUVGroupByObjectTypeAndHistory,
     u"オブジェクトのタイプとオブジェクト作成時の履歴による分類"},
    {u"NUVGroupByObjectType", &NUVGroupByObjectType,
     u"オブジェクトのタイプによる分類"},
    {u"NUVObjectCountingMessageGroupByObjectTypeAndHistory", &NUVObjectCountingMessageGroupByObjectTypeAndHistory,
     u"%1 個 : [%2]\n                     %3"},
    {u"NUVObjectCountingMessageNUVGroupByObjectType", &NUVObjectCountingMessageNUVGroupByObjectType,
     u"%1 個 : [%2]"},
    {u"NUVWarnRunningCodeOnDeletingObject", &NUVWarnRunningCodeOnDeletingObject,
     u"%4: 削除中のオブジェクト %1[%2] 上でコードが実行されています。このオブジェクトの作成時の呼び出し履歴は以下の通りです:\n                     %3"},
    {u"NUVWriteError", &NUVWriteError,
     u"書き込みエラーが発生しました"},
    {u"NUVReadError", &NUVReadError,
     u"読み込みエラーが発生しました。ファイルが破損している可能性や、デバイスからの読み込みに失敗した可能性があります"},
    {u"NUVSeekError", &NUVSeekError,
     u"シークエラーが発生しました。ファイルが破損している可能性や、デバイスからの読み込みに失敗した可能性があります"},
    // Raised by the interpreter when script calls nest too deeply.
    {u"NUVStackOverflow", &NUVStackOverflow,
     u"関数呼び出しのネストが深すぎます"},
};

constexpr int32_t ExpectedMessageCount =
    static_cast<int32_t>(sizeof(ExpectedMessages) / sizeof(ExpectedMessages[0]));

// The engine's messages form one run in table order. The library's own messages,
// when they are linked in, register before or after that run (the order of static
// initialisation between files is the linker's).
TEST(MessageTable, AllMessagesRegisteredInOrderWithExactTexts) {
  ASSERT_EQ(ExpectedMessageCount, 59);
  int32_t first = 0;
  while (first < tNUVMessageMapper::Count() && tNUVMessageMapper::At(first) != &NUVInternalError) ++first;
  ASSERT_LE(first + ExpectedMessageCount, tNUVMessageMapper::Count());
  for (int32_t index = 0; index < tNUVMessageMapper::Count(); ++index) {
    if (index >= first && index < first + ExpectedMessageCount) continue;
    EXPECT_EQ(std::u16string(tNUVMessageMapper::At(index)->GetID()).rfind(u"Mrvk", 0), 0u) << index;
  }
  for (int32_t i = 0; i < ExpectedMessageCount; ++i) {
    const tExpectedMessage& expected = ExpectedMessages[i];
    const tNUVMessageHolder* holder = tNUVMessageMapper::At(first + i);
    ASSERT_NE(holder, nullptr) << i;
    EXPECT_EQ(holder, expected.Holder) << "position " << i;
    EXPECT_EQ(std::u16string(holder->GetID()), std::u16string(expected.Id)) << i;
    EXPECT_EQ(std::u16string(holder->GetDefaultText()), std::u16string(expected.Text)) << i;
    EXPECT_EQ(std::u16string(holder->Text()), std::u16string(expected.Text)) << i;
    EXPECT_EQ(Text(tNUVMessageMapper::Get(expected.Id)), std::u16string(expected.Text)) << i;
  }
  EXPECT_EQ(tNUVMessageMapper::At(-1), nullptr);
  EXPECT_EQ(tNUVMessageMapper::At(tNUVMessageMapper::Count()), nullptr);
}

TEST(MessageTable, LineFeedsAreFollowedByExactly21Spaces) {
  int messagesWithLineFeed = 0;
  for (const tExpectedMessage& expected : ExpectedMessages) {
    std::u16string text = expected.Holder->Text();
    bool hasLineFeed = false;
    for (size_t position = text.find(u'\n'); position != std::u16string::npos;
         position = text.find(u'\n', position + 1)) {
      hasLineFeed = true;
      size_t spaces = 0;
      while (position + 1 + spaces < text.size() && text[position + 1 + spaces] == u' ') ++spaces;
      EXPECT_EQ(spaces, 21u) << "in message at " << (&expected - ExpectedMessages);
    }
    if (hasLineFeed) ++messagesWithLineFeed;
  }
  EXPECT_EQ(messagesWithLineFeed, 4);
  EXPECT_EQ(std::u16string(NUVObjectCreationHistoryDelimiter.Text()),
            u"\n" + std::u16string(21, u' '));
}

TEST(MessageMapper, UnknownIdsGiveEmptyText) {
  EXPECT_TRUE(tNUVMessageMapper::Get(u"NUVNoSuchMessage").IsEmpty());
  EXPECT_TRUE(tNUVMessageMapper::Get(u"").IsEmpty());
  EXPECT_TRUE(tNUVMessageMapper::Get(nullptr).IsEmpty());
  // Ids match exactly: no case folding, no prefixes.
  EXPECT_TRUE(tNUVMessageMapper::Get(u"nuvinternalerror").IsEmpty());
  EXPECT_TRUE(tNUVMessageMapper::Get(u"NUVInternalErro").IsEmpty());
  EXPECT_TRUE(tNUVMessageMapper::Get(u"NUVInternalErrorX").IsEmpty());
}

TEST(MessageMapper, HoldersRegisterAndUnregisterDynamically) {
  const int32_t before = tNUVMessageMapper::Count();
  {
    tNUVMessageHolder extra(u"TestExtraMessage", u"extra text");
    EXPECT_EQ(tNUVMessageMapper::Count(), before + 1);
    EXPECT_EQ(tNUVMessageMapper::At(before), &extra);
    EXPECT_EQ(Text(tNUVMessageMapper::Get(u"TestExtraMessage")), u"extra text");
  }
  EXPECT_EQ(tNUVMessageMapper::Count(), before);
  EXPECT_TRUE(tNUVMessageMapper::Get(u"TestExtraMessage").IsEmpty());
  EXPECT_EQ(tNUVMessageMapper::At(before), nullptr);
}

TEST(MessageMapper, LaterHolderWithSameIdShadowsUntilDestroyed) {
  {
    tNUVMessageHolder shadow(u"NUVRangeError", u"shadowing text");
    EXPECT_EQ(Text(tNUVMessageMapper::Get(u"NUVRangeError")), u"shadowing text");
  }
  EXPECT_EQ(Text(tNUVMessageMapper::Get(u"NUVRangeError")), std::u16string(NUVRangeError.Text()));
}

TEST(MessageMapper, ManyHoldersShareBucketsAndLeaveInAnyOrder) {
  const int32_t before = tNUVMessageMapper::Count();
  std::vector<std::u16string> ids;
  std::vector<std::u16string> texts;
  for (int i = 0; i < 300; ++i) {
    ids.push_back(u"TestMany" + Text(IntegerToText(i)));
    texts.push_back(u"text " + Text(IntegerToText(i * 7)));
  }
  std::vector<std::unique_ptr<tNUVMessageHolder>> holders;
  for (int i = 0; i < 300; ++i) {
    holders.push_back(std::make_unique<tNUVMessageHolder>(ids[i].c_str(), texts[i].c_str()));
  }
  ASSERT_EQ(tNUVMessageMapper::Count(), before + 300);
  // Drop every other holder, from the front, not in reverse creation order.
  for (int i = 0; i < 300; i += 2) holders[i].reset();
  ASSERT_EQ(tNUVMessageMapper::Count(), before + 150);
  for (int i = 0; i < 300; ++i) {
    tNUVString found = tNUVMessageMapper::Get(ids[i].c_str());
    if (i % 2 == 0) {
      EXPECT_TRUE(found.IsEmpty()) << i;
    } else {
      EXPECT_EQ(Text(found), texts[i]) << i;
      EXPECT_EQ(tNUVMessageMapper::At(before + i / 2), holders[i].get()) << i;
    }
  }
  holders.clear();
  EXPECT_EQ(tNUVMessageMapper::Count(), before);
  EXPECT_EQ(Text(tNUVMessageMapper::Get(u"NUVInternalError")),
            std::u16string(NUVInternalError.Text()));
}

TEST(FillMessage, ReplacesEveryOccurrenceAndKeepsMissingPlaceholders) {
  tNUVString first(u"A"), second(u"BB"), third(u"ccc"), fourth(u"4th");
  EXPECT_EQ(Text(NUVFillMessage(u"%1-%2-%1-%2", &first, &second)), u"A-BB-A-BB");
  EXPECT_EQ(Text(NUVFillMessage(u"%1 %2 %3 %4", &first)), u"A %2 %3 %4");
  EXPECT_EQ(Text(NUVFillMessage(u"%1 %2 %3 %4", nullptr, &second, nullptr, &fourth)),
            u"%1 BB %3 4th");
  EXPECT_EQ(Text(NUVFillMessage(u"%4%3%2%1", &first, &second, &third, &fourth)), u"4thcccBBA");
  // Only %1..%4 are placeholders.
  EXPECT_EQ(Text(NUVFillMessage(u"%0 %5 %%1 %", &first)), u"%0 %5 %A %");
  EXPECT_EQ(Text(NUVFillMessage(u"no placeholders", &first)), u"no placeholders");
  tNUVString empty;
  EXPECT_EQ(Text(NUVFillMessage(u"[%1]", &empty)), u"[]");
  EXPECT_TRUE(NUVFillMessage(u"%1", &empty).IsEmpty());
  EXPECT_TRUE(NUVFillMessage(nullptr, &first).IsEmpty());
}

TEST(FillMessage, InsertedValuesAreNotFilledAgain) {
  tNUVString object(u"obj"), type(u"T"), history(u"file%4.nuv(3)"), current(u"now");
  EXPECT_EQ(Text(NUVFillMessage(NUVWarnRunningCodeOnDeletingObject, &object, &type, &history,
                                &current)),
            u"now: 削除中のオブジェクト obj[T] 上でコードが実行されています。"
            u"このオブジェクトの作成時の呼び出し履歴は以下の通りです:\n"
            u"                     file%4.nuv(3)");
  tNUVString self(u"%1%2"), other(u"x");
  EXPECT_EQ(Text(NUVFillMessage(u"%1|%2", &self, &other)), u"%1%2|x");
}

TEST(FillMessage, FillsRealMessages) {
  tNUVString from(u"Integer"), to(u"Octet");
  EXPECT_EQ(Text(NUVFillMessage(NUVVariantConvertError, &from, &to)),
            u"Integer から Octet へ型を変換できません");
  tNUVString count(u"3"), type(u"Array"), history(u"a.nuv(1)");
  EXPECT_EQ(Text(NUVFillMessage(NUVObjectCountingMessageGroupByObjectTypeAndHistory, &count, &type,
                                &history)),
            u"3 個 : [Array]\n                     a.nuv(1)");
}

// Runs action, which must raise exactly an eNUVError; gives its message.
template <class tAction>
std::u16string RaisedErrorMessage(tAction action) {
  try {
    action();
  } catch (const eNUVError& error) {
    EXPECT_EQ(typeid(error), typeid(eNUVError));
    return Text(error.GetMessage());
  }
  ADD_FAILURE() << "nothing raised";
  return u"<nothing raised>";
}

TEST(ResultCodes, EachCodeRaisesItsMessage) {
  struct tCase {
    int32_t Code;
    const tNUVMessageHolder* Message;
  };
  const tCase cases[] = {
      {-1002, &NUVNotImplemented}, {-1003, &NUVInvalidParam},     {-1004, &NUVBadParamCount},
      {-1005, &NUVInvalidType},    {-1006, &NUVInvalidObject},    {-1007, &NUVAccessDenyed},
      {-1008, &NUVNativeClassCrash},
  };
  tNUVString name(u"member");
  for (const tCase& item : cases) {
    std::u16string expected = item.Message->Text();
    EXPECT_EQ(RaisedErrorMessage([&] { NUVThrowFromResultCode(item.Code); }), expected) << item.Code;
    EXPECT_EQ(RaisedErrorMessage([&] { NUVThrowFromResultCode(item.Code, u"member"); }), expected);
    EXPECT_EQ(RaisedErrorMessage([&] { NUVThrowFromResultCode(item.Code, name); }), expected);
    EXPECT_EQ(RaisedErrorMessage([&] { NUVThrowFromResultCodeWithNumber(item.Code, 12); }),
              expected);
    EXPECT_EQ(Text(NUVResultCodeMessage(item.Code, nullptr)), expected);
  }
}

TEST(ResultCodes, MemberNotFoundNamesTheMemberWhenANameIsGiven) {
  EXPECT_EQ(RaisedErrorMessage([] { NUVThrowFromResultCode(-1001, u"width"); }),
            u"メンバ \"width\" が見つかりません");
  EXPECT_EQ(RaisedErrorMessage([] { NUVThrowFromResultCode(-1001, tNUVString(u"height")); }),
            u"メンバ \"height\" が見つかりません");
  // An empty name is still a name.
  EXPECT_EQ(RaisedErrorMessage([] { NUVThrowFromResultCode(-1001, u""); }),
            u"メンバ \"\" が見つかりません");
  EXPECT_EQ(RaisedErrorMessage([] { NUVThrowFromResultCode(-1001, tNUVString()); }),
            u"メンバ \"\" が見つかりません");
  EXPECT_EQ(RaisedErrorMessage([] { NUVThrowFromResultCode(-1001); }), u"メンバが見つかりません");
  EXPECT_EQ(RaisedErrorMessage([] { NUVThrowFromResultCode(-1001, nullptr); }),
            u"メンバが見つかりません");
  // A name that looks like a placeholder is shown as it is.
  EXPECT_EQ(RaisedErrorMessage([] { NUVThrowFromResultCode(-1001, u"%1"); }),
            u"メンバ \"%1\" が見つかりません");
}

TEST(ResultCodes, MemberNumberStandsForTheName) {
  EXPECT_EQ(RaisedErrorMessage([] { NUVThrowFromResultCodeWithNumber(-1001, 7); }),
            u"メンバ \"7\" が見つかりません");
  EXPECT_EQ(RaisedErrorMessage([] { NUVThrowFromResultCodeWithNumber(-1001, -5); }),
            u"メンバ \"-5\" が見つかりません");
  EXPECT_EQ(RaisedErrorMessage([] { NUVThrowFromResultCodeWithNumber(-1001, INT32_MIN); }),
            u"メンバ \"-2147483648\" が見つかりません");
  EXPECT_EQ(RaisedErrorMessage([] { NUVThrowFromResultCodeWithNumber(-1, 7); }),
            u"Unknown failure : FFFFFFFF");
}

TEST(ResultCodes, OtherNegativeCodesGiveUnknownFailureInHex) {
  EXPECT_EQ(RaisedErrorMessage([] { NUVThrowFromResultCode(-1); }), u"Unknown failure : FFFFFFFF");
  EXPECT_EQ(RaisedErrorMessage([] { NUVThrowFromResultCode(-1, u"name"); }),
            u"Unknown failure : FFFFFFFF");
  EXPECT_EQ(RaisedErrorMessage([] { NUVThrowFromResultCode(-2); }), u"Unknown failure : FFFFFFFE");
  EXPECT_EQ(RaisedErrorMessage([] { NUVThrowFromResultCode(-1000); }),
            u"Unknown failure : FFFFFC18");
  EXPECT_EQ(RaisedErrorMessage([] { NUVThrowFromResultCode(-1009); }),
            u"Unknown failure : FFFFFC0F");
  EXPECT_EQ(RaisedErrorMessage([] { NUVThrowFromResultCode(INT32_MIN); }),
            u"Unknown failure : 80000000");
  EXPECT_EQ(Text(NUVResultCodeMessage(-1, nullptr)), u"Unknown failure : FFFFFFFF");
}

TEST(ResultCodes, SuccessCodesRaiseNothing) {
  for (int32_t code : {0, 1, 2, 1001, INT32_MAX}) {
    EXPECT_NO_THROW(NUVThrowFromResultCode(code)) << code;
    EXPECT_NO_THROW(NUVThrowFromResultCode(code, u"name")) << code;
    EXPECT_NO_THROW(NUVThrowFromResultCode(code, tNUVString(u"name"))) << code;
    EXPECT_NO_THROW(NUVThrowFromResultCodeWithNumber(code, 3)) << code;
    EXPECT_TRUE(NUVResultCodeMessage(code, u"name").IsEmpty()) << code;
  }
}

TEST(Exceptions, ClassHierarchy) {
  static_assert(std::is_base_of_v<eNUV, eNUVError>);
  static_assert(std::is_base_of_v<eNUVError, eNUVVariantError>);
  static_assert(std::is_base_of_v<eNUV, eNUVVariantError>);
  static_assert(!std::is_base_of_v<eNUV, eNUVSilent>);
  static_assert(std::has_virtual_destructor_v<eNUV>);

  bool caughtAsBase = false;
  try {
    NUVThrowVariantError(tNUVString(u"bad variant"));
  } catch (const eNUV& error) {
    caughtAsBase = true;
    EXPECT_EQ(typeid(error), typeid(eNUVVariantError));
    EXPECT_EQ(Text(error.GetMessage()), u"bad variant");
  }
  EXPECT_TRUE(caughtAsBase);

  bool caughtAsError = false;
  try {
    NUVThrowVariantError(tNUVString(u"again"));
  } catch (const eNUVError& error) {
    caughtAsError = true;
    EXPECT_EQ(Text(error.GetMessage()), u"again");
  }
  EXPECT_TRUE(caughtAsError);

  EXPECT_EQ(Text(eNUV().GetMessage()), u"No-named exception");
}

TEST(Exceptions, SilentPassesHandlersForTheFamily) {
  bool caughtSilent = false;
  try {
    try {
      throw eNUVSilent();
    } catch (const eNUV&) {
      ADD_FAILURE() << "eNUVSilent caught as eNUV";
    }
  } catch (const eNUVSilent&) {
    caughtSilent = true;
  }
  EXPECT_TRUE(caughtSilent);
}

TEST(Exceptions, RaiseOperationsCarryTheirMessages) {
  EXPECT_EQ(RaisedErrorMessage([] { NUVThrowError(tNUVString(u"plain")); }), u"plain");
  tNUVString character(u"@");
  EXPECT_EQ(RaisedErrorMessage([&] { NUVThrowError(NUVInvalidChar, &character); }),
            u"不正な文字です : '@'");
  EXPECT_EQ(RaisedErrorMessage([] { NUVThrowError(NUVSyntaxError); }), u"文法エラーです(%1)");
  EXPECT_EQ(RaisedErrorMessage([] { NUVThrowError(NUVDivideByZero); }),
            u"0 で除算をしようとしました");
}

TEST(Exceptions, CopiesKeepTheMessageAndReleaseIt) {
  const int64_t liveBefore = GetStringHeapStatus().LiveCount;
  {
    std::unique_ptr<eNUVError> original =
        std::make_unique<eNUVVariantError>(tNUVString(u"a message long enough to need a buffer"));
    eNUVError copy(*original);
    original.reset();
    EXPECT_EQ(Text(copy.GetMessage()), u"a message long enough to need a buffer");

    eNUVVariantError variantOriginal(tNUVString(u"variant"));
    eNUVVariantError variantCopy = variantOriginal;
    eNUVVariantError assigned(tNUVString(u"other"));
    assigned = variantCopy;
    EXPECT_EQ(Text(variantCopy.GetMessage()), u"variant");
    EXPECT_EQ(Text(assigned.GetMessage()), u"variant");

    // A copy taken in the handler outlives the thrown object.
    std::unique_ptr<eNUVError> kept;
    try {
      NUVThrowFromResultCode(-1001, u"member");
    } catch (const eNUVError& caught) {
      kept = std::make_unique<eNUVError>(caught);
    }
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(Text(kept->GetMessage()), u"メンバ \"member\" が見つかりません");
  }
  EXPECT_EQ(GetStringHeapStatus().LiveCount, liveBefore);
}

}  // namespace
}  // namespace NUV
