#pragma once
// The process-wide program arguments a host hands in: a map from key to value
// (filled once from the command line, changed afterwards only by
// MrvkAddProgramArgument) and the raw argument list (filled once).
//
// Texts are kept as plain UTF-16, not engine strings, so the store can outlive
// every engine and the string heap.

#include <map>
#include <string>
#include <vector>

namespace NUV {

// Keys in code-unit order; the empty key comes first.
using tProgramArgumentMap = std::map<std::u16string, std::u16string>;

const tProgramArgumentMap& ProgramArgumentMap();
const std::vector<std::u16string>& ProgramArgumentList();

// Empties the store and forgets that it was filled (library unload).
void FreeProgramArguments();

}  // namespace NUV
