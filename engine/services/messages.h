#pragma once
// Named messages.
//
// Every user-visible engine text is a message: an id and a default text with the
// placeholders "%1" to "%4". Each message is one static tNUVMessageHolder that
// registers itself, at start-up, in the process-wide tNUVMessageMapper under its id
// and unregisters when destroyed. The mapper is created by the first registration
// and destroyed with the last. Ids and texts are static wide literals, so the table
// never touches the string heap.

#include <cstdint>

#include "engine/values/nuv_string.h"

namespace NUV {

class tNUVMessageHolder {
public:
  tNUVMessageHolder(const char16_t* id, const char16_t* defaultText);
  ~tNUVMessageHolder();
  tNUVMessageHolder(const tNUVMessageHolder&) = delete;
  tNUVMessageHolder& operator=(const tNUVMessageHolder&) = delete;

  const char16_t* GetID() const { return Id; }
  const char16_t* GetDefaultText() const { return DefaultText; }
  // The current text, which is the default text.
  const char16_t* Text() const { return DefaultText; }
  operator const char16_t*() const { return DefaultText; }

private:
  const char16_t* Id;
  const char16_t* DefaultText;
};

class tNUVMessageMapper {
public:
  // The current text of the message with this id; empty when none is registered.
  static tNUVString Get(const char16_t* id);
  // Number of registered messages (0 before the first and after the last).
  static int32_t Count();
  // The registered ids in registration order.
  static const tNUVMessageHolder* At(int32_t index);
};

// Fills "%1".."%4" of a template with the given texts (each replaced wherever it
// occurs); placeholders without a value stay as they are.
tNUVString NUVFillMessage(const char16_t* templ, const tNUVString* p1 = nullptr,
                          const tNUVString* p2 = nullptr, const tNUVString* p3 = nullptr,
                          const tNUVString* p4 = nullptr);

// The engine's messages, in the order of registration.
extern tNUVMessageHolder NUVInternalError;
extern tNUVMessageHolder NUVWarning;
extern tNUVMessageHolder NUVWarnEvalOperator;
extern tNUVMessageHolder NUVNarrowToWideConversionError;
extern tNUVMessageHolder NUVVariantConvertError;
extern tNUVMessageHolder NUVVariantConvertErrorToObject;
extern tNUVMessageHolder NUVIDExpected;
extern tNUVMessageHolder NUVSubstitutionInBooleanContext;
extern tNUVMessageHolder NUVCannotModifyLHS;
extern tNUVMessageHolder NUVInsufficientMem;
extern tNUVMessageHolder NUVCannotGetResult;
extern tNUVMessageHolder NUVNullAccess;
extern tNUVMessageHolder NUVMemberNotFound;
extern tNUVMessageHolder NUVMemberNotFoundNoNameGiven;
extern tNUVMessageHolder NUVNotImplemented;
extern tNUVMessageHolder NUVInvalidParam;
extern tNUVMessageHolder NUVBadParamCount;
extern tNUVMessageHolder NUVInvalidType;
extern tNUVMessageHolder NUVSpecifyDicOrArray;
extern tNUVMessageHolder NUVSpecifyArray;
extern tNUVMessageHolder NUVStringDeallocError;
extern tNUVMessageHolder NUVStringAllocError;
extern tNUVMessageHolder NUVMisplacedBreakContinue;
extern tNUVMessageHolder NUVMisplacedCase;
extern tNUVMessageHolder NUVMisplacedReturn;
extern tNUVMessageHolder NUVStringParseError;
extern tNUVMessageHolder NUVNumberError;
extern tNUVMessageHolder NUVUnclosedComment;
extern tNUVMessageHolder NUVInvalidChar;
extern tNUVMessageHolder NUVExpected;
extern tNUVMessageHolder NUVSyntaxError;
extern tNUVMessageHolder NUVPPError;
extern tNUVMessageHolder NUVCannotGetSuper;
extern tNUVMessageHolder NUVInvalidOpecode;
extern tNUVMessageHolder NUVRangeError;
extern tNUVMessageHolder NUVAccessDenyed;
extern tNUVMessageHolder NUVNativeClassCrash;
extern tNUVMessageHolder NUVInvalidObject;
extern tNUVMessageHolder NUVCannotOmit;
extern tNUVMessageHolder NUVCannotParseDate;
extern tNUVMessageHolder NUVInvalidValueForTimestamp;
extern tNUVMessageHolder NUVExceptionNotFound;
extern tNUVMessageHolder NUVInvalidFormatString;
extern tNUVMessageHolder NUVDivideByZero;
extern tNUVMessageHolder NUVNotReconstructiveRandomizeData;
extern tNUVMessageHolder NUVSymbol;
extern tNUVMessageHolder NUVCallHistoryIsFromOutOfNUV2Script;
extern tNUVMessageHolder NUVNObjectsWasNotFreed;
extern tNUVMessageHolder NUVObjectCreationHistoryDelimiter;
extern tNUVMessageHolder NUVObjectWasNotFreed;
extern tNUVMessageHolder NUVGroupByObjectTypeAndHistory;
extern tNUVMessageHolder NUVGroupByObjectType;
extern tNUVMessageHolder NUVObjectCountingMessageGroupByObjectTypeAndHistory;
extern tNUVMessageHolder NUVObjectCountingMessageNUVGroupByObjectType;
extern tNUVMessageHolder NUVWarnRunningCodeOnDeletingObject;
extern tNUVMessageHolder NUVWriteError;
extern tNUVMessageHolder NUVReadError;
extern tNUVMessageHolder NUVSeekError;
// Added after the original table: runaway recursion in script code.
extern tNUVMessageHolder NUVStackOverflow;

}  // namespace NUV
