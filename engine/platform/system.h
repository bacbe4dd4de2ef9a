#pragma once
// Small operating-system services used by the engine: pointer text, floating-point
// control and the native debugger break.

#include <cstddef>

namespace NUV::Platform {

// Number of hexadecimal digits of a pointer (16 on x86-64).
constexpr size_t PointerHexDigits = sizeof(void*) * 2;

// Writes the pointer as upper-case hexadecimal digits of full width, without a
// prefix, followed by a terminating 0 (so out holds PointerHexDigits + 1 units).
void FormatPointer(const void* pointer, char16_t* out);

// The value of an environment variable of the process; null when it is not set.
const char* EnvironmentVariable(const char* name);

// The decimal number in text ("1.5e-3", digits and at most one point and
// exponent) as strtod reads it in the C locale, whatever the process's locale:
// correctly rounded, infinity on overflow, 0 or a subnormal on underflow.
double ParseDecimalReal(const char* text);

// Masks every floating-point exception trap, so division by zero and overflow give
// infinities and NaNs instead of signals.
void MaskFloatingPointTraps();

// Stops in the native debugger when one is attached; otherwise does nothing.
void BreakIntoDebugger();

}  // namespace NUV::Platform
