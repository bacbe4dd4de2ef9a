#pragma once
// iNUVConsoleOutput: the text sink a host gives the engine. The slot order is a
// binary contract with hosts: PrintOther first, Print second. The engine prints
// everything (lines, exception lines, dumps) through Print.

namespace NUV {

class iNUVConsoleOutput {
public:
  virtual void PrintOther(const char16_t* text) = 0;
  virtual void Print(const char16_t* text) = 0;

protected:
  ~iNUVConsoleOutput() = default;
};

}  // namespace NUV
