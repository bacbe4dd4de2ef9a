#pragma once
// Errors raised by running script code: a script error (an engine error that left
// compiled code, or a compile error) remembers the script block and the position
// in its text, and collects a trace of the code positions it passed while
// unwinding; a script exception carries the value of a script's throw.
//
// Each raising operation first writes one console line (the message, " at " and
// the position description) through the block's console, then throws. The block
// stays alive as long as an exception refers to it.

#include <cstdint>

#include "engine/services/errors.h"
#include "engine/values/nuv_string.h"
#include "engine/values/variant.h"

namespace NUV {

class tNUVScriptBlock;
class tNUVInterCodeContext;

// A trace stops growing once it holds this many characters.
constexpr int32_t NUVTraceLimit = 1500;

class eNUVScriptError : public eNUVError {
public:
  // A counted reference to the block, so the block outlives the exception.
  class tScriptBlockHolder {
  public:
    explicit tScriptBlockHolder(tNUVScriptBlock* block);
    tScriptBlockHolder(const tScriptBlockHolder& other);
    tScriptBlockHolder& operator=(const tScriptBlockHolder&) = delete;
    ~tScriptBlockHolder();
    tNUVScriptBlock* Get() const { return Block; }

  private:
    tNUVScriptBlock* Block;
  };

  eNUVScriptError(const tNUVString& message, tNUVScriptBlock* block, int32_t position)
      : eNUVError(message), Block(block), Position(position) {}

  tNUVScriptBlock* GetBlock() const { return Block.Get(); }
  int32_t GetPosition() const { return Position; }
  const tNUVString& GetTrace() const { return Trace; }
  // Appends " <-- " (when not empty) and a position description, unless the trace
  // already holds NUVTraceLimit characters or more.
  void AddTrace(const tNUVString& description);
  // The same with the code position description of an instruction.
  void AddTrace(tNUVInterCodeContext* context, int32_t codePosition);

private:
  tScriptBlockHolder Block;
  int32_t Position;
  tNUVString Trace;
};

class eNUVScriptException : public eNUVScriptError {
public:
  eNUVScriptException(const tNUVString& message, tNUVScriptBlock* block, int32_t position, const tNUVVariant& value)
      : eNUVScriptError(message, block, position), Value(value) {}
  const tNUVVariant& GetValue() const { return Value; }

private:
  tNUVVariant Value;
};

class eNUVCompileError : public eNUVScriptError {
public:
  using eNUVScriptError::eNUVScriptError;
};

// Position descriptions: "name(line)" (or "anonymous@0x...(line)") for a position
// in a block; for an instruction (code position in words) the same followed by
// "[(kind) name]".
tNUVString NUVBlockPositionDescription(tNUVScriptBlock* block, int32_t position);
tNUVString NUVCodePositionDescription(tNUVInterCodeContext* context, int32_t codePosition);

// The raising operations; each prints its console line first.
[[noreturn]] void NUVThrowScriptError(const tNUVString& message, tNUVScriptBlock* block, int32_t position);
[[noreturn]] void NUVThrowScriptErrorAt(const tNUVString& message, tNUVInterCodeContext* context,
                                        int32_t codePosition);
[[noreturn]] void NUVThrowScriptException(const tNUVString& message, tNUVInterCodeContext* context,
                                          int32_t codePosition, const tNUVVariant& value);
[[noreturn]] void NUVThrowCompileError(const tNUVString& message, tNUVScriptBlock* block, int32_t position);

}  // namespace NUV
