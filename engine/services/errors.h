#pragma once
// The engine's exceptions and the operations that raise them.
//
// Inside the engine every failure is a C++ exception of the eNUV family carrying
// its message text. eNUVSilent, the quiet stop, is deliberately not an eNUV: every
// try region and conversion point lets it pass. The object interface alone reports
// by result code; NUVThrowFromResultCode turns a failing code into the matching
// error. Raising code never builds message text by hand: it names a message and
// its placeholders.

#include <cstdint>

#include "engine/services/messages.h"
#include "engine/values/nuv_string.h"

namespace NUV {

class eNUV {
public:
  virtual ~eNUV() = default;
  virtual tNUVString GetMessage() const;
};

class eNUVError : public eNUV {
public:
  explicit eNUVError(const tNUVString& message) : Message(message) {}
  tNUVString GetMessage() const override { return Message; }

protected:
  tNUVString Message;
};

class eNUVVariantError : public eNUVError {
public:
  explicit eNUVVariantError(const tNUVString& message) : eNUVError(message) {}
};

// The quiet stop; passes every handler unchanged.
class eNUVSilent {};

// error: raises eNUVError with the message.
[[noreturn]] void NUVThrowError(const tNUVString& message);
// The message of a holder, placeholders filled.
[[noreturn]] void NUVThrowError(const tNUVMessageHolder& message, const tNUVString* p1 = nullptr,
                                const tNUVString* p2 = nullptr, const tNUVString* p3 = nullptr,
                                const tNUVString* p4 = nullptr);
// variant error: raises eNUVVariantError with the message.
[[noreturn]] void NUVThrowVariantError(const tNUVString& message);

// Raises the error that a failing result code of the object interface stands for;
// codes >= 0 raise nothing. memberName null means no name is known (an empty name
// is still a name).
void NUVThrowFromResultCode(int32_t code, const char16_t* memberName = nullptr);
void NUVThrowFromResultCode(int32_t code, const tNUVString& memberName);
// The same with a member number standing for the name.
void NUVThrowFromResultCodeWithNumber(int32_t code, int32_t memberNumber);

// The message a failing result code stands for (the text NUVThrowFromResultCode raises);
// empty for codes >= 0.
tNUVString NUVResultCodeMessage(int32_t code, const char16_t* memberName);

}  // namespace NUV
